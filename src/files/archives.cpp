#include "files/archives.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <limits.h>
#include <locale.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/stat.h>
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

// Entry data moves from the archive to disk in pieces of this size: large
// enough that per-call costs vanish, small enough that memory stays bounded
// whatever an entry's size.
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

// Takes the signature of a file's bytes on a thread of its own, piece by
// piece, while the caller inflates and writes the next piece: for a large
// file the signature then costs next to no time. One piece is in hand at a
// time; the caller must leave a piece's bytes alone until the next submit()
// or finish() has returned.
class BackgroundHasher {
 public:
  explicit BackgroundHasher(MD5_CTX* md5) : md5_(md5), thread_([this] { run(); }) {}
  ~BackgroundHasher() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  BackgroundHasher(const BackgroundHasher&) = delete;
  BackgroundHasher& operator=(const BackgroundHasher&) = delete;

  // Waits until the piece before is taken in, then hands this one over.
  void submit(const char* data, std::size_t n) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return !busy_; });
    data_ = data;
    len_ = n;
    busy_ = true;
    hold.unlock();
    changed_.notify_all();
  }

  // Waits until every piece is taken in.
  void finish() {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return !busy_; });
  }

 private:
  void run() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
      changed_.wait(hold, [this] { return busy_ || quit_; });
      if (busy_) {
        const char* data = data_;
        const std::size_t len = len_;
        hold.unlock();
        MD5UpdateWide(md5_, reinterpret_cast<const unsigned char*>(data), static_cast<std::int64_t>(len));
        hold.lock();
        busy_ = false;
        changed_.notify_all();
      } else {
        return;
      }
    }
  }

  MD5_CTX* md5_;
  std::mutex lock_;
  std::condition_variable changed_;
  const char* data_ = nullptr;
  std::size_t len_ = 0;
  bool busy_ = false;
  bool quit_ = false;
  std::thread thread_;
};

// Follows one unpacked file's bytes for an unpack_check: counts them, takes
// their signature as they go by, and tells when there are too many. A file
// of at least kBackgroundHashFrom bytes has its signature taken on a thread
// of its own while the caller goes on: it then hands its bytes over in
// pieces of piece_size(), alternating between the two halves of its buffer
// (buffer()), so that the piece being hashed is never overwritten.
class EntryChecker {
 public:
  static constexpr std::size_t kPiece = 256 * 1024;
  static constexpr std::int64_t kBackgroundHashFrom = 2 * static_cast<std::int64_t>(kPiece);

  // expected_size: the file's size as the archive gives it (-1 unknown).
  EntryChecker(unpack_check* check, std::int64_t expected_size) : check_(check) {
    if (!check_) return;
    check_->found_md5.clear();
    check_->found_bytes = 0;
    MD5Init(&md5_);
    if (expected_size >= kBackgroundHashFrom) background_.reset(new BackgroundHasher(&md5_));
  }
  ~EntryChecker() { background_.reset(); }
  EntryChecker(const EntryChecker&) = delete;
  EntryChecker& operator=(const EntryChecker&) = delete;

  // How many bytes to read at a time into buffer(), which lies in a buffer
  // of kChunk bytes.
  std::size_t piece_size() const { return background_ ? kPiece : kChunk; }
  char* buffer(char* chunk) { return background_ ? chunk + (pieces_ & 1) * kPiece : chunk; }

  // Takes the next n bytes, read into buffer(). err_too_large once more
  // bytes came than the file may have (the bytes beyond are not taken),
  // else 0.
  int add(const char* data, std::size_t n) {
    if (!check_) return 0;
    std::int64_t take = static_cast<std::int64_t>(n);
    int err = 0;
    if (check_->max_bytes >= 0 && check_->found_bytes + take > check_->max_bytes) {
      take = check_->max_bytes - check_->found_bytes;
      err = err_too_large;
    }
    if (background_) {
      background_->submit(data, static_cast<std::size_t>(take));
      ++pieces_;
    } else {
      MD5UpdateWide(&md5_, reinterpret_cast<const unsigned char*>(data), take);
    }
    check_->found_bytes += take;
    return err;
  }

  // After the last byte: records the signature and compares it with the
  // wanted one. err_wrong_signature when they differ, else 0.
  int finish() {
    if (!check_) return 0;
    record();
    if (!check_->want_md5.empty() && check_->found_md5 != check_->want_md5) return err_wrong_signature;
    return 0;
  }

  // Records the signature of what was taken so far (after a failure).
  void record() {
    if (!check_ || done_) return;
    done_ = true;
    if (background_) background_->finish();
    MD5Final(&md5_);
    static const char kHex[] = "0123456789abcdef";
    std::string text(32, '0');
    for (int i = 0; i < 16; ++i) {
      text[2 * i] = kHex[md5_.digest[i] >> 4];
      text[2 * i + 1] = kHex[md5_.digest[i] & 15];
    }
    check_->found_md5 = text;
  }

 private:
  unpack_check* check_;
  MD5_CTX md5_;
  std::unique_ptr<BackgroundHasher> background_;
  std::uint64_t pieces_ = 0;
  bool done_ = false;
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

// Unpacks the zip's current entry into target through a temporary file
// that replaces target only once the entry was read in full, its CRC-32
// found right and, with a check, its size and signature found right. buf
// holds kChunk bytes.
int unzip_file(unzFile uf, const std::string& target, const unz_file_info64& info, char* buf,
               unpack_check* check) {
  EntryChecker checker(check, static_cast<std::int64_t>(info.uncompressed_size));
  int err = 0;
  if (check && check->max_bytes >= 0 && info.uncompressed_size > static_cast<std::uint64_t>(check->max_bytes)) {
    // The entry says so itself: nothing needs to be read or written.
    check->found_bytes = static_cast<std::int64_t>(info.uncompressed_size);
    err = fail_at(19, err_too_large);
  } else if ((err = unzOpenCurrentFile(uf)) != UNZ_OK) {
    err = fail_at(10, err);
  } else {
    PendingFile out;
    err = out.create(target);
    if (err) fail_at(11, err);
    std::uint64_t total = 0;
    while (!err) {
      char* piece = checker.buffer(buf);
      const int n = unzReadCurrentFile(uf, piece, static_cast<unsigned>(checker.piece_size()));
      if (n == 0) break;
      if (n < 0 || (total += static_cast<unsigned>(n)) > info.uncompressed_size) {
        err = fail_at(12, err_zip_read);
        break;
      }
      err = checker.add(piece, static_cast<std::size_t>(n));
      if (err) {
        fail_at(19, err);
        break;
      }
      err = out.write(piece, static_cast<std::size_t>(n));
      if (err) fail_at(13, err);
    }
    if (!err && total != info.uncompressed_size) err = fail_at(14, err_zip_read);
    // Closing the entry checks its CRC-32 once all of it was read.
    const int closed = unzCloseCurrentFile(uf);
    if (!err && closed != UNZ_OK) err = fail_at(15, closed);
    if (!err) {
      err = checker.finish();
      if (err) fail_at(26, err);
    }

    if (!err && info.external_fa != 0) {
      // The upper half holds the Unix mode; MS-DOS tools leave it 0, and the
      // file then keeps the mode its creation gave it, as it does when the
      // permission bits are all 0 (a file nobody could read). A file system
      // without permission bits does not make the entry fail.
      const unsigned long mode = (info.external_fa >> 16) & 0777;
      if (mode != 0) fchmod(out.fd(), static_cast<mode_t>(mode));
      if (set_entry_time(out.fd(), info.tmu_date) != 0) err = fail_at(16, -1);
    }
    if (!err) {
      err = out.close_checked();
      if (err) fail_at(17, err);
    }
    if (!err) {
      err = out.rename_over();
      if (err) fail_at(18, err);
    }
  }
  if (err) {
    checker.record();
    xer << "Zip to file failed with error " << err << ". file = " << err_file()
        << " line = " << sErrLine.load() << ". inFile=" << target << ".\n";
  }
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
int write_7z_file(struct archive* a, struct archive_entry* e, const std::string& target,
                  char* buf, unpack_check* check) {
  EntryChecker checker(check, archive_entry_size_is_set(e) ? archive_entry_size(e) : -1);
  if (check && check->max_bytes >= 0 && archive_entry_size_is_set(e) &&
      archive_entry_size(e) > check->max_bytes) {
    check->found_bytes = archive_entry_size(e);
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
    const ssize_t n = archive_read_data(a, piece, checker.piece_size());
    if (n == 0) break;
    if (n < 0) {  // damaged data, a bad CRC-32 (a warning) included
      err = err_zip_read;
      break;
    }
    total += n;
    err = checker.add(piece, static_cast<std::size_t>(n));
    if (err) break;
    if (out.write(piece, static_cast<std::size_t>(n)) != 0) {
      err = err_zip_write;
      break;
    }
  }
  if (!err && archive_entry_size_is_set(e) && total != archive_entry_size(e)) err = err_zip_read;
  if (!err) err = checker.finish();
  if (err) {
    checker.record();
    return err;
  }
  if (out.close_checked() != 0) return err_zip_write;
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

  unzFile uf = unzOpen64(archive.c_str());
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

  PathGuard guard(out_dir);
  std::vector<char> buf(kChunk);
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
      result = unzip_file(uf, target, info, buf.data(), check);
    }
    if (result != 0) {
      xer << "UNZIP zip_to_file failed with err=" << result << "\n";
      unzClose(uf);
      summary(result);
      return result;
    }
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
  std::vector<char> buf;
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
    if (buf.empty()) buf.resize(kChunk);
    code = write_7z_file(a, e, target, buf.data(), check);
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
