// Web addresses handed to the desktop, and the platform's switch-off hook.
#pragma once

#include <string>

#include "engine/ui_calls.h"

// Platform hook at switch-off; does nothing on this platform.
void IBM_turnoff();
