#include "runtime/ui_calls.h"
#include "runtime/xtim.h"

void qtim_class::qtim_wind() {
  BTN_fillwin(1, 21);
  BTN_subwin(0, 13, -1, -1, -1, -1, "NO QUICKTIME MOVIES FOR LINUX... SORRY!", &wx, &wy);
}
