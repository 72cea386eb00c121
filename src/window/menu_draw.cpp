#include "window/menus.h"

// The menus are not drawn yet: the installer opens none but the pop-up
// lists of widgets that do not exist yet.
void standard_gui() {}
