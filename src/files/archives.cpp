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
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
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

constexpr std::int64_t kChunk = 1 << 20;            // a packed file goes to the zip library in such pieces
constexpr std::size_t kReadBuffer = 256 * 1024;      // read buffer of the 7z reader's input
constexpr std::uint64_t kMaxLinkText = PATH_MAX - 1;  // the longest text a symbolic link can hold

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

// Unpacked bytes go through the thread's ring of two pieces (unzip_file);
// compressed ones are read in runs, a zip's catalogue from a block.
constexpr std::size_t kPiece = 256 * 1024;
constexpr std::size_t kRing = 2 * kPiece;
constexpr std::size_t kRawRun = 256 * 1024;
constexpr std::size_t kBlock = 64 * 1024;

// What an unpacking thread keeps for its next archives: its buffers, made
// once and never zero-filled, and which archive's bytes its block holds.
struct ThreadBuffers {
  std::unique_ptr<char[]> ring{new char[kRing]};
  std::unique_ptr<unsigned char[]> raw{new unsigned char[kRawRun]};
  std::unique_ptr<unsigned char[]> block{new unsigned char[kBlock]};
  const void* block_owner = nullptr;
};

ThreadBuffers& thread_buffers() {
  thread_local ThreadBuffers buffers;
  return buffers;
}

// A zip archive opened for the zip library, on one thread. Its reads (of
// a few bytes at a time) are served from the thread's block, read ahead to
// end no later than the file, where the catalogue lies: a small archive is
// read whole at once, its entry's data then taken from there too.
struct ZipArchiveFile {
  int fd = -1;
  std::uint64_t size = 0;
  std::uint64_t pos = 0;
  std::uint64_t block_at = 0;  // where the block lies in the file
  std::size_t block_len = 0;   // bytes in the block
  ThreadBuffers* thread = &thread_buffers();

  // The block's bytes at [at, at + n) of the file, or null when the block
  // does not hold them all.
  const unsigned char* in_block(std::uint64_t at, std::uint64_t n) const {
    if (thread->block_owner != this || at < block_at || at - block_at > block_len ||
        n > block_len - (at - block_at))
      return nullptr;
    return thread->block.get() + (at - block_at);
  }

  // Reads the block that holds position at (below size). False when that
  // fails.
  bool load_block(std::uint64_t at) {
    block_at = std::min<std::uint64_t>(at, size - std::min<std::uint64_t>(size, kBlock));
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, size - block_at));
    thread->block_owner = this;
    ssize_t got;
    do {
      got = pread(fd, thread->block.get(), want, static_cast<off_t>(block_at));
    } while (got < 0 && errno == EINTR);
    block_len = got > 0 ? static_cast<std::size_t>(got) : 0;
    return block_len > at - block_at;
  }
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
  if (opaque) *static_cast<ZipArchiveFile**>(opaque) = f;
  return f;
}

uLong ZCALLBACK archive_read(voidpf, voidpf stream, void* buf, uLong size) {
  auto* f = static_cast<ZipArchiveFile*>(stream);
  auto* out = static_cast<unsigned char*>(buf);
  std::size_t done = 0;
  while (done < size && f->pos < f->size) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, f->size - f->pos));
    if (f->in_block(f->pos, 1)) {
      const std::size_t n = std::min<std::size_t>(want, static_cast<std::size_t>(f->block_at + f->block_len - f->pos));
      std::memcpy(out + done, f->in_block(f->pos, n), n);
      done += n;
      f->pos += n;
    } else if (!f->load_block(f->pos)) {
      break;
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
  if (f->thread->block_owner == f) f->thread->block_owner = nullptr;
  delete f;
  if (opaque) *static_cast<ZipArchiveFile**>(opaque) = nullptr;
  return 0;
}

int ZCALLBACK archive_error(voidpf, voidpf) { return 0; }

// Opens path for the zip library through a ZipArchiveFile, which *archive
// (when archive is not null) then names until unzClose. Null when the file
// cannot be opened.
unzFile open_zip(const std::string& path, ZipArchiveFile** archive) {
  zlib_filefunc64_def io = {archive_open, archive_read,  archive_write, archive_tell,
                            archive_seek, archive_close, archive_error, archive};
  return unzOpen2_64(path.c_str(), &io);
}

// Turns the raw data of the zip's current entry (stored or deflated) into
// its bytes, at most the entry's size of them. One per thread, kept for its
// next entries.
class EntryInflater {
 public:
  EntryInflater() { ready_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK; }
  ~EntryInflater() { if (ready_) inflateEnd(&z_); }
  // Starts the current entry of archive; method 0 stored, 8 deflated.
  void start(unzFile uf, const ZipArchiveFile* archive, const unz_file_info64& info, int method) {
    archive_ = archive;
    method_ = method;
    rest_ = info.uncompressed_size;
    at_ = unzGetCurrentFileZStreamPos64(uf);
    // Entries whose data would lie beyond the end of the file are refused
    // before they are read; the cut here only keeps reads inside the file.
    left_ = archive && at_ < archive->size ? std::min<std::uint64_t>(info.compressed_size, archive->size - at_) : 0;
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
      if (z_.avail_in == 0 && !input_ended_) input_ended_ = !next_input();
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
  // Gives the inflater the next run of compressed bytes: from the block
  // when they lie there, else read into the thread's buffer. False at the
  // end of the entry's data (or when the archive cannot be read further:
  // the entry comes out short).
  bool next_input() {
    if (left_ == 0) return false;
    const unsigned char* data = archive_->in_block(at_, left_);
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left_, kRawRun));
    if (data) {
      n = static_cast<std::size_t>(left_);
    } else {
      ssize_t got;
      do {
        got = pread(archive_->fd, archive_->thread->raw.get(), n, static_cast<off_t>(at_));
      } while (got < 0 && errno == EINTR);
      if (got <= 0) {
        left_ = 0;
        return false;
      }
      data = archive_->thread->raw.get();
      n = static_cast<std::size_t>(got);
    }
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = static_cast<uInt>(n);
    at_ += n;
    left_ -= n;
    return true;
  }

  z_stream z_{};
  bool ready_ = false;
  const ZipArchiveFile* archive_ = nullptr;
  std::uint64_t at_ = 0;    // where the compressed bytes not yet read lie
  std::uint64_t left_ = 0;  // how many there are
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
  long depth = 0;  // of the link's folder below the output folder
  for (std::size_t at = 0, next; (next = rel.find('/', at)) != std::string::npos; at = next + 1)
    if (next > at && !(next - at == 1 && rel[at] == '.')) ++depth;
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

// One zip entry on its way to its target: its pieces are taken one at a
// time, hashed (CRC-32, and the signature with a check) and then written
// (so that what was hashed is what was read when writing fails) into a
// temporary file beside the target, made with the first piece.
struct EntryOut {
  std::string target;
  bool sum = false;  // take the signature
  uLong crc = 0;
  MD5_CTX md5;
  std::int64_t summed = 0;  // bytes hashed
  PendingFile out;
  bool made = false;  // making the temporary file was tried
  int err = 0;        // the first failure in making or writing the file, and its step
  int step = 0;

  EntryOut() { MD5Init(&md5); }

  void take(const char* data, std::size_t n, bool write) {
    if (err) return;
    crc = crc32_z(crc, reinterpret_cast<const Bytef*>(data), n);
    if (sum) {
      MD5UpdateWide(&md5, reinterpret_cast<const unsigned char*>(data), static_cast<std::int64_t>(n));
      summed += static_cast<std::int64_t>(n);
    }
    if (!write) return;
    if (!made) {
      made = true;
      if ((err = out.create(target)) != 0) step = 11;
    }
    if (!err && n > 0 && (err = out.write(data, n)) != 0) step = 13;
  }
};

// Takes the pieces of one large entry on a helper thread, the writer, while
// the caller inflates the next piece into the other half of the ring. One
// piece is in hand at a time: hand() and wait() wait until it is taken.
// Where the system cannot start the thread (logged), ok() is false.
class EntryWriter {
 public:
  explicit EntryWriter(EntryOut* e) : e_(e) {
    try {
      thread_ = std::thread(&EntryWriter::run, this);
    } catch (const std::system_error& x) {
      xer << "Unpacking goes on without its writer thread, which could not be started: " << x.what() << ".\n";
    }
  }
  ~EntryWriter() {
    if (!ok()) return;
    hand(nullptr, 0, false);  // what was handed over is taken first
    thread_.join();
  }
  bool ok() const { return thread_.joinable(); }

  // Hands over n bytes at data (write: write them too); null data ends the
  // thread.
  void hand(const char* data, std::size_t n, bool write) {
    wait();
    std::lock_guard<std::mutex> hold(lock_);
    data_ = data;
    len_ = n;
    write_ = write;
    busy_ = true;
    changed_.notify_all();
  }

  void wait() {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return !busy_; });
  }

 private:
  void run() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
      changed_.wait(hold, [this] { return busy_; });
      if (!data_) return;
      hold.unlock();
      e_->take(data_, len_, write_);
      hold.lock();
      busy_ = false;
      changed_.notify_all();
    }
  }

  EntryOut* e_;
  std::mutex lock_;
  std::condition_variable changed_;
  const char* data_ = nullptr;
  std::size_t len_ = 0;
  bool write_ = false;
  bool busy_ = false;
  std::thread thread_;
};

// Unpacks the zip's current entry into target through a temporary file
// that replaces target only once the entry was read in full, its CRC-32
// found right and, with a check, its size and signature found right (what
// was found goes into the check). Of its failures, what fails in writing
// counts first (the inflating stops there), then what the inflating found,
// then the CRC-32, the signature, the mode and times, closing, placing.
// An entry that fits the ring is inflated into it whole, then hashed and
// written in one piece on this thread.
int unzip_file(unzFile uf, const std::string& target, const unz_file_info64& info, const ZipArchiveFile* archive,
               unpack_check* check) {
  EntryOut e;
  e.target = target;
  e.sum = check != nullptr;
  std::int64_t declared = -1;  // the size the entry gives, when that alone refuses it
  int err = 0;
  int step = 0;
  auto failed = [&](int at, int code) {
    step = at;
    err = code;
  };
  int method = 0;
  int level = 0;
  bool opened = false;
  int r = UNZ_OK;
  if (check && check->max_bytes >= 0 && info.uncompressed_size > static_cast<std::uint64_t>(check->max_bytes)) {
    // The entry says so itself: nothing needs to be read or written.
    declared = static_cast<std::int64_t>(info.uncompressed_size);
    failed(19, err_too_large);
  } else if ((r = unzOpenCurrentFile2(uf, &method, &level, 1)) != UNZ_OK) {
    failed(10, r);
  } else {
    opened = true;
    // Data said to start at or run past the end of the archive is damaged,
    // even when the bytes that are there inflate to a whole entry.
    const std::uint64_t at = unzGetCurrentFileZStreamPos64(uf);
    const std::uint64_t size = archive ? archive->size : 0;
    if (method != 0 && method != Z_DEFLATED) {
      failed(10, UNZ_BADZIPFILE);
    } else if (at >= size || info.compressed_size > size - at) {
      failed(27, UNZ_BADZIPFILE);
    }
  }

  if (!err) {
    thread_local EntryInflater inflater;
    inflater.start(uf, archive, info, method);
    char* const ring = thread_buffers().ring.get();
    // A larger checked entry is taken half by half by the writer while the
    // next half is inflated.
    std::unique_ptr<EntryWriter> writer;
    if (check && info.uncompressed_size > kRing) writer.reset(new EntryWriter(&e));
    if (writer && !writer->ok()) writer.reset();
    // The first piece is taken even when empty: it makes the file.
    std::uint64_t total = 0;
    for (std::uint64_t piece = 0;; ++piece) {
      char* const into = writer ? ring + (piece & 1) * kPiece : ring;
      const long n = inflater.read(into, writer ? kPiece : kRing);
      if (n == 0 && piece > 0) break;
      if (n < 0 || (total += static_cast<unsigned long>(n)) > info.uncompressed_size) {
        failed(12, err_zip_read);
        break;
      }
      std::size_t take = static_cast<std::size_t>(n);
      if (check && check->max_bytes >= 0 && total > static_cast<std::uint64_t>(check->max_bytes)) {
        take -= static_cast<std::size_t>(total - static_cast<std::uint64_t>(check->max_bytes));
        failed(19, err_too_large);  // the bytes beyond are neither taken nor written
      }
      if (writer) writer->wait();  // the piece before is taken
      if (e.err) break;              // writing failed: nothing more is wanted
      if (writer) {
        writer->hand(into, take, !err);
      } else {
        e.take(into, take, !err);
      }
      if (err || n == 0 || (!writer && e.err)) break;
    }
    writer.reset();
    if (!err && !e.err && total != info.uncompressed_size) failed(14, err_zip_read);
  }
  if (opened) {
    const int closed = unzCloseCurrentFile(uf);
    if (!err && closed != UNZ_OK) failed(15, closed);
  }

  if (check) {
    MD5Final(&e.md5);
    check->found_md5 = MD5Text(e.md5);
    check->found_bytes = declared >= 0 ? declared : e.summed;
  }
  if (e.err) {
    failed(e.step, e.err);
  } else if (!err) {
    // Mode and times go after the last write. MS-DOS tools leave the Unix
    // mode (the upper half) 0: the file then keeps its creation mode, as
    // when the permission bits are 0. A file system without permission
    // bits does not make the entry fail.
    int mode_err = 0;
    if (info.external_fa != 0) {
      const unsigned long mode = (info.external_fa >> 16) & 0777;
      if (mode != 0) fchmod(e.out.fd(), static_cast<mode_t>(mode));
      if (set_entry_time(e.out.fd(), info.tmu_date) != 0) mode_err = -1;
    }
    const int close_err = mode_err ? 0 : e.out.close_checked();
    if (e.crc != static_cast<uLong>(static_cast<std::uint32_t>(info.crc))) {
      failed(15, UNZ_CRCERROR);
    } else if (check && !check->want_md5.empty() && check->found_md5 != check->want_md5) {
      failed(26, err_wrong_signature);
    } else if (mode_err || close_err) {
      failed(mode_err ? 16 : 17, mode_err ? mode_err : close_err);
    } else if ((r = e.out.rename_over()) != 0) {
      failed(18, r);
    }
  }
  if (err) {
    fail_at(step, err);
    xer << "Zip to file failed with error " << err << ". file = " << err_file() << " line = " << sErrLine.load()
        << ". inFile=" << target << ".\n";
  }
  return err;  // the temporary file, if any, goes with e
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
// signature were found right (what was found goes into the check). An
// existing target's permission bits are kept. The signature is taken here:
// the 7z decoder is far slower, so a thread of its own would gain little.
int write_7z_file(struct archive* a, struct archive_entry* e, const std::string& target, unpack_check* check) {
  MD5_CTX md5;
  MD5Init(&md5);
  std::int64_t taken = 0;  // bytes hashed
  auto record = [&](std::int64_t found) {
    if (!check) return 0;
    MD5Final(&md5);
    check->found_md5 = MD5Text(md5);
    check->found_bytes = found;
    return !check->want_md5.empty() && check->found_md5 != check->want_md5 ? err_wrong_signature : 0;
  };
  if (check && check->max_bytes >= 0 && archive_entry_size_is_set(e) &&
      archive_entry_size(e) > check->max_bytes) {
    record(archive_entry_size(e));
    return err_too_large;
  }
  PendingFile out;
  int err = out.create(target);
  if (err) return err;
  struct stat st;
  if (lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) fchmod(out.fd(), st.st_mode & 0777);

  char* const buf = thread_buffers().ring.get();
  std::int64_t total = 0;
  for (;;) {
    const ssize_t n = archive_read_data(a, buf, kRing);
    if (n == 0) break;
    if (n < 0) {  // damaged data, a bad CRC-32 (a warning) included
      err = err_zip_read;
      break;
    }
    total += n;
    if (check) {
      std::int64_t take = n;
      if (check->max_bytes >= 0 && taken + take > check->max_bytes) {
        take = check->max_bytes - taken;  // the bytes beyond are not taken
        err = err_too_large;
      }
      MD5UpdateWide(&md5, reinterpret_cast<const unsigned char*>(buf), take);
      taken += take;
      if (err) break;
    }
    if (out.write(buf, static_cast<std::size_t>(n)) != 0) {
      err = err_zip_write;
      break;
    }
  }
  if (!err && archive_entry_size_is_set(e) && total != archive_entry_size(e)) err = err_zip_read;
  // A wrong signature counts before a failed close.
  const int close_err = err ? 0 : out.close_checked();
  const int sig_err = record(taken);
  if (!err) err = sig_err;
  if (err) return err;
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

unzFile open_zip_for_reading(const std::string& path) { return open_zip(path, nullptr); }

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

  ZipArchiveFile* file = nullptr;
  unzFile uf = open_zip(archive, &file);
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
    if (skipped) {
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
      result = unzip_file(uf, target, info, file, check);
    }
    if (result != 0) return abandon(result);
    err = unzGoToNextFile(uf);
    if (err != UNZ_OK) {
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
    code = write_7z_file(a, e, target, check);
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
        if (localtime_r(&when, &t))
          zi.tmz_date = tm_zip{static_cast<uInt>(t.tm_sec),  static_cast<uInt>(t.tm_min),
                               static_cast<uInt>(t.tm_hour), static_cast<uInt>(t.tm_mday),
                               static_cast<uInt>(t.tm_mon),  static_cast<uInt>(t.tm_year + 1900)};
        zi.external_fa = static_cast<uLong>(st.st_mode) << 16;
      }
      const std::int64_t size = data.end - data.start;
      // Entries of 4 GiB and more need the 64-bit extension of the format.
      const int zip64 = size >= 0xffffffffLL ? 1 : 0;
      err = zipOpenNewFileInZip64(zf, entry.c_str(), &zi, nullptr, 0, nullptr, 0, nullptr,
                                  Z_DEFLATED, Z_DEFAULT_COMPRESSION, zip64);
      if (err != ZIP_OK) fail_at(32, err);
      for (std::int64_t at = 0; err == ZIP_OK && at < size;) {
        const std::int64_t piece = std::min<std::int64_t>(size - at, kChunk);
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
