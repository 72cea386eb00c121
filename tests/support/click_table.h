// Where tests click: the X11 pixel of every control that the window tests
// use, on the 800 x 600 screen with the window at (0, 0).
//
// Layout y grows upward from the window's bottom edge, X11 y downward from
// its top: pixel = (x, 600 - y) in the main window. A modal box lies centred
// in the window; a point (x, y) of the box's own layout is pixel
// (ox + x, 600 - oy - y) with the box's origin (ox, oy). Wherever the code
// names a place (the wizard's button bar and rows, the boxes' sizes), the
// point is computed from that name, so a layout change is made once; the
// other points are the controls' places as the screens draw them.
#pragma once

#include <string>
#include <vector>

#include "window/subwindows.h"
#include "wizard/layout.h"

struct click_point {
  int x, y;
};

namespace clicks {

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;

// A layout point of the main window.
constexpr click_point main_at(float x, float y) {
  return {static_cast<int>(x), static_cast<int>(static_cast<float>(kScreenHeight) - y)};
}
// The middle of a button of the bar.
constexpr click_point middle_of(const wizard_button& b) { return main_at(b.x + b.w / 2, b.y + b.h / 2); }

// The origin of box `id`, centred as the program centres it, grown by
// `grown` above its usual height to hold its texts.
click_point box_origin(int id, float grown = 0);
// A point of box `id`'s own layout.
click_point in_box(int id, float x, float y, float grown = 0);

// The main window.
constexpr click_point quit = middle_of(kQuitButton);                  // (55, 577)
constexpr click_point options = middle_of(kOptionsButton);            // (145, 577)
constexpr click_point back = middle_of(kBackButton);                  // (604, 577)
constexpr click_point next = middle_of(kNextButton);                  // (720, 577)
constexpr click_point next_as_quit = middle_of(kNextAsQuitButton);    // (695, 577)
// Choice button i (0-based): (500, 250 + 25 i).
constexpr click_point choice(int i) { return main_at(kChoiceX, kChoiceY - kChoiceStep * static_cast<float>(i)); }
// Server radio i of n: its box is centred 4 units above the row.
constexpr click_point server_radio(int i, int n) {
  return main_at(kServerX, kServerBase + kServerStep * static_cast<float>(n - i) + 4.0f);
}
// Places of the screens' own widgets.
// Copy-chooser row i: its radio's box is centred 4 units above the row.
// The short forms hold while the rows above take one line each.
constexpr click_point copy_row(int i) { return main_at(kPickRadioX, pick_row_y(i) + 4.0f); }  // (250, 196 + 25 i)
constexpr click_point find_it(int rows) { return main_at(kFindItX, pick_row_y(rows) + kFindItRaise); }  // (630, 197 + 25 n)
// Row i of the chooser listing these folders.
click_point copy_row(const std::vector<std::string>& folders, int i);
// The licence check box: its box is centred 4 units above its place.
constexpr click_point licence_box = main_at(kLicenceBoxX, kLicenceY + 4.0f);                   // (230, 496)
constexpr click_point change_destination = main_at(kChangeDestX, kChangeDestY);                // (300, 397)
constexpr click_point install_name_field = main_at(kInstallNameX + kInstallNameW / 2, kInstallNameY + 4.0f);  // (590, 396)
// The middle of world-map tile (c, r): (255 + 14 c, 443 - 14 r).
constexpr click_point world_tile(int column, int row) {
  return main_at(kMapX + kTilePixels * (static_cast<float>(column) + 0.5f),
                 kMapY + kTilePixels * (static_cast<float>(row) + 0.5f));
}
constexpr click_point select_all = middle_of(kSelectAllButton);    // (527, 469)
constexpr click_point select_none = middle_of(kSelectNoneButton);  // (686, 469)

// The options window (2).
click_point options_close_left();
click_point options_close_right();
click_point options_os_list();
// Item i of the OS list while item v is the current one (Macintosh 0,
// Windows 1, Linux 2).
click_point options_os_item(int i, int v);
click_point options_streams_up();
click_point options_streams_digit();
click_point options_streams_down();
click_point options_log_box();
click_point options_beta_box();
click_point options_manual_streams_box();
click_point options_proxy_host();
click_point options_proxy_port();

// The alert box (994).
click_point alert_ok();

// The two-button question (997).
click_point question_first();   // Cancel or Stop
click_point question_second();  // Continue

// The changed-file question (996), grown by `grown` to hold its texts.
click_point changed_overwrite(float grown = 0);
click_point changed_keep(float grown = 0);
click_point changed_overwrite_all(float grown = 0);
click_point changed_keep_all(float grown = 0);
click_point changed_cancel(float grown = 0);

// The folder chooser (998).
click_point chooser_cancel();
click_point chooser_new_folder();
click_point chooser_select();
// List row k counted from the middle row, k = -10 .. 10.
click_point chooser_row(int k);
click_point chooser_file_field();
click_point chooser_path_bar();
// Level i of the path pop-up while level v is the current one.
click_point chooser_path_level(int i, int v);
click_point chooser_scroll_down();

}  // namespace clicks
