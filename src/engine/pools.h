// The install engine's worker pools as a whole.
#pragma once

// Stops every worker pool of the engine (the checksum scan, the disc copy
// and unpacking, the web update's unpacking): the tasks in flight are let
// finish (copied archives still unpacked) and taken back, then the pools'
// threads are joined. Called by the orderly shutdown before anything the
// tasks use goes away. Main thread only.
void stop_engine_pools();

// The number of threads of an unpack pool (the web update's, the disc
// install's): twice the processors this process may run on. Unpacking
// waits on the file system, so twice as many threads keep the processors
// busy.
int unpack_pool_threads();
