// Scripted clicks for runs without anyone at the screen: a queue of button
// labels that push buttons take as clicks, in order, through the widgets'
// test hook.
#pragma once

#include <string>

// Queues a click on the push button with this label. The next button drawn
// with the label at the head of the queue takes it and counts as clicked.
void BTN_script_click(const std::string& label);
// Number of scripted clicks not yet taken.
int BTN_script_pending();
// The label of the next scripted click; empty when none is queued.
std::string BTN_script_next();
// Drops every scripted click not yet taken.
void BTN_script_clear();
