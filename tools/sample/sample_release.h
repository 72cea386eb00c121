// The sample release of "scripts/run.sh --sample": a made-up simulator of a
// few hundred files (a few MB) in subfolders, with scenery tiles, in two
// releases; the release before as a user installed it, with one file the
// user changed; and the folders the sample run works in. The same on every
// run: every file's bytes follow from its path and release alone.
#pragma once

#include <map>
#include <set>
#include <string>

namespace sample {

// The folder of the current release on the servers and the discs.
inline constexpr const char kInstallName[] = "v910";

struct Release {
  // Path below the install folder -> content.
  std::map<std::string, std::string> previous;  // the release before
  std::map<std::string, std::string> current;   // the release served
  // The older copy as it is on disk: the previous release with one file
  // changed by its user (changed_file) and only some of the scenery (whole
  // tiles of the world map, so an update adds no scenery file to it).
  std::map<std::string, std::string> older_copy;
  std::string changed_file;
  std::set<std::string> programs;     // started by the user: mode 0755
  std::set<std::string> second_disc;  // on the second install disc
};

// The sample; built once.
const Release& release();

// The folders of the sample run inside its private folder (ending in "/").
struct Folders {
  explicit Folders(const std::string& root);
  std::string root;
  std::string www;         // served on 127.0.0.1
  std::string older_copy;  // the installed copy, "Corvane 9/"
  std::string discs;       // "disc0/" and "disc1/"
  std::string drive;       // a link to the disc in the drive (CORVANE_DISC)
  std::string home;        // the installer's HOME
};

// Builds the whole sample under folders.root: the release on the servers
// (www), the older copy (listed as installed in home), the two install
// discs with the first in the drive. False, with *error, on a failure.
bool build(const Folders& folders, std::string* error);

// Puts disc n (0 or 1) into the drive; false on a failure.
bool insert_disc(const Folders& folders, int n);

// The number of files and bytes of the current release.
std::size_t file_count();
long long byte_count();

}  // namespace sample
