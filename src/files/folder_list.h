// Listing one folder, typed by extension, filtered and sorted by name
// without regard to letter case.
#pragma once

#include <string>
#include <vector>

// Type codes given by extension: 0 a file with none of them, 1 a folder.
enum {
  ftype_file = 0,
  ftype_folder = 1,
  ftype_image = 2,
  ftype_acf = 3,
  ftype_afl = 4,
  ftype_wpn = 5,
  ftype_wav = 6,
  ftype_obj = 7,
  ftype_fdr = 8,
  ftype_sit = 9,
  ftype_smo = 10,
  ftype_fms = 11,
  ftype_images_filter = 12,  // filter only: folders and images outside the panel bitmaps
  ftype_tra = 13,
  ftype_car = 14,
  ftype_spa = 15,
  ftype_reg = 16,
  ftype_dsf = 17,
  ftype_hgt = 18,
  ftype_txt = 19,
  ftype_commands = 20,       // filter only: no folder is read
  ftype_command_paths = 21,  // filter only: the command registry under a path
};

// Lists folder (ending in "/"; a longer path without it is a fatal alert)
// into names and types, keeping the entries that pass the filter (0 keeps
// everything; a type keeps folders and that type; 12 keeps folders and
// images). Never lists ".", ".." or hidden entries; an entry whose status
// cannot be read (a dangling link) is left out; a folder that cannot be
// opened lists as empty. Sorted by name with A-Z taken as a-z, bytes as
// signed 8-bit numbers and a proper prefix first; names equal that way keep
// the folder's order. Filters 20 and 21 read no folder: 21 lists the command
// registry under folder taken as a command path, groups without their '/'
// and typed 1, the rest typed 21. Returns the number of entries.
int opensave_getitems(const std::string& folder, int filter, std::vector<std::string>& names,
                      std::vector<int>& types);

// Gives one entry its type from its extension (type comes in as 1 for a
// folder, else 0, and keeps it when no extension matches) and says whether
// it passes the filter.
bool opensave_takeit(const std::string& folder, const std::string& name, int filter, int& type);
