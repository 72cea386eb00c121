// The scenes of the widget window that show the toolkit's boxes:
//   message  the simple message box twice: three buttons, then two; prints
//            "result=N" after each
//   about    the about box, with the preferences read (so the proxy options
//            apply) and a temporary folder inside the program's folder
//   opensave the open dialog for aircraft files at kOpenStart, then the save
//            dialog for situations, in the folder CORVANE_OPEN_ROOT; prints
//            "result=[path]" or "cancelled=[path]" after each
//   tabs     a row of three tabs, the direction dial and three shapes in a
//            modal window; prints each change of the tab and the heading
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/installer_state.h"
#include "files/temp_folder.h"
#include "runtime/globals.h"
#include "runtime/prefs.h"
#include "ui/about_box.h"
#include "ui/draw.h"
#include "ui/frames.h"
#include "ui/message_box.h"
#include "ui/opensave.h"
#include "ui/shapes.h"
#include "ui/tabs_dial.h"
#include "widget_window/box_layout.h"
#include "window/macibm.h"
#include "window/mnw.h"

namespace box_scene {

int run_message() {
  stls.msg_head = kHead;
  stls.msg_tail = kTail;
  for (int i = 0; i < 3; ++i) stls.msg_button[i] = kButtons[i];
  printf("result=%d\n", MACIBM_nuke_alert(kMessage, 1));
  printf("result=%d\n", MACIBM_nuke_alert("Second box.", 0));
  return 0;
}

int run_about() {
  pref.IO_set(11, 0);
  char here[4096];
  if (!getcwd(here, sizeof here)) return 2;
  temp_path = make_run_temp_folder(std::string(here) + "/");
  puts("opening");
  MACIBM_about();
  puts("closed");
  remove_run_temp_folder(temp_path);
  return 0;
}

int run_opensave() {
  const char* root = getenv("CORVANE_OPEN_ROOT");
  if (!root || chdir(root) != 0) return 2;
  std::string path = kOpenStart;
  int r = BTN_opensave(wind_file_dialog, kOpenType, &path);
  printf("%s=[%s]\n", r ? "result" : "cancelled", path.c_str());
  path.clear();
  r = BTN_opensave(wind_opensave, kSaveType, &path);
  printf("%s=[%s]\n", r ? "result" : "cancelled", path.c_str());
  return 0;
}

int run_tabs() {
  MACIBM_startwind(wind_file_dialog, 0);
  int tab = 0, shown_tab = -1, shown_heading = -1;
  float heading = 0;
  for (;;) {
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    for (int i = 0; i < 3; ++i) BTN_tab(i, 0, &tab, i, kTabLabels[i]);
    plot_dir(kDialX, kDialY, &heading, 0);
    OGL_fillcircle(kDiscColour, kDiscX, kShapeY, kShapeR);
    OGL_framecircle(kCircleColour, kCircleX, kShapeY, kShapeR);
    OGL_arc(kArcColour, kArcX, kShapeY, kShapeR / 2, kShapeR, 0, 90);
    if (tab != shown_tab) printf("tab=%d\n", shown_tab = tab);
    const int h = static_cast<int>(heading + 0.5f);
    if (h != shown_heading) printf("heading=%d\n", shown_heading = h);
    MACIBM_event_proc();
  }
}

}  // namespace box_scene
