// The command registry: declared in the runtime, whose command line lists
// it, defined here (window/cmnd.cpp).
#pragma once

#include "runtime/cmnd.h"
