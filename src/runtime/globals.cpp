#include "runtime/globals.h"

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "runtime/alert.h"

std::string stl_global;
int app_done = 0;
std::string app_path;
std::ofstream ouf;
log_stream xer;
std::ofstream cyc;
std::ofstream dat;

locked_filebuf::~locked_filebuf() { close(); }

bool locked_filebuf::open(const std::string& path, std::ios::openmode mode) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (fd_ >= 0) return false;
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | ((mode & std::ios::app) ? O_APPEND : O_TRUNC);
  fd_ = ::open(path.c_str(), flags, 0644);
  return fd_ >= 0;
}

bool locked_filebuf::is_open() const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return fd_ >= 0;
}

bool locked_filebuf::flush_pending() {
  std::size_t done = 0;
  bool ok = true;
  while (done < pending_.size()) {
    const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  pending_.clear();
  return ok;
}

bool locked_filebuf::close() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (fd_ < 0) return false;
  bool ok = flush_pending();
  if (::close(fd_) != 0) ok = false;
  fd_ = -1;
  return ok;
}

void locked_filebuf::put(const char* s, std::size_t n) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (fd_ < 0) return;
  pending_.append(s, n);
  if (pending_.size() >= 65536) flush_pending();
}

std::streamsize locked_filebuf::xsputn(const char* s, std::streamsize n) {
  put(s, static_cast<std::size_t>(n));
  return n;
}

locked_filebuf::int_type locked_filebuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  put(&ch, 1);
  return c;
}

int locked_filebuf::sync() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (fd_ < 0) return 0;
  return flush_pending() ? 0 : -1;
}

namespace {

// A thread's line of one log stream: the text formatted so far and the
// stream that formats into it.
class thread_line : public std::streambuf {
 public:
  explicit thread_line(log_stream* owner) : owner_(owner), out_(this) {}
  ~thread_line() override {
    // The thread ends: its unfinished line goes out as it is.
    if (!text_.empty()) owner_->hand_over(text_, true);
  }
  thread_line(const thread_line&) = delete;
  thread_line& operator=(const thread_line&) = delete;

  log_stream* owner() const { return owner_; }
  std::string& text() { return text_; }
  std::ostream& out() { return out_; }
  unsigned generation = ~0u;  // of the owner's flags last applied

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    text_.append(s, static_cast<std::size_t>(n));
    return n;
  }
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) text_ += traits_type::to_char_type(c);
    return traits_type::not_eof(c);
  }

 private:
  log_stream* owner_;
  std::string text_;
  std::ostream out_;
};

// The calling thread's lines, one per log stream it has written to.
thread_line& this_threads_line(log_stream* owner) {
  thread_local std::vector<std::unique_ptr<thread_line>> lines;
  for (const auto& l : lines)
    if (l->owner() == owner) return *l;
  lines.emplace_back(new thread_line(owner));
  return *lines.back();
}

}  // namespace

std::ostream& log_stream::line() {
  thread_line& l = this_threads_line(this);
  const unsigned generation = generation_.load();
  if (l.generation != generation) {
    l.generation = generation;
    l.out().flags(static_cast<std::ios::fmtflags>(flags_.load()));
  }
  return l.out();
}

std::string& log_stream::line_text() { return this_threads_line(this).text(); }

void log_stream::hand_over(std::string& text, bool whole) {
  if (!buf_.is_open()) {
    // Nothing is kept for a file opened later.
    text.clear();
    return;
  }
  std::size_t n = text.size();
  if (!whole) {
    const std::size_t last = text.rfind('\n');
    if (last == std::string::npos) return;
    n = last + 1;
  }
  buf_.put(text.data(), n);
  text.erase(0, n);
}

void log_stream::take_lines() {
  std::string& text = line_text();
  if (!text.empty()) hand_over(text, false);
}

log_stream& log_stream::operator<<(std::ostream& (*manipulator)(std::ostream&)) {
  line() << manipulator;
  take_lines();
  return *this;
}

log_stream& log_stream::operator<<(std::ios_base& (*manipulator)(std::ios_base&)) {
  line() << manipulator;
  return *this;
}

log_stream& log_stream::write(const char* s, std::streamsize n) {
  line().write(s, n);
  take_lines();
  return *this;
}

log_stream& log_stream::flush() {
  hand_over(line_text(), true);
  if (buf_.pubsync() != 0) failed_ = true;
  return *this;
}

void log_stream::setf(std::ios::fmtflags flags, std::ios::fmtflags mask) {
  const std::ios::fmtflags now = static_cast<std::ios::fmtflags>(flags_.load());
  flags_ = static_cast<unsigned>((now & ~mask) | (flags & mask));
  ++generation_;
}

void log_stream::open(const std::string& path, std::ios::openmode mode) {
  line_text().clear();
  if (buf_.open(path, mode | std::ios::out))
    failed_ = false;
  else
    failed_ = true;
}

void log_stream::close() {
  hand_over(line_text(), true);
  if (!buf_.close()) failed_ = true;
}

stls_class::stls_class() = default;
stls_class stls;

plg_struct plg;
int magv = 0;
std::vector<float> vec_loa;
std::vector<float> vec_hia;
std::vector<float> vec_fix;
std::vector<float> vec_nav;
std::vector<float> vec_apt;
// Buckets for the table the simulator fills; reserved as it reserves them.
std::unordered_map<long, long> nav_freq_hash(1024);

float lookup_sin[361];
float lookup_cos[361];
float randrat[10000];

void UTL_init_tables() {
  const float deg_to_rad = 0.017453294f;
  for (int i = 0; i <= 360; ++i) {
    const long double a = static_cast<long double>(i) * static_cast<long double>(deg_to_rad);
    lookup_sin[i] = static_cast<float>(std::sin(a));
    lookup_cos[i] = static_cast<float>(std::cos(a));
  }

  // The same ratios in every run...
  srand(1);
  for (float& r : randrat) r = static_cast<float>(rand()) * 4.6561471e-10f;

  // ...and different rand() values from here on.
  timeval tv;
  gettimeofday(&tv, nullptr);
  const unsigned seed = static_cast<unsigned>(static_cast<unsigned long long>(tv.tv_sec) * 1000000ull +
                                              static_cast<unsigned long long>(tv.tv_usec));
  srand(seed);
  for (unsigned i = 0; i < seed % 1000u; ++i) rand();
}

int int_rand(int lo, int hi) {
  if (lo == hi) return lo;
  if (lo > hi) {
    char buf[128];
    snprintf(buf, sizeof buf, "lo=%1.0f hi=%1.0f", static_cast<double>(lo), static_cast<double>(hi));
    stl_global = buf;
    __MACIBM_alert(0, "int rand range negative!", stl_global, "", "", t_exit, "hl_math", 353);
  }
  // The span is computed in 64 bits so that the widest ranges cannot overflow.
  const long long span = static_cast<long long>(hi) - static_cast<long long>(lo) + 1;
  return static_cast<int>(lo + static_cast<long long>(rand()) % span);
}

void flt_to_str(float value, std::string* out, int digits, int decimals, int blank_sign) {
  if (decimals < 0) return;
  // Ten decimals would not fit the scale factor in an int.
  if (decimals > 9) decimals = 9;

  const int p = static_cast<int>(std::pow(10.0, decimals));
  const long long n = std::llround(static_cast<double>(static_cast<float>(p) * value));
  const long long whole = n / p;
  const long long frac = n - static_cast<long long>(p) * whole;
  const unsigned long long abs_whole = whole < 0 ? 0ull - static_cast<unsigned long long>(whole)
                                                 : static_cast<unsigned long long>(whole);
  const unsigned long long abs_frac = frac < 0 ? 0ull - static_cast<unsigned long long>(frac)
                                               : static_cast<unsigned long long>(frac);

  int width = digits - decimals;
  if (width > 10) width = 10;
  if (width < 0) width = 0;
  char buf[48];
  snprintf(buf, sizeof buf, "%0*llu", width, abs_whole);
  std::string left = buf;
  // Leading zeros become blanks; the last character stays.
  for (std::size_t i = 0; i + 1 < left.size() && left[i] == '0'; ++i) left[i] = ' ';

  snprintf(buf, sizeof buf, "%0*llu", decimals, abs_frac);
  const std::string right = buf;

  std::string result;
  if (value < 0.0f)
    result = "-" + left;
  else if (blank_sign)
    result = " " + left;
  else
    result = left;
  if (decimals > 0) result += "." + right;
  *out = result;
}
