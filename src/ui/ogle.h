// The text-edit engine: layout, selection, caret, keys and scrolling of one
// block of text, independent of any font or screen.
//
// The engine owns no text, no font and no drawing code. Everything that
// touches the text storage, the font or the screen goes through the client's
// table of callbacks; the engine only computes with byte offsets, widths and
// rectangles. Rectangles are four floats: left, bottom, right, top, with y
// growing upward.
//
// Safety: every offset that reaches the client (ReplaceText, the pointers
// handed to the measuring callbacks) lies inside the text as GetText reports
// it at that moment. The selection is clamped into the text before every edit
// and after it, so a text changed behind the engine's back can make an edit
// land somewhere unexpected but never outside the text.
#pragma once

#include <vector>

struct OGLE_Rec;

struct OGLE_Callbacks {
  // The area in which the text is shown.
  void (*GetVisibleBounds)(OGLE_Rec* rec, float* rect);
  // The whole laid-out text, already moved by the current scroll offset; its
  // width is the wrap width and its top is the top of line 0.
  void (*GetLogicalBounds)(OGLE_Rec* rec, float* rect);
  // Told the height of the laid-out text after every relayout.
  void (*SetLogicalHeight)(OGLE_Rec* rec, float height);
  // New distances of the visible rectangle's left and bottom edges from the
  // logical rectangle's; GetLogicalBounds must report the move afterwards.
  void (*ScrollTo)(OGLE_Rec* rec, float* offset);
  // The text as the byte range [start, end).
  void (*GetText)(OGLE_Rec* rec, const char** start, const char** end);
  // Replaces [start, end) of the text by [text_start, text_end); equal
  // pointers (two nulls to delete) mean no new bytes.
  void (*ReplaceText)(OGLE_Rec* rec, int start, int end, const char* text_start, const char* text_end);
  float (*GetLineHeight)(OGLE_Rec* rec);
  // Width of [start, end) drawn on one line.
  float (*MeasureString)(OGLE_Rec* rec, const char* start, const char* end);
  // How many characters from start begin left of width.
  int (*FitStringFwd)(OGLE_Rec* rec, const char* start, const char* end, float width);
  // The same counted backwards from end.
  int (*FitStringRev)(OGLE_Rec* rec, const char* start, const char* end, float width);
  // Draws [start, end) as one line whose lower-left corner is (x, y).
  void (*DrawString)(OGLE_Rec* rec, const char* start, const char* end, float x, float y);
  // Draws a selection rectangle; a zero-width one is the caret.
  void (*DrawSelection)(OGLE_Rec* rec, float* rect);
  // End of the next word at or after start, never beyond end.
  const char* (*WordBreak)(OGLE_Rec* rec, const char* start, const char* end);
};

struct OGLE_Rec {
  OGLE_Callbacks cb;
  void* refcon = nullptr;
  std::vector<int> line_starts;  // offset of each laid-out line's first byte
  int sel_start = 0;             // selection, sel_start <= sel_end
  int sel_end = 0;
  int end_active = 1;            // 1: the end moves with Shift and drags; 0: the start
  float caret_x = -1.0f;         // remembered column for Up and Down; -1 none
};

OGLE_Rec* OGLE_Create(const OGLE_Callbacks* callbacks, void* refcon);
void OGLE_Destroy(OGLE_Rec* rec);
void* OGLE_GetRef(OGLE_Rec* rec);
void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end);
// Sets the selection; b < a swaps them and flips the active end; both are
// clamped into the text. Neither scrolls nor forgets the column.
void OGLE_SetSelection(OGLE_Rec* rec, int a, int b);
// Lays out the whole text again; needed after the text changed behind the
// engine's back and before the next draw, click or key.
void OGLE_Repaginate(OGLE_Rec* rec);
// An edit that keeps the selection on the same text where it can.
void OGLE_ReplaceText(OGLE_Rec* rec, int start, int end, const char* text_start, const char* text_end);
void OGLE_Draw(OGLE_Rec* rec, int draw_caret);
void OGLE_Click(OGLE_Rec* rec, float x, float y, int extend);
void OGLE_Drag(OGLE_Rec* rec, float x, float y);
// One key: 8 Backspace, 28 Left, 29 Right, 30 Up, 31 Down; every other code
// is inserted as that byte. extend is the Shift state.
void OGLE_Key(OGLE_Rec* rec, char key, int extend);
// The Delete key: removes the selection, or the byte after the caret.
void OGLE_KeyDelete(OGLE_Rec* rec);
// The Home (to_end 0) and End (to_end 1) keys: the caret goes to the start or
// the end of the text; with extend the active end goes there instead.
void OGLE_KeyHomeEnd(OGLE_Rec* rec, int to_end, int extend);
// Scrolls so that the active end of the selection is visible.
void OGLE_RevealSelection(OGLE_Rec* rec);

// The engine's own helpers, open to its tests.
// Line of an offset: the last line starting at or before it; -1 when nothing
// is laid out.
int OGLE_CharPosToLine(OGLE_Rec* rec, int offset);
// Relayout; the range arguments are ignored, the whole text is laid out.
void OGLE_RepaginateInternal(OGLE_Rec* rec, int start, int end);
// Offset nearest to a point.
int OGLE_CoordToCharPos(OGLE_Rec* rec, float x, float y);
// Offset line_delta lines away from offset at column x; x is set from the
// offset when it is -1.
int OGLE_CharPosVerticalAdjust(OGLE_Rec* rec, int offset, int line_delta, float& x);

// An object form of the engine whose virtual operations are the callbacks.
class OGLE {
 public:
  OGLE();
  virtual ~OGLE();
  OGLE(const OGLE&) = delete;
  OGLE& operator=(const OGLE&) = delete;

  virtual void GetVisibleBounds(float* rect) = 0;
  virtual void GetLogicalBounds(float* rect) = 0;
  virtual void SetLogicalHeight(float height) = 0;
  virtual void ScrollTo(float* offset) = 0;
  virtual void GetText(const char** start, const char** end) = 0;
  virtual void ReplaceText(int start, int end, const char* text_start, const char* text_end) = 0;
  virtual float GetLineHeight() = 0;
  virtual float MeasureString(const char* start, const char* end) = 0;
  virtual int FitStringFwd(const char* start, const char* end, float width) = 0;
  virtual int FitStringRev(const char* start, const char* end, float width) = 0;
  virtual void DrawString(const char* start, const char* end, float x, float y) = 0;
  virtual void DrawSelection(float* rect) = 0;
  virtual const char* WordBreak(const char* start, const char* end) = 0;

  void GetSelection(int* start, int* end) { OGLE_GetSelection(rec, start, end); }
  void SetSelection(int a, int b) { OGLE_SetSelection(rec, a, b); }
  void DoReplaceText(int start, int end, const char* ts, const char* te) { OGLE_ReplaceText(rec, start, end, ts, te); }
  void Repaginate() { OGLE_Repaginate(rec); }
  void RevealSelection() { OGLE_RevealSelection(rec); }
  void Click(float x, float y, int extend) { OGLE_Click(rec, x, y, extend); }
  void Drag(float x, float y) { OGLE_Drag(rec, x, y); }
  void Draw(int draw_caret) { OGLE_Draw(rec, draw_caret); }
  void Key(char key, int extend) { OGLE_Key(rec, key, extend); }

 protected:
  OGLE_Rec* rec;

 private:
  static void GetVisibleBoundsCB(OGLE_Rec* r, float* rect);
  static void GetLogicalBoundsCB(OGLE_Rec* r, float* rect);
  static void SetLogicalHeightCB(OGLE_Rec* r, float height);
  static void ScrollToCB(OGLE_Rec* r, float* offset);
  static void GetTextCB(OGLE_Rec* r, const char** start, const char** end);
  static void ReplaceTextCB(OGLE_Rec* r, int start, int end, const char* ts, const char* te);
  static float GetLineHeightCB(OGLE_Rec* r);
  static float MeasureStringCB(OGLE_Rec* r, const char* start, const char* end);
  static int FitStringFwdCB(OGLE_Rec* r, const char* start, const char* end, float width);
  static int FitStringRevCB(OGLE_Rec* r, const char* start, const char* end, float width);
  static void DrawStringCB(OGLE_Rec* r, const char* start, const char* end, float x, float y);
  static void DrawSelectionCB(OGLE_Rec* r, float* rect);
  static const char* WordBreakCB(OGLE_Rec* r, const char* start, const char* end);
};
