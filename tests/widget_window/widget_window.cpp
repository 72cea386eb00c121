// A window that shows the editing widgets for the tests that drive them with
// XTEST input. It starts the display as the installer does and then runs one
// scene, chosen by CORVANE_WIDGET_SCENE:
//   fields   two string fields, a numeric field and a text list in a modal
//            window; prints each change of their values, of the focus and
//            of the Return, Escape and Delete flags
//   keys     a field that takes every key and prints each one as the
//            keyboard translation gave it
//   chooser  the folder chooser at CORVANE_CHOOSER_START with a result buffer
//            of CORVANE_CHOOSER_SIZE bytes (default 2048); prints the result
//   message, about, opensave, tabs: the toolkit's boxes (box_scenes.cpp)
//   path     a path field on CORVANE_PATH (file type CORVANE_PATH_TYPE,
//            default 0) and a path field over a character buffer that holds
//            CORVANE_BUFFER; prints each change of either and each folder
//            chosen with a field's button
// Lines go to standard output, one per event, as the tests' signals.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ui/draw.h"
#include "ui/enterstring.h"
#include "ui/focus.h"
#include "ui/folder_chooser.h"
#include "ui/frames.h"
#include "ui/numeric.h"
#include "ui/path_field.h"
#include "ui/textlist.h"
#include "widget_window/box_layout.h"
#include "widget_window/scene_layout.h"
#include "window/keys.h"
#include "window/macibm.h"
#include "window/mnw.h"

namespace {

template <class T>
void report(const char* name, const T& now, T& shown, const std::string& text) {
  if (now == shown) return;
  shown = now;
  printf("%s=%s\n", name, text.c_str());
}

int run_fields() {
  using namespace scene;
  MACIBM_startwind(wind_file_dialog, 0);
  std::string first, second = "preset", shown_first = "?", shown_second = "?";
  int streams = 0, shown_streams = -1, os = 0, shown_os = -1, shown_focus = -1;
  int ret = 0, esc = 0, del = 0;
  for (bool ready = false;; ready = true) {
    if (!ready) puts("ready");
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    BTN_enterstring(kFirstX, kFirstY, &first, 20, "First:", kFieldW, 0);
    BTN_enterstring(kSecondX, kSecondY, &second, 255, "Second:", kFieldW, 0);
    BTN_int_range(kNumberX, kNumberY, &streams, 1, 1, 4, "Streams:");
    BTN_textlist(kListX, kListY, &os, "Macintosh-Windows-Linux", "System:");

    report("first", first, shown_first, "[" + first + "]");
    report("second", second, shown_second, "[" + second + "]");
    report("streams", streams, shown_streams, std::to_string(streams));
    report("os", os, shown_os, std::to_string(os));
    const int focus = focus_id == BTN_field_id(kFirstX, kFirstY)     ? 1
                      : focus_id == BTN_field_id(kSecondX, kSecondY) ? 2
                      : focus_id == BTN_field_id(kNumberX, kNumberY) ? 3
                                                                     : 0;
    report("focus", focus, shown_focus, std::to_string(focus));
    MACIBM_event_proc();
    // The flags of the frame whose events were just handled.
    if (return_hit) printf("return %d\n", ++ret);
    if (escape_hit) printf("escape %d\n", ++esc);
    if (delete_hit) printf("delete %d\n", ++del);
  }
}

int run_keys() {
  MACIBM_startwind(wind_file_dialog, 0);
  int chars[64], vkeys[64], flags[64], ids[64], count = 0;
  for (bool ready = false;; ready = true) {
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    MACIBM_event_proc();
    for (int i = 0; i < count && i < 64; ++i) printf("key vkey=%d char=%d flags=%d\n", vkeys[i], chars[i], flags[i]);
    count = 0;
    BTN_register_focus(1, chars, vkeys, flags, ids, &count, 64, 0x3FF, 1);
    // Keys reach the slots from the pass after the first registration on:
    // the test types only once told.
    if (!ready) puts("ready");
  }
}

int run_chooser() {
  // Paint the window a colour that the chooser never draws, so that a test
  // can see when its first frame is up.
  for (int i = 0; i < 2; ++i) {
    glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    OGL_sbuff();
  }
  const char* start = getenv("CORVANE_CHOOSER_START");
  const char* size_text = getenv("CORVANE_CHOOSER_SIZE");
  const std::size_t size = size_text ? std::strtoul(size_text, nullptr, 10) : 2048;
  std::vector<char> out(size + 1, 'x');
  puts("opening");
  const int r = GetFilePathFromUser(2, "Pick", "Select", 1, start, out.data(), size);
  if (r == 1)
    printf("result=[%s]\n", out.data());
  else
    printf("cancelled untouched=%d\n", out[0] == 'x' ? 1 : 0);
  return 0;
}

int run_path() {
  using namespace path_scene;
  MACIBM_startwind(wind_question, 0);
  const char* start = getenv("CORVANE_PATH");
  const char* type_text = getenv("CORVANE_PATH_TYPE");
  const char* buffer_text = getenv("CORVANE_BUFFER");
  const int type = type_text ? std::atoi(type_text) : 0;
  std::string path = start ? start : "", shown_path = "?", shown_buffer = "?";
  char buffer[64] = {};
  std::snprintf(buffer, sizeof buffer, "%s", buffer_text ? buffer_text : "");
  for (bool ready = false;; ready = true) {
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    if (BTN_select_path_stl(kPathX, kPathY, 998, type, &path, 200, "Folder:|on the right{xPick a folder", kPathW, 0))
      printf("chosen=[%s]\n", path.c_str());
    if (BTN_select_path_chr(kBufferX, kBufferY, 999, 20, buffer, kBufferMax, "Short:", kBufferW, 0))
      printf("chosen buffer=[%s]\n", buffer);
    report("path", path, shown_path, "[" + path + "]");
    report("buffer", std::string(buffer), shown_buffer, "[" + std::string(buffer) + "]");
    if (!ready) puts("ready");
    MACIBM_event_proc();
  }
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IOLBF, 0);
  MACIBM_init(argc, argv);
  const char* scene_name = getenv("CORVANE_WIDGET_SCENE");
  const std::string name = scene_name ? scene_name : "fields";
  if (name == "keys") return run_keys();
  if (name == "chooser") return run_chooser();
  if (name == "message") return box_scene::run_message();
  if (name == "about") return box_scene::run_about();
  if (name == "opensave") return box_scene::run_opensave();
  if (name == "tabs") return box_scene::run_tabs();
  if (name == "path") return run_path();
  return run_fields();
}
