// The simple message box, on the toolkit's one modal question loop.
#include "ui/message_box.h"

#include "runtime/globals.h"
#include "ui/font.h"
#include "ui/question.h"
#include "window/mnw.h"
#include "window/subwindows.h"

int MACIBM_nuke_alert(std::string message, int third_button) {
  const wind_size* box = wind_size_of(wind_nuke_alert);
  const float w = box->w, h = box->h;
  const question_text text = {kMessageTextX, h - kMessageTextTop, kMessageWrapMargin,
                              stls.msg_head + message + " " + stls.msg_tail};
  const std::string* caption = stls.msg_button;
  const question_button buttons[3] = {
      {kMessageEdge + OGL_text_width(caption[0]) / 2, kMessageFirstY, 0, caption[0], 1},
      {kMessageEdge + OGL_text_width(caption[1]) / 2, kMessageSecondY, 0, caption[1], 2},
      {w - kMessageEdge - OGL_text_width(caption[2]) / 2, kMessageSecondY, 0, caption[2], 3},
  };
  const std::string headless[4] = {"A message needed an answer, but there is no window to ask in.", message, "", ""};
  // The message takes the lines above the first button.
  return BTN_question_box(wind_nuke_alert, &text, 1, kMessageFirstY + 20.0f, buttons, third_button ? 3 : 2, 3,
                          headless);
}
