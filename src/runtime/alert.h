// The one alert routine through which every part of the program reports a
// problem to the user. Defined by the interface layer (ui/alert.cpp).
#pragma once

#include <string>

enum alert_type {
  t_lang = 0,   // first-run language chooser
  t_alert = 1,  // warning: shown, logged, returns
  t_exit = 2,   // fatal: shown, logged, ends the process with exit code 1
};

// Shows (or, without a window, prints) the four lines. Type 2 never returns.
void __MACIBM_alert(int return_window, std::string line1, std::string line2,
                    std::string line3, std::string line4, int type,
                    const char* source_file, int source_line);

// The caller's source file by its own name ("slider.cpp"), not by the path
// it was built from.
#ifdef __FILE_NAME__
#define MACIBM_SOURCE_NAME __FILE_NAME__
#else
#define MACIBM_SOURCE_NAME __FILE__
#endif

// Convenience form that fills in the caller's source position.
#define MACIBM_alert(win, l1, l2, l3, l4, type) \
  __MACIBM_alert((win), (l1), (l2), (l3), (l4), (type), MACIBM_SOURCE_NAME, __LINE__)
