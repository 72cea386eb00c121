// The three flows that install from the discs (a new copy, a repair, new
// scenery) as one table of what differs between them, and the screens
// that are told once over it.
#pragma once

#include <string>

#include "wizard/disc_flows.h"

struct disc_flow {
  int* running;   // the flow's run flag
  int* position;  // the run's next file in the table
  bool new_copy;  // registers the copy; a cancel may delete it
  screen_func before_run;   // the choice before the run; Back while running
  screen_func run;
  screen_func verify;
  screen_func switch_to;
  screen_func done;
  screen_func dirs_failed;  // where a folder that cannot be made leads
  const char* run_title;
  const char* run_body;     // before the folder
  const char* run_caption;  // before the file's path
  const char* finishing;    // the caption once every file is handed out
  const char* verify_title;
  const char* switch_title;
  // The question about a file that failed; its second button is "Continue".
  const char* error_head;
  const char* error_tail;
  const char* error_first;
  const char* error_first_explain;
  const char* error_second_explain;
  // The question on coming back to the choice while the run is going.
  const char* stop_message;
  const char* stop_first;
  const char* stop_first_explain;
  const char* stop_second_explain;
  const char* done_title;
  std::string (*success_text)();
  std::string (*error_text)();
  // Quit while the run is going asks the stop question: 0 when the user
  // goes on with the run.
  int (*quit_question)();
};

extern const disc_flow kInstallFlow;
extern const disc_flow kRepairFlow;
extern const disc_flow kSceneryFlow;

int disc_run_frame(const disc_flow& flow, wizard_screen& ws);
int disc_verify_frame(const disc_flow& flow, wizard_screen& ws);
int disc_switch_frame(const disc_flow& flow, int first_frame, wizard_screen& ws);
int disc_done_frame(const disc_flow& flow, wizard_screen& ws);

// On the first frame of a choice screen while its flow's run is going:
// asks whether to stop the run. 1 when the user goes on with it (the
// wizard returns to the run screen, set as next_screen); 0 when the run
// was stopped, or none was going.
int disc_stop_question(const disc_flow& flow, wizard_screen& ws);

// The verb of the scenery finish screen for the numbers of files added
// and removed; done: the past tense of the success text, else the -ing
// form of the error text.
const char* scenery_verb(int to_get, int to_delete, bool done);
