// The string entry field. Sections: the engine's callbacks over the texture
// font; the field.
#include "ui/enterstring.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "runtime/globals.h"
#include "ui/alert.h"
#include "ui/colr.h"
#include "ui/draw_list.h"
#include "ui/draw.h"
#include "ui/focus.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/key_queue.h"
#include "ui/widget_parts.h"
#include "ui/widgets.h"
#include "window/keys.h"
#include "window/mnw.h"

// ---- callbacks ----

namespace {

// The field that holds the engine.
std::string* OGLE_input = nullptr;
int OGLE_x = 0, OGLE_y = 0;
int OGLE_entry_dx = 0;
float OGLE_dx = 0.0f, OGLE_dy = 0.0f;  // scroll offset
int OGLE_edit = 0;                     // the text was changed through the engine

void OGLE_GetVisibleBounds(OGLE_Rec*, float* r) {
  r[0] = static_cast<float>(OGLE_x);
  r[1] = static_cast<float>(OGLE_y) - 2.0f;
  r[2] = static_cast<float>(OGLE_x + OGLE_entry_dx);
  r[3] = static_cast<float>(OGLE_y) - 2.0f + 11.0f;
}

float measure(const char* start, const char* end) { return OGL_text_width(std::string(start, end)); }

// Where the character that ends at text[end] starts.
std::size_t char_before(const std::string& text, std::size_t end) {
  for (std::size_t back = 2; back <= 4 && back <= end; ++back)
    if (OGL_text_char(text, end - back).bytes == back) return end - back;
  return end - 1;
}

// The field is one line: the engine lays the text out on a line as wide as
// the field and the whole text, so that it never wraps, and scrolls it
// sideways to keep the caret in sight.
void OGLE_GetLogicalBounds(OGLE_Rec*, float* r) {
  const char* text = OGLE_input ? OGLE_input->data() : nullptr;
  const float extra = std::max(1024.0f, text ? measure(text, text + OGLE_input->size()) : 0.0f);
  r[0] = static_cast<float>(OGLE_x) - OGLE_dx;
  r[1] = static_cast<float>(OGLE_y) - 2.0f - OGLE_dy;
  r[2] = static_cast<float>(OGLE_x + OGLE_entry_dx) - OGLE_dx + extra;
  r[3] = static_cast<float>(OGLE_y) - 2.0f + 11.0f - OGLE_dy;
}

void OGLE_SetLogicalHeight(OGLE_Rec*, float) {}

void OGLE_ScrollTo(OGLE_Rec*, float* offset) {
  OGLE_dx = offset[0];
  OGLE_dy = offset[1];
}

void OGLE_GetText(OGLE_Rec*, const char** start, const char** end) {
  static const char empty = 0;
  if (!OGLE_input) {
    *start = *end = &empty;
    return;
  }
  *start = OGLE_input->data();
  *end = *start + OGLE_input->size();
}

void OGLE_ReplaceTextFunc(OGLE_Rec*, int start, int end, const char* ts, const char* te) {
  OGLE_edit = 1;
  if (!OGLE_input) return;
  const int len = static_cast<int>(OGLE_input->size());
  if (start < 0 || end < start || end > len) return;  // the engine never asks for this
  const std::string bytes = (ts && te > ts) ? std::string(ts, te) : std::string();
  OGLE_input->replace(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start), bytes);
}

float OGLE_GetLineHeight(OGLE_Rec*) { return 11.0f; }

float OGLE_MeasureString(OGLE_Rec*, const char* start, const char* end) { return measure(start, end); }

// The bytes of the whole characters that fit in width, counted from the
// start or from the end; the one that reaches past it too.
int OGLE_FitStringFwd(OGLE_Rec*, const char* start, const char* end, float width) {
  if (end <= start || width <= 0.0f) return 0;
  const std::string text(start, end);
  std::size_t n = 0;
  while (n < text.size()) {
    const text_char ch = OGL_text_char(text, n);
    n += ch.bytes;
    width -= static_cast<float>(OGL_text_char_width(ch));
    if (!(width > 0.0f)) break;
  }
  return static_cast<int>(n);
}

int OGLE_FitStringRev(OGLE_Rec*, const char* start, const char* end, float width) {
  if (end <= start) return 0;
  const std::string text(start, end);
  std::size_t p = text.size();
  while (p > 0) {
    p = char_before(text, p);
    width -= static_cast<float>(OGL_text_char_width(OGL_text_char(text, p)));
    if (!(width > 0.0f)) break;
  }
  return static_cast<int>(text.size() - p);
}

void OGLE_DrawString(OGLE_Rec*, const char* start, const char* end, float, float) {
  OGL_string(45, static_cast<float>(OGLE_x) - OGLE_dx, static_cast<float>(OGLE_y) - OGLE_dy,
             std::string(start, end), 9999.0f, 100, 0);
}

void OGLE_DrawSelection(OGLE_Rec*, float* r) {
  if (r[2] == r[0]) {
    DL_animated();  // the caret pulses
    OGL_line(45, colr.blink, r[0], r[1], r[0], r[3]);
  } else {
    OGL_fillrect(8, 1.0f, r[0], r[1], r[2] - r[0], r[3] - r[1]);
  }
}

const char* OGLE_WordBreak(OGLE_Rec*, const char* start, const char* end) {
  const char* p = start;
  while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
  while (p < end && !std::isspace(static_cast<unsigned char>(*p))) ++p;
  return p;
}

}  // namespace

const OGLE_Callbacks OGLE_cbs = {
    OGLE_GetVisibleBounds, OGLE_GetLogicalBounds, OGLE_SetLogicalHeight, OGLE_ScrollTo,
    OGLE_GetText,          OGLE_ReplaceTextFunc,  OGLE_GetLineHeight,    OGLE_MeasureString,
    OGLE_FitStringFwd,     OGLE_FitStringRev,     OGLE_DrawString,       OGLE_DrawSelection,
    OGLE_WordBreak,
};

// ---- the field ----

namespace {

OGLE_Rec* ogle = nullptr;
int focused_field_id = 0;
BTN_key_queue string_keys;

constexpr int kShift = 1, kAlt = 2, kControl = 4;

// A byte that a field of this kind takes from a character key.
bool takes_char(int ch, field_chars chars) {
  if (chars == field_chars::path) return ch >= 0x20 && ch <= 0x7E;
  return BTN_is_text_char(ch);
}

// One key for the bound field.
void apply_key(int ch, int vkey, int flags, field_chars chars) {
  const int extend = flags & kShift;
  switch (vkey) {
    case KVRM_VK_BACK: OGLE_Key(ogle, 8, extend); return;
    case KVRM_VK_DELETE: OGLE_KeyDelete(ogle); return;
    case KVRM_VK_HOME: OGLE_KeyHomeEnd(ogle, 0, extend); return;
    case KVRM_VK_END: OGLE_KeyHomeEnd(ogle, 1, extend); return;
    case KVRM_VK_LEFT: OGLE_Key(ogle, 28, extend); return;
    case KVRM_VK_RIGHT: OGLE_Key(ogle, 29, extend); return;
    case KVRM_VK_UP: OGLE_Key(ogle, 30, extend); return;
    case KVRM_VK_DOWN: OGLE_Key(ogle, 31, extend); return;
    case KVRM_VK_PRIOR: case KVRM_VK_NEXT: case KVRM_VK_INSERT: return;
    default: break;
  }
  if (flags & (kAlt | kControl)) return;
  if (takes_char(ch, chars)) OGLE_Key(ogle, static_cast<char>(ch), extend);
}

}  // namespace

int BTN_enterstring(float x, float y, std::string* text, int max_len, std::string label, float w, int auto_focus,
                    field_chars chars) {
  const int id = BTN_field_id(x, y);
  if (!ogle) ogle = OGLE_Create(&OGLE_cbs, nullptr);

  const float mx = mnw.mouse_x, my = mnw.mouse_y;
  const bool clicked = mnw.open_menu == -1 && mnw.click && BTN_inside(mx, my, x, y, x + w, y + 8.0f);
  const int take_focus = clicked || (auto_focus && wind_focus == 0 && focus_id == 0);
  const int focused = string_keys.enter(id, 0x1F4, take_focus);

  // The engine is this field's while it has the focus, and afterwards until
  // another field takes the focus: this call binds it to the caller's text.
  const bool takes_engine = focused && id != focused_field_id;
  const bool bound = focused || id == focused_field_id;
  OGLE_edit = 0;
  if (bound) {
    OGLE_x = static_cast<int>(x);
    OGLE_y = static_cast<int>(y);
    OGLE_input = text;
    OGLE_entry_dx = static_cast<int>(w);
    if (takes_engine) {
      OGLE_dx = OGLE_dy = 0.0f;
      if (!clicked) OGLE_SetSelection(ogle, 0, static_cast<int>(text->size()));
      OGLE_Repaginate(ogle);
      focused_field_id = id;
    }

    int a = 0, b = 0;
    OGLE_GetSelection(ogle, &a, &b);
    const int len = static_cast<int>(text->size());
    b = b < 0 ? 0 : (b > len ? len : b);
    a = a < 0 ? 0 : (a > b ? b : a);
    OGLE_SetSelection(ogle, a, b);
  }
  if (focused) {
    if (mnw.click)
      OGLE_Click(ogle, mx, my, 0);
    else if (mnw.down)
      OGLE_Drag(ogle, mx, my);
  }

  // The keys queued for this field reach its own text while the engine is
  // bound to it, and nowhere once another field has taken the engine. Keys
  // queued under any other id while this field holds the engine can never
  // be applied and are dropped too.
  for (int i = 0; i < string_keys.ctr_slot && i < BTN_key_queue::kSlots; ++i)
    if (focused && string_keys.id_slot[i] != id) string_keys.clear(i);
  string_keys.consume(id, [&](int ch, int vkey, int flags) {
    if (bound) apply_key(ch, vkey, flags, chars);
  });

  std::string caption, second, help;
  BTN_expand_label(label, &caption, &second, &help);
  BTN_frame1(9, x + w / 2.0f - 2.0f, y + 3.0f, w + 10.0f, 0);
  BTN_util_draw_label(x - 12.0f, y, 0, caption, 0);
  BTN_util_draw_label(x + w + 6.0f, y, 2, second, 0);
  // The clip keeps the rows of the glyph cells that hold ink, from the
  // descenders (and the underscore) below the baseline to the accents.
  OGL_scissors(x - 1.0f, y - 5.0f, w + 2.0f, 14.0f);
  if (focused)
    OGLE_Draw(ogle, 1);
  else
    OGL_string(45, x, y, *text, 9999.0f, 100, 0);
  OGL_scissors_end();

  if (OGLE_edit && max_len >= 0 && text->size() > static_cast<std::size_t>(max_len)) {
    text->resize(static_cast<std::size_t>(max_len));
    OGLE_Repaginate(ogle);
  }
  return OGLE_edit;
}

int BTN_enterstring(float x, float y, char* buffer, int max_len, std::string label, float w, int auto_focus) {
  std::string text(buffer);
  const int result = BTN_enterstring(x, y, &text, max_len, label, w, auto_focus);
  const std::size_t n = std::strlen(text.c_str());
  if (n > 499) {
    MACIBM_alert(0, "String too long!", text, "", "", t_exit);
    return result;
  }
  std::memcpy(buffer, text.c_str(), n + 1);
  return result;
}
