// The check made before the archive of one installed file is unpacked: it
// must hold that file and nothing else; and the unpacking of such an archive.
#pragma once

#include <string>

// The archive (".7z" read as 7z, anything else as zip) must hold exactly one
// entry, a plain file named name: an entry with another name would be
// written over some other file of the folder (perhaps one of the user's), a
// folder or a link entry would put something other than the file in its
// place, and an archive without the file would leave it missing while
// counting it as installed. Entries that the unpacking skips ("__MACOSX" of
// a zip, folders of a 7z) do not count. 0 when the archive is sound; EPERM
// when it is not, with a log line; a code of the archive reader when its
// catalogue cannot be read. With refusal not null the log line (ending in
// "\n") is stored there instead of being written: the log may be written on
// the main thread only, so callers on worker threads pass it back there.
// Safe on several threads at once.
int check_single_entry(const std::string& archive, const std::string& name, std::string* refusal = nullptr);

// Checks the archive with check_single_entry against the last component of
// destination and, when it is sound, unpacks it into the folder of
// destination (".7z" by p7z_to_file, anything else by zip_to_file). 0, or
// the code of the check (EPERM for a refused archive) or of the unpacking.
// refusal as for check_single_entry.
// Safe on several threads at once.
int unpack_single_file(const std::string& archive, const std::string& destination, std::string* refusal = nullptr);
