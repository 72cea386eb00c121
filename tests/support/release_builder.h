// The release builder: shared with the sample run, it lives in tools/sample.
#pragma once

#include "sample/release_builder.h"
