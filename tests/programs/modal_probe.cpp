// A small program for the modal-box tests: the installer's own display
// start-up, a few passes of the main window, then one box chosen by the
// environment variable MODAL_PROBE:
//   warning   a warning alert, then "returned to window N" in the log
//   fatal     a fatal alert (the program ends inside it)
//   changed   the question about a changed file, then "answer N"
//   abort     the two-button question, then "answer N"
// It ends in order afterwards with exit code 0.
#include <cstdlib>
#include <string>

#include "engine/decisions.h"
#include "engine/disc_install.h"
#include "runtime/globals.h"
#include "ui/alert.h"
#include "ui/shutdown.h"
#include "window/macibm.h"
#include "window/mnw.h"
#include "wizard/wizard.h"

int main(int argc, char** argv) {
  MACIBM_init(argc, argv);
  stls.ok_caption = "OK";
  for (int i = 0; i < 5; ++i) MACIBM_event_proc();
  const char* which = std::getenv("MODAL_PROBE");
  const std::string box = which ? which : "";
  xer << "probe ready: " << box << "\n";
  xer.flush();
  if (box == "warning") {
    MACIBM_alert(0, "Something is not quite right.", "Second line of the warning.", "", "Fourth line.", t_alert);
    xer << "returned to window " << mnw.cur_wind << "\n";
  } else if (box == "fatal") {
    MACIBM_alert(0, "This cannot go on.", "", "", "", t_exit);
    xer << "the fatal alert returned\n";
  } else if (box == "changed") {
    xer << "answer " << select_alert("/copy/Resources/changed.txt", 0) << "\n";
  } else if (box == "abort") {
    xer << "answer " << abort_alert("A disc could not be read.", "Stop", "the installation.", "Continue",
                                    "with the next file.")
        << "\n";
  }
  MACIBM_finishup(1);
  return 0;
}
