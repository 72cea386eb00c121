#include "sample/sample_release.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "files/tree_ops.h"
#include "sample/release_builder.h"
#include "sample/whole_file.h"

namespace sample {
namespace {

// The bytes of a file follow from its path and its release (1 the previous,
// 2 the current) through a small fixed generator.
class Bytes {
 public:
  Bytes(const std::string& path, unsigned release) {
    state_ = 1469598103934665603ULL;  // FNV-1a of the path
    for (unsigned char c : path) state_ = (state_ ^ c) * 1099511628211ULL;
    state_ ^= 0x9E3779B97F4A7C15ULL * release;
  }
  std::uint64_t next() {  // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::size_t size(std::size_t lo, std::size_t hi) { return lo + static_cast<std::size_t>(next() % (hi - lo + 1)); }

 private:
  std::uint64_t state_;
};

enum class Kind { noise, table, prose };

const char* const kWords[] = {"lift",     "drag",    "thrust",   "weight",   "flap",     "trim",   "rudder",
                              "aileron",  "elevator", "throttle", "mixture",  "heading",  "runway", "taxiway",
                              "climb",    "descent", "glide",    "approach", "flare",    "wind",   "gust",
                              "pressure", "altitude", "airspeed", "compass",  "beacon",   "tower",  "checklist"};

std::string make_content(const std::string& path, unsigned release, Kind kind, std::size_t lo, std::size_t hi) {
  Bytes rng(path, release);
  const std::size_t n = rng.size(lo, hi);
  std::string s;
  s.reserve(n + 80);
  switch (kind) {
    case Kind::noise:
      while (s.size() < n) {
        const std::uint64_t v = rng.next();
        for (int k = 0; k < 8 && s.size() < n; ++k) s += static_cast<char>((v >> (8 * k)) & 0xFF);
      }
      break;
    case Kind::table:
      while (s.size() < n) {
        char line[64];
        const double x = static_cast<double>(rng.next() % 10000) / 10000.0;
        const double y = static_cast<double>(rng.next() % 2000) / 10000.0 - 0.1;
        std::snprintf(line, sizeof line, "%8.4f %8.4f %8.4f\n", x, y, x * y);
        s += line;
      }
      break;
    case Kind::prose: {
      std::size_t line = 0;
      while (s.size() < n) {
        const std::string word = kWords[rng.next() % (sizeof kWords / sizeof kWords[0])];
        if (line + word.size() + 1 > 72) {
          s += rng.next() % 6 == 0 ? ".\n\n" : "\n";
          line = 0;
        } else if (line > 0) {
          s += ' ';
          ++line;
        }
        s += word;
        line += word.size();
      }
      s += ".\n";
      break;
    }
  }
  return s;
}

// A group of numbered files: "folder/<pattern with %d>", the first `before`
// in the previous release, the first `now` in the current one; every ninth
// changes between the two.
struct Group {
  const char* pattern;
  int before, now;
  Kind kind;
  std::size_t lo, hi;
};

const Group kGroups[] = {
    {"Airfoils/af_%03d.dat", 56, 60, Kind::table, 1500, 3500},
    {"Aircraft/Trainer/panels/panel_%02d.dat", 12, 12, Kind::noise, 6000, 14000},
    {"Aircraft/Glider/panels/panel_%02d.dat", 8, 8, Kind::noise, 6000, 14000},
    {"Aircraft/Airliner/panels/panel_%02d.dat", 16, 20, Kind::noise, 6000, 14000},
    {"Instructions/manual_%02d.txt", 12, 12, Kind::prose, 4000, 9000},
    {"Resources/sounds/sound_%02d.snd", 40, 40, Kind::noise, 16000, 40000},
    {"Resources/bitmaps/bitmap_%03d.dat", 80, 80, Kind::noise, 4000, 16000},
    {"Resources/text/strings_%02d.txt", 18, 20, Kind::prose, 1000, 3000},
};

// Scenery tiles by the latitude and longitude of their south-west corner.
// The first four (three tiles of the world map: the first two share one)
// are in the older copy; the last six are on the second disc.
struct Tile {
  int lat, lon;
  bool changed;
};
const Tile kTiles[] = {
    {45, -73, true},  {46, -72, false}, {47, -123, true}, {51, 7, false},   {46, 11, false},  {35, 139, false},
    {-37, 174, false}, {-34, 151, false}, {61, -150, false}, {-23, -47, false}, {33, -8, false}, {28, 77, false},
};
constexpr int kTilesInCopy = 4;
constexpr int kFirstTileOnSecondDisc = 6;

int floor10(int v) { return (v >= 0 ? v / 10 : -((-v + 9) / 10)) * 10; }

std::string tile_path(const Tile& t) {
  char name[64];
  std::snprintf(name, sizeof name, "Global Scenery/%+03d%+04d/%+03d%+04d.dsf", floor10(t.lat), floor10(t.lon), t.lat,
                t.lon);
  return name;
}

// The stand-in for the simulator, which the finish screens can start.
const char kSimulator[] =
    "#!/bin/sh\n"
    "echo \"Corvane 9 would take off now: the sample release holds no simulator.\"\n";
const char kSimulatorPath[] = "Corvane-i686";

Release make_release() {
  Release r;
  const auto both = [&](const std::string& path, Kind kind, std::size_t lo, std::size_t hi, bool changed) {
    r.previous[path] = make_content(path, 1, kind, lo, hi);
    r.current[path] = changed ? make_content(path, 2, kind, lo, hi) : r.previous[path];
  };
  for (const Group& g : kGroups) {
    const int last = g.before > g.now ? g.before : g.now;
    for (int i = 1; i <= last; ++i) {
      char path[128];
      std::snprintf(path, sizeof path, g.pattern, i);
      if (i <= g.before && i <= g.now)
        both(path, g.kind, g.lo, g.hi, i % 9 == 4);
      else if (i <= g.before)
        r.previous[path] = make_content(path, 1, g.kind, g.lo, g.hi);
      else
        r.current[path] = make_content(path, 2, g.kind, g.lo, g.hi);
    }
  }
  both("Aircraft/Trainer/Trainer.acf", Kind::noise, 40000, 56000, true);
  both("Aircraft/Glider/Glider.acf", Kind::noise, 24000, 40000, false);
  both("Aircraft/Airliner/Airliner.acf", Kind::noise, 56000, 72000, true);
  both("Instructions/readme.txt", Kind::prose, 2000, 4000, true);
  both("Output/README.txt", Kind::prose, 500, 1000, false);
  // The file to remove: the current release no longer has it.
  r.previous["Resources/sounds/retired.snd"] = make_content("Resources/sounds/retired.snd", 1, Kind::noise, 20000, 30000);
  both("Resources/settings.txt", Kind::prose, 1000, 2000, true);
  r.previous[kSimulatorPath] = r.current[kSimulatorPath] = kSimulator;
  r.programs.insert(kSimulatorPath);
  for (int i = 0; i < static_cast<int>(sizeof kTiles / sizeof kTiles[0]); ++i) {
    const std::string path = tile_path(kTiles[i]);
    both(path, Kind::noise, 100000, 180000, kTiles[i].changed);
    if (i >= kFirstTileOnSecondDisc) r.second_disc.insert(path);
  }
  for (const auto& [path, content] : r.previous)
    if (path.rfind("Aircraft/Airliner/", 0) == 0) r.second_disc.insert(path);
  for (const auto& [path, content] : r.current)
    if (path.rfind("Aircraft/Airliner/", 0) == 0) r.second_disc.insert(path);

  // The older copy: the previous release, the user's change to one file,
  // and only the first tiles.
  r.older_copy = r.previous;
  for (int i = kTilesInCopy; i < static_cast<int>(sizeof kTiles / sizeof kTiles[0]); ++i)
    r.older_copy.erase(tile_path(kTiles[i]));
  r.changed_file = "Resources/settings.txt";
  r.older_copy[r.changed_file] += "\nMy own setting: rudder trim three degrees left.\n";
  return r;
}

bool fail(std::string* error, const std::string& what) {
  if (error) *error = what;
  return false;
}

}  // namespace

const Release& release() {
  static const Release r = make_release();
  return r;
}

std::size_t file_count() { return release().current.size(); }

long long byte_count() {
  long long n = 0;
  for (const auto& [path, content] : release().current) n += static_cast<long long>(content.size());
  return n;
}

Folders::Folders(const std::string& root_folder)
    : root(root_folder.empty() || root_folder.back() == '/' ? root_folder : root_folder + "/"),
      www(root + "www/"),
      older_copy(root + "Corvane 9/"),
      discs(root + "discs/"),
      drive(root + "drive"),
      home(root + "home/") {}

bool insert_disc(const Folders& folders, int n) {
  // The link is replaced in one step, as a disc goes in at once.
  const std::string target = "discs/disc" + std::to_string(n);
  const std::string next = folders.drive + ".next";
  unlink(next.c_str());
  return symlink(target.c_str(), next.c_str()) == 0 && rename(next.c_str(), folders.drive.c_str()) == 0;
}

bool build(const Folders& folders, std::string* error) {
  const Release& r = release();
  const std::string staging = folders.root + "staging/";
  ReleaseBuilder builder(staging);

  // Each path's history, the first disc's files first, so that an install
  // from the discs asks for each disc once.
  for (int disc = 0; disc < 2; ++disc) {
    std::vector<std::string> paths;
    for (const auto& [path, content] : r.previous) paths.push_back(path);
    for (const auto& [path, content] : r.current)
      if (!r.previous.count(path)) paths.push_back(path);
    for (const std::string& path : paths) {
      if ((r.second_disc.count(path) ? 1 : 0) != disc) continue;
      const auto before = r.previous.find(path);
      const auto now = r.current.find(path);
      const bool program = r.programs.count(path) != 0;
      const auto add = [&](const std::string& content) {
        if (program)
          builder.add_program(path, content, disc);
        else
          builder.add(path, content, 0, disc);
      };
      if (before != r.previous.end()) add(before->second);
      if (now == r.current.end())
        builder.add_gone(path, 0, disc);
      else if (before == r.previous.end() || before->second != now->second)
        add(now->second);
    }
  }

  // Names under ".invalid", which no name server knows: with the proxy
  // cleared in the options, a request for a sample server cannot leave
  // this machine.
  const std::vector<ReleaseBuilder::Server> servers = {
      {"s1.sample.invalid", "/corvane/", "s1|Sample server one", true},
      {"s2.sample.invalid", "/corvane/", "s2|Sample server two", true},
  };
  if (!builder.publish(folders.www, servers, kInstallName, error)) return false;
  if (!builder.publish_discs(folders.discs, kInstallName, 2, error)) return false;
  if (recursive_delete_folder(staging) != 0) return fail(error, "cannot remove " + staging);

  if (!ReleaseBuilder::install(folders.older_copy, r.older_copy))
    return fail(error, "cannot install the older copy in " + folders.older_copy);
  for (const std::string& program : r.programs)
    if (chmod((folders.older_copy + program).c_str(), 0755) != 0)
      return fail(error, "cannot make " + folders.older_copy + program + " a program");
  // The older copy is the one installed copy the installer knows of.
  if (!write_file(folders.home + ".corvane/corvane_install.txt", folders.older_copy + "\n"))
    return fail(error, "cannot list the older copy in " + folders.home);
  if (!insert_disc(folders, 0)) return fail(error, "cannot put the first disc into " + folders.drive);
  return true;
}

}  // namespace sample
