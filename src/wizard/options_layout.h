// Where the options window (600 by 380 units) puts its widgets, in units of
// the window with y upward; the tests' click table reads them too.
#pragma once

struct options_point {
  float x, y;
};

constexpr int kOptionsPanelStyle = 13;
constexpr float kProxyPanelHeight = 70.0f;
constexpr options_point kOsList = {200.0f, 310.0f};
constexpr options_point kLogBox = {30.0f, 265.0f};
constexpr options_point kBetaBox = {30.0f, 190.0f};
constexpr options_point kStreamsBox = {30.0f, 150.0f};
constexpr options_point kStreamsField = {400.0f, 150.0f};
constexpr options_point kProxyHostField = {85.0f, 40.0f};
constexpr options_point kProxyPortField = {85.0f, 20.0f};
constexpr float kProxyFieldWidth = 455.0f;
constexpr int kProxyTextMax = 65;
