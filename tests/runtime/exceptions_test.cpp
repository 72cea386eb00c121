// Failure records passed from other threads to the main thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "runtime/exceptions.h"
#include "runtime/globals.h"
#include "runtime/threads.h"
#include "support/temp_dir.h"
#include "ui/alert.h"
#include "window/macibm.h"
#include "window/mnw.h"
#include "wizard/wizard.h"

namespace {

// The thread layer and a fresh log for one test.
class FailureRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(THREAD_is_inited(), 0);
    THREAD_init();
    xer.open(dir_ / "log.txt", std::ios::out | std::ios::trunc);
  }
  void TearDown() override {
    THREAD_shutdown();
    if (xer.is_open()) xer.close();
  }
  std::string log() {
    xer.flush();
    return read_file(dir_ / "log.txt");
  }
  TempDir dir_;
};

// Runs func on a thread of the layer and waits for it to end.
void run_on_thread(void* (*func)(void*), void* arg = nullptr) {
  unsigned long thread = 0, join = 0, id = 0;
  THREAD_create(func, arg, &thread, &join, &id, 0);
  UTL_thread_join(&thread, &join);
}

exce_class* take(UTL_message_queue* q) { return static_cast<exce_class*>(UTL_message_queue_read(q, 0)); }

}  // namespace

TEST(ExceRecord, DefaultIsFatalWithoutSource) {
  exce_class r;
  EXPECT_EQ(r.kind, 2);
  EXPECT_STREQ(r.file, "no exception");
  EXPECT_EQ(r.line, 0);
  EXPECT_TRUE(r.line1.empty() && r.line2.empty() && r.line3.empty() && r.line4.empty());
}

TEST(ExceRecord, LogAndContinueWritesKindAndSource) {
  TempDir dir;
  xer.open(dir / "log.txt", std::ios::out | std::ios::trunc);
  exce_class("a", "b", "", "d", "src.cpp", 12, 1).LogAndContinue();
  exce_class("x", "", "", "", "other.cpp", 3, 0).LogAndContinue();
  xer.close();
  EXPECT_EQ(read_file(dir / "log.txt"),
            "Logging fatal Exception thrown from file: src.cpp, line 12.\na\nb\n\nd\n"
            "Logging non-fatal Exception thrown from file: other.cpp, line 3.\nx\n\n\n\n");
}

TEST_F(FailureRecords, SendOnTheMainThreadQueuesACopyByKind) {
  {
    exce_class w("warn", "", "", "", "w.cpp", 1, 1);
    THREAD_send_exception(w);
    exce_class f("fatal", "", "", "", "f.cpp", 2, 2);
    THREAD_send_exception(f);  // the main thread does not end inside the send
    THREAD_send_exception(exce_class("dropped", "", "", "", "z.cpp", 3, 0));
  }  // the senders' records are gone; the queued copies stay
  exce_class* w = take(warn_exce);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->line1, "warn");
  EXPECT_EQ(take(warn_exce), nullptr) << "kind 0 is dropped";
  exce_class* f = take(quit_exce);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->line1, "fatal");
  EXPECT_EQ(f->kind, 2);
  delete w;
  delete f;
}

TEST_F(FailureRecords, WarningsWaitForACheckOfAllAndComeOldestFirst) {
  THREAD_send_exception(exce_class("first warning", "", "", "", "a.cpp", 1, 1));
  THREAD_send_exception(exce_class("second warning", "", "", "", "b.cpp", 2, 1));
  testing::internal::CaptureStderr();
  THREAD_check_exception(0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a check of fatal records only shows no warning";
  EXPECT_EQ(log(), "");

  testing::internal::CaptureStderr();
  THREAD_check_exception(1);
  const std::string err = testing::internal::GetCapturedStderr();
  const auto first = err.find("first warning");
  const auto second = err.find("second warning");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, second);
  const std::string dump =
      "OK check MemoryLog.txt! I just sent him a dump from This is the dump_mem_stats call from the following code: "
      "if(type==t_exit || type == t_alert || recursive_error)\n";
  EXPECT_EQ(log(), dump + "\nfirst warning\n\n\n\n(a.cpp line 1)\n" + dump +
                       "\nsecond warning\n\n\n\n(b.cpp line 2)\n");
  EXPECT_EQ(take(warn_exce), nullptr) << "shown records are taken off the queue";
  EXPECT_EQ(app_done, 0);
}

namespace {

int went_on = 0;  // written by the worker, read after joining it

void* warn_then_go_on(void*) {
  MACIBM_alert(0, "Worker warning", "second line", "", "", t_alert);
  went_on = 1;
  return nullptr;
}

void* alert_of_kind_zero(void*) {
  MACIBM_alert(0, "Language question", "", "", "", t_lang);
  went_on = 1;
  return nullptr;
}

void* fatal_alert(void*) {
  MACIBM_alert(0, "Worker broke", "beyond repair", "", "", t_exit);
  went_on = 1;  // not reached: the thread ends inside the alert
  return nullptr;
}

}  // namespace

TEST_F(FailureRecords, WorkerWarningGoesOnAndIsShownByTheMainThread) {
  went_on = 0;
  testing::internal::CaptureStderr();
  run_on_thread(warn_then_go_on);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the worker itself shows nothing";
  EXPECT_EQ(went_on, 1);
  EXPECT_EQ(log(), "");

  testing::internal::CaptureStderr();
  THREAD_check_exception(1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Worker warning\n\nsecond line"), std::string::npos) << err;
  const std::string text = log();
  EXPECT_NE(text.find("\nWorker warning\nsecond line\n\n\n("), std::string::npos) << text;
  EXPECT_NE(text.find("exceptions_test.cpp line "), std::string::npos) << text;
}

TEST_F(FailureRecords, WorkerAlertOfKindZeroProducesNothing) {
  went_on = 0;
  testing::internal::CaptureStderr();
  run_on_thread(alert_of_kind_zero);
  THREAD_check_exception(1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(went_on, 1);
  EXPECT_EQ(take(warn_exce), nullptr);
  EXPECT_EQ(take(quit_exce), nullptr);
  EXPECT_EQ(log(), "");
}

TEST_F(FailureRecords, EventLoopShowsWarningsOnlyWhileTheMainWindowIsCurrent) {
  const mnw_struct saved_mnw = mnw;
  const int saved_done = app_done;
  run_on_thread(warn_then_go_on);

  MACIBM_startwind(996, 0);  // the modified-file question is up
  testing::internal::CaptureStderr();
  MACIBM_event_proc();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  MACIBM_startwind(0, 0);
  testing::internal::CaptureStderr();
  MACIBM_event_proc();
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Worker warning"), std::string::npos);
  EXPECT_EQ(take(warn_exce), nullptr);
  mnw = saved_mnw;
  app_done = saved_done;
}

TEST(FailureRecordsDeathTest, WorkerFatalAlertEndsTheProgramWithOneThroughTheMainThread) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        THREAD_init();
        went_on = 0;
        run_on_thread(fatal_alert);
        if (went_on) _exit(7);  // the worker must end inside its alert
        MACIBM_startwind(0, 0);
        for (int pass = 0; pass < 3; ++pass) MACIBM_event_proc();
        _exit(8);  // not reached: the first pass shows the fatal record
      },
      ::testing::ExitedWithCode(1), "Worker broke\n\nbeyond repair");
}

TEST(FailureRecordsDeathTest, FatalRecordIsShownBeforeEveryWarning) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The log goes to standard error too: nothing but the fatal record may
  // come out before the program ends.
  EXPECT_EXIT(
      {
        xer.open("/dev/stderr", std::ios::out);
        THREAD_init();
        THREAD_send_exception(exce_class("early warning", "", "", "", "a.cpp", 1, 1));
        THREAD_send_exception(exce_class("the fatal one", "", "", "", "b.cpp", 2, 2));
        THREAD_send_exception(exce_class("late warning", "", "", "", "c.cpp", 3, 1));
        THREAD_check_exception(1);
        _exit(8);
      },
      ::testing::ExitedWithCode(1),
      ::testing::AllOf(::testing::HasSubstr("the fatal one"), ::testing::Not(::testing::HasSubstr("early warning")),
                       ::testing::Not(::testing::HasSubstr("late warning"))));
}

namespace {

void* report_here(void*) {
  exce_class("reported on a worker", "", "", "", "far.cpp", 12, 2).Report();
  return nullptr;
}

}  // namespace

TEST(FailureRecordsDeathTest, FatalRecordReportedOffTheMainThreadEndsWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        xer.open("/dev/stderr", std::ios::out);
        THREAD_init();
        run_on_thread(report_here);
        _exit(8);
      },
      ::testing::ExitedWithCode(1),
      "^EXCEPTION REPORTED FROM THREAD!!  File: far\\.cpp, line 12\\.\nreported on a worker\n\n\n\n$");
}

TEST(FailureRecordsDeathTest, BeforeTheLayerStartsAFatalRecordIsReportedAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(THREAD_send_exception(exce_class("no layer yet", "", "", "", "n.cpp", 4, 2)),
              ::testing::ExitedWithCode(1), "no layer yet");
}
