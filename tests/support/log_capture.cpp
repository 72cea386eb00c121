#include "support/log_capture.h"

#include "runtime/globals.h"
#include "support/temp_dir.h"

LogCapture::LogCapture(std::string path) : path_(std::move(path)) {
  xer.close();
  xer.clear();
  xer.open(path_, std::ios::out | std::ios::trunc);
}

LogCapture::~LogCapture() {
  xer.close();
  xer.clear();
}

std::string LogCapture::text() {
  xer.flush();
  return read_file(path_);
}

int occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}
