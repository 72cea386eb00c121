// Whole files written and read at once, for the release builder, the sample
// run and the tests.
#pragma once

#include <string>

// Writes a whole file, making missing parent folders; false on failure.
bool write_file(const std::string& path, const std::string& content);
// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::string& path);
