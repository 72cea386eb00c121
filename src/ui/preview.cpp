// The preview panel of the open dialog: the aircraft header texts and icon,
// or the comment line of a flight data file.
//
// Files are read only when the previewed path changes; every other frame
// draws from what was kept. A file that is short, foreign or unreadable
// shows nothing: the reader never asks for bytes the file does not hold.
#include "ui/preview.h"

#include <cstring>

#include "files/xmap.h"
#include "runtime/queues.h"
#include "textures/tman.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/frames.h"
#include "ui/opensave.h"
#include "window/mnw.h"

namespace {

// Versions of the aircraft file that carry the header block.
constexpr int kVehVersions[] = {700, 740, 8000, 810, 830, 840, 860, 900, 901, 902, 0};
// The flight data file's text header.
constexpr int kFlightDataVersions[] = {1, 0};

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }

bool equals_ignoring_case(const char* p, std::size_t n, const char* word) {
  if (std::strlen(word) != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = p[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != word[i]) return false;
  }
  return true;
}

// What the panel keeps between frames and between openings of the dialog.
std::string old_path;
std::string comment;
unsigned char top_of_veh[kVehHeaderBytes];
std::string veh_texts[4];  // the block's four texts, in display order
int has_tex = 0;

// One value of the icon's texture record, read under the manager's lock.
float icon_record(float tman_class::ref_dat_struct::*field) {
  UTL_critical_section_lock(&tman.lock);
  float v = 0.0f;
  if (static_cast<std::size_t>(kPreviewIconRef) < tman.ref_dat.size()) v = tman.ref_dat[kPreviewIconRef].*field;
  UTL_critical_section_unlock(&tman.lock);
  return v;
}

void aircraft_preview(const std::string& path) {
  OGL_setstate(gl_fog_off, 1, gl_lit_off, gl_alpha_none, gl_depth_off, gl_dwrite_off);
  if (path != old_path) {
    preview_read_aircraft(path, top_of_veh);
    for (int i = 0; i < 4; ++i) veh_texts[i] = preview_block_text(top_of_veh, kVehTextOffsets[i]);
    has_tex = tman.load_texture(tex_fail_quiet, kPreviewIconRef, tex_rgb | tex_clamp_st | tex_full_res | tex_flag_400,
                                tex_load_now, preview_icon_name(path));
  }
  float y = 405.0f;
  for (const std::string& text : veh_texts) y = OGL_string(47, 341, y, text, 200, charset_prop, 0) - 10.0f;
  if (!has_tex) return;
  const float image_w = icon_record(&tman_class::ref_dat_struct::dx);
  const float image_h = icon_record(&tman_class::ref_dat_struct::dy);
  const float tex_w = icon_record(&tman_class::ref_dat_struct::tex_dx);
  const float tex_h = icon_record(&tman_class::ref_dat_struct::tex_dy);
  if (!(tex_w > 0.0f) || !(tex_h > 0.0f)) return;
  const float s = image_w / tex_w, t = image_h / tex_h;
  OGL_2dquad(kPreviewIconRef, 49, 1.0f, 341, 80, 0, 0, 341, 280, 0, t, 541, 280, s, t, 541, 80, s, 0, 1, gl_alpha_none);
}

}  // namespace

void stand_io_dialog(int window, int file_type, std::string path) {
  OGL_plot_back_col();
  BTN_fillwin(1, 21);
  BTN_frame2(15, 10, 300, 290, 120, "");
  if (window != wind_file_dialog) return;

  if (file_type == 3 || file_type == 8 || file_type == 20) {
    BTN_frame2(15, 331, 70, 220, 220, "");
    BTN_frame2(15, 331, 300, 220, 120, "");
  }
  if (file_type == 3 && preview_is_aircraft(path)) {
    aircraft_preview(path);
  } else if (file_type == 8 && preview_is_flight_data(path)) {
    if (path != old_path) comment = preview_flight_comment(path);
    if (!comment.empty()) OGL_string(47, 341, 270, comment, 200, charset_prop, 0);
  }
  old_path = path;
}

bool preview_is_aircraft(const std::string& path) {
  return path.find(".acf") != std::string::npos || path.find(".ACF") != std::string::npos;
}

bool preview_is_flight_data(const std::string& path) { return path.find(".fdr") != std::string::npos; }

std::string preview_icon_name(const std::string& path) {
  const std::size_t n = path.size();
  const std::string stem = (n > 4 && path[n - 4] == '.') ? path.substr(0, n - 4) : path;
  return stem + "_icon.png";
}

int preview_read_aircraft(const std::string& path, unsigned char block[kVehHeaderBytes]) {
  std::memset(block, 0, kVehHeaderBytes);
  xmap_class file(path);
  if (!file.check_file(header_binary, kVehVersions, nullptr, nullptr)) return 0;
  if (file.remaining() < kVehHeaderBytes) return 0;
  // As stored: the texts are bytes, whatever order the header names.
  std::memcpy(block, file.cursor, kVehHeaderBytes);
  return 1;
}

std::string preview_block_text(const unsigned char block[kVehHeaderBytes], int offset) {
  if (offset < 0 || offset >= kVehHeaderBytes) return std::string();
  const char* p = reinterpret_cast<const char*>(block) + offset;
  const void* zero = std::memchr(p, 0, static_cast<std::size_t>(kVehHeaderBytes - offset));
  const std::size_t n = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - p)
                             : static_cast<std::size_t>(kVehHeaderBytes - offset);
  return std::string(p, n);
}

std::string preview_comment_in(const char* p, const char* end) {
  while (p < end) {
    while (p < end && is_blank(*p)) ++p;
    const char* field = p;
    while (p < end && *p != ',' && !is_line_end(*p)) ++p;
    const std::size_t field_len = static_cast<std::size_t>(p - field);
    // One separator, whichever it is: a line that holds its field alone
    // so lets the next line stand as its rest.
    if (p < end) ++p;
    if (equals_ignoring_case(field, field_len, "COMM")) {
      while (p < end && is_blank(*p)) ++p;
      const char* text = p;
      while (p < end && !is_line_end(*p)) ++p;
      return std::string(text, static_cast<std::size_t>(p - text));
    }
    while (p < end && !is_line_end(*p)) ++p;
    while (p < end && is_line_end(*p)) ++p;
  }
  return std::string();
}

std::string preview_flight_comment(const std::string& path) {
  xmap_class file(path);
  if (!file.check_file(header_text, kFlightDataVersions, nullptr, nullptr)) return std::string();
  return preview_comment_in(file.cursor, file.end);
}
