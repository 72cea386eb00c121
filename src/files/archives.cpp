#include "files/archives.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <limits.h>
#include <locale.h>
#include <minizip/ioapi.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <zlib.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>

#include "files/io_utils.h"
#include "files/md5.h"
#include "files/pending_file.h"
#include "files/xmap.h"
#include "runtime/globals.h"

namespace {

const char kThisFile[] = "archives.cpp";

// A file packed into a new archive goes to the zip library in pieces of
// this size.
constexpr std::size_t kChunk = 1 << 20;

// Read buffer of the 7z reader's input.
constexpr std::size_t kReadBuffer = 256 * 1024;

// The longest link text a symbolic link can hold.
constexpr std::uint64_t kMaxLinkText = PATH_MAX - 1;

// Records where the failing step was and hands back its code.
int fail_at(int step, int code) {
  sErrFile = kThisFile;
  sErrLine = step;
  return code;
}

const char* err_file() {
  const char* f = sErrFile.load();
  return f ? f : "";
}

// The signature of one unpacked file's bytes, taken as they go by.
struct ByteSums {
  MD5_CTX md5;

  void start() { MD5Init(&md5); }
  void add(const char* data, std::size_t n) {
    MD5UpdateWide(&md5, reinterpret_cast<const unsigned char*>(data), static_cast<std::int64_t>(n));
  }
};

// Takes the signatures of the files of one unpacking on a helper thread,
// while the unpacking inflates and writes: the bytes are handed over in pieces
// that lie in a ring of buffers owned by the hasher. The unpacking fills
// piece() and hands it over with submit(); up to kPieces pieces wait or
// are being hashed at once, so the unpacking waits only when the helper
// falls that far behind. finish_through() waits until the pieces of a file
// are taken in.
class PieceHasher {
 public:
  static constexpr std::size_t kPiece = 64 * 1024;
  static constexpr std::size_t kPieces = 8;
  static constexpr std::uint64_t kWakeAfter = 4;

  PieceHasher() : ring_(kPiece * kPieces), thread_([this] { run(); }) {}
  ~PieceHasher() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      quit_ = true;
    }
    wake_helper_.notify_one();
    thread_.join();
  }
  PieceHasher(const PieceHasher&) = delete;
  PieceHasher& operator=(const PieceHasher&) = delete;

  // The buffer (kPiece bytes) for the next piece; waits until it is free.
  char* piece() {
    std::unique_lock<std::mutex> hold(lock_);
    if (submitted_ - summed_ >= kPieces) {
      if (helper_waits_) wake_helper_.notify_one();
      caller_waits_ = true;
      wake_caller_.wait(hold, [this] { return submitted_ - summed_ < kPieces; });
      caller_waits_ = false;
    }
    return slot(submitted_);
  }

  // Hands over the first n bytes of piece(), to be added to sums; first:
  // the first piece of a file. A waiting helper is woken for a file's first
  // piece, so that a small file is hashed while it is being finished, and
  // then only once kWakeAfter pieces wait: a wake-up costs the unpacking
  // more than the helper needs to catch up.
  void submit(ByteSums* sums, std::size_t n, bool first) {
    std::unique_lock<std::mutex> hold(lock_);
    lengths_[submitted_ % kPieces] = n;
    sums_[submitted_ % kPieces] = sums;
    ++submitted_;
    const bool wake = helper_waits_ && (first || submitted_ - summed_ >= kWakeAfter);
    hold.unlock();
    if (wake) wake_helper_.notify_one();
  }

  // How many pieces were handed over so far.
  std::uint64_t submitted() {
    std::lock_guard<std::mutex> hold(lock_);
    return submitted_;
  }

  // Waits until the first n pieces handed over are taken in.
  void finish_through(std::uint64_t n) {
    std::unique_lock<std::mutex> hold(lock_);
    if (summed_ >= n) return;
    if (helper_waits_) wake_helper_.notify_one();
    caller_waits_ = true;
    wake_caller_.wait(hold, [this, n] { return summed_ >= n; });
    caller_waits_ = false;
  }

 private:
  char* slot(std::uint64_t n) { return ring_.data() + (n % kPieces) * kPiece; }

  void run() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
      if (summed_ == submitted_) {
        if (quit_) return;
        helper_waits_ = true;
        wake_helper_.wait(hold, [this] { return summed_ != submitted_ || quit_; });
        helper_waits_ = false;
        continue;
      }
      const std::uint64_t n = summed_;
      ByteSums* sums = sums_[n % kPieces];
      const std::size_t len = lengths_[n % kPieces];
      hold.unlock();
      sums->add(slot(n), len);
      hold.lock();
      ++summed_;
      if (caller_waits_) wake_caller_.notify_one();
    }
  }

  std::vector<char> ring_;
  std::mutex lock_;
  std::condition_variable wake_helper_;
  std::condition_variable wake_caller_;
  std::size_t lengths_[kPieces] = {};
  ByteSums* sums_[kPieces] = {};
  std::uint64_t submitted_ = 0;  // pieces handed over
  std::uint64_t summed_ = 0;     // pieces taken in
  bool helper_waits_ = false;
  bool caller_waits_ = false;
  bool quit_ = false;
  std::thread thread_;
};

// Follows one unpacked file's bytes for an unpack_check: counts them,
// tells when there are too many, and has their signature taken by the
// unpacking's hasher as they go by. What it found goes into the check when
// it records it. Without a check the bytes go through the unpacking's own
// buffer and nothing is taken.
class EntryChecker {
 public:
  // The most bytes read at a time: small enough that a piece is still in
  // the processor's cache when it is written and hashed.
  static constexpr std::size_t kPiece = PieceHasher::kPiece;

  // hasher: the unpacking's hasher, needed when check is not null.
  EntryChecker(unpack_check* check, PieceHasher* hasher) : check_(check), hasher_(check ? hasher : nullptr) {
    if (check_) sums_.start();
  }
  ~EntryChecker() {
    if (hasher_) hasher_->finish_through(last_piece_);  // no piece may outlive its sums
  }
  EntryChecker(const EntryChecker&) = delete;
  EntryChecker& operator=(const EntryChecker&) = delete;

  // Where to read the next piece of at most kPiece bytes; own: a buffer of
  // kPiece bytes used when nothing is hashed.
  char* buffer(char* own) { return hasher_ ? hasher_->piece() : own; }

  // Takes the next n bytes, read into buffer(). err_too_large once more
  // bytes came than the file may have (the bytes beyond are not taken),
  // else 0.
  int add(std::size_t n) {
    if (!check_) return 0;
    std::int64_t take = static_cast<std::int64_t>(n);
    int err = 0;
    if (check_->max_bytes >= 0 && found_bytes_ + take > check_->max_bytes) {
      take = check_->max_bytes - found_bytes_;
      err = err_too_large;
    }
    hasher_->submit(&sums_, static_cast<std::size_t>(take), found_bytes_ == 0);
    last_piece_ = hasher_->submitted();
    found_bytes_ += take;
    return err;
  }

  // The file's size as its archive gives it, when that alone refuses it.
  void set_found(std::int64_t bytes) { found_bytes_ = bytes; }

  // After the last byte: records the signature and compares it with the
  // wanted one. err_wrong_signature when they differ, else 0.
  int finish() {
    if (!check_) return 0;
    record();
    if (!check_->want_md5.empty() && check_->found_md5 != check_->want_md5) return err_wrong_signature;
    return 0;
  }

  // Records the size and the signature of what was taken so far in the
  // check (also after a failure).
  void record() {
    if (!check_ || done_) return;
    done_ = true;
    if (hasher_) hasher_->finish_through(last_piece_);
    MD5Final(&sums_.md5);
    static const char kHex[] = "0123456789abcdef";
    std::string text(32, '0');
    for (int i = 0; i < 16; ++i) {
      text[2 * i] = kHex[sums_.md5.digest[i] >> 4];
      text[2 * i + 1] = kHex[sums_.md5.digest[i] & 15];
    }
    check_->found_md5 = text;
    check_->found_bytes = found_bytes_;
  }

 private:
  unpack_check* check_;
  PieceHasher* hasher_;
  ByteSums sums_;
  std::int64_t found_bytes_ = 0;
  std::uint64_t last_piece_ = 0;  // the hasher's count after this file's last piece
  bool done_ = false;
};

// The hasher of one unpacking, started with its first checked file.
class LazyHasher {
 public:
  PieceHasher* get(const unpack_check* check) {
    if (check && !hasher_) hasher_.reset(new PieceHasher);
    return hasher_.get();
  }

 private:
  std::unique_ptr<PieceHasher> hasher_;
};

// A zip archive opened for the zip library, mapped into memory: the
// library's reads of the catalogue are copies, and an entry's data is
// inflated straight from the mapping.
struct MappedArchive {
  const unsigned char* data = nullptr;
  std::uint64_t size = 0;
  std::uint64_t pos = 0;
};

voidpf ZCALLBACK mapped_open(voidpf opaque, const void* filename, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ || !filename) return nullptr;
  const int fd = open(static_cast<const char*>(filename), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  void* p = MAP_FAILED;
  // An empty file holds no catalogue, so it is no archive either.
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    p = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (p == MAP_FAILED) return nullptr;
  madvise(p, static_cast<std::size_t>(st.st_size), MADV_SEQUENTIAL);
  auto* m = new MappedArchive;
  m->data = static_cast<const unsigned char*>(p);
  m->size = static_cast<std::uint64_t>(st.st_size);
  *static_cast<MappedArchive**>(opaque) = m;
  return m;
}

uLong ZCALLBACK mapped_read(voidpf, voidpf stream, void* buf, uLong size) {
  auto* m = static_cast<MappedArchive*>(stream);
  if (m->pos >= m->size) return 0;
  std::uint64_t n = m->size - m->pos;
  if (n > size) n = size;
  std::memcpy(buf, m->data + m->pos, static_cast<std::size_t>(n));
  m->pos += n;
  return static_cast<uLong>(n);
}

uLong ZCALLBACK mapped_write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK mapped_tell(voidpf, voidpf stream) { return static_cast<MappedArchive*>(stream)->pos; }

long ZCALLBACK mapped_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* m = static_cast<MappedArchive*>(stream);
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: m->pos = offset; return 0;
    case ZLIB_FILEFUNC_SEEK_CUR: m->pos += offset; return 0;
    case ZLIB_FILEFUNC_SEEK_END: m->pos = m->size + offset; return 0;
    default: return -1;
  }
}

int ZCALLBACK mapped_close(voidpf opaque, voidpf stream) {
  auto* m = static_cast<MappedArchive*>(stream);
  munmap(const_cast<unsigned char*>(m->data), static_cast<std::size_t>(m->size));
  delete m;
  *static_cast<MappedArchive**>(opaque) = nullptr;
  return 0;
}

int ZCALLBACK mapped_error(voidpf, voidpf) { return 0; }

// Opens path for the zip library through a MappedArchive, which *archive
// then names until unzClose. Null when the file cannot be opened and mapped.
unzFile open_mapped_zip(const std::string& path, MappedArchive** archive) {
  zlib_filefunc64_def io{};
  io.zopen64_file = mapped_open;
  io.zread_file = mapped_read;
  io.zwrite_file = mapped_write;
  io.ztell64_file = mapped_tell;
  io.zseek64_file = mapped_seek;
  io.zclose_file = mapped_close;
  io.zerror_file = mapped_error;
  io.opaque = archive;
  return unzOpen2_64(path.c_str(), &io);
}

// The compressed bytes of the zip's current entry, opened raw, as they lie
// in the archive's mapping. They are handed out in runs, and the pages of
// a run are let go once the next is asked for, so that a large archive
// does not stay in the process's memory as it is read.
class RawEntryData {
 public:
  RawEntryData(unzFile uf, const MappedArchive* archive, std::uint64_t compressed) {
    const std::uint64_t at = unzGetCurrentFileZStreamPos64(uf);
    // Data that would lie beyond the end of the file is cut at the end:
    // the entry then comes out short and fails.
    if (archive && at < archive->size) {
      next_ = archive->data + at;
      left_ = std::min<std::uint64_t>(compressed, archive->size - at);
    }
  }
  ~RawEntryData() { release(next_); }
  RawEntryData(const RawEntryData&) = delete;
  RawEntryData& operator=(const RawEntryData&) = delete;

  // The next run of compressed bytes: false at the end of the entry's data.
  // The run before must have been used up.
  bool next(const unsigned char** data, std::size_t* len) {
    release(next_);
    if (left_ == 0) return false;
    const std::uint64_t n = std::min<std::uint64_t>(left_, kRun);
    *data = next_;
    *len = static_cast<std::size_t>(n);
    next_ += n;
    left_ -= n;
    return true;
  }

 private:
  static constexpr std::uint64_t kRun = 4 << 20;

  // Lets go of the whole pages before end that earlier runs handed out.
  void release(const unsigned char* end) {
    static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(released_ ? released_ : end) + page - 1) & ~(page - 1);
    const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(end) & ~(page - 1);
    if (released_ && to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
    released_ = end;
  }

  const unsigned char* next_ = nullptr;
  const unsigned char* released_ = nullptr;
  std::uint64_t left_ = 0;
};

// Turns a zip entry's raw data into its bytes (stored or deflated), at most
// the entry's size of them, and takes their CRC-32 as it goes.
class EntryInflater {
 public:
  EntryInflater() { ready_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK; }
  ~EntryInflater() {
    if (ready_) inflateEnd(&z_);
  }
  EntryInflater(const EntryInflater&) = delete;
  EntryInflater& operator=(const EntryInflater&) = delete;

  // Starts an entry of the given method (0 stored, 8 deflated) and size.
  void start(RawEntryData* in, int method, std::uint64_t size) {
    in_ = in;
    method_ = method;
    rest_ = size;
    failed_ = !ready_ || inflateReset(&z_) != Z_OK;
    input_ended_ = false;
    stream_ended_ = false;
    crc_ = crc32(0L, Z_NULL, 0);
    z_.next_in = nullptr;
    z_.avail_in = 0;
  }

  // Fills out with up to len bytes; the count, 0 at the end of the data, -1
  // when the data is damaged.
  long read(char* out, std::size_t len) {
    if (failed_) return -1;
    if (len > rest_) len = static_cast<std::size_t>(rest_);
    std::size_t done = 0;
    while (done < len && !stream_ended_) {
      if (z_.avail_in == 0 && !input_ended_) {
        const unsigned char* data = nullptr;
        std::size_t n = 0;
        if (in_->next(&data, &n)) {
          z_.next_in = const_cast<Bytef*>(data);
          z_.avail_in = static_cast<uInt>(n);
        } else {
          input_ended_ = true;
        }
      }
      if (method_ != Z_DEFLATED) {
        if (z_.avail_in == 0) break;
        const std::size_t n = std::min<std::size_t>(len - done, z_.avail_in);
        std::memcpy(out + done, z_.next_in, n);
        z_.next_in += n;
        z_.avail_in -= static_cast<uInt>(n);
        done += n;
        continue;
      }
      // The inflater holds back bytes of its own, so it is called again
      // after the input ended until it gives nothing more.
      const uInt in_before = z_.avail_in;
      z_.next_out = reinterpret_cast<Bytef*>(out + done);
      z_.avail_out = static_cast<uInt>(len - done);
      const int r = inflate(&z_, Z_NO_FLUSH);
      const std::size_t got = (len - done) - z_.avail_out;
      done += got;
      if (r == Z_STREAM_END) {
        stream_ended_ = true;
      } else if (r != Z_OK && r != Z_BUF_ERROR) {
        failed_ = true;
        break;
      }
      if (input_ended_ && got == 0 && z_.avail_in == in_before) break;
    }
    crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(out), done);
    rest_ -= done;
    if (failed_ && done == 0) return -1;
    return static_cast<long>(done);
  }

  // The CRC-32 of the bytes read so far.
  std::uint32_t crc() const { return static_cast<std::uint32_t>(crc_); }

 private:
  z_stream z_{};
  bool ready_ = false;
  RawEntryData* in_ = nullptr;
  int method_ = 0;
  std::uint64_t rest_ = 0;
  uLong crc_ = 0;
  bool input_ended_ = false;
  bool stream_ended_ = false;
  bool failed_ = false;
};

// Decides whether an entry may be written below the output folder: its name
// must be relative, hold no ".." component, and no existing folder on the
// way to it may be a symbolic link. The last folder found sound is kept, so
// entries of one folder cost no further checks.
class PathGuard {
 public:
  explicit PathGuard(std::string out_dir) : out_dir_(std::move(out_dir)) {}

  // True when rel (relative to the output folder; a folder entry ends in
  // '/') may be written.
  bool allows(const std::string& rel) {
    if (rel.empty() || rel[0] == '/') return false;
    std::size_t at = 0;
    while (at <= rel.size()) {
      std::size_t next = rel.find('/', at);
      if (next == std::string::npos) next = rel.size();
      if (next - at == 2 && rel.compare(at, 2, "..") == 0) return false;
      at = next + 1;
    }

    // The folders to check: everything up to the last '/' before the entry's
    // own name (a folder entry's final '/' is passed over).
    std::size_t end = rel.size();
    if (rel.back() == '/') --end;
    const std::size_t slash = end == 0 ? std::string::npos : rel.rfind('/', end - 1);
    if (slash == std::string::npos) return true;
    const std::string parent = rel.substr(0, slash + 1);
    if (parent == verified_) return true;

    for (std::size_t i = 0; i < parent.size(); ++i) {
      if (parent[i] != '/') continue;
      // The folder parent[0..i]; one already found sound needs no check.
      if (i + 1 <= verified_.size() && verified_.compare(0, i + 1, parent, 0, i + 1) == 0) continue;
      const std::string folder = out_dir_ + parent.substr(0, i);
      struct stat st;
      if (lstat(folder.c_str(), &st) != 0) return true;  // missing: the write fails on its own
      if (S_ISLNK(st.st_mode)) return false;
      if (!S_ISDIR(st.st_mode)) return true;  // not a folder: the write fails on its own
    }
    verified_ = parent;
    return true;
  }

  // Forgets what was found sound (after the folder tree was changed by a link).
  void forget() { verified_.clear(); }

 private:
  std::string out_dir_;
  std::string verified_;  // relative folder path ending in '/', last found sound
};

// True when the link text, read from the folder of the link entry rel,
// stays inside the output folder: it is not absolute, never climbs above the
// output folder, and climbs ("..") only at its start, before any name that
// could itself be a link leading elsewhere.
bool link_text_stays_inside(const std::string& rel, const std::string& text) {
  if (text.empty()) return true;  // creating the link fails on its own
  if (text[0] == '/' || text.find('\0') != std::string::npos) return false;
  long depth = 0;
  {
    std::size_t at = 0;
    for (;;) {
      const std::size_t next = rel.find('/', at);
      if (next == std::string::npos) break;
      const std::size_t len = next - at;
      if (len > 0 && !(len == 1 && rel[at] == '.')) ++depth;
      at = next + 1;
    }
  }
  bool named = false;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t next = text.find('/', at);
    if (next == std::string::npos) next = text.size();
    const std::size_t len = next - at;
    if (len == 2 && text.compare(at, 2, "..") == 0) {
      if (named || --depth < 0) return false;
    } else if (len > 0 && !(len == 1 && text[at] == '.')) {
      named = true;
      ++depth;
    }
    at = next + 1;
  }
  return true;
}

// Sets both times of the open file to the entry's date read as local time,
// daylight saving decided by the system. 0, or -1 when it fails.
int set_entry_time(int fd, const tm_unz& date) {
  struct tm t {};
  t.tm_sec = static_cast<int>(date.tm_sec);
  t.tm_min = static_cast<int>(date.tm_min);
  t.tm_hour = static_cast<int>(date.tm_hour);
  t.tm_mday = static_cast<int>(date.tm_mday);
  t.tm_mon = static_cast<int>(date.tm_mon);
  t.tm_year = static_cast<int>(date.tm_year) - 1900;
  t.tm_isdst = -1;
  const time_t when = mktime(&t);
  const timespec times[2] = {{when, 0}, {when, 0}};
  return futimens(fd, times) == 0 ? 0 : -1;
}

void log_refusal(const char* what, const std::string& entry, const std::string& target) {
  xer << what << " refused the entry \"" << entry
      << "\": it would be written outside the output folder or through a symbolic link. inFile="
      << target << ".\n";
}

// A checked file that has been written in full and waits for its
// signature before it takes its target's place.
struct SettlingFile {
  std::unique_ptr<EntryChecker> checker;
  std::unique_ptr<PendingFile> out;
  std::string target;
  int mode_err = 0;   // setting its times failed
  int close_err = 0;  // closing it failed
};

void log_zip_failure(int err, const std::string& target) {
  xer << "Zip to file failed with error " << err << ". file = " << err_file() << " line = " << sErrLine.load()
      << ". inFile=" << target << ".\n";
}

// What one unpacking of a zip archive works with: the archive as mapped,
// the inflater, the buffer of pieces when nothing is hashed, the hasher of
// its checks, and the checked file that waits for its signature while the
// next entry is inflated.
struct ZipUnpacking {
  MappedArchive* archive = nullptr;
  std::unique_ptr<EntryInflater> inflater{new EntryInflater};
  std::vector<char> buf = std::vector<char>(EntryChecker::kPiece);
  LazyHasher hasher;
  std::unique_ptr<SettlingFile> settling;

  // Puts the waiting file in place once its signature is found right. 0,
  // or its failure (logged); 0 when no file waits.
  int settle() {
    if (!settling) return 0;
    const std::unique_ptr<SettlingFile> f = std::move(settling);
    int err = f->checker->finish();
    if (err) fail_at(26, err);
    if (!err && f->mode_err) err = fail_at(16, f->mode_err);
    if (!err && f->close_err) err = fail_at(17, f->close_err);
    if (!err) {
      err = f->out->rename_over();
      if (err) fail_at(18, err);
    }
    if (err) log_zip_failure(err, f->target);
    return err;
  }
};

// Unpacks the zip's current entry into target through a temporary file
// that replaces target only once the entry was read in full, its CRC-32
// found right and, with a check, its size and signature found right. A
// checked file is left waiting for its signature in z.settling, and is put
// in place (z.settle()) once the next entry's first piece is inflated, or
// by the caller; the file waiting before is settled here before anything
// of this entry reaches the disk, and its failure is the result.
int unzip_file(unzFile uf, const std::string& target, const unz_file_info64& info, ZipUnpacking& z,
               unpack_check* check) {
  std::unique_ptr<EntryChecker> checker(new EntryChecker(check, z.hasher.get(check)));
  int err = 0;
  int method = 0;
  int level = 0;
  bool opened = false;
  if (check && check->max_bytes >= 0 && info.uncompressed_size > static_cast<std::uint64_t>(check->max_bytes)) {
    // The entry says so itself: nothing needs to be read or written.
    checker->set_found(static_cast<std::int64_t>(info.uncompressed_size));
    err = fail_at(19, err_too_large);
  } else if ((err = unzOpenCurrentFile2(uf, &method, &level, 1)) != UNZ_OK) {
    err = fail_at(10, err);
  } else {
    opened = true;
    if (method != 0 && method != Z_DEFLATED) err = fail_at(10, UNZ_BADZIPFILE);
  }

  // The entry's raw data is inflated here, and its CRC-32 taken on the
  // way; the zip library only finds where the data lies. The first piece
  // is inflated while the file before is still being hashed.
  RawEntryData raw(uf, z.archive, info.compressed_size);
  char* first = nullptr;
  long first_n = 0;
  if (!err) {
    z.inflater->start(&raw, method, info.uncompressed_size);
    first = checker->buffer(z.buf.data());
    first_n = z.inflater->read(first, EntryChecker::kPiece);
    if (first_n < 0 || static_cast<std::uint64_t>(first_n) > info.uncompressed_size) {
      err = fail_at(12, err_zip_read);
    } else if (first_n > 0) {
      err = checker->add(static_cast<std::size_t>(first_n));
      if (err) fail_at(19, err);
    }
  }
  if (const int before = z.settle()) {
    if (opened) unzCloseCurrentFile(uf);
    return before;
  }

  std::unique_ptr<PendingFile> out(new PendingFile);
  if (!err) {
    err = out->create(target);
    if (err) fail_at(11, err);
  }
  std::uint64_t total = first_n > 0 ? static_cast<std::uint64_t>(first_n) : 0;
  if (!err && first_n > 0) {
    err = out->write(first, static_cast<std::size_t>(first_n));
    if (err) fail_at(13, err);
  }
  while (!err && first_n > 0) {
    char* piece = checker->buffer(z.buf.data());
    const long n = z.inflater->read(piece, EntryChecker::kPiece);
    if (n == 0) break;
    if (n < 0 || (total += static_cast<unsigned long>(n)) > info.uncompressed_size) {
      err = fail_at(12, err_zip_read);
      break;
    }
    err = checker->add(static_cast<std::size_t>(n));
    if (err) {
      fail_at(19, err);
      break;
    }
    err = out->write(piece, static_cast<std::size_t>(n));
    if (err) fail_at(13, err);
  }
  if (opened) {
    if (!err && total != info.uncompressed_size) err = fail_at(14, err_zip_read);
    const int closed = unzCloseCurrentFile(uf);
    if (!err && closed != UNZ_OK) err = fail_at(15, closed);
  }

  // While the last pieces are hashed, the file is finished; the checks of
  // its bytes still count before what fails in finishing it.
  int mode_err = 0;
  if (!err && info.external_fa != 0) {
    // The upper half holds the Unix mode; MS-DOS tools leave it 0, and the
    // file then keeps the mode its creation gave it, as it does when the
    // permission bits are all 0 (a file nobody could read). A file system
    // without permission bits does not make the entry fail.
    const unsigned long mode = (info.external_fa >> 16) & 0777;
    if (mode != 0) fchmod(out->fd(), static_cast<mode_t>(mode));
    if (set_entry_time(out->fd(), info.tmu_date) != 0) mode_err = -1;
  }
  const int close_err = err || mode_err ? 0 : out->close_checked();
  if (!err && z.inflater->crc() != info.crc) err = fail_at(15, UNZ_CRCERROR);
  if (!err) {
    z.settling.reset(new SettlingFile{std::move(checker), std::move(out), target, mode_err, close_err});
    // Without a check there is nothing to wait for.
    return check ? 0 : z.settle();
  }
  checker->record();
  log_zip_failure(err, target);
  return err;
}

// Makes the zip's current entry, whose data is the link text, a symbolic link
// at target (rel: the entry's path below the output folder). The link is made
// under a temporary name and renamed over target, so target is replaced at
// once or not at all.
int unzip_symlink(unzFile uf, const std::string& target, const std::string& rel,
                  const unz_file_info64& info) {
  int err = 0;
  std::string text;
  if (info.uncompressed_size > kMaxLinkText) {
    err = fail_at(20, -1);
  } else {
    err = unzOpenCurrentFile(uf);
    if (err != UNZ_OK) {
      err = fail_at(21, err);
    } else {
      text.resize(static_cast<std::size_t>(info.uncompressed_size));
      std::size_t got = 0;
      while (got < text.size()) {
        const int n = unzReadCurrentFile(uf, &text[got], static_cast<unsigned>(text.size() - got));
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
      }
      if (got != text.size()) err = fail_at(22, err_zip_read);
      const int closed = unzCloseCurrentFile(uf);
      if (!err && closed != UNZ_OK) err = fail_at(23, closed);
    }
  }
  if (!err && !link_text_stays_inside(rel, text)) {
    log_refusal("Zip to symlink", rel, target);
    err = fail_at(24, EPERM);
  }
  if (!err) {
    err = fail_at(25, -1);
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string temp = temp_name_beside(target, random_suffix());
      if (symlink(text.c_str(), temp.c_str()) != 0) {
        if (errno == EEXIST) continue;
        break;
      }
      if (rename(temp.c_str(), target.c_str()) == 0) {
        err = 0;
      } else {
        unlink(temp.c_str());
      }
      break;
    }
  }
  if (err) {
    xer << "Zip to symlink failed with error " << err << ". file = " << err_file()
        << " line = " << sErrLine.load() << ". inFile=" << target << ".\n";
  }
  return err;
}

// The locale in which 7z names are read as UTF-8, whatever the program's.
locale_t utf8_locale() {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return utf8;
}

// Writes the 7z reader's current file to target through a temporary file
// that replaces target only once all of its data came out without error
// (the reader checks the CRC-32 at its end) and, with a check, its size and
// signature were found right. An existing target's permission bits are
// kept, as when it is overwritten in place.
int write_7z_file(struct archive* a, struct archive_entry* e, const std::string& target, char* buf,
                  PieceHasher* hasher, unpack_check* check) {
  EntryChecker checker(check, hasher);
  if (check && check->max_bytes >= 0 && archive_entry_size_is_set(e) &&
      archive_entry_size(e) > check->max_bytes) {
    checker.set_found(archive_entry_size(e));
    checker.record();
    return err_too_large;
  }
  PendingFile out;
  int err = out.create(target);
  if (err) return err;
  struct stat st;
  if (lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) fchmod(out.fd(), st.st_mode & 0777);

  std::int64_t total = 0;
  for (;;) {
    char* piece = checker.buffer(buf);
    const ssize_t n = archive_read_data(a, piece, EntryChecker::kPiece);
    if (n == 0) break;
    if (n < 0) {  // damaged data, a bad CRC-32 (a warning) included
      err = err_zip_read;
      break;
    }
    total += n;
    err = checker.add(static_cast<std::size_t>(n));
    if (err) break;
    if (out.write(piece, static_cast<std::size_t>(n)) != 0) {
      err = err_zip_write;
      break;
    }
  }
  if (!err && archive_entry_size_is_set(e) && total != archive_entry_size(e)) err = err_zip_read;
  // The file is closed while its last pieces are hashed; a wrong signature
  // still counts first.
  const int close_err = err ? 0 : out.close_checked();
  if (!err) err = checker.finish();
  if (err) {
    checker.record();
    return err;
  }
  if (close_err != 0) return err_zip_write;
  return out.rename_over();
}

}  // namespace

ssize_t SzFileReadImp(struct archive* a, void* stream, const void** data) {
  auto* s = static_cast<SzFileInStream*>(stream);
  *data = s->buffer.data();
  const std::size_t n = std::fread(s->buffer.data(), 1, s->buffer.size(), s->file);
  if (n == 0 && std::ferror(s->file)) {
    const int err = errno;
    if (a) archive_set_error(a, err, "Cannot read the archive");
    return -1;
  }
  return static_cast<ssize_t>(n);
}

std::int64_t SzFileSeekImp(struct archive* a, void* stream, std::int64_t offset, int whence) {
  auto* s = static_cast<SzFileInStream*>(stream);
  if (fseeko(s->file, static_cast<off_t>(offset), whence) != 0) {
    const int err = errno;
    if (a) archive_set_error(a, err, "Cannot seek in the archive");
    return ARCHIVE_FATAL;
  }
  return static_cast<std::int64_t>(ftello(s->file));
}

std::int64_t SzFileSkipImp(struct archive*, void* stream, std::int64_t request) {
  auto* s = static_cast<SzFileInStream*>(stream);
  if (request <= 0) return 0;
  // Skip no further than the end, so that the reader sees a short archive
  // as short instead of reading nothing at a position past its end.
  struct stat st;
  const off_t here = ftello(s->file);
  if (here < 0 || fstat(fileno(s->file), &st) != 0) return 0;
  std::int64_t step = request;
  if (step > st.st_size - here) step = st.st_size - here;
  if (step <= 0 || fseeko(s->file, static_cast<off_t>(step), SEEK_CUR) != 0) return 0;
  return step;
}

p7z_reader::p7z_reader(const std::string& path) {
  in_.file = std::fopen(path.c_str(), "rbe");
  if (!in_.file) {
    code_ = errno;
    return;
  }
  in_.buffer.resize(kReadBuffer);
  if (const locale_t utf8 = utf8_locale()) old_locale_ = uselocale(utf8);
  a_ = archive_read_new();
  if (!a_) {
    code_ = ENOMEM;
    return;
  }
  if (archive_read_support_format_7zip(a_) != ARCHIVE_OK ||
      archive_read_set_read_callback(a_, SzFileReadImp) != ARCHIVE_OK ||
      archive_read_set_seek_callback(a_, SzFileSeekImp) != ARCHIVE_OK ||
      archive_read_set_skip_callback(a_, SzFileSkipImp) != ARCHIVE_OK ||
      archive_read_set_callback_data(a_, &in_) != ARCHIVE_OK || archive_read_open1(a_) != ARCHIVE_OK)
    code_ = err_zip_open;
}

p7z_reader::~p7z_reader() {
  if (a_) archive_read_free(a_);
  if (in_.file) std::fclose(in_.file);
  if (old_locale_) uselocale(old_locale_);
}

int read_zip_entry(unzFile uf, unz_file_info64* info, std::string* name) {
  // The name's length first, then the name at its full length.
  int err = unzGetCurrentFileInfo64(uf, info, nullptr, 0, nullptr, 0, nullptr, 0);
  if (err != UNZ_OK) return err;
  std::vector<char> buf(info->size_filename + 1, '\0');
  err = unzGetCurrentFileInfo64(uf, info, buf.data(), buf.size(), nullptr, 0, nullptr, 0);
  if (err != UNZ_OK) return err;
  buf.back() = '\0';
  name->assign(buf.data());  // a stored NUL ends the name
  return UNZ_OK;
}

int zip_to_file(const std::string& archive_in, const std::string& out_dir_in, std::string* name,
                int use_name, unpack_check* check) {
  const std::string archive = app_path + archive_in;
  const std::string out_dir = app_path + out_dir_in;
  auto summary = [&](int code) {
    xer << "Zip to file failed with error err = " << code << ". file = " << err_file()
        << " line = " << sErrLine.load() << ". zip_file=" << archive << ", out_directory=" << out_dir
        << ".\n";
  };

  ZipUnpacking z;
  unzFile uf = open_mapped_zip(archive, &z.archive);
  if (!uf) {
    fail_at(1, err_zip_open);
    xer << "OK I am about to report that I could not open a zip file for extraction!\n"
        << "That incoming file is " << archive << "\n"
        << "In c-form, it is " << archive << "\n"
        << "The size is " << archive.size() << "\n";
    summary(err_zip_open);
    return err_zip_open;
  }
  unzGoToFirstFile(uf);  // an empty or broken archive shows at the first entry

  // An entry's failure ends the extraction.
  auto abandon = [&](int result) {
    xer << "UNZIP zip_to_file failed with err=" << result << "\n";
    unzClose(uf);
    summary(result);
    return result;
  };
  PathGuard guard(out_dir);
  int code = 0;
  for (bool first = true;; first = false) {
    unz_file_info64 info;
    std::string entry;
    int err = read_zip_entry(uf, &info, &entry);
    if (err != UNZ_OK) {
      // A file waiting for its signature comes first.
      if (const int before = z.settle()) return abandon(before);
      fail_at(2, err);
      xer << "unzGetCurrentFileInfo err != UNZ_OK! err=" << err << "\n";
      code = err;
      break;
    }
    const std::string rel = use_name && first && name ? *name : entry;
    const std::string target = out_dir + rel;
    if (first && name) *name = entry;

    int result = 0;
    const bool folder = !entry.empty() && entry.back() == '/';
    const bool plain = !folder && ((info.external_fa >> 16) & 0xA000) != 0xA000;
    // A file waiting for its signature is put in place before any other
    // kind of entry is handled; the next plain file settles it itself,
    // once its own first piece is inflated.
    if (!(plain && guard.allows(rel))) result = z.settle();
    if (result != 0) {
      // the file before failed: nothing of this entry is done
    } else if (entry.compare(0, 8, "__MACOSX") == 0) {
      // resource forks of archives made on a Mac: nothing for this system
    } else if (folder) {
      if (!guard.allows(entry)) {
        log_refusal("Zip to file", entry, out_dir + entry);
        result = fail_at(3, EPERM);
      } else {
        result = make_folder(out_dir + entry);
        if (result == EEXIST) result = 0;
      }
    } else if (!guard.allows(rel)) {
      log_refusal("Zip to file", entry, target);
      result = fail_at(4, EPERM);
    } else if (((info.external_fa >> 16) & 0xA000) == 0xA000) {
      result = unzip_symlink(uf, target, rel, info);
      guard.forget();
    } else {
      result = unzip_file(uf, target, info, z, check);
    }
    if (result != 0) return abandon(result);
    err = unzGoToNextFile(uf);
    if (err != UNZ_OK) {
      if (const int before = z.settle()) return abandon(before);
      if (err != UNZ_END_OF_LIST_OF_FILE) fail_at(5, err);
      code = err;
      break;
    }
  }
  unzClose(uf);
  if (code == 0 || code == UNZ_END_OF_LIST_OF_FILE) return 0;
  summary(code);
  return code;
}

int p7z_to_file(const std::string& archive_path, const std::string& out_dir, std::string* name,
                int use_name, unpack_check* check) {
  p7z_reader reader(archive_path);
  int code = reader.code();
  struct archive* a = reader.get();

  PathGuard guard(out_dir);
  std::vector<char> buf;
  LazyHasher hasher;
  bool first_header = true;
  bool first_file = true;
  while (code == 0) {
    struct archive_entry* e = nullptr;
    const int r = archive_read_next_header(a, &e);
    if (r == ARCHIVE_EOF) break;
    if (r != ARCHIVE_OK) {
      // The first header read parses the whole catalogue of the archive.
      code = first_header ? err_zip_open : err_zip_read;
      break;
    }
    first_header = false;
    const mode_t type = archive_entry_filetype(e);
    if (type == AE_IFDIR) continue;
    const char* path = archive_entry_pathname(e);
    if (!path) {
      code = err_zip_read;
      break;
    }
    if (type != AE_IFREG) {
      xer << "7z to file skipped \"" << path << "\": it is "
          << (type == AE_IFLNK ? "a symbolic link" : "no plain file") << ".\n";
      continue;
    }
    const std::string rel = use_name && first_file && name ? *name : std::string(path);
    first_file = false;
    const std::string target = out_dir + rel;
    if (!guard.allows(rel)) {
      log_refusal("7z to file", path, target);
      code = EPERM;
      break;
    }
    if (name) *name = target;
    if (buf.empty()) buf.resize(EntryChecker::kPiece);
    code = write_7z_file(a, e, target, buf.data(), hasher.get(check), check);
  }
  return code;
}

int file_to_zip(const std::string& source, const std::string& zip_file) {
  const std::string full_source = app_path + source;
  const std::string full_zip = app_path + zip_file;

  int err = 0;
  xmap_class data(source);  // the reader puts app_path in front itself
  if (!data.start) {
    err = fail_at(30, err_file_open);
  } else {
    // A source that could be mapped is a plain file, so its path does not
    // end in '/': the entry is the name after the last '/'.
    const std::string entry = last_component(full_source);
    zipFile zf = zipOpen64(full_zip.c_str(), APPEND_STATUS_CREATE);
    if (!zf) {
      // Nothing is removed here: a file of that name that could not be
      // opened for writing is not ours.
      err = fail_at(31, err_zip_create);
    } else {
      zip_fileinfo zi{};
      struct stat st;
      if (stat(full_source.c_str(), &st) == 0) {
        struct tm t {};
        const time_t when = st.st_mtime;
        if (localtime_r(&when, &t)) {
          zi.tmz_date.tm_sec = static_cast<uInt>(t.tm_sec);
          zi.tmz_date.tm_min = static_cast<uInt>(t.tm_min);
          zi.tmz_date.tm_hour = static_cast<uInt>(t.tm_hour);
          zi.tmz_date.tm_mday = static_cast<uInt>(t.tm_mday);
          zi.tmz_date.tm_mon = static_cast<uInt>(t.tm_mon);
          zi.tmz_date.tm_year = static_cast<uInt>(t.tm_year + 1900);
        }
        zi.external_fa = static_cast<uLong>(st.st_mode) << 16;
      }
      const std::int64_t size = data.end - data.start;
      // Entries of 4 GiB and more need the 64-bit extension of the format.
      const int zip64 = size >= 0xffffffffLL ? 1 : 0;
      err = zipOpenNewFileInZip64(zf, entry.c_str(), &zi, nullptr, 0, nullptr, 0, nullptr,
                                  Z_DEFLATED, Z_DEFAULT_COMPRESSION, zip64);
      if (err != ZIP_OK) fail_at(32, err);
      for (std::int64_t at = 0; err == ZIP_OK && at < size;) {
        const std::int64_t piece = size - at < static_cast<std::int64_t>(kChunk)
                                       ? size - at
                                       : static_cast<std::int64_t>(kChunk);
        err = zipWriteInFileInZip(zf, data.start + at, static_cast<unsigned>(piece));
        if (err != ZIP_OK) fail_at(33, err);
        at += piece;
      }
      if (err == ZIP_OK) {
        err = zipCloseFileInZip(zf);
        if (err != ZIP_OK) fail_at(34, err);
      }
      if (err == ZIP_OK) {
        err = zipClose(zf, nullptr);
        if (err != ZIP_OK) fail_at(35, err);
      } else {
        zipClose(zf, nullptr);
      }
      // A failed archive is incomplete: it must not stay under its name.
      if (err != ZIP_OK) unlink(full_zip.c_str());
    }
  }
  if (err != 0) {
    xer << "file_to_zip failed with error " << err << ".\n"
        << "file = " << err_file() << " line = " << sErrLine.load() << "\n";
  }
  return err;
}
