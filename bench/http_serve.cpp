// The benchmarks' HTTP server: the tests' own server, serving the files of
// one folder on 127.0.0.1. Prints the port it listens on as the first line
// of its output and runs until it is stopped (SIGTERM or SIGINT).
//
//   bench_http_serve ROOT
#include <csignal>
#include <cstdio>

#include "support/http_server.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s ROOT\n", argv[0]);
    return 2;
  }
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);  // the server's threads inherit the mask

  TestHttpServer server(argv[1]);
  if (server.port() == 0) {
    fprintf(stderr, "cannot listen on 127.0.0.1\n");
    return 1;
  }
  printf("%d\n", server.port());
  fflush(stdout);

  int sig = 0;
  sigwait(&stop_signals, &sig);
  return 0;
}
