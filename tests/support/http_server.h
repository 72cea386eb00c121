// The tests' HTTP server: shared with the sample run, it lives in
// tools/sample.
#pragma once

#include "sample/http_server.h"
