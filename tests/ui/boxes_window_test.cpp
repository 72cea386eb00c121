// The message box, the about box, the tabs with the direction dial and the
// further shapes in a real window on a private X server: each screen is
// checked by pixel probes against the colour table and the interface atlas,
// and driven with XTEST clicks and keys as a user drives it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "box_window/box_layout.h"
#include "support/click_table.h"
#include "support/http_server.h"
#include "support/installer_run.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/x_input.h"
#include "support/x_observe.h"
#include "support/x_server.h"
#include "textures/builtin_images.h"
#include "ui/about_box.h"
#include "ui/colr.h"
#include "ui/font.h"
#include "ui/message_box.h"
#include "ui/opensave.h"
#include "ui/tabs_dial.h"
#include "window/mnw.h"
#include "window/subwindows.h"

namespace {

using namespace box_scene;

InstallerRun::Options scene(const std::string& name, std::vector<std::string> args = {}) {
  InstallerRun::Options o;
  o.executable = CORVANE_BOX_WINDOW_EXE;
  o.env = {"CORVANE_BOX_SCENE=" + name, "LP_NUM_THREADS=2"};
  o.args = std::move(args);
  return o;
}

bool printed(InstallerRun& run, const std::string& line, int timeout_ms = kProgramTimeoutMs) {
  return wait_until([&] { return run.out().find(line + "\n") != std::string::npos; }, timeout_ms);
}

// The colour an index shows on screen: the interface palette from its
// swatch in the atlas, the others from the table's defaults.
rgb colour_of(int index) {
  for (const auto& s : kInterfaceSwatches)
    if (s.entry == index) return {s.r, s.g, s.b};
  const colr_class table;
  auto byte = [](float v) { return static_cast<int>(v * 255.0f + 0.5f); };
  return {byte(table.rgb[index][0]), byte(table.rgb[index][1]), byte(table.rgb[index][2])};
}

// A texel of the interface atlas (first stored row at the bottom).
struct texel {
  rgb c;
  int alpha;
};
texel atlas(int s, int t) {
  const unsigned char* p = g_tex_interface + (static_cast<std::size_t>(t) * 512 + s) * 4;
  return {{p[0], p[1], p[2]}, p[3]};
}

bool close_to(const rgb& a, const rgb& b, int tolerance = 2) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

// The screen pixel that shows window unit (x, y) of box `id`.
struct point {
  int x, y;
};
point pixel_of(int id, float x, float y) {
  const click_point o = clicks::box_origin(id);
  return {o.x + static_cast<int>(x), clicks::kScreenHeight - 1 - o.y - static_cast<int>(y)};
}

// Pixels of a colour in the window rectangle x0..x1, y0..y1 of box `id`.
int count_in(const Screenshot& shot, int id, float x0, float y0, float x1, float y1, const rgb& c,
             int tolerance = 2) {
  int n = 0;
  for (float y = y0; y <= y1; ++y)
    for (float x = x0; x <= x1; ++x) {
      const point p = pixel_of(id, x, y);
      if (close_to(shot.at(p.x, p.y), c, tolerance)) ++n;
    }
  return n;
}

int distance(const rgb& a, const rgb& b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

// Pixels of text in a colour over a background there: the glyphs' soft
// edges mix the two, so a pixel counts when it is nearer the text colour.
int count_ink(const Screenshot& shot, int id, float x0, float y0, float x1, float y1, const rgb& text,
              const rgb& background) {
  int n = 0;
  for (float y = y0; y <= y1; ++y)
    for (float x = x0; x <= x1; ++x) {
      const point p = pixel_of(id, x, y);
      const rgb c = shot.at(p.x, p.y);
      if (distance(c, text) < distance(c, background)) ++n;
    }
  return n;
}

rgb at(const Screenshot& shot, int id, float x, float y) {
  const point p = pixel_of(id, x, y);
  return shot.at(p.x, p.y);
}

// Clicks where the program takes the pointer to be at window unit (x, y).
void click_box(Display* d, int id, float x, float y) {
  const click_point p = clicks::in_box(id, x, y);
  click_at(d, p.x, p.y);
  std::this_thread::sleep_for(std::chrono::milliseconds(350));
}

// Waits until a screenshot passes the test; the last one in *shot.
bool screen_until(Display* d, Screenshot* shot, const std::function<bool(const Screenshot&)>& test) {
  return wait_until(
      [&] {
        *shot = Screenshot::grab(d);
        return shot->ok() && test(*shot);
      },
      kProgramTimeoutMs);
}

}  // namespace

TEST(BoxesWindow, MessageBoxWrapsItsTextAndAnswersOnlyByItsButtons) {
  XServer x;
  ASSERT_TRUE(x.ok());
  InstallerRun run(&x, scene("message"));
  Display* d = x.display();
  const int id = wind_nuke_alert;
  const float w = wind_size_of(id)->w, h = wind_size_of(id)->h;
  const rgb text = colour_of(43);
  const float top = h - kMessageTextTop;
  // The panel between the two rows of buttons, where nothing is drawn.
  auto panel_of = [&](const Screenshot& s) { return at(s, id, w / 2, (kMessageFirstY + kMessageSecondY) / 2); };

  Screenshot shot;
  ASSERT_TRUE(screen_until(d, &shot, [&](const Screenshot& s) {
    return count_ink(s, id, kMessageTextX, top - 2, w - 20, top + 10, text, panel_of(s)) > 20;
  })) << run.err();
  const rgb panel = panel_of(shot);
  EXPECT_TRUE(close_to(shot.at(5, 5), colour_of(34))) << "the window around the box in the background colour";
  EXPECT_GT(count_ink(shot, id, kMessageTextX, top - 22, w - 20, top - 12, text, panel), 20) << "a third line";
  EXPECT_EQ(count_ink(shot, id, kMessageTextX + w - kMessageWrapMargin + 2, kMessageFirstY + 14, w - 10, top + 10,
                      text, panel),
            0)
      << "nothing right of the wrap width";

  // Keys and the corners do not close it.
  key_tap(d, "Return");
  key_tap(d, "Escape");
  click_box(d, id, 5, h - 5);
  click_box(d, id, w - 5, h - 5);
  const float third = w - kMessageEdge - OGL_text_width(kButtons[2]) / 2;
  click_box(d, id, third, kMessageSecondY);
  ASSERT_TRUE(printed(run, "result=3")) << run.out();
  EXPECT_EQ(run.out(), "result=3\n");

  // The second box has two buttons: the third's place stays empty.
  ASSERT_TRUE(screen_until(d, &shot, [&](const Screenshot& s) {
    return count_in(s, id, third - 10, kMessageSecondY - 5, third + 10, kMessageSecondY + 5, panel, 1) == 21 * 11;
  }));
  click_box(d, id, third, kMessageSecondY);
  click_box(d, id, kMessageEdge + OGL_text_width(kButtons[0]) / 2, kMessageFirstY);
  ASSERT_TRUE(printed(run, "result=1"));
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 0);
  EXPECT_EQ(run.out(), "result=3\nresult=1\n");
}

TEST(BoxesWindow, TabsDialAndShapes) {
  XServer x;
  ASSERT_TRUE(x.ok());
  InstallerRun run(&x, scene("tabs"));
  Display* d = x.display();
  const int id = wind_file_dialog;
  const float h = wind_size_of(id)->h;

  // A texel of the tab pieces, clear of the caption, where the selected
  // and the plain piece differ and that shows the same colour one texel
  // either way.
  int ti = -1, tj = -1;
  auto uniform = [](int s, int t) {
    const texel c = atlas(s, t);
    if (c.alpha != 255) return false;
    for (int ds = -1; ds <= 1; ++ds)
      for (int dt = -1; dt <= 1; ++dt)
        if (!close_to(atlas(s + ds, t + dt).c, c.c, 2) || atlas(s + ds, t + dt).alpha != 255) return false;
    return true;
  };
  for (int i = 60; i < 95 && ti < 0; ++i)
    for (int j = 4; j < 22 && ti < 0; ++j)
      if (uniform(204 + i, 459 + j) && uniform(204 + i, 486 + j) &&
          !close_to(atlas(204 + i, 459 + j).c, atlas(204 + i, 486 + j).c, 12)) {
        ti = i;
        tj = j;
      }
  ASSERT_GE(ti, 0) << "the atlas has tab pieces that differ";
  const rgb off = atlas(204 + ti, 459 + tj).c, on = atlas(204 + ti, 486 + tj).c;
  auto tab_probe = [&](const Screenshot& s, int column) {
    float cx, cy;
    tab_centre(column, 0, h, &cx, &cy);
    return at(s, id, cx - kTabHalfW + static_cast<float>(ti), cy - kTabHalfH + static_cast<float>(tj));
  };

  Screenshot shot;
  ASSERT_TRUE(screen_until(d, &shot, [&](const Screenshot& s) { return close_to(tab_probe(s, 0), on, 3); }))
      << run.err();
  EXPECT_TRUE(close_to(tab_probe(shot, 1), off, 3));
  EXPECT_TRUE(close_to(tab_probe(shot, 2), off, 3));
  EXPECT_TRUE(close_to(at(shot, id, kDiscX, kShapeY), colour_of(kDiscColour))) << "the filled disc";
  EXPECT_TRUE(close_to(at(shot, id, kDiscX + kShapeR - 2, kShapeY), colour_of(kDiscColour)));
  const rgb ring = colour_of(kCircleColour);
  EXPECT_GT(count_in(shot, id, kCircleX - kShapeR - 1, kShapeY - kShapeR - 1, kCircleX + kShapeR + 1,
                     kShapeY + kShapeR + 1, ring),
            80)
      << "the circle's outline";
  EXPECT_EQ(count_in(shot, id, kCircleX - 12, kShapeY - 12, kCircleX + 12, kShapeY + 12, ring), 0)
      << "and nothing inside";
  const rgb arc = colour_of(kArcColour);
  EXPECT_GT(count_in(shot, id, kArcX + 1, kShapeY + 1, kArcX + kShapeR + 1, kShapeY + kShapeR + 1, arc), 40)
      << "the ring sector from straight up to the right";
  EXPECT_EQ(count_in(shot, id, kArcX - kShapeR - 1, kShapeY - kShapeR - 1, kArcX - 1, kShapeY + kShapeR + 1, arc),
            0);

  float cx, cy;
  tab_centre(2, 0, h, &cx, &cy);
  click_box(d, id, cx + kTabHitRight - 1, cy);
  ASSERT_TRUE(printed(run, "tab=2"));
  ASSERT_TRUE(screen_until(d, &shot, [&](const Screenshot& s) { return close_to(tab_probe(s, 2), on, 3); }));
  EXPECT_TRUE(close_to(tab_probe(shot, 0), off, 3));

  // The needle's tip shows through the clear middle of the face.
  const rgb face_middle_up = at(shot, id, kDialX, kDialY + 8);
  const rgb face_middle_down = at(shot, id, kDialX, kDialY - 8);
  EXPECT_FALSE(close_to(face_middle_up, face_middle_down, 8)) << "heading 0: the tip above the centre";

  // Held over the dial, the needle follows the pointer.
  const click_point right = clicks::in_box(id, kDialX + 20, kDialY);
  const click_point below = clicks::in_box(id, kDialX, kDialY - 20);
  pointer_to(d, right.x, right.y);
  button_down(d);
  ASSERT_TRUE(printed(run, "heading=90"));
  pointer_to(d, below.x, below.y);
  ASSERT_TRUE(printed(run, "heading=180"));
  button_up(d);
  ASSERT_TRUE(screen_until(d, &shot, [&](const Screenshot& s) {
    return close_to(at(s, id, kDialX, kDialY - 8), face_middle_up, 8);
  }));
  EXPECT_TRUE(close_to(at(shot, id, kDialX, kDialY + 8), face_middle_down, 8)) << "heading 180: the tip below";
  // Outside the dial's reach the button does nothing to it.
  click_box(d, id, kDialX + kDialReach + 5, kDialY);
  EXPECT_EQ(run.out().find("heading=", run.out().find("heading=180") + 1), std::string::npos);
}

namespace {

// The server side of the about box: the server list and an installer
// archive holding a script that notes where and how it was started.
struct AboutServer {
  explicit AboutServer(const std::string& list) {
    EXPECT_TRUE(www.ok());
    EXPECT_TRUE(write_file(www / "serverlist9.txt", "I\n820 version\nSERVERS\n" + list));
    const std::string script = www / "stage/new-installer";
    EXPECT_TRUE(write_file(script, "#!/bin/sh\necho \"launched $#\" > \"$PWD/launched.txt\"\n"));
    EXPECT_EQ(chmod(script.c_str(), 0755), 0);
    const std::string cmd = "cd '" + www / "stage" + "' && python3 -c \"import zipfile, os; z = zipfile.ZipFile('../ins.zip', 'w'); "
                            "i = zipfile.ZipInfo('new-installer'); i.external_attr = 0o100755 << 16; "
                            "z.writestr(i, open('new-installer').read()); z.close()\"";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    server = std::make_unique<TestHttpServer>(www.path());
  }
  std::vector<std::string> proxy_args() const {
    return {"--pref:_proxy_host=127.0.0.1", "--pref:_proxy_port_int=" + std::to_string(server->port())};
  }
  TempDir www;
  std::unique_ptr<TestHttpServer> server;
};

}  // namespace

TEST(BoxesWindow, AboutBoxOffersTheNewerReleaseAndStartsItsInstaller) {
  XServer x;
  ASSERT_TRUE(x.ok());
  AboutServer site("FINAL 9.20\nFINAL_VERSION 92000\nFINAL_INSTALLER_LIN www.example.com /ins.zip\n");
  InstallerRun run(&x, scene("about", site.proxy_args()));
  Display* d = x.display();
  const int id = wind_about;
  const float h = wind_size_of(id)->h;
  const rgb caption = colour_of(45);
  // The window panel below the credits, and the dark panel inside it.
  auto window_panel = [&](const Screenshot& s) { return at(s, id, 350, 10); };
  auto dark_panel = [&](const Screenshot& s) { return at(s, id, 590 / 2, 50); };

  Screenshot shot;
  ASSERT_TRUE(screen_until(d, &shot, [&](const Screenshot& s) {
    return count_ink(s, id, 492 - 40, 12, 492 + 40, 22, caption, window_panel(s)) > 20;
  })) << run.err();
  const rgb dark = dark_panel(shot);
  EXPECT_EQ(site.server->count("/serverlist9.txt"), 1);
  EXPECT_EQ(site.server->requests()[0].target, "http://www.example.com/serverlist9.txt");
  EXPECT_TRUE(close_to(shot.at(5, 5), colour_of(34)));
  EXPECT_GT(count_ink(shot, id, 20, h - 47, 120, h - 37, colour_of(49), dark), 20) << "the name and version";
  const rgb line = colour_of(47);
  const float end = 20 + OGL_text_width("The current version of Corvane is now 9.20.");
  EXPECT_GT(count_ink(shot, id, end - 12, h - 87, end + 1, h - 77, line, dark), 3) << "the version line, to its end";
  EXPECT_EQ(count_ink(shot, id, end + 3, h - 87, 580, h - 77, line, dark), 0) << "and no further";
  EXPECT_EQ(count_ink(shot, id, 20, h - 227, 580, h - 217, colour_of(58), dark), 0) << "no status while offering";

  click_box(d, id, 492, 17);
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 1) << "the program ends once the installer runs";
  EXPECT_TRUE(wait_until([&] { return read_file(run.app_folder() + "launched.txt") == "launched 0\n"; }));
  EXPECT_EQ(site.server->count("/ins.zip"), 1);
  EXPECT_EQ(site.server->count("/serverlist9.txt"), 1) << "fetched once";
}

TEST(BoxesWindow, AboutBoxWithTheServerDownSaysSoAndClosesByItsCorner) {
  XServer x;
  ASSERT_TRUE(x.ok());
  AboutServer site("");
  site.server->stop();
  InstallerRun run(&x, scene("about", site.proxy_args()));
  Display* d = x.display();
  const int id = wind_about;
  const float h = wind_size_of(id)->h;
  const float end =
      20 + OGL_text_width("I could not connect to the net to find the current version of Corvane at "
                          "http://www.example.com/!");
  auto dark_panel = [&](const Screenshot& s) { return at(s, id, 590 / 2, 50); };
  Screenshot shot;
  ASSERT_TRUE(screen_until(d, &shot, [&](const Screenshot& s) {
    return count_ink(s, id, end - 12, h - 87, end + 1, h - 77, colour_of(47), dark_panel(s)) > 3;
  })) << run.err();
  const rgb dark = dark_panel(shot);
  EXPECT_EQ(count_ink(shot, id, 20, h - 227, 580, h - 217, colour_of(58), dark), 0);
  EXPECT_EQ(count_ink(shot, id, 492 - 40, 12, 492 + 40, 22, colour_of(45), at(shot, id, 350, 10)), 0)
      << "nothing offered";
  click_box(d, id, kCloseCornerWidth / 2, h - kCloseCornerHeight / 2);
  ASSERT_TRUE(printed(run, "closed"));
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 0);
}

namespace {

// A tree for the open dialog: two aircraft with their header texts, the
// icon of one (a 200 by 200 picture of one colour), a folder whose name
// holds a '|' with an aircraft file cut short, and the situations folder.
const int kIcon[3] = {200, 30, 90};
bool make_tree(const std::string& root) {
  const std::string script = R"py(
import os, struct, sys, zlib
root = sys.argv[1]
def acf(path, texts, cut=False):
    block = bytearray(2092)
    for off, t in zip([1552, 1052, 2052, 1012], texts):
        block[off:off + len(t)] = t.encode()
    p = os.path.join(root, path)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    open(p, 'wb').write(b'i' + struct.pack('<i', 900) + bytes(block[:100] if cut else block))
def png(path, w, h, rgb):
    raw = b''.join(b'\x00' + bytes(rgb) * w for _ in range(h))
    def chunk(t, d): return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))
    open(os.path.join(root, path), 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
        + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))
acf('Aircraft/General-Aviation/b2.acf', ['Biplane', '', '', ''])
acf('Aircraft/General-Aviation/c4.acf', ['Cirrus Four', 'Test Pilot', 'Four seats, one engine', 'Studio Nine'])
png('Aircraft/General-Aviation/c4_icon.png', 200, 200, (int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])))
acf('Aircraft/Odd|Name/short.acf', ['Cut', '', '', ''], cut=True)
os.makedirs(os.path.join(root, 'Output/situations'))
)py";
  const std::string file = root + "make_tree.py";
  return write_file(file, script) &&
         std::system(("python3 '" + file + "' '" + root + "' " + std::to_string(kIcon[0]) + " " +
                      std::to_string(kIcon[1]) + " " + std::to_string(kIcon[2]))
                         .c_str()) == 0;
}

void type_text(Display* d, const std::string& text) {
  for (char c : text) key_tap(d, c == '.' ? std::string("period") : std::string(1, c));
}

}  // namespace

TEST(BoxesWindow, OpenDialogWithPreviewThenSaveDialog) {
  XServer x;
  ASSERT_TRUE(x.ok());
  TempDir tree;
  ASSERT_TRUE(tree.ok() && make_tree(tree.path()));
  InstallerRun::Options o = scene("opensave");
  o.env.push_back("CORVANE_OPEN_ROOT=" + tree.path());
  InstallerRun run(&x, o);
  Display* d = x.display();
  const int id = wind_file_dialog;
  const colr_class table;
  const rgb icon = {table.gamma_table[kIcon[0]], table.gamma_table[kIcon[1]], table.gamma_table[kIcon[2]]};
  const rgb text = colour_of(47);
  // Empty places of the text panel and of the path panel.
  auto text_panel = [&](const Screenshot& s) { return at(s, id, 540, 310); };
  auto path_panel = [&](const Screenshot& s) { return at(s, id, 290, 310); };
  auto preview_ink = [&](const Screenshot& s) { return count_ink(s, id, 341, 330, 540, 415, text, text_panel(s)); };
  auto stair_ink = [&](const Screenshot& s, int level) {
    const float y = kOpenSaveStairY - kOpenSaveStairStep * static_cast<float>(level);
    return count_ink(s, id, 20 + 10.0f * static_cast<float>(level), y - 2, 250, y + 7, text, path_panel(s));
  };

  // Opened at the caller's file: its folder, the file selected, its preview.
  Screenshot shot;
  ASSERT_TRUE(screen_until(d, &shot, [&](const Screenshot& s) { return close_to(at(s, id, 441, 180), icon); }))
      << run.err();
  EXPECT_EQ(count_in(shot, id, 342, 81, 540, 279, icon), 199 * 199) << "the icon fills its square";
  EXPECT_GT(count_ink(shot, id, 341, 403, 440, 412, text, text_panel(shot)), 20) << "the first text at 405";
  EXPECT_GT(count_ink(shot, id, 341, 343, 440, 382, text, text_panel(shot)), 40) << "and three more below";
  EXPECT_GT(stair_ink(shot, 1), 20) << "Aircraft";
  EXPECT_GT(stair_ink(shot, 2), 20) << "General Aviation";

  // Backspace goes up a folder, where nothing is previewed; Return enters
  // the middle entry, the folder with the '|' in its name, whose aircraft
  // file is too short for its header: an empty description, no icon.
  key_tap(d, "BackSpace");
  ASSERT_TRUE(screen_until(d, &shot, [&](const Screenshot& s) { return stair_ink(s, 2) == 0; }));
  EXPECT_GT(stair_ink(shot, 1), 20);
  EXPECT_EQ(preview_ink(shot), 0);
  EXPECT_FALSE(close_to(at(shot, id, 441, 180), icon, 40));
  key_tap(d, "Return");
  ASSERT_TRUE(screen_until(d, &shot, [&](const Screenshot& s) { return stair_ink(s, 2) > 20; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  shot = Screenshot::grab(d);
  EXPECT_EQ(preview_ink(shot), 0);
  EXPECT_FALSE(close_to(at(shot, id, 441, 180), icon, 40));
  key_tap(d, "Return");
  ASSERT_TRUE(printed(run, "result=[Aircraft/Odd|Name/short.acf]")) << run.out() << run.err();

  // The save dialog opens at the situations folder: nothing beside its
  // narrow window; an empty name saves nothing; a name gets its extension.
  ASSERT_TRUE(screen_until(d, &shot, [&](const Screenshot& s) { return close_to(s.at(150, 300), colour_of(34)); }));
  key_tap(d, "Return");
  type_text(d, "flight.sit");
  key_tap(d, "Return");
  ASSERT_TRUE(printed(run, "result=[Output/situations/flight.SIT]")) << run.out();
  EXPECT_EQ(run.wait_exit(kProgramTimeoutMs), 0);
  EXPECT_EQ(run.out(), "result=[Aircraft/Odd|Name/short.acf]\nresult=[Output/situations/flight.SIT]\n");
}
