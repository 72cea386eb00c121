// GL contexts of worker threads: a thread started while shared contexts are
// allowed gets a context of its own that shares objects with the window's;
// when none can be made, shared contexts are switched off with one warning
// and the thread runs without GL.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <unistd.h>

#include <string>

#include "runtime/threads.h"
#include "support/live_window.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/x_server.h"
#include "textures/ogl_extensions.h"
#include "window/mnw.h"

namespace {

struct gl_seen {
  GLXContext context = nullptr;
  GLuint texture = 0;
  GLboolean shared = GL_FALSE;
};

// On the new thread: which context is current, and whether a texture of the
// window's context can be seen from it.
void* look_at_gl(void* p) {
  gl_seen* seen = static_cast<gl_seen*>(p);
  seen->context = glXGetCurrentContext();
  if (seen->context) seen->shared = glIsTexture(seen->texture);
  return nullptr;
}

class ThreadLayerLoaderContext : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok());
    ASSERT_TRUE(window_.ok());
    // The warning's memory report is written to the working folder.
    ASSERT_TRUE(getcwd(start_folder_, sizeof start_folder_));
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    THREAD_init();
  }
  void TearDown() override {
    THREAD_shutdown();
    glExt.threaded_avail = 0;
    EXPECT_EQ(chdir(start_folder_), 0);
  }
  gl_seen start(int want_gl) {
    gl_seen seen;
    glGenTextures(1, &seen.texture);
    glBindTexture(GL_TEXTURE_2D, seen.texture);  // the name becomes a texture
    glFinish();
    unsigned long thread = 0, join = 0, id = 0;
    THREAD_create(look_at_gl, &seen, &thread, &join, &id, want_gl);
    UTL_thread_join(&thread, &join);
    glDeleteTextures(1, &seen.texture);
    return seen;
  }

  XServer x_;
  LiveWindow window_{x_};
  TempDir dir_;
  char start_folder_[4096] = {};
};

}  // namespace

TEST_F(ThreadLayerLoaderContext, AThreadGetsAContextThatSharesTheWindowsObjects) {
  LogCapture log(dir_ / "log.txt");
  glExt.threaded_avail = 1;
  testing::internal::CaptureStderr();
  const gl_seen with_gl = start(1);
  const std::string warned = testing::internal::GetCapturedStderr();
  ASSERT_NE(with_gl.context, nullptr) << log.text();
  EXPECT_NE(with_gl.context, glXGetCurrentContext()) << "a context of its own";
  EXPECT_EQ(with_gl.shared, GL_TRUE) << "it sees the window's texture";
  EXPECT_EQ(glExt.threaded_avail, 1) << "nothing failed";
  EXPECT_EQ(warned, "");

  EXPECT_EQ(start(0).context, nullptr) << "a thread that asks for no GL gets none";
  glExt.threaded_avail = 0;
  EXPECT_EQ(start(1).context, nullptr) << "nor while shared contexts are off";
}

TEST_F(ThreadLayerLoaderContext, NoContextForTheThreadSwitchesSharingOffWithOneWarning) {
  LogCapture log(dir_ / "log.txt");
  glExt.threaded_avail = 1;
  void* const visual = mnw.visual;
  mnw.visual = nullptr;  // no visual to make a context on
  testing::internal::CaptureStderr();
  const gl_seen first = start(1);
  const gl_seen second = start(1);
  const std::string warned = testing::internal::GetCapturedStderr();
  mnw.visual = visual;

  EXPECT_EQ(first.context, nullptr);
  EXPECT_EQ(second.context, nullptr);
  EXPECT_EQ(glExt.threaded_avail, 0);
  const std::string line = "There was a problem setting up OpenGL.";
  ASSERT_NE(warned.find(line), std::string::npos) << warned;
  EXPECT_EQ(warned.find(line, warned.find(line) + 1), std::string::npos) << "warned once";
  EXPECT_NE(warned.find("(Please send your log.txt file to Brightwell Labs for debugging purposes.)"),
            std::string::npos);
}
