// The licence page that a flow shows before it installs: the agreement as
// the body, a check box under it, and Next only once the box is ticked.
#pragma once

#include "wizard/wizard.h"

// What differs between the licence pages of the flows.
struct licence_kind {
  int* accepted;  // the flow's acceptance, cleared by the screen before the page
  screen_func back;
  screen_func next;
};

// One frame of a licence page; always 0 (the page never moves on by itself).
int licence_page(const licence_kind& kind, wizard_screen& ws);
