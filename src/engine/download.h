// The web update's download streams: up to four streams walk the file table
// in order; each deletes a file that is no longer wanted, or downloads the
// file's zip archive from the chosen update server and unpacks it into the
// install folder. The number of streams follows the download rate unless
// the user fixed it. Everything runs on the main thread, one short step per
// call.
#pragma once

#include <string>

constexpr int kStreams = 4;         // stream slots of `next`
constexpr int kFirstStreamHttp = 2;  // HTTP slot of stream 0; stream s uses slot s + 2

// One step of every active stream. Returns 1 once every active stream has
// run out of files (the folders that deletions left empty are then
// removed), else stg.had_errors: 1 after an archive could not be unpacked,
// so the caller ends the run.
int grab_files();

// Unpacks the archive (".7z" by the 7z reader, anything else as zip) into
// the folder of destination and deletes the archive. The archive must hold
// exactly the one file that destination names: anything else is refused and
// nothing is unpacked. A failure sets stg.had_errors and is shown. Returns 0
// or the failure's code.
int extract_and_delete_file(std::string archive, std::string destination);

// The temporary archive of stream s: temp_path + s + ".zip".
std::string stream_archive(int s);

// The number of streams wanted at a download rate (KB/s) when the user has
// not fixed it: 9 above 200, 8 above 150, 6 above 100, 4 above 50, else 2.
int streams_for_rate(double kb_per_second);
