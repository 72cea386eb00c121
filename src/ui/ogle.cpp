// The text-edit engine. Sections: text access and clamps; line table and
// relayout; point and vertical moves; scrolling; drawing; mouse; keys; edits;
// the object form.
#include "ui/ogle.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

namespace {

// ---- text access and clamps ----

struct Text {
  const char* s = nullptr;
  const char* e = nullptr;
  int len = 0;
};

Text get_text(OGLE_Rec* rec) {
  Text t;
  rec->cb.GetText(rec, &t.s, &t.e);
  if (!t.s || !t.e || t.e < t.s) {
    t.e = t.s;
    t.len = 0;
  } else {
    const std::ptrdiff_t n = t.e - t.s;
    t.len = n > INT_MAX ? INT_MAX : static_cast<int>(n);
  }
  return t;
}

int clamp_offset(int v, int len) { return v < 0 ? 0 : (v > len ? len : v); }

// Puts the ends in order (flipping the active end when they cross) and then
// clamps the end and the start into the text.
void order_and_clamp(OGLE_Rec* rec, int len) {
  if (rec->sel_end < rec->sel_start) {
    std::swap(rec->sel_start, rec->sel_end);
    rec->end_active = 1 - rec->end_active;
  }
  rec->sel_end = clamp_offset(rec->sel_end, len);
  rec->sel_start = clamp_offset(rec->sel_start, len);
}

// Before and after every edit: the selection lies inside the text, in order.
void clamp_for_edit(OGLE_Rec* rec) {
  const int len = get_text(rec).len;
  if (rec->sel_end < rec->sel_start) std::swap(rec->sel_start, rec->sel_end);
  rec->sel_end = clamp_offset(rec->sel_end, len);
  rec->sel_start = clamp_offset(rec->sel_start, len);
}

// ---- line table ----

int line_count(const OGLE_Rec* rec) { return static_cast<int>(rec->line_starts.size()); }

// Start of line i: the table's entry, len past the last line, 0 before the first.
int start_of(const OGLE_Rec* rec, int i, int len) {
  if (i < 0) return 0;
  if (i >= line_count(rec)) return len;
  return clamp_offset(rec->line_starts[static_cast<std::size_t>(i)], len);
}

float measure(OGLE_Rec* rec, const Text& t, int a, int b) {
  a = clamp_offset(a, t.len);
  b = clamp_offset(b, t.len);
  if (b <= a) return 0.0f;
  return rec->cb.MeasureString(rec, t.s + a, t.s + b);
}

// Characters of [a, b) that begin left of width, never more than the range.
int fit_forward(OGLE_Rec* rec, const Text& t, int a, int b, float width) {
  a = clamp_offset(a, t.len);
  b = clamp_offset(b, t.len);
  if (b < a) b = a;
  const int n = rec->cb.FitStringFwd(rec, t.s + a, t.s + b, width);
  return n < 0 ? 0 : std::min(n, b - a);
}

bool is_line_break(char c) { return c == '\n' || c == '\r'; }
bool is_blank(char c) { return !is_line_break(c) && std::isspace(static_cast<unsigned char>(c)); }

struct Rect {
  float l, b, r, t;
};

Rect visible_rect(OGLE_Rec* rec) {
  float v[4] = {};
  rec->cb.GetVisibleBounds(rec, v);
  return {v[0], v[1], v[2], v[3]};
}

Rect logical_rect(OGLE_Rec* rec) {
  float v[4] = {};
  rec->cb.GetLogicalBounds(rec, v);
  return {v[0], v[1], v[2], v[3]};
}

// Length of the line that starts at pos, wrapped at width W.
int measure_line(OGLE_Rec* rec, const Text& t, int pos, float W) {
  int length = 0;
  float used = 0.0f;
  int p = pos;
  if (p >= t.len) return 0;
  for (;;) {
    int q = p;
    if (is_blank(t.s[p])) {
      while (q < t.len && is_blank(t.s[q])) ++q;
      if (q == t.len) return length + (q - p);  // trailing blanks stay on the line, unmeasured
    }
    const float gap = measure(rec, t, p, q);
    if (is_line_break(t.s[q])) return length + (q - p) + 1;
    const char* word_end = rec->cb.WordBreak(rec, t.s + q, t.e);
    int r = word_end ? static_cast<int>(word_end - t.s) : q + 1;
    if (r <= q) r = q + 1;  // always make progress, whatever the callback says
    if (r > t.len) r = t.len;
    used += gap + measure(rec, t, q, r);
    if (used > W) {
      length += q - p;
      return length == 0 ? 1 : length;
    }
    length += r - p;
    p = r;
    if (p >= t.len) return length;
  }
}

}  // namespace

OGLE_Rec* OGLE_Create(const OGLE_Callbacks* callbacks, void* refcon) {
  OGLE_Rec* rec = new OGLE_Rec;
  rec->cb = *callbacks;
  rec->refcon = refcon;
  return rec;
}

void OGLE_Destroy(OGLE_Rec* rec) { delete rec; }

void* OGLE_GetRef(OGLE_Rec* rec) { return rec->refcon; }

void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end) {
  if (start) *start = rec->sel_start;
  if (end) *end = rec->sel_end;
}

void OGLE_SetSelection(OGLE_Rec* rec, int a, int b) {
  rec->sel_start = a;
  rec->sel_end = b;
  order_and_clamp(rec, get_text(rec).len);
}

int OGLE_CharPosToLine(OGLE_Rec* rec, int offset) {
  const std::vector<int>& ls = rec->line_starts;
  const auto it = std::lower_bound(ls.begin(), ls.end(), offset);
  const int i = static_cast<int>(it - ls.begin());
  if (i == line_count(rec)) return i - 1;
  return *it == offset ? i : i - 1;
}

void OGLE_RepaginateInternal(OGLE_Rec* rec, int, int) {
  const Rect L = logical_rect(rec);
  const float W = L.r - L.l;
  const Text t = get_text(rec);
  const float H = rec->cb.GetLineHeight(rec);
  std::vector<int>& ls = rec->line_starts;
  if (ls.empty()) ls.push_back(0);
  ls[0] = 0;
  int pos = 0;
  std::size_t line = 0;
  for (;;) {
    pos += measure_line(rec, t, pos, W);
    ++line;
    if (pos >= t.len) {
      ls.resize(line);
      break;
    }
    if (line < ls.size())
      ls[line] = pos;
    else
      ls.push_back(pos);
  }
  rec->cb.SetLogicalHeight(rec, static_cast<float>(ls.size()) * H);
}

void OGLE_Repaginate(OGLE_Rec* rec) { OGLE_RepaginateInternal(rec, 0, INT_MAX); }

// ---- point and vertical moves ----

int OGLE_CoordToCharPos(OGLE_Rec* rec, float x, float y) {
  const Rect L = logical_rect(rec);
  const Text t = get_text(rec);
  const float H = rec->cb.GetLineHeight(rec);
  if (x < L.l) x = L.l;
  if (x > L.r) x = L.r;
  const double rows = H > 0.0f ? std::floor((static_cast<double>(L.t) - y) / H) : 0.0;
  if (!(rows >= 0.0)) return 0;  // above line 0 (or no usable line height)
  if (rows >= line_count(rec)) return t.len;
  const int line = static_cast<int>(rows);
  const int a = start_of(rec, line, t.len);
  return a + fit_forward(rec, t, a, start_of(rec, line + 1, t.len), x - L.l);
}

int OGLE_CharPosVerticalAdjust(OGLE_Rec* rec, int offset, int line_delta, float& x) {
  const Text t = get_text(rec);
  const int line = OGLE_CharPosToLine(rec, offset);
  if (x == -1.0f) x = measure(rec, t, start_of(rec, line, t.len), offset);
  const int target = line + line_delta;
  if (target < 0) return 0;
  if (target >= line_count(rec)) return t.len;
  const int a = start_of(rec, target, t.len);
  return a + fit_forward(rec, t, a, start_of(rec, target + 1, t.len), x);
}

// ---- scrolling ----

void OGLE_RevealSelection(OGLE_Rec* rec) {
  const Text t = get_text(rec);
  const Rect L = logical_rect(rec);
  const Rect V = visible_rect(rec);
  const float H = rec->cb.GetLineHeight(rec);
  const int a = clamp_offset(rec->end_active == 1 ? rec->sel_end : rec->sel_start, t.len);
  const int line = OGLE_CharPosToLine(rec, a);

  const float cx = L.l + measure(rec, t, start_of(rec, line, t.len), a);
  const float cy = L.t - static_cast<float>(line + 1 - rec->end_active) * H;

  const float nx0 = V.l - L.l;
  const float ny0 = V.b - L.b;
  float nx = nx0, ny = ny0;
  if (cx < V.l) nx = cx - L.l;
  if (cx > V.r) nx = cx - L.l - (V.r - V.l);
  // No room is left on the right of the caret's line while part of it is
  // out of sight on the left: a line that fits again after an edit is
  // shown from its start. The caret stays in sight.
  const float line_width = measure(rec, t, start_of(rec, line, t.len), start_of(rec, line + 1, t.len));
  nx = std::min(nx, std::max(0.0f, line_width - (V.r - V.l)));
  if (cy < V.b) ny = cy - L.b;
  if (cy > V.t) ny = cy - L.b - (V.t - V.b);
  if (nx != nx0 || ny != ny0) {
    float offset[2] = {nx, ny};
    rec->cb.ScrollTo(rec, offset);
  }
}

// ---- drawing ----

void OGLE_Draw(OGLE_Rec* rec, int draw_caret) {
  const Rect V = visible_rect(rec);
  const Rect L = logical_rect(rec);
  const float H = rec->cb.GetLineHeight(rec);
  const Text t = get_text(rec);
  if (!(H > 0.0f)) return;
  const int count = line_count(rec);
  const double first_d = std::floor((static_cast<double>(L.t) - V.t) / H);
  const double last_d = std::ceil((static_cast<double>(L.t) - V.b) / H);
  const int first = first_d < 0.0 ? 0 : (first_d > count ? count : static_cast<int>(first_d));
  const int last = last_d > count ? count : (last_d < 0.0 ? 0 : static_cast<int>(last_d));
  if (last <= first) return;

  const int ss = clamp_offset(rec->sel_start, t.len);
  const int se = clamp_offset(rec->sel_end, t.len);
  auto band_bottom = [&](int i) { return L.t - static_cast<float>(i + 1) * H; };
  auto band_top = [&](int i) { return L.t - static_cast<float>(i) * H; };

  if (ss < se) {
    for (int i = first; i < last; ++i) {
      const int ls = start_of(rec, i, t.len);
      const int ns = start_of(rec, i + 1, t.len);
      if (ss >= ns) continue;
      float left, right;
      if (ls < ss) {
        left = L.l + measure(rec, t, ls, ss);
        right = se < ns ? L.l + measure(rec, t, ls, se) : L.r;
      } else if (se > ns) {
        left = L.l;
        right = L.r;
      } else if (se <= ls) {
        break;
      } else {
        left = L.l;
        right = L.l + measure(rec, t, ls, se);
      }
      float rect[4] = {left, band_bottom(i), right, band_top(i)};
      rec->cb.DrawSelection(rec, rect);
    }
  }

  for (int i = first; i < last; ++i) {
    const int ls = start_of(rec, i, t.len);
    const int ns = start_of(rec, i + 1, t.len);
    rec->cb.DrawString(rec, t.s + ls, t.s + std::max(ls, ns), L.l, band_bottom(i));
  }

  if (draw_caret && ss == se) {
    for (int i = first; i < last; ++i) {
      const int ls = start_of(rec, i, t.len);
      const int ns = start_of(rec, i + 1, t.len);
      if (ss < ls) break;
      if (ss < ns || (ss == ns && i == count - 1)) {
        const float x = L.l + measure(rec, t, ls, ss);
        float rect[4] = {x, band_bottom(i), x, band_top(i)};
        rec->cb.DrawSelection(rec, rect);
        break;
      }
    }
  }
}

// ---- mouse ----

void OGLE_Click(OGLE_Rec* rec, float x, float y, int extend) {
  rec->caret_x = -1.0f;
  const int p = OGLE_CoordToCharPos(rec, x, y);
  if (!extend) {
    rec->sel_start = rec->sel_end = p;
    rec->end_active = 1;
  } else if (p < rec->sel_start) {
    rec->sel_start = p;
    rec->end_active = 0;
  } else {
    rec->sel_end = p;
    rec->end_active = 1;
  }
  order_and_clamp(rec, get_text(rec).len);
  OGLE_RevealSelection(rec);
}

void OGLE_Drag(OGLE_Rec* rec, float x, float y) {
  rec->caret_x = -1.0f;
  const int p = OGLE_CoordToCharPos(rec, x, y);
  if (rec->end_active == 0)
    rec->sel_start = p;
  else
    rec->sel_end = p;
  order_and_clamp(rec, get_text(rec).len);
  OGLE_RevealSelection(rec);
}

// ---- keys ----

namespace {

void finish_edit(OGLE_Rec* rec) {
  clamp_for_edit(rec);
  OGLE_Repaginate(rec);
  OGLE_RevealSelection(rec);
  rec->end_active = 1;
}

}  // namespace

void OGLE_Key(OGLE_Rec* rec, char key, int extend) {
  const unsigned char code = static_cast<unsigned char>(key);
  if (code != 30 && code != 31) rec->caret_x = -1.0f;
  clamp_for_edit(rec);
  int& active = rec->end_active == 1 ? rec->sel_end : rec->sel_start;

  switch (code) {
    case 8:
      if (rec->sel_start < rec->sel_end) {
        rec->cb.ReplaceText(rec, rec->sel_start, rec->sel_end, nullptr, nullptr);
        rec->sel_end = rec->sel_start;
      } else if (rec->sel_start <= 0) {
        rec->end_active = 1;
        return;
      } else {
        rec->cb.ReplaceText(rec, rec->sel_start - 1, rec->sel_start, nullptr, nullptr);
        rec->sel_start = rec->sel_end = rec->sel_start - 1;
      }
      finish_edit(rec);
      return;
    case 28:
      if (extend)
        active -= 1;
      else if (rec->sel_start < rec->sel_end)
        rec->sel_end = rec->sel_start;
      else
        rec->sel_start = rec->sel_end = rec->sel_start - 1;
      break;
    case 29:
      if (extend)
        active += 1;
      else if (rec->sel_start < rec->sel_end)
        rec->sel_start = rec->sel_end;
      else
        rec->sel_start = rec->sel_end = rec->sel_end + 1;
      break;
    case 30:
      if (extend)
        active = OGLE_CharPosVerticalAdjust(rec, active, -1, rec->caret_x);
      else if (rec->sel_start < rec->sel_end)
        rec->sel_end = rec->sel_start;
      else
        rec->sel_start = rec->sel_end = OGLE_CharPosVerticalAdjust(rec, rec->sel_start, -1, rec->caret_x);
      break;
    case 31:
      if (extend)
        active = OGLE_CharPosVerticalAdjust(rec, active, 1, rec->caret_x);
      else if (rec->sel_start < rec->sel_end)
        rec->sel_start = rec->sel_end;
      else
        rec->sel_start = rec->sel_end = OGLE_CharPosVerticalAdjust(rec, rec->sel_end, 1, rec->caret_x);
      break;
    default:
      rec->cb.ReplaceText(rec, rec->sel_start, rec->sel_end, &key, &key + 1);
      rec->end_active = 1;
      rec->sel_start = rec->sel_end = rec->sel_start + 1;
      finish_edit(rec);
      return;
  }
  order_and_clamp(rec, get_text(rec).len);
  OGLE_RevealSelection(rec);
}

void OGLE_KeyDelete(OGLE_Rec* rec) {
  rec->caret_x = -1.0f;
  clamp_for_edit(rec);
  if (rec->sel_start < rec->sel_end) {
    rec->cb.ReplaceText(rec, rec->sel_start, rec->sel_end, nullptr, nullptr);
  } else if (rec->sel_end < get_text(rec).len) {
    rec->cb.ReplaceText(rec, rec->sel_start, rec->sel_start + 1, nullptr, nullptr);
  } else {
    rec->end_active = 1;
    return;
  }
  rec->sel_end = rec->sel_start;
  finish_edit(rec);
}

void OGLE_KeyHomeEnd(OGLE_Rec* rec, int to_end, int extend) {
  rec->caret_x = -1.0f;
  const int target = to_end ? get_text(rec).len : 0;
  if (extend) {
    (rec->end_active == 1 ? rec->sel_end : rec->sel_start) = target;
  } else {
    rec->sel_start = rec->sel_end = target;
    rec->end_active = 1;
  }
  order_and_clamp(rec, get_text(rec).len);
  OGLE_RevealSelection(rec);
}

// ---- edits ----

void OGLE_ReplaceText(OGLE_Rec* rec, int start, int end, const char* text_start, const char* text_end) {
  const int len = get_text(rec).len;
  start = clamp_offset(start, len);
  end = clamp_offset(end, len);
  if (end < start) std::swap(start, end);
  if (!text_start || !text_end || text_end < text_start) text_end = text_start;
  const int inserted = text_start ? static_cast<int>(text_end - text_start) : 0;
  const int delta = inserted - (end - start);
  if (end <= rec->sel_start) {
    rec->sel_start += delta;
    rec->sel_end += delta;
  } else if (start <= rec->sel_start) {
    rec->sel_end += delta;
    if (rec->sel_end < rec->sel_start) rec->sel_start = rec->sel_end = std::max(rec->sel_start + delta, start);
  }
  rec->cb.ReplaceText(rec, start, end, text_start, text_end);
  clamp_for_edit(rec);
  OGLE_Repaginate(rec);
}

// ---- the object form ----

namespace {
OGLE* self(OGLE_Rec* r) { return static_cast<OGLE*>(r->refcon); }
}  // namespace

OGLE::OGLE() {
  static const OGLE_Callbacks table = {
      GetVisibleBoundsCB, GetLogicalBoundsCB, SetLogicalHeightCB, ScrollToCB, GetTextCB,
      ReplaceTextCB,      GetLineHeightCB,    MeasureStringCB,    FitStringFwdCB, FitStringRevCB,
      DrawStringCB,       DrawSelectionCB,    WordBreakCB,
  };
  rec = OGLE_Create(&table, this);
}

OGLE::~OGLE() { OGLE_Destroy(rec); }

void OGLE::GetVisibleBoundsCB(OGLE_Rec* r, float* rect) { self(r)->GetVisibleBounds(rect); }
void OGLE::GetLogicalBoundsCB(OGLE_Rec* r, float* rect) { self(r)->GetLogicalBounds(rect); }
void OGLE::SetLogicalHeightCB(OGLE_Rec* r, float height) { self(r)->SetLogicalHeight(height); }
void OGLE::ScrollToCB(OGLE_Rec* r, float* offset) { self(r)->ScrollTo(offset); }
void OGLE::GetTextCB(OGLE_Rec* r, const char** start, const char** end) { self(r)->GetText(start, end); }
void OGLE::ReplaceTextCB(OGLE_Rec* r, int start, int end, const char* ts, const char* te) {
  self(r)->ReplaceText(start, end, ts, te);
}
float OGLE::GetLineHeightCB(OGLE_Rec* r) { return self(r)->GetLineHeight(); }
float OGLE::MeasureStringCB(OGLE_Rec* r, const char* start, const char* end) {
  return self(r)->MeasureString(start, end);
}
int OGLE::FitStringFwdCB(OGLE_Rec* r, const char* start, const char* end, float width) {
  return self(r)->FitStringFwd(start, end, width);
}
int OGLE::FitStringRevCB(OGLE_Rec* r, const char* start, const char* end, float width) {
  return self(r)->FitStringRev(start, end, width);
}
void OGLE::DrawStringCB(OGLE_Rec* r, const char* start, const char* end, float x, float y) {
  self(r)->DrawString(start, end, x, y);
}
void OGLE::DrawSelectionCB(OGLE_Rec* r, float* rect) { self(r)->DrawSelection(rect); }
const char* OGLE::WordBreakCB(OGLE_Rec* r, const char* start, const char* end) {
  return self(r)->WordBreak(start, end);
}
