// The about box: the program's name and version, credits, the newest
// version found on the maker's web host and, when a newer release offers an
// installer for this platform, a button that downloads, unpacks and starts
// it. A modal window (993) closed by its corner boxes or Return.
//
// The server list is fetched once per opening of the box through the
// program's HTTP client (and so through the proxy preferences); a list with
// a "FINAL" record is not fetched again in this run. Downloads go into the
// run's temporary folder.
#pragma once

#include <cstdint>
#include <string>

// Runs the box until another window is current.
void MACIBM_about();

// --- The version check and the installer steps, shared with the tests ---

// This program's own version: 9.10r1.
constexpr int kOwnVersion = 91001;
constexpr const char kOwnVersionName[] = "Corvane 9.10r1";

// HTTP slots of the server list and of the installer archive.
constexpr int kAboutListSlot = 0;
constexpr int kAboutInstallerSlot = 1;

// What the server list says of the releases.
struct about_versions {
  int found = 0;         // a "FINAL" record was read
  std::string net;       // the text after "FINAL"
  std::string net_beta;  // the text after "BETA"
  int final_version = -1, beta_version = -1;
  std::string final_server, final_path;  // "FINAL_INSTALLER_LIN"
  std::string beta_server, beta_path;    // "BETA_INSTALLER_LIN"
};

// Reads the records of a server list body (after its header) into v;
// stops at end.
void about_read_records(const char* p, const char* end, about_versions& v);

enum about_step {
  about_idle = 0,         // nothing to offer yet
  about_offer = 1,        // a newer release can be installed: the button shows
  about_downloading = 2,  // the installer archive is on its way
  about_launching = 3,    // the installer is unpacked and is started
  about_message = 4,      // err_msg is shown
};

struct about_state {
  about_versions v;
  int is_latest = 1, is_beta = 0;
  int ins_state = about_idle;
  std::string installer_server, installer_path, installer_app_name;
  std::string err_msg;
  int fetched = 0;           // the server list was fetched (or failed) in this opening
  int own_transfer[2] = {};  // a download of this box runs in slot 0 or 1
};

// The decision after a server list was fetched (its records in s.v).
void about_decide(about_state& s);
// One pass of the version check: while no "FINAL" record was seen and the
// list was not yet fetched in this opening, polls the fetch into
// list_file and, when it is complete, reads it and decides.
void about_check_step(about_state& s, const std::string& list_file);
// One pass of the installer steps 2 (download into archive, unpack into
// the working folder) and 3 (start it); the button of step 1 is the box's.
void about_installer_step(about_state& s, const std::string& archive);
// Ends the box's running downloads (the box closed) and readies the next
// opening.
void about_close(about_state& s);

// The version line and the status line of the box.
std::string about_version_line(const about_state& s);
std::string about_status_line(const about_state& s, int64_t written, int64_t content_length);
