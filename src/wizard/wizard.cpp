// The frame driver: once per pass of the event loop it draws the wizard's
// fixed frame (backdrop, the two panels, the step list), gives the current
// screen a fresh record to fill, draws what the screen filled in (title,
// body, choices, progress bar, server list) and the button bar, and moves
// to another screen when a button, a choice or the screen's result asks.
#include "wizard/wizard.h"

#include <cstring>

#include "engine/installer_state.h"
#include "runtime/translate.h"
#include "ui/colr.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/widgets.h"
#include "window/mnw.h"
#include "wizard/folder_scan.h"
#include "wizard/layout.h"
#include "wizard/sub_wins.h"
#include "wizard/web_update.h"

screen_func g_wizard = net_start;
std::vector<std::string> step_names;
std::vector<screen_func> step_funcs;
std::string cmd_line_path;

std::string path_option(int argc, const char* const* argv) {
  if (argc < 3 || !argv[1] || !argv[2] || std::strcmp(argv[1], "-path") != 0) return std::string();
  std::string folder = argv[2];
  // Every folder path of the program ends in "/"; the screens and the
  // engine join file names straight onto it.
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

void set_steps(const flow_step* steps, int count) {
  step_names.clear();
  step_funcs.clear();
  for (int i = 0; i < count; ++i) {
    if (!steps[i].screen) continue;
    step_names.push_back(UTL_translate_string(steps[i].name));
    step_funcs.push_back(steps[i].screen);
  }
}

int wizard_quit(int /*first_frame*/, wizard_screen& /*ws*/) {
  app_done = 1;
  return 1;
}

void function_key(int /*key*/) {}
void APP_handlemenu(int /*id*/) {}

namespace {

// Colours of the frame.
constexpr int kTextColour = 12;
constexpr int kStepColour = 45;
constexpr int kCurrentStepColour = 65;
constexpr int kBetaColour = 69;
constexpr int kWhite = 103;

void draw_backdrop() {
  colr.assign(kWhite, 1, 1, 1);
  const float w = static_cast<float>(mnw.x_res), h = static_cast<float>(mnw.y_res);
  const float s = w / kBackdropTextureSize, t = h / kBackdropTextureSize;
  OGL_2dquad(t_background, kWhite, 1.0f, 0, 0, 0, 0, 0, h, 0, t, w, h, s, t, w, 0, s, 0, 1, gl_alpha_none);
}

void draw_panels() {
  BTN_frame2(kPanelStyle, kStepPanel.x, kStepPanel.y, kStepPanel.w, kStepPanel.h, "");
  BTN_frame2(kPanelStyle, kScreenPanel.x, kScreenPanel.y, kScreenPanel.w, kScreenPanel.h, "");
}

// The flow's steps and the beta note.
void draw_steps() {
  const std::size_t n = step_names.size();
  for (std::size_t i = 0; i < n; ++i) {
    const bool current = i < step_funcs.size() && step_funcs[i] == g_wizard;
    OGL_string(current ? kCurrentStepColour : kStepColour, kStepX, step_y(static_cast<int>(i)), step_names[i],
               kStepWrap, charset_prop, 0);
  }
  if (stg.get_beta)
    OGL_string(kBetaColour, kStepX, step_y(static_cast<int>(n)),
               UTL_translate_string("You have chosen to download Corvane 9 betas.  If you do not want this, choose "
                                    "options and uncheck the beta option."),
               kBetaWrap, charset_prop, 0);
}

void draw_progress(const wizard_screen& ws) {
  float f = ws.progress * 0.96f + 0.04f;
  if (!(f >= 0.04f)) f = 0.04f;  // also for a value that is not a number
  if (f > 1.0f) f = 1.0f;
  const float right = kProgressLeft + kProgressWidth * f;
  // The bar keeps its place in the window whatever the current window's
  // origin: the drawing adds the origin back.
  const float ox = mnw.wind_x, oy = mnw.wind_y;
  BTN_frame1(kProgressTrackStyle, kProgressLeft + kProgressWidth / 2 - ox, kProgressY - oy, kProgressWidth, 0);
  BTN_frame1(kProgressFillStyle, (kProgressLeft + right) / 2 - ox, kProgressY - oy, right - kProgressLeft, 0);
  OGL_string(kTextColour, kProgressCaptionX, kProgressCaptionY, ws.progress_text, kProgressWidth, charset_prop, 0);
}

void draw_servers() {
  const int n = stg.num_servers;
  for (int i = 0; i < n && i < kMaxServers; ++i) {
    const float y = server_row_y(i, n);
    BTN_is_int(kServerX, y, &stg.server_index, i, "");
    std::string caption, help, tail;
    BTN_expand_label(server_desc[i], &caption, &help, &tail);
    OGL_string(kStepColour, kServerTextX, y, help, kServerTextWrap, charset_prop, 0);
  }
}

// The user's Quit, by the button or by closing the window from its frame:
// the screen's question first where it asks one, then its kill callback,
// and the program ends after this pass.
void quit_screen(const wizard_screen& ws) {
  if (ws.quit_question && !ws.quit_question()) return;
  if (ws.kill) ws.kill();
  app_done = 1;
}

// An image button of the bar: enabled buttons show their hover and pressed
// looks; a greyed one is drawn at half opacity. 1 when clicked this frame.
int bar_button(const wizard_button& b, float s, bool enabled, bool greyed) {
  return interface_rect(b.x, b.y, s, kButtonArtT, b.w, b.h, enabled ? 1 : 0, greyed ? 2 : 0);
}

}  // namespace

namespace {
screen_func last = nullptr;
}  // namespace

screen_func wizard_last_screen() { return last; }

void APP_update() {
  // A box that a screen opens (a question, the folder chooser) and that is
  // closed by Return or a corner is closed inside its own pass of the event
  // loop, which goes on to draw a frame. The screen that opened it is still
  // in the middle of its own frame and is not entered again: it would ask
  // again, or hand out more work, before it has its answer. Neither frame
  // is shown (OGL_frame_broken): the next one, which begins here, is.
  static bool in_frame = false;
  if (!in_frame) OGL_drop_recorded();
  draw_backdrop();
  draw_panels();
  // The program's first frame has no steps yet: its first screen fills
  // them in, and they are drawn after it, so that the first frame shows the
  // whole screen. They lie apart from all else the frame draws.
  const bool steps_later = step_names.empty() && !in_frame && g_wizard;
  if (!steps_later) draw_steps();
  if (in_frame) return;
  struct frame_mark {
    frame_mark() { in_frame = true; }
    ~frame_mark() { in_frame = false; }
  } mark;
  if (!g_wizard) {
    app_done = 1;
    return;
  }

  // Closing the window from its frame is this frame's Quit.
  const bool close = MACIBM_take_close_request() != 0;

  wizard_screen ws;
  const screen_func current = g_wizard;
  const int r = current(current != last ? 1 : 0, ws);
  // A new screen is shown at once, not at the pace of a screen's progress.
  if (current != last) OGL_redraw(1);
  last = current;
  if (steps_later) draw_steps();

  OGL_string(kTextColour, kTitleX, kTitleY, ws.title, kTextWrap, charset_prop, 1);
  OGL_string(kTextColour, kBodyX, kBodyY, ws.body, kTextWrap, charset_prop, 0);
  for (std::size_t i = 0; i < ws.choices.size(); ++i) {
    if (BTN_action(kChoiceX, choice_y(static_cast<int>(i)), kChoiceWidth, 0, 1, ws.choices[i], "-") &&
        i < ws.choice_funcs.size())
      g_wizard = ws.choice_funcs[i];
  }
  if (ws.progress >= 0.0f) draw_progress(ws);
  if (ws.show_servers && stg.num_servers > 0) draw_servers();

  const bool finishing = ws.next_screen == wizard_quit;
  const bool quit_clicked = !finishing && bar_button(kQuitButton, kQuitArtS, true, false);
  if (quit_clicked || (close && !finishing)) quit_screen(ws);
  if (bar_button(kOptionsButton, kOptionsArtS, true, !ws.prefs_ok) && ws.prefs_ok) handle_prefs();
  if (bar_button(kBackButton, kBackArtS, ws.back_screen != nullptr, ws.back_screen == nullptr) && ws.back_screen)
    g_wizard = ws.back_screen;
  const bool next_clicked = finishing ? bar_button(kNextAsQuitButton, kQuitArtS, true, false)
                                      : bar_button(kNextButton, kNextArtS, ws.next_screen != nullptr,
                                                   ws.next_screen == nullptr);
  if (next_clicked && ws.next_screen) g_wizard = ws.next_screen;
  // On the last step Quit is the Next button.
  if (close && finishing) g_wizard = wizard_quit;

  // The screen's own advance comes last and wins over a click of this frame.
  if (r && ws.next_screen) g_wizard = ws.next_screen;
  if (g_wizard != current) {
    folder_scan_leave(current);
    // What this pass drew is the screen left behind: it is not shown as
    // the new one, whose whole first frame comes next.
    ++mnw.view_count;
    OGL_frame_broken();
  }
}
