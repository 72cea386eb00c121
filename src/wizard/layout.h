// Where the wizard's frame and screens put their parts, in layout units of
// the main window (800 by 600, y upward from the bottom edge). The code and
// the tests' click table read these names alike.
#pragma once

// --- The frame ---

// The backdrop picture is held in a texture of this size (texels).
constexpr float kBackdropTextureSize = 1024.0f;

struct wizard_rect {
  float x, y, w, h;  // lower-left corner and size
};
constexpr int kPanelStyle = 20;
constexpr wizard_rect kStepPanel = {10.0f, 50.0f, 190.0f, 453.0f};
constexpr wizard_rect kScreenPanel = {210.0f, 50.0f, 580.0f, 453.0f};

// The step list: step i at (kStepX, step_y(i)); the beta note under the last.
constexpr float kStepX = 30.0f;
constexpr float kStepWrap = 180.0f;
constexpr float kBetaWrap = 160.0f;
constexpr float step_y(int i) { return 480.0f - 20.0f * static_cast<float>(i); }

// Title (centred on kTitleX) and body of the screen.
constexpr float kTitleX = 500.0f, kTitleY = 480.0f;
constexpr float kBodyX = 230.0f, kBodyY = 440.0f;
constexpr float kTextWrap = 540.0f;
// The lines of a wrapped text stand this far apart.
constexpr float kLineStep = 10.0f;
// The lowest y that the screen's body may reach: the inner edge of the
// screen panel's lower frame, which keeps it clear of the button bar.
constexpr float kBodyLowestY = kScreenPanel.y + 12.0f;

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

// Where each button's picture lies in the elements strip: the normal look's
// lower-left corner (s, kButtonArtT); the pressed look lies h + 1 rows
// lower, the hover look 2 (h + 1) rows lower.
constexpr float kButtonArtT = 46.0f;
constexpr float kQuitArtS = 1.0f;
constexpr float kBackArtS = 54.0f;
constexpr float kNextArtS = 150.0f;
constexpr float kOptionsArtS = 628.0f;
// The elements strip's texture is 1024 by 128 texels.
constexpr float kStripTextureW = 1024.0f, kStripTextureH = 128.0f;

// The choice buttons: centred on x, the first at y, each further one lower.
constexpr float kChoiceX = 500.0f;
constexpr float kChoiceY = 350.0f;
constexpr float kChoiceStep = 25.0f;
constexpr float kChoiceWidth = 250.0f;
constexpr float choice_y(int i) { return kChoiceY - kChoiceStep * static_cast<float>(i); }

// The progress bar: track from kProgressLeft over kProgressWidth, centred on
// kProgressY; the caption under it.
constexpr int kProgressTrackStyle = 4;
constexpr int kProgressFillStyle = 5;
constexpr float kProgressLeft = 240.0f;
constexpr float kProgressWidth = 520.0f;
constexpr float kProgressY = 155.0f;
constexpr float kProgressCaptionX = 242.0f, kProgressCaptionY = 120.0f;

// The server list: server i of n at y = kServerStep (n - i) + kServerBase.
constexpr float kServerX = 30.0f;
constexpr float kServerStep = 40.0f;
constexpr float kServerBase = 38.0f;
constexpr float kServerTextX = 50.0f;
constexpr float kServerTextWrap = 130.0f;
constexpr float server_row_y(int i, int n) { return kServerStep * static_cast<float>(n - i) + kServerBase; }

// Edges included.
constexpr bool on_button(const wizard_button& b, float x, float y) {
  return b.x <= x && x <= b.x + b.w && b.y <= y && y <= b.y + b.h;
}

// --- The installed-copy chooser ---

// The rows stand one below another from kPickRowTop: a row of one line
// takes kPickRowStep, each further line of its folder kLineStep more. Its
// radio at kPickRadioX, its folder at kPickTextX. Under the last row the
// question and "Find It" (pick_layout in wizard/pick_install.h).
constexpr float kPickRowTop = 400.0f;
constexpr float kPickRowStep = 25.0f;
constexpr float kPickRadioX = 250.0f;
constexpr float kPickTextX = 280.0f;
constexpr float kPickTextWrap = 500.0f;
constexpr float kPickQuestionX = 230.0f;
// "Find It" stands clear of the question's end (x 564 in English).
constexpr float kFindItX = 630.0f;
constexpr float kFindItRaise = 3.0f;  // "Find It" stands this much above its row
constexpr float kFindItWidth = 100.0f;
constexpr float kFindItHalfHeight = 13.0f;  // its frame reaches this far above and below its centre
// The lowest the question's line may stand: "Find It" then reaches down to
// kBodyLowestY.
constexpr float kPickLowestLine = kBodyLowestY + kFindItHalfHeight - kFindItRaise;
// Row i of a list whose rows above it take one line each.
constexpr float pick_row_y(int i) { return kPickRowTop - kPickRowStep * static_cast<float>(i); }

// --- The disk-space block ---

constexpr float kDiskTextX = 220.0f, kDiskTextY = 130.0f, kDiskTextWrap = 560.0f;

// --- The disc install's destination ---

// "Change Destination", centred on (x, y), fitted to its label.
constexpr float kChangeDestX = 300.0f, kChangeDestY = 203.0f;
// The "Install Name:" field: its box from x over w, at y, its label left of it.
constexpr float kInstallNameX = 420.0f, kInstallNameY = 200.0f, kInstallNameW = 340.0f;
constexpr int kInstallNameMax = 256;

// --- The licence pages ---

// The acceptance check box at (x, y) and its sentence to its right.
constexpr float kLicenceBoxX = 230.0f, kLicenceTextX = 250.0f, kLicenceY = 100.0f;
constexpr float kLicenceTextWrap = 560.0f;

// --- The world map of scenery tiles ---

// The map's lower-left corner; tile (c, r) is the kTilePixels square at
// (kMapX + kTilePixels c, kMapY + kTilePixels r), column 0 at 180 W, row 0
// at 90 S.
constexpr float kMapX = 248.0f, kMapY = 150.0f;
constexpr float kTilePixels = 14.0f;
constexpr float kMapW = 36 * kTilePixels, kMapH = 18 * kTilePixels;
// The two image buttons under the map, and where their pictures lie in the
// elements strip (row kButtonArtT like the bar's buttons).
constexpr wizard_button kSelectAllButton = {470.0f, 120.0f, 114.0f, 22.0f};
constexpr wizard_button kSelectNoneButton = {620.0f, 120.0f, 132.0f, 22.0f};
constexpr float kSelectAllArtS = 255.0f, kSelectNoneArtS = 374.0f;
// The map image holds both maps, 504 by 252 texels each, the plain one in
// the rows from 0, the coloured one in the rows from kColouredMapT, in a
// texture of kMapTextureSize texels square.
constexpr float kColouredMapT = 252.0f;
constexpr float kMapTextureSize = 512.0f;
