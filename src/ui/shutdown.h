// The shutdown: declared in the runtime so that every layer can end the run
// in order, defined here (ui/shutdown.cpp).
#pragma once

#include "runtime/shutdown.h"
