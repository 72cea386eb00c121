// Web addresses handed to the desktop, and the platform's switch-off hook.
#pragma once

#include <string>

// Asks the platform to open address in the user's browser. On this platform
// it does nothing and returns at once.
void go_to_URL(const std::string& address);

// Platform hook at switch-off; does nothing on this platform.
void IBM_turnoff();
