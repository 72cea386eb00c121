// The install engine's worker pools as a whole.
#pragma once

// Stops every worker pool of the engine (the checksum scan, the disc copy
// and unpacking, the web update's unpacking): the tasks in flight are let
// finish (copied archives still unpacked) and taken back, then the pools'
// threads are joined. Called by the orderly shutdown before anything the
// tasks use goes away. Main thread only.
void stop_engine_pools();

// The number of threads of an unpack pool (the web update's, the disc
// install's): twice the processors this process may run on, but no more
// than the machine has. Unpacking waits on the file system, whose work the
// kernel does on any of the machine's processors: where this process may
// use only some of them, twice as many threads fill those waits (8 threads
// on 4 of 8 processors took 0.94 of the time of 4 in the web update), but
// on all of them the extra threads only contend (16 threads on 8 took 1.08
// of the time of 8).
int unpack_pool_threads();
