#include "ui/path_field.h"

#include <cstring>

#include "files/io_utils.h"
#include "runtime/globals.h"
#include "textures/tman.h"
#include "ui/alert.h"
#include "ui/draw.h"
#include "ui/enterstring.h"
#include "ui/folder_chooser.h"
#include "ui/widgets.h"
#include "ui/widget_parts.h"
#include "window/mnw.h"

namespace {

constexpr int kBufferMax = 500;  // character buffers hold at most 499 characters

// False, after the fatal alert that names the function, when open_save or
// file_type is no value the path widgets know.
bool known_args(int open_save, int file_type, const std::string& function) {
  if (open_save != 998 && open_save != 999) {
    MACIBM_alert(0, "Bad open_save arg to " + function + "!", "", "", "", t_exit);
    return false;
  }
  if (file_type < 0 || file_type > 21) {
    MACIBM_alert(0, "Bad file_type arg to " + function + "!", "", "", "", t_exit);
    return false;
  }
  return true;
}

// Copies text into a caller's buffer of at least max_len bytes.
void copy_to_buffer(std::string text, char* buffer, int max_len) {
  if (max_len < 1) return;
  if (static_cast<int>(text.size()) >= max_len) text.resize(static_cast<std::size_t>(max_len - 1));
  if (text.size() >= static_cast<std::size_t>(kBufferMax)) {
    MACIBM_alert(0, "String too long!", text, "", "", t_exit);
    return;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
}

// A buffer's text, read no further than max_len bytes.
std::string from_buffer(const char* buffer, int max_len) {
  const std::size_t limit = max_len > 0 ? static_cast<std::size_t>(max_len) : 0;
  return std::string(buffer, strnlen(buffer, limit));
}

}  // namespace

int BTN_select_path_stl(float x, float y, int open_save, int file_type, std::string* path, int max_len,
                        std::string label, float width, int focus) {
  if (!known_args(open_save, file_type, "BTN_select_file_stl")) return 0;

  std::string caption, second, help;
  BTN_expand_label(label, &caption, &second, &help);
  BTN_util_draw_label(x - 32.0f, y, 0, caption, 0);
  BTN_util_draw_label(x + 6.0f + width, y, 2, second, 0);

  BTN_atlas_quad(x + kPathButtonLeft, y + kPathButtonBottom, x + kPathButtonRight, y + kPathButtonTop, 208, 133, 234,
                 159, 0);

  const bool whole = file_type == 20 || file_type == 21;
  std::string shown = whole ? *path : last_component(*path);
  if (BTN_enterstring(x, y, &shown, max_len, "", width, focus, field_chars::path)) *path = shown;

  // The button ignores the mouse while a menu is open, as every widget does.
  int result = 0;
  if (mnw.open_menu == -1 && BTN_inside(mnw.mouse_x, mnw.mouse_y, x + kPathHitLeft, y + kPathHitBottom,
                                        x + kPathHitRight, y + kPathHitTop)) {
    stls.mouse_help = help;
    if (mnw.click) {
      char chosen[512];
      if (GetFilePathFromUser(2, "Please pick an Halden to update", "Update", 1, nullptr, chosen, sizeof chosen) ==
          1) {
        *path = chosen;
        result = 1;
      }
    }
  }
  return result;
}

int BTN_select_path_chr(float x, float y, int open_save, int file_type, char* path, int max_len, std::string label,
                        float width, int focus) {
  if (!known_args(open_save, file_type, "BTN_select_file_chr")) return 0;
  std::string text = from_buffer(path, max_len);
  const int result = BTN_select_path_stl(x, y, open_save, file_type, &text, max_len, label, width, focus);
  copy_to_buffer(text, path, max_len);
  return result;
}

int BTN_select_file_chr(float x, float y, int open_save, int file_type, char* file_name, std::string* path,
                        int max_len, std::string label, float width) {
  if (!known_args(open_save, file_type, "BTN_select_file_chr")) return 0;
  std::string full = folder_part(*path) + from_buffer(file_name, max_len);
  const int result = BTN_select_path_stl(x, y, open_save, file_type, &full, max_len, label, width, 1);
  if (result == 1) {
    *path = full;
    copy_to_buffer(last_component(full), file_name, max_len);
  }
  return result;
}
