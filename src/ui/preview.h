// The fixed part of the open and save dialog and, in the open variant, the
// preview of the selected file: for aircraft files four texts of the file's
// header block and an icon picture that lies beside the file, for flight
// data files their comment line.
#pragma once

#include <string>

// Draws the background, the window panel and the path panel, then (window
// 998 only) the preview of `path` (work path + name; "-" for an empty
// folder). A file is read again only when the path differs from the one of
// the previous call. Main thread only.
void stand_io_dialog(int window, int file_type, std::string path);

// --- Reading, shared with the tests ---

// Texture reference of the icon picture.
constexpr int kPreviewIconRef = 408;

// The header block of an aircraft file: this many bytes right after the
// binary header, read as stored.
constexpr int kVehHeaderBytes = 2092;
// Byte offsets of the four texts shown, in display order.
constexpr int kVehTextOffsets[4] = {1552, 1052, 2052, 1012};

// Paths that the two previews apply to: ".acf" or ".ACF" anywhere, ".fdr"
// anywhere.
bool preview_is_aircraft(const std::string& path);
bool preview_is_flight_data(const std::string& path);

// The icon beside an aircraft file: the path without a 4-character
// extension ("." fourth from the end), plus "_icon.png".
std::string preview_icon_name(const std::string& path);

// Fills block with the header block of the aircraft file at path; 1 when
// its header is accepted and the block was there in full. Otherwise the
// block is all zero (a missing, foreign or short file shows nothing).
int preview_read_aircraft(const std::string& path, unsigned char block[kVehHeaderBytes]);
// The zero-terminated text at offset in the block, never past its end.
std::string preview_block_text(const unsigned char block[kVehHeaderBytes], int offset);

// The comment of a flight data file: the rest of its first "COMM" line
// (letter case ignored); empty when the file is missing, has no accepted
// header or no such line.
std::string preview_flight_comment(const std::string& path);
// The same over the body of such a file (after its header).
std::string preview_comment_in(const char* p, const char* end);
