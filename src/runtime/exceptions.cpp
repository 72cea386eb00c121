#include "runtime/exceptions.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>

#include "runtime/alert.h"
#include "runtime/globals.h"
#include "runtime/shutdown.h"
#include "runtime/threads.h"

exce_class::exce_class(std::string l1, std::string l2, std::string l3, std::string l4, const char* source_file,
                       int source_line, int alert_kind)
    : line1(std::move(l1)),
      line2(std::move(l2)),
      line3(std::move(l3)),
      line4(std::move(l4)),
      file(source_file),
      line(source_line),
      kind(alert_kind) {}

exce_class::exce_class() : file("no exception"), line(0), kind(2) {}

void log_alert_lines(const std::string& head, const std::string& line1, const std::string& line2,
                     const std::string& line3, const std::string& line4, const std::string& tail) {
  std::string text = head;
  for (const std::string* l : {&line1, &line2, &line3, &line4}) {
    text += *l;
    text += '\n';
  }
  text += tail;
  xer << text;
  xer.flush();
}

namespace {

// "<file>, line <n>." for a record's source position.
std::string source_position(const exce_class& record) {
  return std::string(record.file ? record.file : "") + ", line " + std::to_string(record.line) + ".";
}

}  // namespace

void exce_class::LogAndContinue() const {
  log_alert_lines(std::string("Logging ") + (kind == 0 ? "non-fatal" : "fatal") +
                      " Exception thrown from file: " + source_position(*this) + "\n",
                  line1, line2, line3, line4, "");
}

void exce_class::Report() const {
  if (!THREAD_is_inited() || THREAD_is_main_thread()) {
    __MACIBM_alert(0, line1, line2, line3, line4, kind, file, line);
    return;
  }
  // Reported on another thread, which the program itself never does: log
  // it, shut down and end the process.
  log_alert_lines("EXCEPTION REPORTED FROM THREAD!!  File: " + source_position(*this) + "\n", line1, line2,
                  line3, line4, "");
  app_done = 1;
  MACIBM_finishup(1);
  fflush(nullptr);
  // A fatal failure must not look like success to whoever started us.
  _exit(kind == 2 ? 1 : 0);
}

void THREAD_send_exception(const exce_class& record) {
  if (record.kind != 1 && record.kind != 2) return;
  if (!THREAD_is_inited()) {
    record.Report();
    return;
  }
  // The copy is made before the write: the sender's record may go as soon
  // as this returns.
  if (record.kind == 1) {
    UTL_message_queue_write(warn_exce, new exce_class(record));
    return;
  }
  UTL_message_queue_write(quit_exce, new exce_class(record));
  if (!THREAD_is_main_thread()) UTL_thread_exit(nullptr);
}

namespace {

void report_all(UTL_message_queue* queue) {
  while (void* message = UTL_message_queue_read(queue, 0)) {
    exce_class* record = static_cast<exce_class*>(message);
    record->Report();
    delete record;
  }
}

}  // namespace

void THREAD_check_exception(int all) {
  if (!THREAD_is_inited() || !THREAD_is_main_thread()) return;
  report_all(quit_exce);
  if (!all) return;
  report_all(warn_exce);
}
