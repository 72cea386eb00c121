// The HTTP/1.1 client: plain GET requests, polled step by step from the frame
// loop so that the wizard keeps drawing while data arrives. The body of each
// response is written straight into a file.
//
// There is no chunked transfer coding, no redirect, no keep-alive and no
// authentication: a response must carry "Content-Length" to succeed.
// Everything here runs on the main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class PCSBSocket;

// Host-name endings that bypass the proxy; nothing fills it.
extern std::vector<std::string> gProxyExclude;

// Orders header names without regard to ASCII letter case.
struct header_name_less {
  bool operator()(const std::string& a, const std::string& b) const;
};
using header_map = std::map<std::string, std::string, header_name_less>;

// One download: resolves the server, connects without blocking, sends the
// request, parses the response header and writes the body to a file.
class down_class {
 public:
  // Composes the request and starts looking up server (or the proxy, when
  // one is set and applies) without waiting for the answer (lookup_host);
  // the connection is started at the step that finds the address. In path, every byte that cannot
  // stand as it is in a request (controls, the space, non-ASCII bytes, '%',
  // '#', '?' and the others not allowed in one) is sent as %XX: path is a
  // plain name, and a '%' in it goes as "%25". Through a
  // proxy the absolute address and the Host header carry ":port" when port
  // is not 80 (and the "Host" value names no port itself). body may be
  // null; out_file may be null (the body is then read and counted but kept
  // nowhere).
  down_class(const char* server, unsigned short port, const char* path, bool post,
             const std::map<std::string, std::string>& headers, const char* body, int body_length,
             const char* out_file);
  // A download without a connection: only consume() feeds it. For testing
  // the response parser on bytes from elsewhere.
  down_class();
  ~down_class();
  down_class(const down_class&) = delete;
  down_class& operator=(const down_class&) = delete;

  // One step: polls the socket, sends what is pending, receives what has
  // arrived (at most kReadsPerStep reads of kChunkSize bytes, fewer when the
  // socket runs dry) and hands it to consume(). Disconnects once the peer
  // has closed its side, so the download then counts as finished.
  void DoProcessing();

  // Parses received bytes: status line and header lines until the blank line
  // that ends the final (non-1xx) header, then the body, which goes to the
  // output file. Bytes may come split anywhere; the result does not depend on
  // how. Does nothing once error is set.
  void consume(const char* data, std::size_t len);

  // Closes the output file if open; a failed close sets error (when still 0).
  void close_file();

  // The download is over, well or not (the socket is closed or failed, there
  // is none, the whole body is written, or error is set).
  bool finished() const;
  // The download is over and succeeded: status 2xx, exactly content length
  // bytes written, no error, a socket that did not fail.
  bool succeeded() const;
  // Stage for the error report: 0 no socket, 1 connecting, 2 socket error,
  // 3 socket closed, 4 request not yet fully sent, 5 receiving the body,
  // 6 waiting for the response header.
  int stage() const;

  static constexpr std::size_t kChunkSize = 65536;
  static constexpr int kReadsPerStep = 16;
  // A response header longer than this is refused (error EPROTO).
  static constexpr std::size_t kMaxHeaderBytes = 1 << 20;

  std::unique_ptr<PCSBSocket> socket;  // null while the address is looked up, and when it is unknown
  std::vector<char> send_buffer;       // request bytes not yet sent
  std::vector<char> receive_buffer;    // header bytes received and not yet parsed
  bool headers_done = false;           // the blank line ending the final header was seen
  int status = 0;                      // HTTP status; 0 no connection, -1 until a status line
  std::string reason;                  // reason phrase of the last status line
  header_map headers;                  // first occurrence of each name wins
  int file = -1;                       // output file descriptor while the body is written
  std::string out_path;                // app_path + out_file; empty when none
  // 0; 20011 when the server could not be resolved; EPROTO for a malformed
  // response (bad status or "Content-Length", more body than announced, an
  // over-long header); EFBIG for a body over max_body; else the errno of a
  // failed open, write or close.
  int error = 0;
  // The errno of a failed open, write or close of the output file: a
  // failure here, not the server's (then also in error).
  int file_error = 0;
  int64_t content_length = -1;         // "Content-Length" value; -1 while unknown
  int64_t written = 0;                 // body bytes taken (written to the file when there is one)
  // The most body bytes this download takes; -1 for no limit. A
  // "Content-Length" above it is refused when the header ends, before the
  // output file is opened; a body without one (sent until the server closes,
  // or in chunks) is cut off when it grows past it, and the output file is
  // removed. Either way error is EFBIG, and written never exceeds it.
  int64_t max_body = -1;
  float last_activity = 0.0f;          // xtim.elapsed when made or when body data last came

 private:
  void parse_header();
  void take_body(const char* data, std::size_t len);

  // Takes the address once the lookup has it and starts connecting; sets
  // error 20011 when the name is unknown.
  void start_connecting();

  bool resolving_ = false;        // the server's address is still being looked up
  std::string lookup_name_;       // the host whose address is looked up (the proxy's, when one is used)
  unsigned short connect_port_ = 0;
  std::string server_;            // the server and port asked for, for the log
  unsigned short port_ = 0;
  std::size_t header_bytes_ = 0;  // header bytes parsed so far, for kMaxHeaderBytes
  std::size_t scan_from_ = 0;     // receive_buffer holds no CR LF before this offset
  std::unique_ptr<char[]> chunk_;  // receive chunk of DoProcessing
};

// True when a proxy is set (proxy port from 1 to 65535, proxy host not empty) and
// host does not end with an entry of gProxyExclude.
bool UseProxy(const char* host, unsigned short port);
// The proxy host or port when UseProxy holds, else host or port.
const char* ProxyHost(const char* host, unsigned short port);
unsigned short ProxyPort(const char* host, unsigned short port);

// The proxy settings and six numbered download slots. Slots 0 and 1 serve
// the directory fetch, slots 2 to 5 the download streams.
class http_class {
 public:
  static constexpr int kSlots = 6;

  http_class();
  ~http_class();

  std::string proxy_host;       // host name or dotted address; empty: no proxy
  std::string proxy_port_text;  // the port as typed and kept in the preferences; not read here
  int proxy_port = 0;           // the proxy's port; outside 1..65535 no proxy is used
  std::unique_ptr<down_class> slots[kSlots];  // download in each slot, null when free

  // Port of direct (not proxied) connections: 80 in the program; the tests
  // and the benchmark point it at a local server.
  unsigned short server_port = 80;

  // Starts a download of http://server + dir into out_file in a free slot, or
  // advances the one in the slot by a step. 0 while it runs, 1 when it has
  // finished well, 2 when it has failed (a failure other than the inactivity
  // limit is described in the log); after 1 or 2 the slot is free. While a
  // slot is busy the other arguments are not looked at.
  //
  // max_body, when not -1, bounds the body (see down_class::max_body): a
  // larger answer is a failure of the server, and nothing larger is written.
  //
  // server is a bare host name or dotted address without a final "/"; dir
  // starts with "/". Slot outside 0..5, a server ending in "/" or a dir not
  // starting with "/" is a fatal alert.
  //
  // A download fails after 30 seconds (xtim.elapsed) without body data, or
  // without a complete header since it started, and at once when the server
  // closes the connection before the whole body came. After a failure the slot
  // rests for kRetryPause seconds: a call for the free slot within that time
  // starts nothing and returns 0, so a caller that retries at once neither
  // spins nor hammers the server.
  int net_check(int slot, std::string server, std::string dir, const std::string& out_file,
                int64_t max_body = -1);

  // Waits at most `seconds` until a download in one of the count slots
  // listed can move on: its connection is made or fails, the rest of its
  // request can be sent, or response bytes (or the end of the connection)
  // have come. Slots without a download are not waited for: with none among
  // them the call only sleeps. 1 when something is ready, 0 when the time
  // ran out. The frame loop waits here instead of calling net_check again
  // and again while nothing has come.
  int wait_ready(const int* slot_list, int count, double seconds);
  // For a free slot whose last download failed: the time, on the frame
  // timer, that it still rests before net_check starts another download
  // (see net_check); 0 when a download may start now or the slot is busy.
  float rest_left(int slot) const;
  // Whether any slot holds a download.
  bool any_active() const;

  // Drops the slot's download, if any, and frees the slot (no report, no
  // retry pause).
  void abort(int slot);
  // "Content-Length" of the slot's download (-1 while unknown or when the
  // slot is free) and the body bytes written so far (0 when free).
  int64_t content_length(int slot) const;
  int64_t written(int slot) const;
  // When the slot's last download failed because its output file could
  // not be opened, written or closed (a full disc, no permission): that
  // errno. 0 after a failure of the server or the network, and once a new
  // download starts in the slot. Such a failure says nothing about the
  // server: trying again, from there or elsewhere, fails the same way.
  int local_error(int slot) const;

  static constexpr float kInactivityLimit = 30.0f;
  static constexpr float kRetryPause = 1.0f;

 private:
  void report(int slot, const down_class& d);

  bool started_ = false;
  bool failed_[kSlots] = {};        // the slot's last download failed...
  float failed_at_[kSlots] = {};    // ...at this xtim.elapsed
  int local_error_[kSlots] = {};    // ...because of its output file: the errno
  // What the slot's download was started for, named in its error report.
  std::string server_[kSlots], dir_[kSlots], out_file_[kSlots];
};

extern http_class http;
