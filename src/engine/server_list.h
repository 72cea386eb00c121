// Finding an update server and fetching the directory of released files.
#pragma once

#include <string>

// One step of the directory fetch, called once per frame by the search
// screens: fetch and read the server list, pick a server, fetch, unpack and
// read "directory.txt.zip". Progress shows in stg.num_servers and
// stg.dir_status.
void UTL_download_directory();

// Reads the records of a server list body (after its header) into the server
// arrays, install_name and stg.num_servers; stops at end. Returns the number
// of servers stored.
int read_server_list(const char* data, const char* end);

// Index of a server among n, biased toward the head of the list: n * r^1.5
// for a uniform r in [0, 1), cut to an integer and kept within 0..n-1.
int server_index_for(int n, double r);
// The same with r drawn from rand(). n must be at least 1.
int pick_server_index(int n);

// Seconds to wait before fetching the server list again after it named no
// usable server.
constexpr float kServerListRetryPause = 1.0f;
