// Orderly and fatal shutdown. Defined by the interface layer (ui/shutdown.cpp).
#pragma once

// Takes the program down; orderly != 0 also stops the install engine's
// worker pools (letting their tasks finish), saves the settings and stops
// the worker threads. Either way this run's temporary folder is removed.
// Returns to the caller, which then ends the process.
void MACIBM_finishup(int orderly);
