#include "sample/release_builder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <set>
#include <utility>

#include "files/archives.h"
#include "files/md5.h"
#include "sample/whole_file.h"

namespace {

long long file_size(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

long long kb_of(long long bytes) { return (bytes + 1023) / 1024; }

// Writes a file to be archived, with the same time on every run (1 January
// 2020, 12:00 UTC), so that its archive holds the same bytes on every run.
bool write_staged(const std::string& path, const std::string& content) {
  constexpr time_t kStagedTime = 1577880000;
  const timespec times[2] = {{kStagedTime, 0}, {kStagedTime, 0}};
  return write_file(path, content) && utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

// Every folder of path up to its last '/', also where no file goes
// (write_file makes the folders of the files it writes).
bool make_folders(const std::string& path) {
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (path[i] != '/') continue;
    if (mkdir(path.substr(0, i).c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool fail(std::string* error, const std::string& what) {
  if (error) *error = what;
  return false;
}

// Packs folder + name into a new 7z archive (an absolute path) with the 7z
// program, the entry named name.
bool make_7z(const std::string& folder, const std::string& name, const std::string& archive) {
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) {
      dup2(quiet, 1);
      dup2(quiet, 2);
    }
    execlp("7z", "7z", "a", "-t7z", "-bd", "-y", "--", archive.c_str(), name.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool is_scenery_path(const std::string& path) { return path.find("Global Scenery") != std::string::npos; }

}  // namespace

ReleaseBuilder::ReleaseBuilder(std::string staging, std::string top)
    : staging_(std::move(staging)), top_(std::move(top)) {
  if (!staging_.empty() && staging_.back() != '/') staging_ += '/';
}

ReleaseBuilder::History& ReleaseBuilder::history(const std::string& path) {
  for (History& h : histories_)
    if (h.path == path) return h;
  histories_.push_back(History{path, {}});
  return histories_.back();
}

void ReleaseBuilder::add(const std::string& path, const std::string& content, int platform, int disk) {
  Version v;
  v.content = content;
  v.platform = platform;
  v.disk = disk;
  history(path).versions.push_back(v);
}

void ReleaseBuilder::add_program(const std::string& path, const std::string& content, int disk) {
  add(path, content, 0, disk);
  history(path).versions.back().program = true;
}

void ReleaseBuilder::add_gone(const std::string& path, int platform, int disk) {
  Version v;
  v.gone = true;
  v.platform = platform;
  v.disk = disk;
  history(path).versions.push_back(v);
}

void ReleaseBuilder::add_update(const std::map<std::string, std::string>& a,
                                const std::map<std::string, std::string>& b) {
  for (const auto& [path, content] : a) {
    add(path, content);
    const auto in_b = b.find(path);
    if (in_b == b.end())
      add_gone(path);
    else if (in_b->second != content)
      add(path, in_b->second);
  }
  for (const auto& [path, content] : b)
    if (!a.count(path)) add(path, content);
}

std::string ReleaseBuilder::md5_of(const std::string& content) {
  MD5_CTX ctx;
  MD5Init(&ctx);
  MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(content.data()),
                static_cast<std::int64_t>(content.size()));
  MD5Final(&ctx);
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char byte : ctx.digest) {
    out += hex[byte >> 4];
    out += hex[byte & 15];
  }
  return out;
}

std::string ReleaseBuilder::archive_of(const std::string& path, const Version& v) {
  // One staged copy per version content and archive kind:
  // staging/<n>/<table path>, packed beside itself under the file's own
  // name.
  const bool seven_z = discs_ && is_scenery_path(table_path(path));
  const std::string key =
      path + '\n' + md5_of(v.content) + (seven_z ? "\n7z" : "\nzip") + (v.program ? "\nprogram" : "");
  static const std::string kNone;
  auto found = staged_.find(key);
  if (found != staged_.end()) return found->second;
  const std::string source = staging_ + std::to_string(++serial_) + "/" + table_path(path);
  if (!write_staged(source, v.content)) return kNone;
  if (v.program && chmod(source.c_str(), 0755) != 0) return kNone;
  std::string archive;
  if (seven_z) {
    const std::size_t slash = source.rfind('/');
    archive = source + ".7z";
    if (!make_7z(source.substr(0, slash + 1), source.substr(slash + 1), archive)) return kNone;
  } else {
    archive = source + ".zip";
    if (file_to_zip(source, archive) != 0) return kNone;
  }
  archive_bytes_[archive] = file_size(archive);
  staged_[key] = archive;
  return archive;
}

std::string ReleaseBuilder::directory_text() {
  std::string text = "I\n900 version\nINSTALLER\nDIR " + top_ + "/\n";
  int disk = -1;
  for (const History& h : histories_) {
    for (const Version& v : h.versions) {
      if (v.disk != disk) {
        disk = v.disk;
        text += "DISK " + std::to_string(disk) + "\n";
      }
      long long size_kb = 0;
      long long unpacked_kb = 0;
      std::string sig = "GONE";
      if (!v.gone) {
        const std::string archive = archive_of(h.path, v);
        size_kb = archive.empty() ? 0 : kb_of(archive_bytes_[archive]);
        unpacked_kb = kb_of(static_cast<long long>(v.content.size()));
        sig = md5_of(v.content);
      }
      text += "FILE 0 " + std::to_string(v.platform) + " 0 " + std::to_string(size_kb) + " " +
              std::to_string(unpacked_kb) + " " + sig + " " + h.path + "\n";
    }
  }
  return text;
}

bool ReleaseBuilder::publish(const std::string& www_in, const std::vector<Server>& servers,
                             const std::string& install_name, std::string* error) {
  std::string www = www_in;
  if (!www.empty() && www.back() != '/') www += '/';

  std::string list = "I\n820 version\nSERVERS\nFINAL " + install_name + "\n";
  for (const Server& s : servers) list += "SERVER " + s.host + "\n" + s.path + "\n" + s.desc + "\n";
  list += "ENDOFLIST\n";
  if (!write_file(www + "serverlist9.txt", list)) return fail(error, "cannot write the server list");

  const std::string directory = staging_ + "directory/directory.txt";
  if (!write_staged(directory, directory_text())) return fail(error, "cannot write the directory file");
  const std::string directory_zip = staging_ + "directory/directory.txt.zip";
  if (file_to_zip(directory, directory_zip) != 0) return fail(error, "cannot zip the directory file");

  std::set<std::string> done_folders;
  for (const Server& s : servers) {
    const std::string folder = www + s.path.substr(1) + install_name + "/";
    if (!done_folders.insert(folder + (s.has_files ? "+" : "-")).second) continue;
    if (!write_file(folder + "directory.txt.zip", read_file(directory_zip)))
      return fail(error, "cannot publish the directory on " + s.host);
    if (!s.has_files) continue;
    for (const History& h : histories_) {
      const Version& cur = h.versions.back();
      if (cur.gone) continue;
      const std::string archive = archive_of(h.path, cur);
      if (archive.empty()) return fail(error, "cannot make the archive of " + h.path);
      const std::string target = folder + table_path(h.path) + ".zip";
      if (!write_file(target, read_file(archive))) return fail(error, "cannot publish " + target);
    }
  }
  return true;
}

std::string ReleaseBuilder::disc_folder(const std::string& root, int n) {
  std::string folder = root;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + "disc" + std::to_string(n) + "/";
}

bool ReleaseBuilder::publish_discs(const std::string& root, const std::string& install_name, int discs,
                                   std::string* error) {
  discs_ = true;
  const std::string directory = staging_ + "disc-directory/directory.txt";
  if (!write_staged(directory, directory_text())) return fail(error, "cannot write the directory file");
  const std::string directory_zip = staging_ + "disc-directory/directory.txt.zip";
  if (file_to_zip(directory, directory_zip) != 0) return fail(error, "cannot zip the directory file");

  for (int n = 0; n < discs; ++n) {
    const std::string disc = disc_folder(root, n);
    const std::string folder = disc + install_name + "/";
    if (!write_file(disc + "dvd_version.txt", "I\n900 version\nDVD\nVERSION " + install_name + "\n"))
      return fail(error, "cannot write the disc file of disc " + std::to_string(n));
    if (!write_file(folder + "directory.txt.zip", read_file(directory_zip)))
      return fail(error, "cannot put the directory on disc " + std::to_string(n));
    for (const History& h : histories_) {
      const Version& cur = h.versions.back();
      if (cur.gone || cur.disk != n) continue;
      const std::string archive = archive_of(h.path, cur);
      if (archive.empty()) return fail(error, "cannot make the archive of " + h.path);
      const std::string target =
          folder + table_path(h.path) + (is_scenery_path(table_path(h.path)) ? ".7z" : ".zip");
      if (!write_file(target, read_file(archive))) return fail(error, "cannot put " + target + " on the disc");
    }
  }
  return true;
}

bool ReleaseBuilder::install(const std::string& folder, const std::map<std::string, std::string>& files) {
  for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"})
    if (!make_folders(folder + sub + "/")) return false;
  for (const auto& [path, content] : files)
    if (!write_file(folder + path, content)) return false;
  return true;
}
