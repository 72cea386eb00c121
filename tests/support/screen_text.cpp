#include "support/screen_text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "support/wait.h"
#include "textures/builtin_images.h"
#include "ui/font.h"

namespace {

constexpr int kAtlas = 512;
// Pixels past a line's ends that must stay clear of ink.
constexpr int kEndMargin = 12;

int distance(const rgb& a, const rgb& b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

// The glyphs of a text as the program lays them out: the alpha each screen
// pixel gets from them, and the extent of each line.
class coverage : public text_target {
 public:
  coverage(int w, int h, bool whole) : w_(w), h_(h), whole_(whole), alpha_(buffer(w * h)) {}
  ~coverage() override {
    for (int i : touched_) alpha_[static_cast<std::size_t>(i)] = -1.0f;
  }

  int select(int, int) override { return 0; }
  void begin_line() override { line_ = {1 << 30, -(1 << 30), 0}; }
  void glyph(const quad_corners& q) override {
    const int x0 = static_cast<int>(q.v[0][0]), y0 = static_cast<int>(q.v[0][1]);
    const int x1 = static_cast<int>(q.v[2][0]), y1 = static_cast<int>(q.v[2][1]);
    last_ = {x0, y0, x1, y1};
    const int s0 = static_cast<int>(std::lround(q.v[0][2] * kAtlas));
    const int t0 = static_cast<int>(std::lround(q.v[0][3] * kAtlas));
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const int s = s0 + (x - x0), t = t0 + (y - y0);
        const float a = g_tex_interface[(t * kAtlas + s) * 4 + 3] / 255.0f;
        // A pixel counts as clear only in the rows of the letter bodies,
        // which the lines above and below (10 rows away) never reach.
        if (a > 0.0f || (y >= y0 + 4 && y < y0 + 10)) set(x, y, a);
        if (a > 0.0f && y < y0 + 2) strays = true;  // among the next line's letters, and read as theirs
        if (a > 0.0f) {
          line_.left = std::min(line_.left, x);
          line_.right = std::max(line_.right, x);
        }
      }
    line_.y = y0;
  }
  void end_line() override {
    if (line_.left <= line_.right) lines_.push_back(line_);
    // Of a text that goes on, what follows may stand in the last glyph's
    // cell. A line without ink (an empty one) has no cell of its own.
    if (!whole_ && line_.left <= line_.right)
      for (int y = last_.y0; y < last_.y1; ++y)
        for (int x = line_.right + 2; x < last_.x1; ++x)
          if (x >= 0 && y >= 0 && x < w_ && y < h_ && alpha_[static_cast<std::size_t>(y * w_ + x)] == 0.0f)
            alpha_[static_cast<std::size_t>(y * w_ + x)] = -2.0f;  // not looked at
  }

  // Pixels beside each line's ends count as clear: the rows of the letter
  // bodies that no neighbouring line (10 rows away) reaches.
  void add_margins(int align) {
    for (const line& l : lines_) {
      for (int y = l.y + 5; y < l.y + 10; ++y) {
        for (int x = l.right + 3; x < l.right + 3 + kEndMargin; ++x) set(x, y, 0.0f);
        if (align != 0)
          for (int x = l.left - kEndMargin - 2; x < l.left - 2; ++x) set(x, y, 0.0f);
      }
    }
  }

  // Below 0: not looked at; else the highest glyph alpha at the pixel (y up).
  float at(int x, int y) const { return alpha_[static_cast<std::size_t>(y * w_ + x)]; }
  // The pixels looked at, as y * width + x (some may have gone back to
  // "not looked at").
  const std::vector<int>& touched() const { return touched_; }
  int width() const { return w_; }
  int height() const { return h_; }
  bool empty() const { return lines_.empty(); }
  int rightmost() const {
    int r = -(1 << 30);
    for (const line& l : lines_) r = std::max(r, l.right);
    return r;
  }
  bool strays = false;  // a glyph inks rows of the line below

 private:
  struct line {
    int left, right, y;
  };
  // One screen-sized buffer, all "not looked at" between uses.
  static std::vector<float>& buffer(int n) {
    static std::vector<float> b;
    if (b.size() != static_cast<std::size_t>(n)) b.assign(static_cast<std::size_t>(n), -1.0f);
    return b;
  }
  void set(int x, int y, float a) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    float& p = alpha_[static_cast<std::size_t>(y * w_ + x)];
    if (p == -1.0f) touched_.push_back(y * w_ + x);
    p = std::max(p, a);
  }

  struct cell {
    int x0, y0, x1, y1;
  };
  int w_, h_;
  bool whole_;
  cell last_{0, 0, 0, 0};
  std::vector<float>& alpha_;
  std::vector<int> touched_;
  std::vector<line> lines_;
  line line_{};
};

}  // namespace

rgb ink_of(int colour) {
  for (const interface_swatch& s : kInterfaceSwatches)
    if (s.entry == colour) return {s.r, s.g, s.b};
  switch (colour) {
    case 65:
      return {51, 51, 204};
    case 69:
      return {255, 0, 0};
    default:
      return {0, 0, 0};
  }
}

bool shows_text(const Screenshot& shot, const screen_text& t, std::string* why) {
  if (!shot.ok()) {
    if (why) *why = "no screenshot";
    return false;
  }
  coverage c(shot.width(), shot.height(), t.whole);
  text_string(c, t.colour, t.x, t.y, t.text, t.wrap, charset_prop, t.align, t.ox, t.oy);
  if (t.whole) c.add_margins(t.align);
  const rgb ink = ink_of(t.colour);
  const auto pixel = [&](int x, int y) { return shot.at(x, shot.height() - 1 - y); };

  // The ground: the middle value of the pixels the glyphs leave clear.
  std::vector<int> ground[3];
  int clear_pixels = 0, clear_inked = 0;
  for (int i : c.touched()) {
    const int x = i % c.width(), y = i / c.width();
    if (c.at(x, y) != 0.0f) continue;
    const rgb p = pixel(x, y);
    ++clear_pixels;
    if (distance(p, ink) <= 30) {
      ++clear_inked;
      continue;
    }
    ground[0].push_back(p.r);
    ground[1].push_back(p.g);
    ground[2].push_back(p.b);
  }
  rgb bg{255, 255, 255};
  if (!ground[0].empty()) {
    int* channel[3] = {&bg.r, &bg.g, &bg.b};
    for (int k = 0; k < 3; ++k) {
      std::nth_element(ground[k].begin(), ground[k].begin() + ground[k].size() / 2, ground[k].end());
      *channel[k] = ground[k][ground[k].size() / 2];
    }
  }

  // Every pixel a glyph covers: the ink blended over the ground.
  int ink_pixels = 0, ink_wrong = 0;
  for (int i : c.touched()) {
    const int x = i % c.width(), y = i / c.width();
    const float a = c.at(x, y);
    if (a < 0.25f) continue;
    const rgb want{static_cast<int>(std::lround(a * ink.r + (1 - a) * bg.r)),
                   static_cast<int>(std::lround(a * ink.g + (1 - a) * bg.g)),
                   static_cast<int>(std::lround(a * ink.b + (1 - a) * bg.b))};
    ++ink_pixels;
    if (distance(pixel(x, y), want) > 48) ++ink_wrong;
  }
  const bool past = static_cast<float>(c.rightmost()) >= t.ox + t.right;
  const bool ok =
      ink_pixels > 0 && ink_wrong * 50 <= ink_pixels && clear_inked * 200 <= clear_pixels && !c.strays && !past;
  if (!ok && why)
    *why = "\"" + t.text + "\": " + std::to_string(ink_wrong) + " of " + std::to_string(ink_pixels) +
           " ink pixels differ, " + std::to_string(clear_inked) + " of " + std::to_string(clear_pixels) +
           " clear pixels are inked" + (c.strays ? ", ink lies in the line below" : "") +
           (past ? ", it runs past its box" : "");
  return ok;
}

bool wait_for_text(Display* display, const screen_text& t, int timeout_ms, std::string* why) {
  return wait_for_texts(display, {t}, timeout_ms, why);
}

bool wait_for_texts(Display* display, const std::vector<screen_text>& texts, int timeout_ms,
                    std::string* why) {
  std::string last;
  const bool ok = wait_until(
      [&] {
        const Screenshot shot = Screenshot::grab(display);
        for (const screen_text& t : texts)
          if (!shows_text(shot, t, &last)) return false;
        return true;
      },
      timeout_ms);
  if (!ok && why) *why = last;
  return ok;
}
