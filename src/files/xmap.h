// The mapped file reader: declared in the runtime, which reads its own files
// with it, defined here (files/xmap.cpp).
#pragma once

#include "runtime/xmap.h"
