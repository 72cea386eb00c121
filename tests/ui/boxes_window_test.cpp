// The message box, the about box, the open and save dialog with its preview,
// and the tabs, dial and shapes in a real window on a private X server:
// each screen is checked by pixel probes and driven with XTEST input.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "support/click_table.h"
#include "support/frame_watch.h"
#include "support/http_server.h"
#include "support/installer_run.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "textures/builtin_images.h"
#include "textures/tex_png.h"
#include "textures/tman.h"
#include "ui/colr.h"
#include "ui/font.h"
#include "ui/message_box.h"
#include "ui/opensave.h"
#include "ui/tabs_dial.h"
#include "widget_window/box_layout.h"
#include "window/mnw.h"
#include "window/subwindows.h"

namespace {

using namespace box_scene;

struct Scene {
  Scene(const std::string& name, std::vector<std::string> args = {}, std::string env = "") {
    InstallerRun::Options o;
    o.executable = CORVANE_WIDGET_WINDOW_EXE;
    o.env = {"CORVANE_WIDGET_SCENE=" + name, "LP_NUM_THREADS=2"};
    if (!env.empty()) o.env.push_back(env);
    o.args = std::move(args);
    run = std::make_unique<InstallerRun>(&x, o);
  }
  bool printed(const std::string& line) {
    return wait_until([&] { return run->out().find(line + "\n") != std::string::npos; }, kProgramTimeoutMs);
  }
  // Waits until a screenshot passes the test, keeping the last one.
  bool screen_until(const std::function<bool(const Screenshot&)>& test) {
    return wait_until([&] { return (shot = Screenshot::grab(x.display())).ok() && test(shot); }, kProgramTimeoutMs);
  }
  XServer x;
  std::unique_ptr<InstallerRun> run;
  Screenshot shot;
};

// The colour an index shows: the interface palette from its swatch, the
// others from the table's defaults.
rgb colour_of(int index) {
  for (const auto& s : kInterfaceSwatches)
    if (s.entry == index) return {s.r, s.g, s.b};
  const colr_class table;
  auto byte = [](float v) { return static_cast<int>(v * 255.0f + 0.5f); };
  return {byte(table.rgb[index][0]), byte(table.rgb[index][1]), byte(table.rgb[index][2])};
}

int distance(const rgb& a, const rgb& b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }
bool close_to(const rgb& a, const rgb& b, int tolerance = 6) { return distance(a, b) <= tolerance; }

// The pixel showing window unit (x, y) of box `id`.
rgb at(const Screenshot& s, int id, float x, float y) {
  const click_point o = clicks::box_origin(id);
  return s.at(o.x + static_cast<int>(x), clicks::kScreenHeight - 1 - o.y - static_cast<int>(y));
}

// Pixels in the window rectangle x0..x1, y0..y1 that pass a test.
int count(const Screenshot& s, int id, float x0, float y0, float x1, float y1, const std::function<bool(rgb)>& test) {
  int n = 0;
  for (float y = y0; y <= y1; ++y)
    for (float x = x0; x <= x1; ++x) n += test(at(s, id, x, y)) ? 1 : 0;
  return n;
}
// Text of a colour over a background: soft glyph edges mix the two, so a
// pixel counts when it is nearer the text colour.
std::function<bool(rgb)> ink(const rgb& text, const rgb& background) {
  return [=](rgb c) { return distance(c, text) < distance(c, background); };
}
std::function<bool(rgb)> exactly(const rgb& colour) {
  return [=](rgb c) { return close_to(c, colour); };
}

void click_box(Display* d, int id, float x, float y) {
  const click_point p = clicks::in_box(id, x, y);
  EXPECT_TRUE(click_on_what_is_shown(d, p.x, p.y));
  std::this_thread::sleep_for(std::chrono::milliseconds(350));
}

}  // namespace

TEST(BoxesWindow, MessageBoxWrapsItsTextAndAnswersOnlyByItsButtons) {
  Scene sc("message");
  Display* d = sc.x.display();
  const int id = wind_nuke_alert;
  const float w = wind_size_of(id)->w, top = wind_size_of(id)->h - kMessageTextTop;
  auto text = [&](const Screenshot& s) { return ink(colour_of(43), at(s, id, w / 2, 42)); };
  ASSERT_TRUE(sc.screen_until([&](const Screenshot& s) {
    return count(s, id, 20, top - 2, 280, top + 10, text(s)) > 20;
  })) << sc.run->err();
  EXPECT_TRUE(close_to(sc.shot.at(5, 5), colour_of(34))) << "around the box, the background colour";
  EXPECT_GT(count(sc.shot, id, 20, top - 22, 280, top - 12, text(sc.shot)), 20) << "a third line";
  EXPECT_EQ(count(sc.shot, id, w - kMessageWrapMargin + kMessageTextX + 2, 75, w - 10, top + 10, text(sc.shot)), 0)
      << "nothing right of the wrap width";

  // Neither keys nor the corners close it; the second box has no third
  // button.
  key_tap(d, "Return");
  key_tap(d, "Escape");
  click_box(d, id, 5, top + 35);
  const float third = w - kMessageEdge - OGL_text_width(kButtons[2]) / 2;
  click_box(d, id, third, kMessageSecondY);
  ASSERT_TRUE(sc.printed("result=3"));
  EXPECT_EQ(sc.run->out(), "result=3\n");
  click_box(d, id, third, kMessageSecondY);
  click_box(d, id, kMessageEdge + OGL_text_width(kButtons[0]) / 2, kMessageFirstY);
  EXPECT_EQ(sc.run->wait_exit(kProgramTimeoutMs), 0);
  EXPECT_EQ(sc.run->out(), "result=3\nresult=1\n");
}

TEST(BoxesWindow, TabsDialAndShapes) {
  Scene sc("tabs");
  Display* d = sc.x.display();
  const int id = wind_file_dialog;
  const float h = wind_size_of(id)->h;
  // Right of its caption, the selected tab's piece is the lighter one.
  auto tab_light = [&](const Screenshot& s, int column) {
    float cx, cy;
    tab_centre(column, 0, h, &cx, &cy);
    const rgb c = at(s, id, cx + 30, cy);
    return c.r + c.g + c.b;
  };
  ASSERT_TRUE(sc.screen_until([&](const Screenshot& s) { return tab_light(s, 0) > tab_light(s, 1) + 60; }))
      << sc.run->err();
  EXPECT_EQ(tab_light(sc.shot, 1), tab_light(sc.shot, 2));
  EXPECT_TRUE(close_to(at(sc.shot, id, kDiscX, kShapeY), colour_of(kDiscColour))) << "the filled disc";
  const auto ring = exactly(colour_of(kCircleColour));
  EXPECT_GT(count(sc.shot, id, kCircleX - kShapeR - 1, kShapeY - kShapeR - 1, kCircleX + kShapeR + 1,
                  kShapeY + kShapeR + 1, ring),
            80);
  EXPECT_EQ(count(sc.shot, id, kCircleX - 12, kShapeY - 12, kCircleX + 12, kShapeY + 12, ring), 0) << "an outline";
  const auto arc = exactly(colour_of(kArcColour));
  EXPECT_GT(count(sc.shot, id, kArcX + 1, kShapeY + 1, kArcX + kShapeR + 1, kShapeY + kShapeR + 1, arc), 40);
  EXPECT_EQ(count(sc.shot, id, kArcX - kShapeR - 1, kShapeY - kShapeR - 1, kArcX - 1, kShapeY + kShapeR + 1, arc), 0)
      << "the sector runs from straight up to the right";

  float cx, cy;
  tab_centre(2, 0, h, &cx, &cy);
  click_box(d, id, cx + kTabHitRight - 1, cy);
  ASSERT_TRUE(sc.printed("tab=2"));
  ASSERT_TRUE(sc.screen_until([&](const Screenshot& s) { return tab_light(s, 2) > tab_light(s, 0) + 60; }));

  // The needle's tip (above the centre at heading 0) shows through the
  // face's clear middle; held over the dial, the needle follows the pointer.
  const rgb up = at(sc.shot, id, kDialX, kDialY + 8), down = at(sc.shot, id, kDialX, kDialY - 8);
  EXPECT_FALSE(close_to(up, down, 24));
  const click_point right = clicks::in_box(id, kDialX + 20, kDialY), below = clicks::in_box(id, kDialX, kDialY - 20);
  pointer_to(d, right.x, right.y);
  ASSERT_TRUE(program_caught_up(d));
  button_down(d);
  ASSERT_TRUE(sc.printed("heading=90"));
  pointer_to(d, below.x, below.y);
  ASSERT_TRUE(sc.printed("heading=180"));
  button_up(d);
  ASSERT_TRUE(sc.screen_until([&](const Screenshot& s) { return close_to(at(s, id, kDialX, kDialY - 8), up, 24); }));
  EXPECT_TRUE(close_to(at(sc.shot, id, kDialX, kDialY + 8), down, 24));
  click_box(d, id, kDialX + kDialReach + 5, kDialY);
  EXPECT_EQ(sc.run->out().find("heading=", sc.run->out().find("heading=180") + 1), std::string::npos)
      << "outside its reach the dial does not turn";
}

TEST(BoxesWindow, AboutBoxOffersTheNewerReleaseAndStartsItsInstaller) {
  // The maker's host, reached through the proxy: a list naming a newer
  // release and an archive whose program notes how it was started.
  TempDir www;
  ASSERT_TRUE(write_file(www / "serverlist9.txt",
                         "I\n820 version\nSERVERS\nFINAL 9.20\nFINAL_VERSION 92000\n"
                         "FINAL_INSTALLER_LIN www.example.com /ins.zip\n"));
  ASSERT_EQ(std::system(("python3 -c \"import zipfile, sys; z = zipfile.ZipFile(sys.argv[1], 'w'); "
                         "i = zipfile.ZipInfo('new-installer'); i.external_attr = 0o100755 << 16; "
                         "z.writestr(i, '#!/bin/sh\\necho launched \\$# > launched.txt\\n'); z.close()\" '" +
                         www / "ins.zip" + "'")
                            .c_str()),
            0);
  TestHttpServer server(www.path());
  Scene sc("about", {"--pref:_proxy_host=127.0.0.1", "--pref:_proxy_port_int=" + std::to_string(server.port())});
  const int id = wind_about;
  const float h = wind_size_of(id)->h;
  auto dark = [&](const Screenshot& s) { return at(s, id, 295, 50); };  // the credits panel
  ASSERT_TRUE(sc.screen_until([&](const Screenshot& s) {
    return count(s, id, 452, 12, 532, 22, ink(colour_of(45), at(s, id, 350, 10))) > 20;
  })) << sc.run->err();
  EXPECT_EQ(server.requests().at(0).target, "http://www.example.com/serverlist9.txt");
  EXPECT_GT(count(sc.shot, id, 20, h - 47, 120, h - 37, ink(colour_of(49), dark(sc.shot))), 20) << "name and version";
  const float end = 20 + OGL_text_width("The current version of Corvane is now 9.20.");
  const auto line = ink(colour_of(47), dark(sc.shot));
  EXPECT_GT(count(sc.shot, id, end - 12, h - 87, end + 1, h - 77, line), 3) << "the version line, to its end";
  EXPECT_EQ(count(sc.shot, id, end + 3, h - 87, 580, h - 77, line), 0) << "and no further";
  EXPECT_EQ(count(sc.shot, id, 20, h - 227, 580, h - 217, ink(colour_of(58), dark(sc.shot))), 0) << "no status";

  click_box(sc.x.display(), id, 492, 17);
  EXPECT_EQ(sc.run->wait_exit(kProgramTimeoutMs), 1) << "the program ends once the installer runs";
  EXPECT_TRUE(wait_until([&] { return read_file(sc.run->app_folder() + "launched.txt") == "launched 0\n"; }));
  EXPECT_EQ(server.count("/serverlist9.txt"), 1);
}

TEST(BoxesWindow, OpenDialogWithPreviewThenSaveDialog) {
  // Two aircraft, the icon of one (a picture of one colour), a folder with
  // a '|' in its name holding an aircraft file cut short, and the
  // situations folder.
  TempDir tree;
  auto acf = [&](const std::string& path, const char* name, std::size_t cut = 0) {
    std::string block(2092, '\0');
    block.replace(1552, std::strlen(name), name).replace(1012, 11, "Studio Nine");
    return write_file(tree / path, std::string("i\x84\x03\0\0", 5) + block.substr(0, cut ? cut : 2092));
  };
  ASSERT_TRUE(acf("Aircraft/General-Aviation/b2.acf", "Biplane") &&
              acf("Aircraft/General-Aviation/c4.acf", "Cirrus Four") &&
              acf("Aircraft/Odd|Name/short.acf", "Cut", 100) && write_file(tree / "Output/situations/x.txt", ""));
  const unsigned char icon[3] = {200, 30, 90};
  for (int i = 0; i < 200 * 200 * 3; ++i) scratch_array[i] = icon[i % 3];
  write_png_to_disk(tree / "Aircraft/General-Aviation/c4_icon.png", 200, 200, 3);
  Scene sc("opensave", {}, "CORVANE_OPEN_ROOT=" + tree.path());
  Display* d = sc.x.display();
  const int id = wind_file_dialog;
  const rgb picture = {icon[0], icon[1], icon[2]};  // written for the display's gamma, shown as it is
  auto preview_ink = [&](const Screenshot& s) {
    return count(s, id, 341, 330, 540, 415, ink(colour_of(47), at(s, id, 540, 310)));
  };
  auto stair_ink = [&](const Screenshot& s, int level) {
    const float y = kOpenSaveStairY - kOpenSaveStairStep * static_cast<float>(level);
    return count(s, id, 20 + 10.0f * static_cast<float>(level), y - 2, 250, y + 7,
                 ink(colour_of(47), at(s, id, 290, 310)));
  };

  // Opened at the caller's file: its folder, the file selected and previewed.
  ASSERT_TRUE(sc.screen_until([&](const Screenshot& s) { return close_to(at(s, id, 441, 180), picture); }))
      << sc.run->err();
  EXPECT_EQ(count(sc.shot, id, 342, 81, 540, 279, exactly(picture)), 199 * 199) << "the icon fills its square";
  EXPECT_GT(count(sc.shot, id, 341, 403, 440, 412, ink(colour_of(47), at(sc.shot, id, 540, 310))), 20) << "text 1";
  EXPECT_GT(preview_ink(sc.shot), 60) << "and the fourth below it";
  EXPECT_GT(stair_ink(sc.shot, 1), 20) << "Aircraft";
  EXPECT_GT(stair_ink(sc.shot, 2), 20) << "General Aviation";

  // Backspace goes up a folder; Return enters the middle entry, the folder
  // with the '|', whose aircraft file is short: no texts, no icon, not even
  // in the frames that answer a later key (Shift alone does nothing here).
  FrameWatch frames(d, wait_for_window(d, "Halden", kProgramTimeoutMs));
  ASSERT_TRUE(frames.ok());
  key_tap(d, "BackSpace");
  ASSERT_TRUE(sc.screen_until([&](const Screenshot& s) { return stair_ink(s, 2) == 0 && preview_ink(s) == 0; }));
  key_tap(d, "Return");
  ASSERT_TRUE(sc.screen_until([&](const Screenshot& s) { return stair_ink(s, 2) > 20; }));
  ASSERT_TRUE(frames.taken([&] { key_tap(d, "Shift_L"); }));
  sc.shot = Screenshot::grab(d);
  EXPECT_EQ(preview_ink(sc.shot), 0);
  EXPECT_FALSE(close_to(at(sc.shot, id, 441, 180), picture, 40));
  key_tap(d, "Return");
  ASSERT_TRUE(sc.printed("result=[Aircraft/Odd|Name/short.acf]")) << sc.run->out();

  // The save dialog: narrower, at the situations folder; an empty name
  // saves nothing, a typed one gets the type's extension.
  ASSERT_TRUE(sc.screen_until([&](const Screenshot& s) { return close_to(s.at(150, 300), colour_of(34)); }));
  // The empty name's Return is taken alone, before any letter comes.
  ASSERT_TRUE(frames.taken([&] { key_tap(d, "Return"); }));
  for (const char* k : {"f", "l", "i", "g", "h", "t", "period", "s", "i", "t", "Return"}) key_tap(d, k);
  EXPECT_EQ(sc.run->wait_exit(kProgramTimeoutMs), 0);
  EXPECT_EQ(sc.run->out(), "result=[Aircraft/Odd|Name/short.acf]\nresult=[Output/situations/flight.SIT]\n");
}
