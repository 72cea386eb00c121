// The window state: declared in the runtime so that every layer can read
// it, defined here (window/mnw.cpp).
#pragma once

#include "runtime/mnw.h"
