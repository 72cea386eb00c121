// Sends the log `xer` to a file for the life of the object.
#pragma once

#include <string>

class LogCapture {
 public:
  explicit LogCapture(std::string path);
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Everything logged so far.
  std::string text();

 private:
  std::string path_;
};

// How many times part stands in text (counting overlapping ones).
int occurrences(const std::string& text, const std::string& part);
