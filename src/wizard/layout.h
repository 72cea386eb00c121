// Where the wizard's frame puts its parts, in layout units of the main
// window (y upward from the bottom edge).
#pragma once

// An image button of the bottom bar: lower-left corner, size.
struct wizard_button {
  float x, y, w, h;
};

constexpr float kButtonBarY = 12.0f;
constexpr float kButtonBarH = 22.0f;
constexpr wizard_button kQuitButton = {30.0f, kButtonBarY, 50.0f, kButtonBarH};
constexpr wizard_button kOptionsButton = {100.0f, kButtonBarY, 90.0f, kButtonBarH};
constexpr wizard_button kBackButton = {560.0f, kButtonBarY, 89.0f, kButtonBarH};
constexpr wizard_button kNextButton = {670.0f, kButtonBarY, 100.0f, kButtonBarH};
constexpr wizard_button kNextAsQuitButton = {670.0f, kButtonBarY, 50.0f, kButtonBarH};

// The choice buttons: centred on x, the first at y, each further one lower.
constexpr float kChoiceX = 500.0f;
constexpr float kChoiceY = 350.0f;
constexpr float kChoiceStep = 25.0f;
constexpr float kChoiceWidth = 250.0f;

// The server list: server i of n at y = kServerStep (n - i) + kServerBase.
constexpr float kServerX = 30.0f;
constexpr float kServerStep = 40.0f;
constexpr float kServerBase = 38.0f;

// Edges included.
constexpr bool on_button(const wizard_button& b, float x, float y) {
  return b.x <= x && x <= b.x + b.w && b.y <= y && y <= b.y + b.h;
}
