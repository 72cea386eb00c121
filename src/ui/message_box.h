// The simple message box: one message between the toolkit's head and tail
// texts, and two or three buttons captioned from the toolkit's labels. A
// modal window (995) that no key and no corner click closes.
#pragma once

#include <string>

// Shows the box until a button is clicked: 1 the first, 2 the second, 3 the
// third (shown when third_button is not 0) or the window closed otherwise.
int MACIBM_nuke_alert(std::string message, int third_button);

// Layout (window units of the 300 by 166 box): the text from x 20, its
// first line 40 below the top, wrapped 40 short of the width; the first
// button at y 60 and the second at 25 start 20 from the left edge, the
// third at 25 ends 20 from the right edge.
constexpr float kMessageTextX = 20.0f, kMessageTextTop = 40.0f, kMessageWrapMargin = 40.0f;
constexpr float kMessageFirstY = 60.0f, kMessageSecondY = 25.0f, kMessageEdge = 20.0f;
