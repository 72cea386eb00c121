// Web addresses handed to the desktop.
#pragma once

#include <string>

// Asks the platform to open address in the user's browser. On this platform
// it does nothing and returns at once.
void go_to_URL(const std::string& address);
