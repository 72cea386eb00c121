// What the runtime calls in the interface above it. Defined in src/ui, whose
// headers include this one.
#pragma once

// Drops the keyboard focus of the widgets; the frame timer does so on a
// click, before the widgets see it.
void BTN_unfocus_any();
