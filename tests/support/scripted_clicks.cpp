#include "support/scripted_clicks.h"

#include <deque>

#include "ui/widgets.h"

namespace {

std::deque<std::string>& script() {
  static std::deque<std::string> clicks;
  return clicks;
}

int take_scripted_click(const std::string& label) {
  if (script().empty() || script().front() != label) return 0;
  script().pop_front();
  return 1;
}

}  // namespace

void BTN_script_click(const std::string& label) {
  BTN_click_script = take_scripted_click;
  script().push_back(label);
}

int BTN_script_pending() { return static_cast<int>(script().size()); }

std::string BTN_script_next() { return script().empty() ? std::string() : script().front(); }

void BTN_script_clear() { script().clear(); }
