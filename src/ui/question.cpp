#include "ui/question.h"

#include <algorithm>
#include <cmath>

#include "runtime/globals.h"
#include "ui/alert.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/widgets.h"
#include "window/macibm.h"
#include "window/mnw.h"
#include "window/subwindows.h"

int BTN_modal_loop(int window, const std::function<int()>& pass) {
  MACIBM_startwind(window, 0);
  while (mnw.cur_wind == window) {
    const int answer = pass();
    if (answer >= 0) return answer;
    if (mnw.cur_wind == window) MACIBM_event_proc();
  }
  return -1;
}

namespace {

// Lays the texts out from their places without growing the box: each
// text's place, and the place of the last line of the flowing texts (above
// every place when they take no line).
float lay_out_flowing(const std::vector<box_text>& texts, const std::vector<std::string>& shown,
                      std::vector<float>& y) {
  constexpr float kLine = 10.0f;
  float below = 1e9f, last = 1e9f;  // the line below the last flowing line, and that line
  for (std::size_t i = 0; i < texts.size(); ++i) {
    y[i] = texts[i].y;
    if (!texts[i].flows) continue;
    y[i] = std::min(texts[i].y, below);
    const int lines = OGL_text_lines(shown[i], texts[i].wrap);
    if (lines == 0) continue;
    last = y[i] - kLine * static_cast<float>(lines - 1);
    below = last - kLine;
  }
  return last;
}

}  // namespace

box_layout BTN_lay_out_box(const std::vector<box_text>& texts, float lowest_line, float room) {
  box_layout out;
  out.y.resize(texts.size());
  for (const box_text& t : texts) out.shown.push_back(t.text);
  const auto grown_for = [&]() { return std::max(0.0f, lowest_line - lay_out_flowing(texts, out.shown, out.y)); };
  float grown = grown_for();
  room = std::max(room, 0.0f);
  if (grown > room) {
    // The flowing texts give up their middles in turn, the one of the most
    // lines first, a line at a time or as many as are still too many.
    std::vector<int> lines(texts.size(), -1);  // -1: not flowing, or cut as far as it goes
    for (std::size_t i = 0; i < texts.size(); ++i)
      if (texts[i].flows) lines[i] = OGL_text_lines(texts[i].text, texts[i].wrap);
    while ((grown = grown_for()) > room) {
      const auto most = std::max_element(lines.begin(), lines.end());
      if (*most <= 1) break;
      const std::size_t i = static_cast<std::size_t>(most - lines.begin());
      int next = -1;  // the most lines of the others
      for (std::size_t k = 0; k < lines.size(); ++k)
        if (k != i) next = std::max(next, lines[k]);
      const int excess = static_cast<int>(std::ceil((grown - room) / 10.0f));
      int target = std::max(*most - excess, next);
      if (target >= *most) target = *most - 1;
      out.shown[i] = OGL_cut_to_lines(texts[i].text, texts[i].wrap, target);
      const int now = OGL_text_lines(out.shown[i], texts[i].wrap);
      lines[i] = now < *most ? now : -1;
    }
    grown = std::min(grown, room);
  }
  out.grown = grown;
  for (std::size_t i = 0; i < texts.size(); ++i)
    if (texts[i].flows) out.y[i] += grown;
  return out;
}

float BTN_box_room(float height) {
  // The box's frame reaches a little beyond it, above and below.
  constexpr float kFrameMargin = 20.0f;
  const float scale = mnw.scale > 0.0f ? mnw.scale : 1.0f;
  return std::max(0.0f, static_cast<float>(mnw.y_res) / scale - height - kFrameMargin);
}

void BTN_draw_box_texts(const std::vector<box_text>& texts, const box_layout& layout) {
  for (std::size_t i = 0; i < texts.size(); ++i)
    OGL_string(43, texts[i].x, layout.y[i], layout.shown[i], texts[i].wrap, charset_prop, texts[i].align);
}

int BTN_question_box(int window, const question_text* texts, int text_count, float lowest_line,
                     const question_button* buttons, int button_count, int closed_answer,
                     const std::string headless[4]) {
  const wind_size* box = wind_size_of(window);
  const float width = box ? box->w : mnw.wind_w, height = box ? box->h : mnw.wind_h;
  std::vector<box_text> laid;
  for (int i = 0; i < text_count; ++i)
    laid.push_back({texts[i].x, texts[i].y, width - texts[i].margin, 0, texts[i].text, texts[i].flows});
  const box_layout layout = BTN_lay_out_box(laid, lowest_line, BTN_box_room(height));
  const int answer = BTN_modal_loop(window, [&]() {
    MACIBM_grow_wind(layout.grown);
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    BTN_draw_box_texts(laid, layout);
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
