#include "files/http.h"

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "files/host_lookup.h"
#include "files/io_utils.h"
#include "files/socket.h"
#include "runtime/alert.h"
#include "runtime/globals.h"
#include "runtime/text_chars.h"
#include "runtime/xtim.h"

std::vector<std::string> gProxyExclude;
http_class http;

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

using text_chars::is_blank;
using text_chars::is_digit;

// "Content-Length": decimal digits, optionally between blanks, that fit a
// 64-bit signed number. Anything else is refused.
bool parse_length(const std::string& text, int64_t* out) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && is_blank(text[i])) ++i;
  const std::size_t first = i;
  int64_t value = 0;
  for (; i < n && is_digit(text[i]); ++i) {
    const int digit = text[i] - '0';
    if (value > (INT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  if (i == first) return false;
  while (i < n && is_blank(text[i])) ++i;
  if (i != n) return false;
  *out = value;
  return true;
}

// A status line: "HTTP/", anything up to offset 9, three digits there, then
// the end of the line or a blank before the reason phrase.
bool parse_status_line(const char* line, std::size_t len, int* status, std::string* reason) {
  if (len < 12 || std::memcmp(line, "HTTP/", 5) != 0) return false;
  if (!is_digit(line[9]) || !is_digit(line[10]) || !is_digit(line[11])) return false;
  if (len > 12 && !is_blank(line[12])) return false;
  *status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
  reason->assign(len > 13 ? line + 13 : line + len, len > 13 ? len - 13 : 0);
  return true;
}

// True for a byte that cannot stand as it is in a request target: controls
// and the space, DEL and everything above (non-ASCII), the escape character
// itself, the bytes that would end the path ('#', '?') and those that are
// not allowed in one at all. Paths are names of files, never escaped
// already: a '%' in one is part of the name ("50%off.txt" goes as
// "50%25off.txt", "a%20b.txt" as "a%2520b.txt").
bool needs_escape(unsigned char c) {
  if (c < 0x21 || c >= 0x7F) return true;
  switch (c) {
    case '%':
    case '#':
    case '?':
    case '"':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
      return true;
    default:
      return false;
  }
}

// Appends path to out with every byte that needs it written as %XX
// (upper-case hex), so a space becomes "%20".
void append_escaped_path(std::string& out, const char* path) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char* p = path; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (needs_escape(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += *p;
    }
  }
}

std::string dotted(unsigned long address) {
  // The address is in network byte order: its first byte in memory is the
  // first number of the dotted form.
  const uint32_t a32 = static_cast<uint32_t>(address);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&a32);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
         std::to_string(b[3]);
}

}  // namespace

bool header_name_less::operator()(const std::string& a, const std::string& b) const {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(lower(a[i]));
    const unsigned char y = static_cast<unsigned char>(lower(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

bool UseProxy(const char* host, unsigned short /*port*/) {
  // A port the network cannot take (such as the -1 of a port text that is
  // no number) leaves the proxy off.
  if (http.proxy_port < 1 || http.proxy_port > 65535 || http.proxy_host.empty()) return false;
  const std::size_t n = std::strlen(host);
  for (const std::string& end : gProxyExclude)
    if (end.size() <= n && std::memcmp(host + n - end.size(), end.data(), end.size()) == 0) return false;
  return true;
}

const char* ProxyHost(const char* host, unsigned short port) {
  return UseProxy(host, port) ? http.proxy_host.c_str() : host;
}

unsigned short ProxyPort(const char* host, unsigned short port) {
  return UseProxy(host, port) ? static_cast<unsigned short>(http.proxy_port & 0xFFFF) : port;
}

// ---------------------------------------------------------------------------
// down_class

down_class::down_class() : status(-1), last_activity(xtim.elapsed) {}

down_class::down_class(const char* server, unsigned short port, const char* path, bool post,
                       const std::map<std::string, std::string>& request_headers, const char* body,
                       int body_length, const char* out_file)
    : last_activity(xtim.elapsed) {
  if (out_file) out_path = app_path + out_file;

  const bool proxied = UseProxy(server, port);
  lookup_name_ = proxied ? ProxyHost(server, port) : server;
  connect_port_ = proxied ? ProxyPort(server, port) : port;
  server_ = server;
  port_ = port;
  status = -1;
  resolving_ = true;
  start_connecting();

  // A proxy learns the server's port only from the request: the absolute
  // address and the Host header name it when it is not the default one.
  std::string host;
  auto named = request_headers.find("Host");
  if (named != request_headers.end()) host = named->second;
  if (proxied && port != 80 && host.find(':') == std::string::npos) host += ":" + std::to_string(port);

  std::string request = post ? "POST " : "GET ";
  if (proxied) request += "http://" + host;
  append_escaped_path(request, path);
  request += " HTTP/1.1\r\n";
  for (const auto& h : request_headers)
    request += h.first + ": " + (proxied && h.first == "Host" ? host : h.second) + "\r\n";
  if (body) request += "Content-Length: " + std::to_string(body_length) + "\r\n";
  request += "\r\n";

  send_buffer.assign(request.begin(), request.end());
  if (body && body_length > 0) send_buffer.insert(send_buffer.end(), body, body + body_length);
}

down_class::~down_class() {
  if (file >= 0) close(file);
}

void down_class::close_file() {
  if (file < 0) return;
  const int rc = close(file);
  file = -1;
  if (rc != 0 && error == 0) error = file_error = errno ? errno : EIO;
}

void down_class::start_connecting() {
  unsigned long address = 0;
  const int found = lookup_host(lookup_name_, &address);
  if (found == lookup_pending) return;  // asked again at the next step
  resolving_ = false;
  if (found == lookup_failed) {
    xer << "Translated server " << server_ << " to IP addy: " << dotted(0) << " and port = " << port_ << "\n";
    xer.flush();
    status = 0;
    error = 20011;
    return;
  }
  socket.reset(new PCSBSocket(0, false));
  socket->Connect(address, connect_port_);
}

void down_class::DoProcessing() {
  if (resolving_) start_connecting();
  if (!socket) return;
  int st = socket->GetStatus();
  if (st == sock_closed || st == sock_error) {
    close_file();
    return;
  }
  if (st != sock_connected) return;

  if (!send_buffer.empty()) {
    const int sent = socket->http_WriteData(send_buffer.data(), static_cast<long>(send_buffer.size()));
    if (sent > 0) send_buffer.erase(send_buffer.begin(), send_buffer.begin() + sent);
    if (socket->GetStatus() != sock_connected) {
      close_file();
      return;
    }
  }

  // Several reads per step when data keeps coming, but a bounded number, so
  // one step never holds up a frame for long.
  if (!chunk_) chunk_.reset(new char[kChunkSize]);
  for (int i = 0; i < kReadsPerStep && error == 0; ++i) {
    const int got = socket->ReadData(chunk_.get(), static_cast<long>(kChunkSize));
    if (got <= 0) break;
    consume(chunk_.get(), static_cast<std::size_t>(got));
    if (socket->GetStatus() != sock_connected) break;
    if (static_cast<std::size_t>(got) < kChunkSize) break;  // drained for now
  }

  // The server has closed its side: nothing more will come, so whatever has
  // not arrived by now never will.
  if (socket->ReceivedRelease() && socket->GetStatus() == sock_connected) socket->Disconnect();
}

void down_class::consume(const char* data, std::size_t len) {
  if (error != 0) return;
  if (headers_done) {
    take_body(data, len);
    return;
  }
  receive_buffer.insert(receive_buffer.end(), data, data + len);
  parse_header();
  if (!headers_done || error != 0) return;
  std::vector<char> body;
  body.swap(receive_buffer);
  take_body(body.data(), body.size());
}

void down_class::parse_header() {
  const char* buf = receive_buffer.data();
  const std::size_t size = receive_buffer.size();
  std::size_t pos = 0;  // start of the first unparsed line

  while (!headers_done && error == 0) {
    // A line ends at the first CR LF pair; a bare LF does not end it.
    std::size_t eol = SIZE_MAX;
    for (std::size_t i = std::max(pos, scan_from_); i + 1 < size; ++i) {
      if (buf[i] == '\r' && buf[i + 1] == '\n') {
        eol = i;
        break;
      }
    }
    if (eol == SIZE_MAX) {
      // Resume the search at the last byte next time: it may be a CR whose
      // LF is still to come.
      scan_from_ = std::max(pos, size > 0 ? size - 1 : 0);
      break;
    }

    const char* line = buf + pos;
    const std::size_t line_len = eol - pos;
    header_bytes_ += line_len + 2;
    pos = eol + 2;
    scan_from_ = pos;
    if (header_bytes_ > kMaxHeaderBytes) {
      error = EPROTO;
      break;
    }

    int code = 0;
    std::string phrase;
    if (parse_status_line(line, line_len, &code, &phrase)) {
      status = code;
      reason = phrase;
    } else if (line_len == 0) {
      if (status < 200) {
        // End of an interim (1xx) response, or a blank line before any
        // status line: the final response follows; its headers start afresh.
        headers.clear();
        continue;
      }
      headers_done = true;
      auto length = headers.find("Content-Length");
      if (length != headers.end() && !parse_length(length->second, &content_length)) {
        content_length = -1;
        error = EPROTO;
        break;
      }
      if (max_body >= 0 && content_length > max_body) {
        // Refused before anything is written.
        error = EFBIG;
        break;
      }
      if (!out_path.empty()) {
        file = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (file < 0) error = file_error = errno;
      }
    } else {
      const char* sep = nullptr;
      for (std::size_t i = 0; i + 1 < line_len; ++i) {
        if (line[i] == ':' && line[i + 1] == ' ') {
          sep = line + i;
          break;
        }
      }
      if (sep) headers.emplace(std::string(line, sep), std::string(sep + 2, line + line_len));
    }
  }

  receive_buffer.erase(receive_buffer.begin(), receive_buffer.begin() + static_cast<std::ptrdiff_t>(pos));
  scan_from_ = scan_from_ >= pos ? scan_from_ - pos : 0;
  if (!headers_done && error == 0 && header_bytes_ + receive_buffer.size() > kMaxHeaderBytes) error = EPROTO;
}

void down_class::take_body(const char* data, std::size_t len) {
  last_activity = xtim.elapsed;
  std::size_t take = len;
  if (content_length >= 0) {
    const uint64_t room = static_cast<uint64_t>(content_length - written);
    if (len >= room && socket) socket->Disconnect();  // the last byte is here
    if (len > room) {
      // More than announced: the response is wrong; keep nothing beyond the
      // announced length.
      take = static_cast<std::size_t>(room);
      error = EPROTO;
    }
  }
  // A body without a length may not grow past the limit: the bytes up to
  // it are counted, and then the download fails.
  bool over_limit = false;
  if (max_body >= 0 && take > static_cast<uint64_t>(max_body - written)) {
    take = static_cast<std::size_t>(max_body - written);
    over_limit = true;
  }

  if (file >= 0) {
    std::size_t done = 0;
    const int err = write_all(file, data, take, &done);
    if (err) error = file_error = err;
    written += static_cast<int64_t>(done);
  } else {
    written += static_cast<int64_t>(take);
  }

  if (over_limit && error == 0) {
    error = EFBIG;
    if (file >= 0) {
      // Nothing of an answer cut off is kept.
      close(file);
      file = -1;
      unlink(out_path.c_str());
    }
    if (socket) socket->Disconnect();
  }
  if (content_length >= 0 && written == content_length) close_file();
}

bool down_class::finished() const {
  if (resolving_) return false;
  if (!socket || error != 0 || content_length == written) return true;
  const int st = socket->GetStatus();
  return st == sock_closed || st == sock_error;
}

bool down_class::succeeded() const {
  return status >= 200 && status <= 299 && content_length == written && error == 0 && socket &&
         socket->GetStatus() != sock_error;
}

int down_class::stage() const {
  if (resolving_) return 1;
  if (!socket) return 0;
  switch (socket->GetStatus()) {
    case sock_idle:
    case sock_connecting:
      return 1;
    case sock_error:
      return 2;
    case sock_closed:
      return 3;
    default:
      break;
  }
  if (!send_buffer.empty()) return 4;
  return headers_done ? 5 : 6;
}

// ---------------------------------------------------------------------------
// http_class

http_class::http_class() = default;
http_class::~http_class() = default;

void http_class::report(int slot, const down_class& d) {
  const int st = d.socket ? d.socket->GetStatus() : 0;
  const int is_done = d.socket && st == sock_closed;
  const int is_complete = d.content_length == d.written;
  const int is_err = d.error != 0 || !d.socket || st == sock_error;
  const int os_err = d.error != 0 ? d.error : d.socket ? d.socket->GetOSError() : 20009;
  xer << "HTTP Error for " << out_file_[slot] << "\n"
      << "   server     =" << server_[slot] << "\n"
      << "   file       =" << dir_[slot] << "\n"
      << "   IsDone     =" << is_done << "\n"
      << "   IsComplete =" << is_complete << "\n"
      << "   IsErr      =" << is_err << "\n"
      << "   GetStat    =" << d.stage() << "\n"
      << "   GetOSErr   =" << os_err << "\n"
      << "   response   =" << d.reason << " (#" << d.status << ")\n"
      << "\n";
  xer.flush();
}

int http_class::net_check(int slot, std::string server, std::string dir, const std::string& out_file,
                          int64_t max_body) {
  if (slot < 0 || slot >= kSlots) {
    MACIBM_alert(0, "Too many download objects requested!", "", "", "", t_exit);
    return 2;
  }
  if (!started_) {
    PCSBSocket::StartupNetworking(true);
    started_ = true;
  }

  if (!slots[slot]) {
    if (failed_[slot]) {
      const float since = xtim.elapsed - failed_at_[slot];
      if (since >= 0.0f && since < kRetryPause) return 0;
      failed_[slot] = false;
    }
    if (!server.empty() && server.back() == '/')
      MACIBM_alert(0, "net_check error! You have a dirchar at the end of the server name!", "You should not!",
                   "Our convention is that a server name is simply a server name... with no slash!", server,
                   t_exit);
    if (dir.empty() || dir[0] != '/')
      MACIBM_alert(0, "net_check error! You do not have a dirchar at the beginning of the directory name!",
                   "You should!",
                   "Our convention is that a directory name does start with a slash because it must include the "
                   "hard drive,which is a dir char on unix!",
                   dir, t_exit);

    const std::string& version = build_name[0];
    const std::string tail = version.size() > 4 ? version.substr(version.size() - 4) : version;
    std::map<std::string, std::string> request_headers;
    request_headers["Host"] = server;
    request_headers["User-agent"] = "Installer-LIN/" + tail;
    request_headers["Connection"] = "close";
    local_error_[slot] = 0;
    slots[slot].reset(new down_class(server.c_str(), server_port, dir.c_str(), false, request_headers, nullptr, 0,
                                     out_file.c_str()));
    slots[slot]->max_body = max_body;
    server_[slot] = server;
    dir_[slot] = dir;
    out_file_[slot] = out_file;
  }

  down_class& d = *slots[slot];
  d.DoProcessing();

  if (d.finished()) {
    d.close_file();
    if (d.succeeded()) {
      slots[slot].reset();
      return 1;
    }
    report(slot, d);
    local_error_[slot] = d.file_error;
    slots[slot].reset();
    failed_[slot] = true;
    failed_at_[slot] = xtim.elapsed;
    return 2;
  }

  if (xtim.elapsed > d.last_activity + kInactivityLimit) {
    slots[slot].reset();
    failed_[slot] = true;
    failed_at_[slot] = xtim.elapsed;
    return 2;
  }
  return 0;
}

int http_class::wait_ready(const int* slot_list, int count, double seconds) {
  pollfd fds[kSlots];
  nfds_t n = 0;
  for (int i = 0; i < count; ++i) {
    const int slot = slot_list[i];
    if (slot < 0 || slot >= kSlots || !slots[slot] || !slots[slot]->socket) continue;
    down_class& d = *slots[slot];
    const int fd = d.socket->GetDescriptor();
    if (fd < 0) continue;
    // A connection under way is ready when it is writable (made, or failed
    // with an error that poll reports with it); afterwards the request is
    // sent while it waits, and then only arriving bytes matter. Errors and
    // hang-ups are always reported.
    short events = POLLIN;
    if (d.socket->GetStatus() != sock_connected || !d.send_buffer.empty()) events = POLLOUT | POLLIN;
    fds[n++] = pollfd{fd, events, 0};
  }
  if (seconds < 0.0) seconds = 0.0;
  timespec limit;
  limit.tv_sec = static_cast<time_t>(seconds);
  limit.tv_nsec = static_cast<long>((seconds - static_cast<double>(limit.tv_sec)) * 1e9);
  if (limit.tv_nsec > 999999999L) limit.tv_nsec = 999999999L;
  const int r = ppoll(n > 0 ? fds : nullptr, n, &limit, nullptr);
  return r > 0 ? 1 : 0;
}

bool http_class::any_active() const {
  for (const auto& slot : slots)
    if (slot) return true;
  return false;
}

float http_class::rest_left(int slot) const {
  if (slot < 0 || slot >= kSlots || slots[slot] || !failed_[slot]) return 0.0f;
  const float since = xtim.elapsed - failed_at_[slot];
  return since >= 0.0f && since < kRetryPause ? kRetryPause - since : 0.0f;
}

void http_class::abort(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  slots[slot].reset();
}

int64_t http_class::content_length(int slot) const {
  if (slot < 0 || slot >= kSlots || !slots[slot]) return -1;
  return slots[slot]->content_length;
}

int http_class::local_error(int slot) const {
  if (slot < 0 || slot >= kSlots) return 0;
  return local_error_[slot];
}

int64_t http_class::written(int slot) const {
  if (slot < 0 || slot >= kSlots || !slots[slot]) return 0;
  return slots[slot]->written;
}
