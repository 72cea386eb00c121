#include "support/click_table.h"

#include "ui/folder_chooser.h"

#include "window/mnw.h"
#include "wizard/options_layout.h"
#include "wizard/pick_install.h"

namespace clicks {

click_point box_origin(int id, float grown) {
  const wind_size* s = wind_size_of(id);
  if (!s) return {0, 0};
  return {static_cast<int>(wind_origin(static_cast<float>(kScreenWidth), s->w, 1.0f)),
          static_cast<int>(wind_origin(static_cast<float>(kScreenHeight), s->h + grown, 1.0f))};
}

click_point in_box(int id, float x, float y, float grown) {
  const click_point o = box_origin(id, grown);
  return {o.x + static_cast<int>(x), kScreenHeight - o.y - static_cast<int>(y)};
}

click_point copy_row(const std::vector<std::string>& folders, int i) {
  return main_at(kPickRadioX, pick_layout(folders).y.at(static_cast<std::size_t>(i)) + 4.0f);
}

click_point options_close_left() { return in_box(wind_prefs, 12, 370); }
click_point options_close_right() { return in_box(wind_prefs, 587, 370); }
click_point options_os_list() { return in_box(wind_prefs, kOsList.x + 10, kOsList.y + 3); }
click_point options_os_item(int i, int v) {
  return in_box(wind_prefs, kOsList.x, kOsList.y + 3 - 12.0f * static_cast<float>(i - v));
}
click_point options_streams_up() { return in_box(wind_prefs, kStreamsField.x + 5, kStreamsField.y + 16); }
click_point options_streams_digit() { return in_box(wind_prefs, kStreamsField.x + 5, kStreamsField.y + 3); }
click_point options_streams_down() { return in_box(wind_prefs, kStreamsField.x + 5, kStreamsField.y - 10); }
click_point options_log_box() { return in_box(wind_prefs, kLogBox.x, kLogBox.y + 4); }
click_point options_beta_box() { return in_box(wind_prefs, kBetaBox.x, kBetaBox.y + 4); }
click_point options_manual_streams_box() { return in_box(wind_prefs, kStreamsBox.x, kStreamsBox.y + 4); }
click_point options_proxy_host() { return in_box(wind_prefs, kProxyHostField.x + 115, kProxyHostField.y + 4); }
click_point options_proxy_port() { return in_box(wind_prefs, kProxyPortField.x + 115, kProxyPortField.y + 4); }

click_point alert_ok() { return in_box(wind_alert, 210, 18); }

click_point question_first() { return in_box(wind_abort_question, 96, 56); }
click_point question_second() { return in_box(wind_abort_question, 96, 31); }

click_point changed_overwrite(float grown) { return in_box(wind_question, 96, 53, grown); }
click_point changed_keep(float grown) { return in_box(wind_question, 96, 28, grown); }
click_point changed_overwrite_all(float grown) { return in_box(wind_question, 308, 53, grown); }
click_point changed_keep_all(float grown) { return in_box(wind_question, 308, 28, grown); }
click_point changed_cancel(float grown) { return in_box(wind_question, 584, 28, grown); }

click_point chooser_cancel() { return in_box(wind_file_dialog, kChooserCancelX, kChooserButtonY); }
click_point chooser_new_folder() { return in_box(wind_file_dialog, kChooserNewFolderX, kChooserButtonY); }
click_point chooser_select() { return in_box(wind_file_dialog, kChooserSelectX, kChooserButtonY); }
click_point chooser_row(int k) {
  return in_box(wind_file_dialog, 180, kChooserListY - 10.0f * static_cast<float>(k));
}
click_point chooser_file_field() { return in_box(wind_file_dialog, 171, 53); }
click_point chooser_path_bar() { return in_box(wind_file_dialog, 290, kChooserLevelsY + 3); }
click_point chooser_path_level(int i, int v) {
  return in_box(wind_file_dialog, 281, kChooserLevelsY + 3 - 12.0f * static_cast<float>(i - v));
}
// The scroll bar's arrow below the list.
click_point chooser_scroll_down() {
  return in_box(wind_file_dialog, kChooserListX + kChooserListW + 16, kChooserListY - 120);
}

}  // namespace clicks
