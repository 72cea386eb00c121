// The installer wizard.
#pragma once

#include <string>

// Once non-zero, the main loop stops after the current pass and the program
// shuts down in order.
extern int app_done;

// Decimal value of text with an optional leading sign; -1 for empty text,
// for a character other than a digit or sign, or for more than nine
// characters after the sign.
int str_to_int(const std::string& text);

// The folder named on the command line after "-path", taken verbatim; empty
// when the option was not given.
extern std::string cmd_line_path;

// The folder the command line names with "-path": the second argument when
// the first is exactly "-path"; empty otherwise. Later arguments are not
// looked at.
std::string path_option(int argc, const char* const* argv);

// One wizard frame; the event loop runs it while no modal box is up.
void APP_update();

// A menu item was chosen; the installer has no menus of its own.
void APP_handlemenu(int id);
