// Orderly and fatal shutdown.
#pragma once

// Takes the program down; orderly != 0 also saves the settings and stops the
// worker threads. Returns to the caller, which then ends the process.
void MACIBM_finishup(int orderly);
