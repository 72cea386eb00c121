// The wizard as a user sees it: its texts where the frame draws them (for
// screen_text probes) and clicks spaced as a person makes them.
#pragma once

#include <string>
#include <vector>

#include "support/click_table.h"
#include "support/screen_text.h"

typedef struct _XDisplay Display;

namespace wizard_view {

screen_text title(const std::string& text);
screen_text body(const std::string& text);
// Step i of the list; the current step is drawn in another colour.
screen_text step(int i, const std::string& name, bool current);
// The caption under the progress bar; whole false: only its beginning.
screen_text caption(const std::string& text, bool whole = true);
// The label of choice button i.
screen_text choice(int i, const std::string& label);
// The text beside server radio i of n.
screen_text server(int i, int n, const std::string& text);
// Line `line` of the disk-space block (lines 10 units apart).
screen_text disk_line(int line, const std::string& text);
// Copy-chooser row i, and the question under n rows, while the rows above
// take one line each.
screen_text copy_row(int i, const std::string& folder);
screen_text copy_question(int rows);
// The chooser listing these folders: every row as it is shown, whole and
// inside the panel, then the question under them.
std::vector<screen_text> copy_list(const std::vector<std::string>& folders);
// The text of the "Install Name:" field while it does not have the focus.
screen_text install_name(const std::string& text);
// The sentence beside the licence's check box.
screen_text licence_sentence(const std::string& text);
// The text of the two-button question; whole false: only its beginning.
screen_text question(const std::string& text, bool whole = true);
// The explanation beside the question's button i (0 first, 1 second).
screen_text question_explain(int i, const std::string& text);
// The question about a file the user changed (to be deleted: is_delete)
// as its box shows it: the first line, the path on as many lines as it
// takes and the closing line below its last, each whole and inside the
// box, which grows by the path's lines beyond one (*grown).
std::vector<screen_text> changed_file_question(const std::string& path, bool is_delete, float* grown);
// Line i (0 to 3) of the alert box.
screen_text alert_line(int i, const std::string& text);

// Waits until modal box `id` (grown by `grown` to hold its texts) is drawn:
// the corner of its window frame shows the frame's artwork over the window
// colour.
bool wait_for_box(Display* display, int id, int timeout_ms, float grown = 0);

// A click at p, at least 300 ms after the previous one (closer clicks make
// a double click), the pointer moved there first.
void click(Display* display, click_point p);

// Types text key by key (letters, digits, '.', '-', '/' and blanks;
// capitals with Shift).
void type(Display* display, const std::string& text);

}  // namespace wizard_view
