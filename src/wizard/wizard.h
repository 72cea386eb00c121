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

// One wizard frame.
void wizard_frame();
