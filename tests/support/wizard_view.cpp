#include "support/wizard_view.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "support/wait.h"
#include "support/x_input.h"
#include "textures/builtin_images.h"
#include "ui/font.h"
#include "window/mnw.h"
#include "window/subwindows.h"
#include "wizard/layout.h"
#include "wizard/pick_install.h"

namespace wizard_view {

namespace {

constexpr int kTextColour = 12, kListColour = 45, kCurrentColour = 65, kButtonLabelColour = 43;

screen_text at(float x, float y, const std::string& text, float wrap, int align, int colour) {
  screen_text t;
  t.x = x;
  t.y = y;
  t.text = text;
  t.wrap = wrap;
  t.align = align;
  t.colour = colour;
  return t;
}

}  // namespace

screen_text title(const std::string& text) { return at(kTitleX, kTitleY, text, kTextWrap, 1, kTextColour); }
screen_text body(const std::string& text) {
  screen_text t = at(kBodyX, kBodyY, text, kTextWrap, 0, kTextColour);
  t.right = kScreenPanel.x + kScreenPanel.w;
  return t;
}
screen_text step(int i, const std::string& name, bool current) {
  return at(kStepX, step_y(i), name, kStepWrap, 0, current ? kCurrentColour : kListColour);
}
screen_text caption(const std::string& text, bool whole) {
  screen_text t = at(kProgressCaptionX, kProgressCaptionY, text, kProgressWidth, 0, kTextColour);
  t.whole = whole;
  return t;
}
screen_text choice(int i, const std::string& label) {
  return at(kChoiceX, choice_y(i) - 3.0f, label, 9999.0f, 1, kButtonLabelColour);
}
screen_text server(int i, int n, const std::string& text) {
  return at(kServerTextX, server_row_y(i, n), text, kServerTextWrap, 0, kListColour);
}
screen_text disk_line(int line, const std::string& text) {
  return at(kDiskTextX, kDiskTextY - 10.0f * static_cast<float>(line), text, kDiskTextWrap, 0, kListColour);
}
namespace {
screen_text copy_text(float x, float y, const std::string& text) {
  screen_text t = at(x, y, text, kPickTextWrap, 0, kListColour);
  t.right = kScreenPanel.x + kScreenPanel.w;
  return t;
}
const char* const kCopyQuestion = "Is the copy of Corvane 9 you're looking for missing from this list?";
}  // namespace
screen_text copy_row(int i, const std::string& folder) { return copy_text(kPickTextX, pick_row_y(i), folder); }
screen_text copy_question(int rows) { return copy_text(kPickQuestionX, pick_row_y(rows), kCopyQuestion); }
std::vector<screen_text> copy_list(const std::vector<std::string>& folders) {
  const pick_rows rows = pick_layout(folders);
  std::vector<screen_text> texts;
  for (std::size_t i = 0; i < folders.size(); ++i) texts.push_back(copy_text(kPickTextX, rows.y[i], rows.shown[i]));
  texts.push_back(copy_text(kPickQuestionX, rows.below, kCopyQuestion));
  return texts;
}
screen_text install_name(const std::string& text) {
  return at(kInstallNameX, kInstallNameY, text, 9999.0f, 0, kListColour);
}
screen_text licence_sentence(const std::string& text) {
  return at(kLicenceTextX, kLicenceY, text, kLicenceTextWrap, 0, kListColour);
}
namespace {
screen_text in_question(float x, float y, float margin, const std::string& text, int id = wind_abort_question,
                        float grown = 0) {
  const wind_size* box = wind_size_of(id);
  const click_point o = clicks::box_origin(id, grown);
  screen_text t = at(x, y, text, box->w - margin, 0, kButtonLabelColour);
  t.ox = static_cast<float>(o.x);
  t.oy = static_cast<float>(o.y);
  t.right = box->w;
  return t;
}
}  // namespace
screen_text question(const std::string& text, bool whole) {
  screen_text t = in_question(20, 160, 40, text);
  t.whole = whole;
  return t;
}
screen_text question_explain(int i, const std::string& text) {
  return in_question(150, i == 0 ? 53.0f : 28.0f, 210, text);
}
std::vector<screen_text> changed_file_question(const std::string& path, bool is_delete, float* grown) {
  const float g = *grown = 10.0f * static_cast<float>(OGL_text_lines(path, wind_size_of(wind_question)->w - 40) - 1);
  const char* last = is_delete ? "because we no longer use this file, but it appears you have modified it. What to do?"
                               : "but it appears you have modified this file. What to do?";
  return {in_question(20, 100 + g, 40, is_delete ? "I am about to DELETE:" : "I am about to install:", wind_question, g),
          in_question(20, 90 + g, 40, path, wind_question, g), in_question(20, 80, 40, last, wind_question, g)};
}
screen_text alert_line(int i, const std::string& text) {
  const wind_size* box = wind_size_of(wind_alert);
  const click_point o = clicks::box_origin(wind_alert);
  screen_text t = at(box->w / 2, 205.0f - 40.0f * static_cast<float>(i), text, box->w * 0.9f, 1, 43);
  t.ox = static_cast<float>(o.x);
  t.oy = static_cast<float>(o.y);
  t.right = box->w;
  return t;
}

bool wait_for_box(Display* display, int id, int timeout_ms, float grown) {
  // The frame's texel at box point (5, 5) over the window colour (34).
  const unsigned char* t = g_tex_interface + ((358 + 19) * 512 + (1 + 14)) * 4;
  const rgb ground = ink_of(34);
  const float a = t[3] / 255.0f;
  const rgb want{static_cast<int>(std::lround(a * t[0] + (1 - a) * ground.r)),
                 static_cast<int>(std::lround(a * t[1] + (1 - a) * ground.g)),
                 static_cast<int>(std::lround(a * t[2] + (1 - a) * ground.b))};
  const click_point p = clicks::in_box(id, 5, 5, grown);
  return wait_until(
      [&] {
        const rgb here = Screenshot::grab(display).at(p.x, p.y);
        return std::abs(here.r - want.r) <= 3 && std::abs(here.g - want.g) <= 3 && std::abs(here.b - want.b) <= 3;
      },
      timeout_ms);
}

void click(Display* display, click_point p) {
  static auto last = std::chrono::steady_clock::now() - std::chrono::seconds(1);
  const auto ready = last + std::chrono::milliseconds(350);
  std::this_thread::sleep_until(ready);
  click_at(display, p.x, p.y);
  last = std::chrono::steady_clock::now();
}

void type(Display* display, const std::string& text) {
  for (char c : text) {
    if (c >= 'A' && c <= 'Z') {
      key_down(display, "Shift_L");
      key_tap(display, std::string(1, static_cast<char>(c - 'A' + 'a')));
      key_up(display, "Shift_L");
    } else if (c == '-') {
      key_tap(display, "minus");
    } else if (c == '.') {
      key_tap(display, "period");
    } else if (c == '/') {
      key_tap(display, "slash");
    } else if (c == ' ') {
      key_tap(display, "space");
    } else {
      key_tap(display, std::string(1, c));
    }
  }
}

}  // namespace wizard_view
