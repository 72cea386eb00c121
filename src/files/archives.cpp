#include "files/archives.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <limits.h>
#include <locale.h>
#include <minizip/ioapi.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <zlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
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

// A zip archive opened for the zip library. The library reads the
// catalogue and the entries' headers a few bytes at a time: those reads
// are served from a block of the file read ahead. An entry's data is read
// from the open file in runs of its own (RawEntryData).
struct ZipArchiveFile {
  static constexpr std::size_t kBlock = 4096;

  int fd = -1;
  std::uint64_t size = 0;
  std::uint64_t pos = 0;
  std::uint64_t block_at = 0;   // where the block lies in the file
  std::size_t block_len = 0;    // bytes in the block
  unsigned char block[kBlock];
};

voidpf ZCALLBACK archive_open(voidpf opaque, const void* filename, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ || !filename) return nullptr;
  const int fd = open(static_cast<const char*>(filename), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  // An empty file holds no catalogue, so it is no archive either.
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
    close(fd);
    return nullptr;
  }
  auto* f = new ZipArchiveFile;
  f->fd = fd;
  f->size = static_cast<std::uint64_t>(st.st_size);
  *static_cast<ZipArchiveFile**>(opaque) = f;
  return f;
}

uLong ZCALLBACK archive_read(voidpf, voidpf stream, void* buf, uLong size) {
  auto* f = static_cast<ZipArchiveFile*>(stream);
  auto* out = static_cast<unsigned char*>(buf);
  std::size_t done = 0;
  while (done < size && f->pos < f->size) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, f->size - f->pos));
    if (f->pos >= f->block_at && f->pos < f->block_at + f->block_len) {
      const std::size_t n = std::min<std::size_t>(want, static_cast<std::size_t>(f->block_at + f->block_len - f->pos));
      std::memcpy(out + done, f->block + (f->pos - f->block_at), n);
      done += n;
      f->pos += n;
      continue;
    }
    // A read as large as a block goes straight to the caller.
    const bool direct = want >= ZipArchiveFile::kBlock;
    ssize_t got;
    do {
      got = direct ? pread(f->fd, out + done, want, static_cast<off_t>(f->pos))
                   : pread(f->fd, f->block, ZipArchiveFile::kBlock, static_cast<off_t>(f->pos));
    } while (got < 0 && errno == EINTR);
    if (got <= 0) break;
    if (direct) {
      done += static_cast<std::size_t>(got);
      f->pos += static_cast<std::uint64_t>(got);
    } else {
      f->block_at = f->pos;
      f->block_len = static_cast<std::size_t>(got);
    }
  }
  return static_cast<uLong>(done);
}

uLong ZCALLBACK archive_write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK archive_tell(voidpf, voidpf stream) { return static_cast<ZipArchiveFile*>(stream)->pos; }

long ZCALLBACK archive_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* f = static_cast<ZipArchiveFile*>(stream);
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: f->pos = offset; return 0;
    case ZLIB_FILEFUNC_SEEK_CUR: f->pos += offset; return 0;
    case ZLIB_FILEFUNC_SEEK_END: f->pos = f->size + offset; return 0;
    default: return -1;
  }
}

int ZCALLBACK archive_close(voidpf opaque, voidpf stream) {
  auto* f = static_cast<ZipArchiveFile*>(stream);
  close(f->fd);
  delete f;
  *static_cast<ZipArchiveFile**>(opaque) = nullptr;
  return 0;
}

int ZCALLBACK archive_error(voidpf, voidpf) { return 0; }

// Opens path for the zip library through a ZipArchiveFile, which *archive
// then names until unzClose. Null when the file cannot be opened.
unzFile open_zip(const std::string& path, ZipArchiveFile** archive) {
  zlib_filefunc64_def io{};
  io.zopen64_file = archive_open;
  io.zread_file = archive_read;
  io.zwrite_file = archive_write;
  io.ztell64_file = archive_tell;
  io.zseek64_file = archive_seek;
  io.zclose_file = archive_close;
  io.zerror_file = archive_error;
  io.opaque = archive;
  return unzOpen2_64(path.c_str(), &io);
}

// The compressed bytes of the zip's current entry, opened raw, read from
// the archive in runs into the unpacking's buffer.
class RawEntryData {
 public:
  RawEntryData(unzFile uf, const ZipArchiveFile* archive, std::uint64_t compressed, std::vector<unsigned char>* buf)
      : buf_(buf) {
    const std::uint64_t at = unzGetCurrentFileZStreamPos64(uf);
    // Entries whose data would lie beyond the end of the file are refused
    // before they are read; the cut here only keeps reads inside the file.
    if (archive && at < archive->size) {
      fd_ = archive->fd;
      at_ = at;
      left_ = std::min<std::uint64_t>(compressed, archive->size - at);
    }
  }

  // The next run of compressed bytes: false at the end of the entry's data
  // (or when the archive cannot be read further: the entry comes out
  // short). The run before must have been used up.
  bool next(const unsigned char** data, std::size_t* len) {
    if (left_ == 0) return false;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left_, buf_->size()));
    ssize_t got;
    do {
      got = pread(fd_, buf_->data(), want, static_cast<off_t>(at_));
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
      left_ = 0;
      return false;
    }
    *data = buf_->data();
    *len = static_cast<std::size_t>(got);
    at_ += static_cast<std::uint64_t>(got);
    left_ -= static_cast<std::uint64_t>(got);
    return true;
  }

 private:
  std::vector<unsigned char>* buf_;
  int fd_ = -1;
  std::uint64_t at_ = 0;
  std::uint64_t left_ = 0;
};

// Turns a zip entry's raw data into its bytes (stored or deflated), at most
// the entry's size of them.
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
    rest_ -= done;
    if (failed_ && done == 0) return -1;
    return static_cast<long>(done);
  }


 private:
  z_stream z_{};
  bool ready_ = false;
  RawEntryData* in_ = nullptr;
  int method_ = 0;
  std::uint64_t rest_ = 0;
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

// The signature of one unpacked file's bytes, taken as they go by.
struct ByteSums {
  MD5_CTX md5;

  ByteSums() { MD5Init(&md5); }
  void add(const char* data, std::size_t n) {
    MD5UpdateWide(&md5, reinterpret_cast<const unsigned char*>(data), static_cast<std::int64_t>(n));
  }
};

// One unpacked file on its way from the archive to its place. The
// unpacking fills in what it knows of the file, starts it, and hands its
// pieces, then its end, to the unpacking's PieceWriter, which takes the
// signature, writes the pieces into a temporary file beside the target,
// finishes that file after the end, and puts it in place (or removes it)
// once every file started before it is in place.
struct UnpackedFile {
  // Set by the unpacking before the file is started:
  std::string target;  // empty: the bytes are only hashed, the caller writes them
  bool sum = false;    // take the signature of the bytes
  bool crc = false;    // compare the bytes' CRC-32 with want_crc
  std::uint32_t want_crc = 0;
  bool refused_early = false;  // refused before any byte is read: no file is made
  unsigned long external_fa = 0;  // zip attributes: when not 0, the mode and times are set
  tm_unz date{};
  // The unpacking's own:
  std::int64_t declared = -1;  // the size the archive gives, when that alone refused the file
  bool any_piece = false;      // a piece was handed over
  // Set by the unpacking before the end is handed over: its own failure
  // (damaged data, a wrong size), 0 when none, and where it was.
  int refused = 0;
  int refused_step = 0;

  // The writer's:
  std::uint64_t seq = 0;    // files are put in place in this order
  ByteSums sums;
  std::int64_t summed = 0;  // bytes hashed
  uLong found_crc = 0;      // CRC-32 of the bytes taken (with crc)
  std::string md5;          // their signature in hexadecimal, once finished (with sum)
  PendingFile out;
  bool named_ahead = false;  // the namer makes the temporary file
  bool named = false;        // making it was tried (under the writer's lock when named ahead)
  int name_err = 0;          // making it failed
  // The file's failure, 0 when none, and its step. What fails in writing
  // it counts first: the unpacking goes on only as far as the pieces it
  // handed over, so it found nothing wrong before them. Then what the
  // unpacking found, then the CRC-32, then the signature, then what fails
  // in finishing it and putting it in place.
  int err = 0;
  int step = 0;
  std::atomic<bool> failed{false};  // err is set: no more pieces are wanted
  bool finished = false;            // written and closed (under the writer's lock)
  bool done = false;                // put in place, failed or kept out (under the writer's lock)
};

// Takes the pieces of the files of one unpacking: takes their signatures,
// writes them, finishes each file after its end and puts the files in
// place in the order they were started. With helper threads it does this
// while the unpacking inflates: the pieces lie in a ring of buffers owned
// by the writer; the unpacking starts a file with start(), fills piece(),
// hands it over with add() and the file's end with end(), and waits only
// when the helper falls kPieces pieces behind, or for a file with wait().
// Once a file is started while one before it is not yet in place, a
// second helper, the namer, makes the temporary files of the files started
// from then on and puts the files in place: making a file in a folder and
// renaming one there take the folder's lock one at a time, and making a
// file costs as much as writing and hashing a small one, so the two go
// side by side. Without helpers every piece and end is taken at once, on
// the caller's thread. A file is put in place only once every file before
// it is; once a file fails, the files after it are kept out (their
// temporary files, if any, are removed) and nothing more is written for
// them.
class PieceWriter {
 public:
  static constexpr std::size_t kPiece = 64 * 1024;
  static constexpr std::size_t kPieces = 8;
  static constexpr std::uint64_t kItems = 32;  // pieces and ends waiting
  static constexpr std::uint64_t kWakeAfter = 4;

  // helpers: work on helper threads (started as they are needed; where the
  // system cannot start one, the work goes on without it).
  // want_md5: the signature that every hashed file must have, empty when
  // none is compared.
  PieceWriter(bool helpers, std::string want_md5)
      : helpers_(helpers), ring_(helpers ? kPiece * kPieces : kPiece), want_md5_(std::move(want_md5)) {}
  // Everything handed over is taken first, and the files finished then
  // are put in place.
  ~PieceWriter() {
    stop(writer_, wake_writer_, writer_quits_);
    stop(namer_, wake_namer_, namer_quits_);
  }
  PieceWriter(const PieceWriter&) = delete;
  PieceWriter& operator=(const PieceWriter&) = delete;

  // Starts f, after its target, sum, refused_early, external_fa and date.
  void start(UnpackedFile* f) {
    std::unique_lock<std::mutex> hold(lock_);
    f->seq = next_seq_++;
    const bool behind = !order_.empty();
    order_.push_back(f);
    if (!helpers_) return;
    if (!writer_.joinable() && !start_helper(&writer_, &PieceWriter::run_writer, "writer")) {
      // Nothing was handed over yet: everything is taken on this thread.
      helpers_ = false;
      return;
    }
    if (f->target.empty() || f->refused_early) return;
    // Without a namer the writer makes the files and puts them in place.
    if (!namer_.joinable() && behind && namer_may_start_)
      namer_may_start_ = start_helper(&namer_, &PieceWriter::run_namer, "naming");
    if (!namer_.joinable()) return;
    f->named_ahead = true;
    to_name_.push_back(f);
    const bool wake = namer_waits_;
    hold.unlock();
    if (wake) wake_namer_.notify_one();
  }

  // The buffer (kPiece bytes) for the next piece; waits until it is free.
  char* piece() {
    if (!helpers_) return ring_.data();
    std::unique_lock<std::mutex> hold(lock_);
    wait_caller(hold, [this] { return pieces_in_ - pieces_out_ < kPieces && waiting() < kItems; });
    return slot(pieces_in_);
  }

  // Hands over the first n bytes of piece() as f's next piece; write:
  // write them too (else they are only hashed). A waiting writer is woken
  // for a file's first piece, so that a small file is written while the
  // next is inflated, and else only once kWakeAfter pieces or ends wait: a
  // wake-up costs the unpacking more than the helper needs to catch up.
  void add(UnpackedFile* f, std::size_t n, bool write) {
    const bool first = !f->any_piece;
    f->any_piece = true;
    if (!helpers_) {
      take_piece(f, ring_.data(), n, write);
      return;
    }
    hand_over({f, n, write ? Item::kWrite : Item::kHash}, first);
  }

  // Hands over f's end, after its last piece and its refused and
  // refused_step.
  void end(UnpackedFile* f) {
    if (!helpers_) {
      take_end(f);
      std::unique_lock<std::mutex> hold(lock_);
      finished(f, hold);
      return;
    }
    {
      std::unique_lock<std::mutex> hold(lock_);
      wait_caller(hold, [this] { return waiting() < kItems; });
    }
    hand_over({f, 0, Item::kEnd}, false);
  }

  // True once f is in place, failed or kept out: its err, step and md5 are
  // then final.
  bool done(UnpackedFile* f) {
    std::lock_guard<std::mutex> hold(lock_);
    return f->done;
  }

  // Waits until f is done; its end must have been handed over.
  void wait(UnpackedFile* f) {
    std::unique_lock<std::mutex> hold(lock_);
    wait_caller(hold, [f] { return f->done; });
  }

  // True when the pieces of f that are still to come would not be written:
  // f or a file before it failed.
  bool failed(const UnpackedFile* f) const { return f->failed.load(std::memory_order_relaxed) || kept_out(f); }

 private:
  struct Item {
    enum Kind : unsigned char { kWrite, kHash, kEnd };
    UnpackedFile* file;
    std::size_t len;
    Kind kind;
  };

  char* slot(std::uint64_t n) { return ring_.data() + (n % kPieces) * kPiece; }
  std::uint64_t waiting() const { return items_in_ - items_out_; }

  // Starts a helper running run; false (logged) when the system cannot
  // make another thread.
  bool start_helper(std::thread* helper, void (PieceWriter::*run)(), const char* what) {
    try {
      *helper = std::thread(run, this);
      return true;
    } catch (const std::system_error& e) {
      xer << "Unpacking goes on without its " << what << " thread, which could not be started: " << e.what()
          << ".\n";
      return false;
    }
  }

  // Ends a helper once it has done all it has.
  void stop(std::thread& helper, std::condition_variable& wake, bool& quits) {
    if (!helper.joinable()) return;
    {
      std::lock_guard<std::mutex> hold(lock_);
      quits = true;
    }
    wake.notify_one();
    helper.join();
  }

  void hand_over(const Item& item, bool wake_now) {
    std::unique_lock<std::mutex> hold(lock_);
    items_[items_in_ % kItems] = item;
    ++items_in_;
    if (item.kind != Item::kEnd) ++pieces_in_;
    const bool wake = writer_waits_ && (wake_now || waiting() >= kWakeAfter);
    hold.unlock();
    if (wake) wake_writer_.notify_one();
  }

  // Waits until ready(), waking a helper that has work first.
  template <typename Ready>
  void wait_caller(std::unique_lock<std::mutex>& hold, Ready ready) {
    if (ready()) return;
    if (writer_waits_ && waiting() > 0) wake_writer_.notify_one();
    caller_waits_ = true;
    wake_caller_.wait(hold, ready);
    caller_waits_ = false;
  }

  void run_writer() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
      if (waiting() == 0) {
        if (writer_quits_) return;
        writer_waits_ = true;
        wake_writer_.wait(hold, [this] { return waiting() != 0 || writer_quits_; });
        writer_waits_ = false;
        continue;
      }
      const Item item = items_[items_out_ % kItems];
      const char* data = slot(pieces_out_);
      hold.unlock();
      if (item.kind == Item::kEnd) {
        take_end(item.file);
      } else {
        take_piece(item.file, data, item.len, item.kind == Item::kWrite);
      }
      hold.lock();
      ++items_out_;
      if (item.kind == Item::kEnd) {
        finished(item.file, hold);
      } else {
        ++pieces_out_;
      }
      if (caller_waits_) wake_caller_.notify_one();
    }
  }

  // Puts the finished files in place, in their order, and makes the
  // temporary files of the files named ahead. A rename costs little beside
  // making a file, so the files are placed as they are finished.
  void run_namer() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
      if (!placing_ && !order_.empty() && order_.front()->finished) {
        // (unless the writer is still placing those it finished before
        // there was a namer)
        place_finished(hold);
      } else if (!to_name_.empty()) {
        UnpackedFile* f = to_name_.front();
        to_name_.pop_front();
        // A file that failed, is kept out or is already done gets none: the
        // writer, should it still ask, finds the making cancelled, which
        // never comes before the failure that caused it.
        const bool wanted = !f->failed.load(std::memory_order_relaxed) && !kept_out(f) && !f->done;
        hold.unlock();
        f->name_err = wanted ? f->out.create(f->target) : ECANCELED;
        hold.lock();
        f->named = true;
        if (writer_waits_for_ == f) wake_writer_.notify_one();
      } else if (namer_quits_) {
        return;
      } else {
        namer_waits_ = true;
        wake_namer_.wait(hold);
        namer_waits_ = false;
      }
    }
  }

  // True when a file started before f failed.
  bool kept_out(const UnpackedFile* f) const { return f->seq > first_failed_.load(std::memory_order_relaxed); }

  void fail(UnpackedFile* f, int step, int err) {
    f->err = err;
    f->step = step;
    f->failed.store(true, std::memory_order_relaxed);
    std::uint64_t seq = first_failed_.load(std::memory_order_relaxed);
    while (f->seq < seq && !first_failed_.compare_exchange_weak(seq, f->seq, std::memory_order_relaxed)) {
    }
  }

  // Makes f's temporary file, or waits until the namer has tried. False
  // when that failed.
  bool create(UnpackedFile* f) {
    if (f->named_ahead) {
      std::unique_lock<std::mutex> hold(lock_);
      if (!f->named) {
        writer_waits_for_ = f;
        wake_writer_.wait(hold, [f] { return f->named; });
        writer_waits_for_ = nullptr;
      }
    } else if (!f->named) {
      f->named = true;
      f->name_err = f->out.create(f->target);
    }
    if (f->name_err) {
      if (!f->err) fail(f, 11, f->name_err);
      return false;
    }
    return true;
  }

  // A piece is hashed before it is written, so that what was hashed is
  // what was read when writing it fails.
  void take_piece(UnpackedFile* f, const char* data, std::size_t n, bool write) {
    if (f->err || kept_out(f)) return;
    if (f->crc) f->found_crc = crc32_z(f->found_crc, reinterpret_cast<const Bytef*>(data), n);
    if (f->sum) {
      f->sums.add(data, n);
      f->summed += static_cast<std::int64_t>(n);
    }
    if (!write || f->target.empty() || !create(f) || n == 0) return;
    if (const int err = f->out.write(data, n)) fail(f, 13, err);
  }

  // Finishes f: its mode and times are set after its last write (which
  // would change them), it is closed, and its signature compared.
  void take_end(UnpackedFile* f) {
    if (kept_out(f)) return;
    if (!f->err && f->refused) fail(f, f->refused_step, f->refused);
    const bool placed = !f->target.empty();
    if (!f->err && placed) create(f);  // a file of no bytes
    int mode_err = 0;
    int close_err = 0;
    if (!f->err && placed) {
      if (f->external_fa != 0) {
        // The upper half holds the Unix mode; MS-DOS tools leave it 0, and
        // the file then keeps the mode its creation gave it, as it does
        // when the permission bits are all 0 (a file nobody could read). A
        // file system without permission bits does not make the entry fail.
        const unsigned long mode = (f->external_fa >> 16) & 0777;
        if (mode != 0) fchmod(f->out.fd(), static_cast<mode_t>(mode));
        if (set_entry_time(f->out.fd(), f->date) != 0) mode_err = -1;
      }
      if (!mode_err) close_err = f->out.close_checked();
    }
    if (!f->err && f->crc && f->found_crc != f->want_crc) fail(f, 15, UNZ_CRCERROR);
    if (f->sum) {
      MD5Final(&f->sums.md5);
      static const char kHex[] = "0123456789abcdef";
      f->md5.assign(32, '0');
      for (int i = 0; i < 16; ++i) {
        f->md5[2 * i] = kHex[f->sums.md5.digest[i] >> 4];
        f->md5[2 * i + 1] = kHex[f->sums.md5.digest[i] & 15];
      }
      if (!f->err && !want_md5_.empty() && f->md5 != want_md5_) fail(f, 26, err_wrong_signature);
    }
    if (!f->err && mode_err) fail(f, 16, mode_err);
    if (!f->err && close_err) fail(f, 17, close_err);
  }

  // Marks f finished. The files that are finished, from the first one not
  // yet done on, are put in place by the namer once there is one, else
  // here. hold is held on entry and on return.
  void finished(UnpackedFile* f, std::unique_lock<std::mutex>& hold) {
    f->finished = true;
    if (!namer_.joinable()) {
      place_finished(hold);
    } else if (namer_waits_ && order_.front()->finished) {
      wake_namer_.notify_one();
    }
  }

  // Puts the finished files at the front of the order in place (or removes
  // them), unless another thread is at it. hold is held on entry and on
  // return.
  void place_finished(std::unique_lock<std::mutex>& hold) {
    if (placing_) return;
    placing_ = true;
    while (!order_.empty() && order_.front()->finished) {
      UnpackedFile* f = order_.front();
      order_.pop_front();
      hold.unlock();
      if (!f->err && !kept_out(f) && !f->target.empty()) {
        if (const int err = f->out.rename_over()) fail(f, 18, err);
      }
      f->out.discard();  // a file that failed or was kept out
      hold.lock();
      f->done = true;
    }
    placing_ = false;
    if (caller_waits_) wake_caller_.notify_one();
  }

  bool helpers_;  // cleared, on the caller's thread, when the writer cannot start
  bool namer_may_start_ = true;  // false once the namer could not start
  std::vector<char> ring_;
  const std::string want_md5_;
  std::mutex lock_;
  std::condition_variable wake_writer_;
  std::condition_variable wake_namer_;
  std::condition_variable wake_caller_;
  Item items_[kItems] = {};
  std::uint64_t items_in_ = 0;    // pieces and ends handed over
  std::uint64_t items_out_ = 0;   // pieces and ends taken
  std::uint64_t pieces_in_ = 0;   // pieces handed over
  std::uint64_t pieces_out_ = 0;  // pieces taken
  std::deque<UnpackedFile*> order_;    // started and not yet done, in their order
  std::deque<UnpackedFile*> to_name_;  // named ahead, their temporary file not yet made
  UnpackedFile* writer_waits_for_ = nullptr;  // the file whose temporary file the writer waits for
  std::uint64_t next_seq_ = 0;
  std::atomic<std::uint64_t> first_failed_{UINT64_MAX};  // seq of the first file known to fail
  bool placing_ = false;  // a thread puts files in place
  bool writer_waits_ = false;
  bool namer_waits_ = false;
  bool caller_waits_ = false;
  bool writer_quits_ = false;
  bool namer_quits_ = false;
  std::thread writer_;
  std::thread namer_;
};

// The writer of one unpacking, made for its first file; checked files are
// hashed and written on its helper threads.
class LazyWriter {
 public:
  PieceWriter* get(const unpack_check* check) {
    if (!writer_) writer_.reset(new PieceWriter(check != nullptr, check ? check->want_md5 : std::string()));
    return writer_.get();
  }

 private:
  std::unique_ptr<PieceWriter> writer_;
};

// Puts what was found of f into the check, when there is one.
void record_found(unpack_check* check, const UnpackedFile& f) {
  if (!check) return;
  check->found_md5 = f.md5;
  check->found_bytes = f.declared >= 0 ? f.declared : f.summed;
}

// Follows one file of a 7z archive for an unpack_check: counts its bytes,
// tells when there are too many, and has their signature taken by the
// unpacking's writer as they go by; the caller writes the file. What it
// found goes into the check when it records it. Without a check the bytes
// go through the caller's own buffer and nothing is taken.
class EntryChecker {
 public:
  static constexpr std::size_t kPiece = PieceWriter::kPiece;

  // writer: the unpacking's writer, needed when check is not null.
  EntryChecker(unpack_check* check, PieceWriter* writer) : check_(check), writer_(check ? writer : nullptr) {
    file_.sum = true;
    if (writer_) writer_->start(&file_);
  }
  ~EntryChecker() { close(-1); }  // no piece may outlive its file
  EntryChecker(const EntryChecker&) = delete;
  EntryChecker& operator=(const EntryChecker&) = delete;

  // Where to read the next piece of at most kPiece bytes; own: a buffer of
  // kPiece bytes used when nothing is hashed.
  char* buffer(char* own) { return writer_ ? writer_->piece() : own; }

  // Takes the next n bytes, read into buffer(). err_too_large once more
  // bytes came than the file may have (the bytes beyond are not taken),
  // else 0.
  int add(std::size_t n) {
    if (!check_) return 0;
    std::int64_t take = static_cast<std::int64_t>(n);
    int err = 0;
    if (check_->max_bytes >= 0 && taken_ + take > check_->max_bytes) {
      take = check_->max_bytes - taken_;
      err = err_too_large;
    }
    writer_->add(&file_, static_cast<std::size_t>(take), false);
    taken_ += take;
    return err;
  }

  // The file's size as its archive gives it, when that alone refuses it.
  void set_found(std::int64_t bytes) { file_.declared = bytes; }

  // After the last byte: records the signature and compares it with the
  // wanted one. err_wrong_signature when they differ, else 0.
  int finish() {
    if (!check_) return 0;
    close(0);
    record();
    return file_.err == err_wrong_signature ? err_wrong_signature : 0;
  }

  // Records the size and the signature of what was taken so far in the
  // check (also after a failure).
  void record() {
    if (!check_) return;
    close(-1);
    record_found(check_, file_);
  }

 private:
  // Hands over the file's end (refused: a failure found before it, which
  // leaves the signature uncompared) and waits until it is taken.
  void close(int refused) {
    if (!writer_ || closed_) return;
    closed_ = true;
    file_.refused = refused;
    writer_->end(&file_);
    writer_->wait(&file_);
  }

  unpack_check* check_;
  PieceWriter* writer_;
  UnpackedFile file_;
  std::int64_t taken_ = 0;
  bool closed_ = false;
};

void log_zip_failure(int err, const std::string& target) {
  xer << "Zip to file failed with error " << err << ". file = " << err_file() << " line = " << sErrLine.load()
      << ". inFile=" << target << ".\n";
}

// What one unpacking of a zip archive works with: the archive's file,
// the inflater and its input buffer, the check of its files, the writer of
// its files and the files handed to the writer whose outcome was not taken
// yet, in their order.
struct ZipUnpacking {
  ZipArchiveFile* archive = nullptr;
  unpack_check* check = nullptr;
  std::unique_ptr<EntryInflater> inflater{new EntryInflater};
  std::vector<unsigned char> raw = std::vector<unsigned char>(256 * 1024);  // compressed bytes as read
  std::deque<std::unique_ptr<UnpackedFile>> handed;  // outlives the writer, which takes them to the end
  LazyWriter writer;

  // Takes the outcome of the files handed over, in their order, and with
  // wait set waits for all of them. 0, or the first failure (logged); the
  // files after a failure were kept out.
  int settle(bool wait = true) {
    while (!handed.empty()) {
      PieceWriter* w = writer.get(check);
      UnpackedFile* f = handed.front().get();
      if (!w->done(f)) {
        if (!wait) return 0;
        w->wait(f);
      }
      record_found(check, *f);
      const int err = f->err;
      if (err) {
        fail_at(f->step, err);
        log_zip_failure(err, f->target);
        return err;
      }
      handed.pop_front();
    }
    return 0;
  }
};

// Unpacks the zip's current entry into target through a temporary file
// that replaces target only once the entry was read in full, its CRC-32
// found right and, with a check, its size and signature found right. The
// entry is inflated here and handed to the unpacking's writer piece by
// piece; with a check the writer writes and finishes it on its helper
// threads while the next entries are inflated. The result is the first
// failure of the files handed over so far that is known (all of them are
// waited for when this entry failed), so a file's failure keeps the files
// after it out.
int unzip_file(unzFile uf, const std::string& target, const unz_file_info64& info, ZipUnpacking& z) {
  unpack_check* const check = z.check;
  PieceWriter* const w = z.writer.get(check);
  z.handed.emplace_back(new UnpackedFile);
  UnpackedFile* const f = z.handed.back().get();
  f->target = target;
  f->sum = check != nullptr;
  f->crc = true;
  f->want_crc = static_cast<std::uint32_t>(info.crc);
  f->external_fa = info.external_fa;
  f->date = info.tmu_date;

  int err = 0;
  int step = 0;
  int method = 0;
  int level = 0;
  bool opened = false;
  if (check && check->max_bytes >= 0 && info.uncompressed_size > static_cast<std::uint64_t>(check->max_bytes)) {
    // The entry says so itself: nothing needs to be read or written.
    f->declared = static_cast<std::int64_t>(info.uncompressed_size);
    err = err_too_large;
    step = 19;
  } else if ((err = unzOpenCurrentFile2(uf, &method, &level, 1)) != UNZ_OK) {
    step = 10;
  } else {
    opened = true;
    // Data said to start at or run past the end of the archive is damaged,
    // even when the bytes that are there inflate to a whole entry.
    const std::uint64_t at = unzGetCurrentFileZStreamPos64(uf);
    const std::uint64_t size = z.archive ? z.archive->size : 0;
    if (method != 0 && method != Z_DEFLATED) {
      err = UNZ_BADZIPFILE;
      step = 10;
    } else if (at >= size || info.compressed_size > size - at) {
      err = UNZ_BADZIPFILE;
      step = 27;
    }
  }
  f->refused_early = err != 0;
  w->start(f);

  // The entry's raw data is inflated here (the zip library only finds
  // where the data lies); the writer takes its CRC-32. The first piece is
  // handed over even when empty: it makes the file.
  RawEntryData raw(uf, z.archive, info.compressed_size, &z.raw);
  std::uint64_t total = 0;
  if (!err) {
    z.inflater->start(&raw, method, info.uncompressed_size);
    for (bool first = true; !w->failed(f); first = false) {
      char* piece = w->piece();
      const long n = z.inflater->read(piece, PieceWriter::kPiece);
      if (n == 0 && !first) break;
      if (n < 0 || (total += static_cast<unsigned long>(n)) > info.uncompressed_size) {
        err = err_zip_read;
        step = 12;
        break;
      }
      std::size_t take = static_cast<std::size_t>(n);
      if (check && check->max_bytes >= 0 && total > static_cast<std::uint64_t>(check->max_bytes)) {
        take -= static_cast<std::size_t>(total - static_cast<std::uint64_t>(check->max_bytes));
        err = err_too_large;  // the bytes beyond are neither taken nor written
        step = 19;
      }
      w->add(f, take, !err);
      if (err || n == 0) break;
    }
  }
  if (opened) {
    if (!err && total != info.uncompressed_size) {
      err = err_zip_read;
      step = 14;
    }
    const int closed = unzCloseCurrentFile(uf);
    if (!err && closed != UNZ_OK) {
      err = closed;
      step = 15;
    }
  }
  f->refused = err;
  f->refused_step = step;
  w->end(f);
  return z.settle(err != 0);
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
                  PieceWriter* writer, unpack_check* check) {
  EntryChecker checker(check, writer);
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
  z.check = check;
  unzFile uf = open_zip(archive, &z.archive);
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
  // With use_name the given name goes to the first entry that is not
  // skipped, so a "__MACOSX" entry in front does not take it.
  const std::string given = use_name && name ? *name : std::string();
  bool name_given_out = !(use_name && name);
  for (bool first = true;; first = false) {
    unz_file_info64 info;
    std::string entry;
    int err = read_zip_entry(uf, &info, &entry);
    if (err != UNZ_OK) {
      // The files handed to the writer come first.
      if (const int before = z.settle()) return abandon(before);
      fail_at(2, err);
      xer << "unzGetCurrentFileInfo err != UNZ_OK! err=" << err << "\n";
      code = err;
      break;
    }
    const bool skipped = entry.compare(0, 8, "__MACOSX") == 0;
    const bool renamed = !name_given_out && !skipped;
    if (renamed) name_given_out = true;
    const std::string rel = renamed ? given : entry;
    const std::string target = out_dir + rel;
    if (first && name) *name = entry;

    int result = 0;
    const bool folder = !entry.empty() && entry.back() == '/';
    const bool plain = !folder && ((info.external_fa >> 16) & 0xA000) != 0xA000;
    // The files handed to the writer are in place before any other kind
    // of entry is handled (or refused); a plain file goes on without
    // waiting for them.
    if (!(plain && guard.allows(rel))) result = z.settle();
    if (result != 0) {
      // the file before failed: nothing of this entry is done
    } else if (skipped) {
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
      result = unzip_file(uf, target, info, z);
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
  LazyWriter writer;
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
    code = write_7z_file(a, e, target, buf.data(), check ? writer.get(check) : nullptr, check);
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
