// The interface language (MACIBM_setupforlang): declared with the other
// calls the window layer makes into this one, defined in ui/language.cpp.
#pragma once

#include "window/ui_calls.h"
