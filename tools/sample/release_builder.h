// Builds the server side of released versions, for the tests and for the
// sample run (main.cpp here): the server list, the directory archive and one
// zip archive per file, laid out under the folder that a TestHttpServer
// serves; the same release as a set of install discs; and installs a release
// into a local Halden folder as a finished installation would have left it.
//
// Paths are given below the install folder ("Resources/a.txt"); in the
// directory they carry the release's top folder name in front
// ("Halden/Resources/a.txt"), which the installer drops again.
#pragma once

#include <map>
#include <string>
#include <vector>

class ReleaseBuilder {
 public:
  struct Version {
    std::string content;
    bool gone = false;  // this version removes the file ("GONE")
    int platform = 0;   // platform code of the FILE record
    int disk = 1;
    bool program = false;  // the file is a program: its archive carries mode 0755
  };

  struct Server {
    std::string host;      // e.g. "s1.example.com"
    std::string path;      // path on the host, starting and ending with "/"
    std::string desc;      // label in the server chooser
    bool has_files = true; // false: only the directory archive is served
  };

  // staging: a private folder of the caller's (a test's or the sample run's)
  // where the archives are made; made when missing.
  explicit ReleaseBuilder(std::string staging, std::string top = "Halden");

  // Appends a version to the history of path (added in this order, the last
  // one being the current version). A path's first version fixes its place
  // in the directory.
  // disk: the disc that holds the version's archive (DISK record).
  void add(const std::string& path, const std::string& content, int platform = 0, int disk = 1);
  void add_gone(const std::string& path, int platform = 0, int disk = 1);
  // Appends a version of a program (a file the user runs) to path's history.
  void add_program(const std::string& path, const std::string& content, int disk = 1);

  // The histories of an update from release a to release b: for each path
  // of either (in the order of a, then the paths new in b), a's version,
  // then b's when it differs, or "GONE" when b lacks the path.
  void add_update(const std::map<std::string, std::string>& a, const std::map<std::string, std::string>& b);

  // The directory file's text (making the archives whose sizes it lists).
  std::string directory_text();

  // Writes "serverlist9.txt" at the top of www (naming every server, and
  // install_name as the final version), the directory archive
  // "directory.txt.zip" of each server at www + path + install_name + "/",
  // and, on the servers that have files, the archive of the current version
  // of every file that is not "GONE", at the server folder + the file's
  // whole table path + ".zip". Sizes in the directory are those of the
  // archives and files made. False (with *error) on a failure.
  bool publish(const std::string& www, const std::vector<Server>& servers, const std::string& install_name,
               std::string* error = nullptr);

  // Writes the release as install discs: root + "disc<n>/" for n from 0 to
  // discs - 1, each with "dvd_version.txt" naming install_name and, in its
  // folder install_name + "/", the directory archive "directory.txt.zip"
  // and the archive of the current version of every file whose disc is n
  // and that is not "GONE", at the file's whole table path + ".7z" (made by
  // the 7z program) when that path contains "Global Scenery", else + ".zip".
  // Sizes in the directory are those of the archives made. False (with
  // *error) on a failure.
  bool publish_discs(const std::string& root, const std::string& install_name, int discs,
                     std::string* error = nullptr);

  // The folder of disc n under root: root + "disc<n>/".
  static std::string disc_folder(const std::string& root, int n);

  // Makes a Halden folder (with "Airfoils", "Instructions", "Output" and
  // "Resources") at folder (ending in "/") holding the given files.
  static bool install(const std::string& folder, const std::map<std::string, std::string>& files);

  // The MD5 signature of content, 32 lower-case hexadecimal digits.
  static std::string md5_of(const std::string& content);

  // The table path of a file: top + "/" + path.
  std::string table_path(const std::string& path) const { return top_ + "/" + path; }

  struct History {
    std::string path;
    std::vector<Version> versions;
  };
  const std::vector<History>& histories() const { return histories_; }

 private:
  History& history(const std::string& path);
  // Makes the archive of one version (once per content and kind) and
  // returns its path; empty on a failure. A 7z archive for a global scenery
  // path while discs_ is set, else a zip archive.
  std::string archive_of(const std::string& path, const Version& v);

  std::string staging_;
  std::string top_;
  std::vector<History> histories_;
  std::map<std::string, long long> archive_bytes_;  // archive path -> size
  std::map<std::string, std::string> staged_;       // path + content signature -> archive
  int serial_ = 0;
  bool discs_ = false;  // archives are made as for install discs
};
