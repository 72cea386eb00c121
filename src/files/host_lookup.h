// Host names looked up without holding up the frame: a name is looked up
// on a thread of its own, once per run; the frame loop only asks whether
// the answer has come.
#pragma once

#include <string>

enum { lookup_pending = 0, lookup_done = 1, lookup_failed = 2 };

// The IPv4 address of host (network byte order) into *address. A dotted
// address, or a name that can have none (one under "invalid"), is answered
// at once; any other name is looked up on a thread of its own the first
// time it is asked for, and lookup_pending returned until the answer has
// come. A found address is kept for the rest of the run. A failure is
// reported once; the next question about that name looks it up again.
// Main thread only.
int lookup_host(const std::string& host, unsigned long* address);

// Forgets every address found, and makes fn the blocking look-up that the
// lookup threads call (PCSBSocket::LookupAddress when null). For tests.
using host_lookup_function = unsigned long (*)(const char* host);
void reset_host_lookups(host_lookup_function fn = nullptr);
