// Process set-up for debugging and signals.
#pragma once

// Ignores SIGPIPE, so that a peer closing a socket gives an error code
// instead of ending the program.
void UTL_debug_init();
