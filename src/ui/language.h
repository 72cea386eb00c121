// The interface language: chooses the language file for the language index
// of the window state.
#pragma once

// Index 0 (English) empties the translation tables; any other index loads
// "Resources/" + the language's folder + "Installer2.txt" (an index with no
// folder gives "Resources/Installer2.txt").
void MACIBM_setupforlang();
