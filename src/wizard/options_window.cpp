// The options window: a modal sub-window that edits the installer's live
// settings every frame until the user closes it.
#include "wizard/sub_wins.h"

#include "engine/checksum.h"
#include "engine/install_filter.h"
#include "engine/installer_state.h"
#include "files/http.h"
#include "runtime/globals.h"
#include "ui/draw.h"
#include "ui/enterstring.h"
#include "ui/frames.h"
#include "ui/numeric.h"
#include "ui/question.h"
#include "ui/textlist.h"
#include "ui/widgets.h"
#include "window/mnw.h"
#include "wizard/options_layout.h"

namespace {

// The proxy is used only with a port the network can take.
bool usable_port(int port) { return port >= 1 && port <= 65535; }

// Logs once for each new port text that leaves the proxy off.
void note_port(const std::string& text, int port) {
  static std::string noted;
  if (usable_port(port) || text == noted) return;
  noted = text;
  xer << "The proxy port \"" << text << "\" is not a number from 1 to 65535: downloads go without the proxy.\n";
}

void options_pass() {
  OGL_plot_back_col();
  BTN_fillwin(1, 21);
  float right = 0.0f, top = 0.0f;
  BTN_subwin(0, kOptionsPanelStyle, -1, -1, -1, kProxyPanelHeight, "Proxy (if you are behind a firewall with a Proxy)",
             &right, &top);
  BTN_subwin(0, kOptionsPanelStyle, -1, top, -1, -1, "General Preferences", &right, &top);

  int manual_streams = stg.stream_count != 0 ? 1 : 0;
  int os_index = stg.want_os - 1;
  BTN_textlist(kOsList.x, kOsList.y, &os_index, "Macintosh-Windows-Linux",
               "Operating System to download Corvane for:|(Install and copy the entire Corvane folder to another "
               "computer if you like)");
  if (os_index < 0) os_index = 0;
  if (os_index > 2) os_index = 2;
  if (os_index + 1 != stg.want_os) {
    // A scan's tasks read the operating system and which file of a path
    // counts: a scan still going stops before they change.
    checksum_directory_kill();
    set_want_os(os_index + 1);
  }

  BTN_bool(kLogBox.x, kLogBox.y, &stg.log_actions,
           "|log installer actions... turn this on to output the installer file downloads and stuff to the file "
           "log.txt.",
           0);
  BTN_bool(kBetaBox.x, kBetaBox.y, &stg.get_beta,
           "|check for new betas as well as updates.  Leave this off unless you want to participate in the Corvane "
           "beta program!",
           0);
  BTN_bool(kStreamsBox.x, kStreamsBox.y, &manual_streams,
           "|manually set the number of download streams... typically leave this OFF, and the installer will find "
           "the best number of streams for you.",
           0);
  if (manual_streams)
    BTN_int_range(kStreamsField.x, kStreamsField.y, &stg.stream_count, 1, 1.0f, 4.0f, "");
  else
    stg.stream_count = 0;

  BTN_enterstring(kProxyHostField.x, kProxyHostField.y, &http.proxy_host, kProxyTextMax, "-proxy host",
                  kProxyFieldWidth, 1, field_chars::path);
  BTN_enterstring(kProxyPortField.x, kProxyPortField.y, &http.proxy_port_text, kProxyTextMax, "-proxy port",
                  kProxyFieldWidth, 1);
  if (!http.proxy_port_text.empty()) {
    http.proxy_port = str_to_int(http.proxy_port_text);
    note_port(http.proxy_port_text, http.proxy_port);
  }
}

}  // namespace

void handle_prefs() {
  BTN_modal_loop(wind_prefs, [] {
    options_pass();
    return -1;
  });
}
