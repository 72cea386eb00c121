// The keyboard focus of the immediate-mode widgets.
//
// A field exists only while its widget function runs in the current frame,
// so the focus lives here: the ring of fields that offered themselves this
// frame (rebuilt every frame, its order the Tab order), the id of the focused
// field (kept from frame to frame) and a flag that a window claimed the
// keyboard this frame. Keys do not call fields: the keyboard translation
// offers each key to BTN_dispatch_to_focus, which moves the focus (Tab,
// Shift-Tab) or appends the key to the focused field's own queue; the field
// reads and empties its queue the next time its widget function runs.
//
// Safety: a queue is never written past its slot count; a key that finds the
// queue full is not queued.
#pragma once

#include <string>
#include <vector>

#include "window/ui_calls.h"

// One field of this frame's ring. The queues belong to the widget kind.
struct focus_info_t {
  int id;           // the field's id; 0 is never a field
  int* char_slot;   // queued characters
  int* vkey_slot;   // queued key codes
  int* flag_slot;   // queued key flags
  int* id_slot;     // the focus id at the time each key was queued
  int* ctr_slot;    // number of queued keys
  int slot_count;   // capacity of each queue
  int accept_mask;  // key classes the field wants (kFocus... bits)
};

// Key classes of the accept mask.
enum {
  kFocusTab = 1,         // Tab is queued instead of moving the focus
  kFocusReturn = 2,      // Return and the Enter keys
  kFocusDelete = 4,      // Backspace and Delete
  kFocusEscape = 8,
  kFocusNavigation = 16, // PageUp, PageDown, End, Home and the arrows
  kFocusLetters = 32,
  kFocusDigits = 64,
  kFocusSigns = 128,     // '+' and '-'
  kFocusPrintable = 256, // any other printable character
  kFocusOther = 512,     // anything else, character 0 included
};

// The focus ring of this frame, the focused field (0 none) and the window's
// claim on the keyboard.
extern std::vector<focus_info_t> focus_ring;
extern int focus_id;
extern int wind_focus;

// A focusable field's id from its position: ((int)x << 13) + (int)y.
int BTN_field_id(float x, float y);

// True for the characters a text field may hold and the focus ring counts
// as printable: 0x20 to 0x7E and the Latin-1 letters of the interface font.
bool BTN_is_text_char(int ch);

// A field offers itself for this frame; take_focus makes it the focused
// field. Returns 1 when the field holds the focus.
int BTN_register_focus(int id, int* char_slot, int* vkey_slot, int* flag_slot, int* id_slot, int* ctr_slot,
                       int slot_count, int accept_mask, int take_focus);

void BTN_focus_any();
void BTN_window_has_focus();
int BTN_no_focus_yet();

// List callbacks over a std::vector<std::string> and a std::vector<int>; an
// index outside the vector gives "" and 0.
std::string BTN_name_from_vector(int i, void* data);
int BTN_type_from_vector(int i, void* data);
