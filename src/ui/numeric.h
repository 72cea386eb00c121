// Numeric entry fields: a number shown as a row of 10-unit digit cells with
// an up and a down arrow for each cell. A click on an arrow steps that digit;
// a click on a digit gives the field the keyboard and makes that digit the
// hot one, after which digits replace it and move right, Up and Down step
// it, Left and Right move it, and '+' and '-' set the sign. Every frame the
// bound value is clamped into its range and rounded to its decimals.
//
// Each call draws the field, tests this frame's input and edits the bound
// value in place; it returns 1 when a key or an arrow changed the value.
// All numeric fields share one key queue and one hot digit; the character
// field has its own.
#pragma once

#include <string>

int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float min, float max,
                  std::string label);
// Placed on a 75 by 50 grid: x = 75i + 75 - 10 digits, y = 50j + 25.
int BTN_flt_rangeij(float i, float j, float* value, int digits, int decimals, float min, float max,
                    std::string label);
// An int through a float copy, written back every frame.
int BTN_int_range(float x, float y, int* value, int digits, float min, float max, std::string label);
// An int between -(10^digits - 1) (with negative) or 0 and 10^digits - 1.
int BTN_int(float x, float y, int* value, int digits, int negative, std::string label);
// A double through a float copy, written back only on a frame that changed it.
int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float min, float max,
                  std::string label);
// A float whose range is every cell at 9, negated too with negative.
int BTN_flt(float x, float y, float* value, int digits, int decimals, int negative, std::string label);
int BTN_fltij(float i, float j, float* value, int digits, int decimals, int negative, std::string label);

// The number in a field's frame, read-only.
void BTN_display_number(float x, float y, float value, int digits, int decimals, const std::string& label);

// Degrees and minutes of a longitude and a latitude in four fields, placed
// downward from (*x, *y); lowers *y by 100 and returns true when a field
// changed.
bool enter_lat_lon(float* x, float* y, float* lon, float* lat);

// The first n characters of text as a code of capitals, digits, '-' and
// spaces, edited like the digits of a numeric field.
void BTN_chars(float x, float y, char* text, int n, std::string label);

// The arithmetic of the fields, in double precision so that no value and no
// step can overflow.
// Value of one step of cell k (0 the leftmost): 10^(digits - decimals - 1 - k).
double num_cell_step(int digits, int decimals, int k);
// value with the digit of weight step replaced by d, keeping the sign.
double num_set_digit(double value, double step, int d);
// Clamped into min..max (a value that is not a number becomes min), then
// rounded to decimals places with halves away from zero.
double num_normalise(double value, double min, double max, int decimals);
// The largest value of a field whose every cell is 9; digit counts outside
// 1..10 are taken as the nearest of them.
double num_all_nines(int digits, int decimals);
// Position of c in the character field's alphabet (space, 0-9, A-Z, '-'):
// lower-case letters count as capitals, anything else as '0'.
int chars_alphabet_index(char c);
char chars_alphabet_at(int index);
