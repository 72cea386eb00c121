// The web update's download streams: up to four streams walk the file table
// in order; each deletes a file that is no longer wanted, or downloads the
// file's zip archive from the chosen update server and has it unpacked into
// the install folder. The number of streams follows the download rate
// unless the user fixed it.
//
// The streams, the decisions and the file table belong to the main thread,
// one short step per call. Only the unpacking runs elsewhere: a downloaded
// archive goes to a pool of one thread per processor, and its stream goes
// on with its next file. A file counts as installed (is_current, the
// installed total) only when the main thread has taken its unpacking back
// from the pool and seen it succeed.
#pragma once

#include <cstdint>
#include <string>

#include "engine/installer_state.h"
#include "runtime/worker_pool.h"

constexpr int kStreams = 4;         // stream slots of `next`
constexpr int kFirstStreamHttp = 2;  // HTTP slot of stream 0; stream s uses slot s + 2

// One step of every active stream, after taking back the unpackings that
// have finished. Returns 1 once every active stream has run out of files
// and every unpacking has come back (the folders that deletions left empty
// are then removed), and 1 when the run has stopped: after an archive could
// not be unpacked or was not the file the directory describes (shown when
// its unpacking is taken back), or after a downloaded archive could not be
// written here (shown in an alert naming the folder and the reason); both
// set stg.had_errors. Else 0.
//
// Some failures are errors of the run (stg.had_errors) that do not stop
// it: a file that could not be deleted (other than because it was gone
// already; with no install folder nothing is deleted), logged; and a file
// that the servers failed to deliver kDownloadTriesPerServer times for each
// server of the list, given up with a log line. A failed download is asked
// for again, from another server when there is one, after the HTTP slot's
// pause. Either way the other files are still installed and deleted, and
// the next run tries the failed ones again.
int grab_files();

// Failed downloads of one file, for each update server of the list, before
// the run gives the file up.
constexpr int kDownloadTriesPerServer = 3;

// The most bytes taken from a server for the archive of version v: its size
// in the directory (the larger of the archive's and the file's, whole KB
// rounded up, as a stored entry holds the file as it is), plus 1/64 of it
// and 64 KiB for the archive's headers and the directory's rounding. A
// larger answer is a failed download, and nothing larger is written.
int64_t archive_download_limit(const file_version_struct& v);

// Lets every unpacking handed to the pool finish, takes them back (a
// failure among them is only logged) and ends the pool. Nothing when no
// pool is running.
void grab_files_kill();

// The unpack pool of a run; null while nothing is being unpacked for the
// streams.
extern UTL_worker_threads* web_unzip_pool;

// Unpackings handed to the pool and not yet taken back.
int unpacks_in_flight();
// The most unpackings the pool of a run takes at once (30); a stream whose
// archive finds no room keeps it and offers it again at its next step.
// Read when a run's pool is made.
extern int web_unpacks_max;

// Waits at most `seconds` until a stream can move on: a transfer of one of
// them has news (see http_class::wait_ready), or, when no transfer is
// running, an unpacking has come back (it is then taken back at once).
// Returns at once, true, when a stream has work it can do right away (it
// wants its next file, or its transfer can start); at once, false, when
// nothing can move on before the frame timer moves (every stream is idle,
// switched off, or rests after a failed download, and nothing is being
// unpacked). True otherwise, after the wait.
bool wait_for_streams(double seconds);

// The install screen's download work of one frame: grab_files again and
// again for `seconds` of real time, waiting for the transfers between calls
// (wait_for_streams) instead of calling it in vain. Returns grab_files's
// result as soon as that is non-zero; 0 when the time is up or when no
// stream can move on before the next frame.
int grab_files_slice(double seconds);

// Unpacks the archive (".7z" by the 7z reader, anything else as zip) into
// the folder of destination and deletes the archive. The archive must hold
// exactly the one file that destination names: anything else is refused and
// nothing is unpacked. With want given, the file must also be that version:
// no larger than its size and with its signature, else it is not put in
// place (err_too_large, err_wrong_signature) and the file there before
// stays. A failure sets stg.had_errors and is shown. Returns 0 or the
// failure's code.
int extract_and_delete_file(std::string archive, std::string destination, const file_version_struct* want = nullptr);

// The temporary archive of stream s: temp_path + s + ".zip".
std::string stream_archive(int s);

// The number of streams wanted at a download rate (KB/s) when the user has
// not fixed it: 9 above 200, 8 above 150, 6 above 100, 4 above 50, else 2.
int streams_for_rate(double kb_per_second);
