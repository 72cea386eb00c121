// A small HTTP/1.1 server for the tests and the sample run: it serves the
// files of a folder on 127.0.0.1, answers requests in origin form ("GET /a/b")
// and in the absolute form a proxy receives ("GET http://host/a/b"), records
// every request, and can be told to misbehave on chosen paths.
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestHttpServer {
 public:
  struct Request {
    std::string method;
    std::string target;  // as sent: "/a/b" or "http://host/a/b"
    std::string path;    // the path part, percent-decoded
    std::string host;    // the Host header
    std::map<std::string, std::string> headers;
    std::string raw;     // the request head as received
  };

  enum class Fault {
    none,
    status,       // answer with `status` and a short body
    close_early,  // announce the whole file, send `bytes` of it, then close
    stall,        // announce the whole file, send `bytes` of it, then send nothing more
    slow,         // send the file in pieces of `bytes` with `delay_ms` between them
    refuse,       // close the connection without answering
    long_body,    // answer 200 with a body of `bytes` filler bytes, announced
    unannounced,  // the same without "Content-Length", ended by closing
    chunked,      // the same in chunks ("Transfer-Encoding: chunked")
  };

  struct FaultSpec {
    Fault fault = Fault::none;
    int status = 500;
    long long bytes = 0;
    int delay_ms = 0;
    int times = -1;  // how many requests it applies to; -1 for all
  };

  // Serves root (a folder, with or without a final "/") on a free port.
  explicit TestHttpServer(const std::string& root);
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  int port() const { return port_; }
  const std::string& root() const { return root_; }

  // Makes requests for the path (percent-decoded, e.g. "/v9/file.zip")
  // misbehave.
  void set_fault(const std::string& path, const FaultSpec& spec);
  void clear_faults();

  std::vector<Request> requests() const;
  void clear_requests();
  // Number of requests whose path equals path.
  int count(const std::string& path) const;

  // The most connections that were open at the same time.
  int most_at_once() const;

  // Stops listening and drops every open connection; start() listens again
  // on the same port.
  void stop();
  bool start();

 private:
  void accept_loop();
  void serve(int fd);
  bool take_fault(const std::string& path, FaultSpec* spec);

  std::string root_;
  int port_ = 0;
  int listen_fd_ = -1;
  std::atomic<bool> running_{false};
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::vector<Request> requests_;
  std::map<std::string, FaultSpec> faults_;
  std::vector<int> open_fds_;
  int active_ = 0;  // connections being served
  int most_active_ = 0;
  std::condition_variable idle_;
};
