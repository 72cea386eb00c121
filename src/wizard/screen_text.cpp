#include "wizard/screen_text.h"

#include <climits>
#include <cmath>

#include "runtime/translate.h"

std::string T(const char* english) { return UTL_translate_string(english); }

std::string fill_in(const std::string& format, std::initializer_list<std::string> values) {
  std::string out;
  auto next = values.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%' || i + 1 == format.size()) {
      out += c;
      continue;
    }
    const char d = format[i + 1];
    if (d == '%') {
      out += '%';
    } else if (d == 'd' || d == 's') {
      if (next != values.end()) out += *next++;
    } else {
      out += c;
      continue;
    }
    ++i;
  }
  return out;
}

std::string int_text(double value) {
  if (std::isnan(value)) return "0";
  if (value >= static_cast<double>(INT_MAX)) return std::to_string(INT_MAX);
  if (value <= static_cast<double>(INT_MIN)) return std::to_string(INT_MIN);
  return std::to_string(static_cast<int>(value));
}
