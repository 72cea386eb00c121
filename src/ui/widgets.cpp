#include "ui/widgets.h"

#include <cmath>
#include <deque>

#include "window/mnw.h"

namespace {

std::deque<std::string>& script() {
  static std::deque<std::string> clicks;
  return clicks;
}

}  // namespace

int BTN_zap_boxes(int /*pressed*/) { return 0; }

int BTN_action(float centre_x, float y, float width, int /*on_state*/, int /*style*/, std::string label,
               std::string /*key_label*/) {
  if (!script().empty() && script().front() == label) {
    script().pop_front();
    return 1;
  }
  const bool hit = mnw.click && mnw.open_menu == -1 && std::fabs(mnw.mouse_x - centre_x) < width * 0.5f &&
                   std::fabs(mnw.mouse_y - y) < 10.0f;
  return hit ? 1 : 0;
}

void BTN_script_click(const std::string& label) { script().push_back(label); }

int BTN_script_pending() { return static_cast<int>(script().size()); }

std::string BTN_script_next() { return script().empty() ? std::string() : script().front(); }

void BTN_script_clear() { script().clear(); }
