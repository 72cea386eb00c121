// The decision, once per installation run, of what happens to every file of
// the file table: install the wanted version, delete the local file, or
// leave it alone; and the question to the user about files changed locally.
#pragma once

#include <string>

// Answers of select_alert.
enum {
  answer_act = 1,          // install over (or delete) this changed file
  answer_keep = 2,         // keep this changed file
  answer_cancel = 3,       // cancel the whole installation
  answer_act_folder = 4,   // act on this and every later changed file of its folder
  answer_keep_folder = 5,  // keep this and every later changed file of its folder
};

// Sets do_install and do_delete of the current version of every file and
// then every file's progress mark. A local file that matches no version
// that a record of its local path lists was changed by the user, who is
// asked what to do with it. Returns
// 1 when every file is decided, 0 when the user cancelled the installation
// (later files then keep their old flags and no progress mark is written).
// A record that another record of the same local path takes precedence
// over (want_this_f) is left alone: it neither installs, deletes nor asks
// about that file. Run after the checksum scan.
int choose_files();

// Asks the user what to do with a changed local file (path, shown as is)
// that is about to be installed over (is_delete 0) or deleted (non-zero).
// Runs its own loop of frames in the question window until a button
// answers; 1 to 5 as above. When the window is closed another way the
// answer is 3. Without a display nobody can answer: a scripted click must
// be waiting (BTN_script_click), otherwise this is a fatal alert.
int select_alert(std::string path, int is_delete);

