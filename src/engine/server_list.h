// Finding an update server and fetching the directory of released files.
#pragma once

#include <cstdint>
#include <string>

// One step of the directory fetch, called once per frame by the search
// screens: fetch and read the server list, pick a server, fetch, unpack and
// read "directory.txt.zip". Progress shows in stg.num_servers and
// stg.dir_status.
//
// A fetch of the list that fails, or brings something that is no server
// list, a list without a usable server or without the version's name, is
// made again after a pause; a fetch of the directory that fails, or brings
// an archive that cannot be unpacked, is made again from another server
// (when there is one) after a pause. After kMaxFetchTries failures of
// either the search ends with stg.dir_status 2 (num_servers 0 when no list
// was read), as it does at once, after an alert naming the folder and the
// reason, when a download cannot be written into the temporary folder. A
// list in the form of a server list but of another version asks for a
// newer installer.
void UTL_download_directory();

// Forgets the failures and pauses of an earlier search, so that the next
// one starts afresh. stg_reset_for_start calls it.
void reset_directory_search();

// When the last search gave up without a directory (stg.dir_status 2, the
// screens' "problem reading"), makes the next UTL_download_directory start
// a new one from the server list, and returns true; else changes nothing
// and returns false (a refused, newer format stays refused). The search
// screens call it when they are entered.
bool restart_failed_directory_search();

// Reads the records of a server list body (after its header) into the server
// arrays, install_name and stg.num_servers; stops at end. Returns the number
// of servers stored.
int read_server_list(const char* data, const char* end);

// Index of a server among n, biased toward the head of the list: n * r^1.5
// for a uniform r in [0, 1), cut to an integer and kept within 0..n-1.
int server_index_for(int n, double r);
// The same with r drawn from rand(). n must be at least 1.
int pick_server_index(int n);
// Another server than avoid, when there is another: the rule above among
// the n - 1 others (in their order), r drawn from rand(). 0 when n is 1 or
// less.
int pick_other_server_index(int n, int avoid);

// Seconds to wait before fetching the server list or the directory again
// after an unusable answer.
constexpr float kServerListRetryPause = 1.0f;
// Failed fetches of the server list, and of the directory, before the
// search gives up.
constexpr int kMaxFetchTries = 8;
// The largest server list taken from a server; a larger answer is a failed
// fetch. The directory archive is bounded by kDirectoryMaxBytes.
constexpr std::int64_t kServerListMaxBytes = std::int64_t{1} << 20;
