#include "ui/widgets.h"

int focused_field = -1;

void BTN_unfocus_any() { focused_field = -1; }
