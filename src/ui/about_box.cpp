// The about box: the version check against the maker's server list, the
// installer download and start, and the box's modal loop.
//
// Safety: an installer location that the HTTP client cannot take (a host
// with a "/" or a blank, a path that does not start with "/") counts as no
// location, so a bad server list never reaches the client's fatal checks.
#include "ui/about_box.h"

#include <cstdio>

#include "engine/installer_state.h"
#include "engine/record_scan.h"
#include "engine/server_list.h"
#include "engine/web_host.h"
#include "files/archives.h"
#include "files/http.h"
#include "files/io_utils.h"
#include "files/xmap.h"
#include "runtime/globals.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/question.h"
#include "ui/web.h"
#include "ui/widgets.h"
#include "window/mnw.h"

namespace {

using namespace record_scan;

// The server list's header: a text file of version 820, type "SERVERS".
constexpr int kListVersions[] = {820, 0};

bool location_is_usable(const std::string& server, const std::string& path) {
  if (server.empty() || server.find_first_of("/ \t") != std::string::npos) return false;
  return !path.empty() && path[0] == '/';
}

std::string site_message(const char* head) { return std::string(head) + kMakerSite + " to download the update."; }

// What the box says of the program and of the people behind it.
const char* const kCredits[8] = {
    "Art: the Corvane art team, panels, liveries and splash screens",
    "Code subroutines: the Corvane engine group, with thanks to our testers",
    "Linux port: the Corvane platform team",
    "Airport and navigation-aid data: the Corvane data volunteers",
    "Intro screen: the Corvane art team",
    "Icons: the Corvane interface team",
    "Additional elevation data: the open terrain survey, http://www.example.org/",
    "Forest prototypes: the Corvane scenery team",
};

std::string with_code(const char* format, int code) {
  char line[512];
  std::snprintf(line, sizeof line, format, error_str(code).c_str(), code);
  return line;
}

}  // namespace

void about_read_records(const char* p, const char* end, about_versions& v) {
  skip_white(p, end);
  while (p < end) {
    skip_blanks(p, end);
    if (take_keyword(p, end, "BETA", true)) {
      read_rest(p, end, v.net_beta);
    } else if (take_keyword(p, end, "FINAL", true)) {
      read_rest(p, end, v.net);
      v.found = 1;
    } else if (take_keyword(p, end, "BETA_INSTALLER_LIN", true)) {
      read_word(p, end, v.beta_server);
      read_rest(p, end, v.beta_path);
    } else if (take_keyword(p, end, "FINAL_INSTALLER_LIN", true)) {
      read_word(p, end, v.final_server);
      read_rest(p, end, v.final_path);
    } else if (take_keyword(p, end, "BETA_VERSION", true)) {
      v.beta_version = read_int(p, end);
    } else if (take_keyword(p, end, "FINAL_VERSION", true)) {
      v.final_version = read_int(p, end);
    }
    skip_to_line_end(p, end);
    skip_white(p, end);
  }
}

void about_decide(about_state& s) {
  s.is_latest = 1;
  s.is_beta = 0;
  s.ins_state = about_message;
  const about_versions& v = s.v;
  if (v.final_version == -1) {
    s.err_msg = "Can't connect to the net to find latest version.";
  } else if (v.final_version == kOwnVersion) {
    s.err_msg = "Your version of Corvane is up to date.";
  } else if (v.final_version > kOwnVersion) {
    s.is_latest = 0;
  } else if (v.beta_version <= kOwnVersion) {
    s.err_msg = "You have the latest Corvane beta.";
  } else {
    s.is_beta = 1;
    s.is_latest = 0;
  }
  if (s.is_latest) return;

  s.installer_server = s.is_beta ? v.beta_server : v.final_server;
  s.installer_path = s.is_beta ? v.beta_path : v.final_path;
  if (location_is_usable(s.installer_server, s.installer_path)) {
    s.ins_state = about_offer;
  } else {
    s.err_msg = site_message(s.is_beta ? "There is a newer beta of Corvane available! Visit "
                                       : "There is a new version of Corvane available! Visit ");
  }
}

void about_check_step(about_state& s, const std::string& list_file) {
  if (s.v.found || s.fetched) return;
  const bool slot_was_free = http.slots[kAboutListSlot] == nullptr;
  const int result = http.net_check(kAboutListSlot, kMakerHost, "/serverlist9.txt", list_file, kServerListMaxBytes);
  if (result == 0) {
    if (slot_was_free) s.own_transfer[kAboutListSlot] = 1;
    return;
  }
  s.own_transfer[kAboutListSlot] = 0;
  s.fetched = 1;
  if (result != 1) return;  // a failed fetch changes nothing

  s.v = about_versions();
  xmap_class list(list_file);
  if (list.check_file(header_text, kListVersions, "SERVERS", nullptr)) about_read_records(list.cursor, list.end, s.v);
  about_decide(s);
}

void about_installer_step(about_state& s, const std::string& archive) {
  if (s.ins_state == about_downloading) {
    const bool slot_was_free = http.slots[kAboutInstallerSlot] == nullptr;
    const int result = http.net_check(kAboutInstallerSlot, s.installer_server, s.installer_path, archive);
    if (result == 0) {
      if (slot_was_free) s.own_transfer[kAboutInstallerSlot] = 1;
      return;
    }
    s.own_transfer[kAboutInstallerSlot] = 0;
    if (result != 1) {
      s.err_msg = "I was unable to download the installer from the net.";
      s.ins_state = about_message;
      return;
    }
    const int err = zip_to_file(archive, "", &s.installer_app_name, 0);
    delete_file(archive);
    if (err != 0) {
      s.err_msg = with_code("There was an error unzipping the installer: %s (%d)", err);
      s.ins_state = about_message;
      return;
    }
    if (!s.installer_app_name.empty() && s.installer_app_name.back() == '/') s.installer_app_name.pop_back();
    s.ins_state = about_launching;
  } else if (s.ins_state == about_launching) {
    // Returns only when the installer could not be started.
    const int err = launch_app(s.installer_app_name, app_path);
    s.err_msg = with_code("There was an error launching the installer: %s (%d)", err);
    s.ins_state = about_message;
  }
}

void about_close(about_state& s) {
  for (int slot = 0; slot < 2; ++slot) {
    if (s.own_transfer[slot]) http.abort(slot);
    s.own_transfer[slot] = 0;
  }
  // A download cut short starts again when the box is opened next.
  s.fetched = 0;
}

std::string about_version_line(const about_state& s) {
  if (!s.v.found)
    return std::string("I could not connect to the net to find the current version of Corvane at ") + kMakerSite + "!";
  return std::string("The current ") + (s.is_beta ? "beta version" : "version") + " of Corvane is now " +
         (s.is_beta ? s.v.net_beta : s.v.net) + ".";
}

std::string about_status_line(const about_state& s, int64_t written, int64_t content_length) {
  if (s.ins_state == about_message) return s.err_msg;
  if (s.ins_state != about_downloading) return std::string();
  if (content_length <= 0) return "Downloading the installer...";
  const int64_t percent = written * 100 / content_length;
  return "Downloading the installer..." + std::to_string(percent) + "% complete";
}

void MACIBM_about() {
  // The check and the offer outlive the box: opened again, it shows them.
  static about_state s;
  const std::string list_file = temp_path + "serverlist9.txt";
  const std::string archive = temp_path + "installer.zip";
  BTN_modal_loop(wind_about, [&]() {
    about_check_step(s, list_file);

    const float w = mnw.wind_w, h = mnw.wind_h, wrap = w - 40.0f;
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    BTN_subwin(0, 15, -1, 35, -1, -1, "", &wx, &wy);
    OGL_string(49, 20, h - 45, kOwnVersionName, wrap, charset_prop, 0);
    OGL_string(49, 20, h - 55, "Written and designed by the Corvane team", wrap, charset_prop, 0);
    OGL_string(49, 20, h - 65, kMakerSite, wrap, charset_prop, 0);
    OGL_string(47, 20, h - 85, about_version_line(s), wrap, charset_prop, 0);
    for (int i = 0; i < 8; ++i) OGL_string(47, 20, h - 115 - 10.0f * i, kCredits[i], wrap, charset_prop, 0);
    if (BTN_action(191, 17, 0, 0, 1,
                   std::string("Go to ") + kMakerSite + " for free updates and tons of other cool stuff!", "-"))
      go_to_URL(kMakerSite);

    if (s.ins_state == about_offer &&
        BTN_action(492, 17, 0, 0, 1, s.is_beta ? " Get New Beta! " : "Update Corvane!", "-"))
      s.ins_state = about_downloading;
    about_installer_step(s, archive);
    const std::string status =
        about_status_line(s, http.written(kAboutInstallerSlot), http.content_length(kAboutInstallerSlot));
    if (!status.empty()) OGL_string(58, 20, h - 225, status, wrap, charset_prop, 0);
    return -1;
  });
  about_close(s);
}
