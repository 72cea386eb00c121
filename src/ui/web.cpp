#include "ui/web.h"

void go_to_URL(const std::string& address) {
  // No browser is started from the installer on this platform.
  (void)address;
}

void IBM_turnoff() {}
