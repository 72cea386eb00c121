// The alert routine: declared in the runtime so that every layer can report
// through it, defined here (ui/alert.cpp).
#pragma once

#include "runtime/alert.h"
