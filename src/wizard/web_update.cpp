// The screens of the web update flow.
#include "wizard/web_update.h"

#include "engine/checksum.h"
#include "engine/install_filter.h"
#include "engine/installed_copies.h"
#include "engine/installer_state.h"
#include "engine/server_list.h"
#include "engine/web_host.h"
#include "files/http.h"
#include "files/io_utils.h"
#include "ui/alert.h"
#include "wizard/disk_space.h"
#include "wizard/install_screen.h"
#include "wizard/pick_install.h"
#include "wizard/screen_text.h"

namespace {

// The update's progress bar, kept from one visit of the install screen to
// the next.
float totl_inst_rat = 0.0f;

// The directory archive's download: the slot of the directory fetch.
constexpr int kDirectorySlot = 1;

// The scan found no file to get and none to delete: the copy is up to
// date.
bool nothing_to_update() { return stg.files_to_get == 0 && stg.files_to_delete == 0; }

}  // namespace

float directory_share(bool transfer, int64_t written, int64_t length, std::string* percent) {
  *percent = "0";
  if (!transfer) return 0.0f;
  // No usable length: no bar and no caption.
  if (length <= 0) return -0.01f;
  const double share = static_cast<double>(written) * 100.0 / static_cast<double>(length);
  *percent = int_text(share);
  return static_cast<float>(share * 0.01);
}

void show_directory_download(wizard_screen& ws) {
  std::string percent;
  const bool transfer = http.slots[kDirectorySlot] != nullptr;
  ws.progress = directory_share(transfer, transfer ? http.written(kDirectorySlot) : 0,
                                transfer ? http.content_length(kDirectorySlot) : -1, &percent);
  ws.progress_text = T("I am checking the net for the latest version of Corvane 9 right now, and I am ") + percent +
                     T("% done checking.");
}

int net_start(int first_frame, wizard_screen& ws) {
  if (first_frame) {
    locate_all_corvanes();
    const flow_step steps[] = {
        {"Welcome", net_start},
        {"Pick Destination", cmd_line_path.empty() ? net_pick_dest : nullptr},
        {"Search for Updates", net_get_updates},
        {"Check Disk Space", net_check_disk},
        {"Install Updates", net_run_patch},
        {"Finish", net_done},
    };
    set_steps(steps, sizeof steps / sizeof steps[0]);
    next.reset_all_streams();
  }
  if (!cmd_line_path.empty())
    dest_dir_path = cmd_line_path;
  else if (all_haldens.size() == 1)
    dest_dir_path = all_haldens[0];
  else
    dest_dir_path.clear();

  ws.title = T("Corvane 9 Web Updater");
  ws.body = T("I will guide you through the process of updating your copy of Corvane 9 to the latest version.");
  ws.prefs_ok = 1;
  ws.next_screen = cmd_line_path.empty() ? net_pick_dest : net_get_updates;
  return 0;
}

int net_pick_dest(int first_frame, wizard_screen& ws) {
  if (first_frame) {
    // Back from the search: a scan still running there stops before the
    // copy can change under it.
    checksum_directory_kill();
    next.reset_all_streams();
  }
  ws.title = T("Pick Destination");
  ws.prefs_ok = 1;
  ws.body = all_haldens.size() > 1
                ? T("You have more than one copy of Corvane 9 installed on this computer.  ") +
                      T("Please select which copy of Corvane 9 you would like to update.")
                : T("Please select which copy of Corvane 9 you would like to update.");
  UTIL_pick_install();
  ws.back_screen = net_start;
  ws.next_screen = dest_dir_path.empty() ? nullptr : net_get_updates;
  return 0;
}

int net_get_updates(int first_frame, wizard_screen& ws) {
  static int ctr = 0;
  if (first_frame) {
    // The table is read again below: no scan of the earlier one may run on.
    checksum_directory_kill();
    // The web update looks at the simulator's files and its scenery alike.
    set_install_filter(1, 1);
    if (stg.dir_status == 3) {
      stg.dir_status = 1;
      ctr = 0;
    }
    // A search that found no directory is made again.
    if (restart_failed_directory_search()) ctr = 0;
  }
  ws.title = T("Search for Updates");
  ws.back_screen = net_pick_dest;
  ws.next_screen = nullptr;

  UTL_download_directory();
  if (stg.num_servers == -1) {
    ws.body = T((std::string("I am contacting ") + kMakerHost + " to find an update server.").c_str());
  } else if (stg.dir_status == 0) {
    ws.body = T("I am downloading patch info from ") + server_name[stg.server_index];
    show_directory_download(ws);
  } else if (stg.dir_status == 1) {
    ws.body = T("I am processing information about the available patches.");
  } else if (stg.dir_status == 2) {
    ws.body = T("There was a problem reading information from the servers.");
  } else {
    ws.kill = checksum_directory_kill;
    float fraction = 0.0f;
    if (checksum_directory(ctr, fraction)) {
      ws.back_screen = nullptr;
      ws.next_screen = net_check_disk;
      // The update keeps the scenery the copy has, and adds none.
      scenery_from_install();
      recalc_disk_sizes();
      return 1;
    }
    ws.body = T("I am scanning ") + dest_dir_path + T(" to see what files need updating.");
    ws.progress_text = fill_in(T("Scanning %d of %d files."), {std::to_string(ctr), std::to_string(sim_info.size())});
    ws.progress = fraction;
  }
  return 0;
}

int net_check_disk(int first_frame, wizard_screen& ws) {
  if (first_frame) next.reset_all_streams();
  ws.title = T("Check Disk Space");
  ws.back_screen = net_get_updates;
  ws.next_screen = net_run_patch;
  ws.show_servers = 1;
  // Files that only go, or whose new version is empty, need no room but
  // still make an update.
  if (nothing_to_update()) {
    ws.next_screen = net_done;
    return 1;
  }
  if (!UTIL_disk_space(T("You have enough free disk space to update Corvane 9"),
                       T("You do not have enough free disk space to update Corvane 9."))) {
    ws.next_screen = nullptr;
    ws.body = T("There is a newer version of Corvane 9 available, but you do not have enough free disk space to "
                "download and install the update.\n\nPlease free some space on your hard drive.");
    return 0;
  }
  ws.body = T("You are about to download ") + size_string(stg.kb_to_download) +
            T(" of compressed data to update to ") + install_name + ".";
  return 0;
}

int net_run_patch(int first_frame, wizard_screen& ws) {
  static const install_screen_kind kind = {&totl_inst_rat, net_check_disk, net_done, nullptr};
  return install_screen_frame(kind, first_frame, ws);
}

int net_done(int /*first_frame*/, wizard_screen& ws) {
  ws.back_screen = nullptr;
  ws.next_screen = wizard_quit;
  ws.title = T("Finshed Web Update");
  if (nothing_to_update() || !stg.had_errors) {
    ws.body = nothing_to_update()
                  ? T("This copy of Corvane (") + dest_dir_path + T(") is already up to date.")
                  : T("I have finished updating ") + dest_dir_path + ".";
    ws.choices.push_back(T("Fly Corvane Now"));
    ws.choice_funcs.push_back(dvd_do_run_sim);
  } else {
    ws.body = T("There were problems updating Corvane.  You can try this updater again using a different server.");
  }
  return 0;
}

int dvd_do_run_sim(int first_frame, wizard_screen& ws) {
  static screen_func came_from = nullptr;
  if (first_frame) {
    came_from = wizard_last_screen();
    const std::string program = dest_dir_path + kSimulatorProgram;
    const int code = launch_app(program, "");
    MACIBM_alert(0, T("I could not start Corvane."), program, error_str(code), "", t_alert);
  }
  ws.back_screen = came_from;
  return 0;
}
