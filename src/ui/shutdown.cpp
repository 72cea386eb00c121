#include "ui/shutdown.h"

#include "runtime/globals.h"

void MACIBM_finishup(int orderly) {
  (void)orderly;
  if (xer.is_open()) {
    xer.flush();
    xer.close();
  }
}
