#include "ui/question.h"

#include "runtime/globals.h"
#include "ui/alert.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/widgets.h"
#include "window/macibm.h"
#include "window/mnw.h"

int BTN_modal_loop(int window, const std::function<int()>& pass) {
  MACIBM_startwind(window, 0);
  while (mnw.cur_wind == window) {
    const int answer = pass();
    if (answer >= 0) return answer;
    if (mnw.cur_wind == window) MACIBM_event_proc();
  }
  return -1;
}

int BTN_question_box(int window, const question_text* texts, int text_count, const question_button* buttons,
                     int button_count, int closed_answer, const std::string headless[4]) {
  const int answer = BTN_modal_loop(window, [&]() {
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    for (int i = 0; i < text_count; ++i)
      OGL_string(43, texts[i].x, texts[i].y, texts[i].text, mnw.wind_w - texts[i].margin, charset_prop,
                 0);
    for (int i = 0; i < button_count; ++i) {
      const question_button& b = buttons[i];
      if (BTN_action(b.x, b.y, b.w, 0, 1, b.label, "-")) {
        MACIBM_startwind(wind_main, 0);
        return b.answer;
      }
    }
    if (!ogl_inited) {
      // No window, and nothing answered at once: waiting would hang the run.
      xer << "A question came up without a display and nothing answered it.\n";
      __MACIBM_alert(0, headless[0], headless[1], headless[2], headless[3], t_exit, "question", __LINE__);
    }
    return -1;
  });
  return answer < 0 ? closed_answer : answer;
}
