// The check made before the archive of one installed file is unpacked: it
// must hold that file and nothing else; and the unpacking of such an archive.
#pragma once

#include <cstdint>
#include <string>

struct file_version_struct;
struct unpack_check;

// The archive (".7z" read as 7z, anything else as zip) must hold exactly one
// entry, a plain file named name (ASCII letter case aside: archives made
// where case does not count may spell it otherwise). An entry with another
// name would be written over some other file of the folder (perhaps one of
// the user's), a folder or a link entry would put something other than the
// file in its place, and an archive without the file would leave it missing
// while counting it as installed. Entries that the unpacking skips
// ("__MACOSX" of a zip, folders of a 7z) do not count. 0 when the archive is
// sound; err_not_the_file when it is not, with a log line; a code of the
// archive reader when its catalogue cannot be read. With refusal not null
// the log line (ending in "\n") is stored there instead of being written,
// for callers that report it later.
// Safe on several threads at once.
int check_single_entry(const std::string& archive, const std::string& name, std::string* refusal = nullptr);

// The most bytes a file of the directory may have: its size in KB, which
// the directory gives in whole KB however it rounded them, plus one KB.
std::int64_t max_bytes_for_kb(float unpacked_kb);

// Fills check from the version the directory wants on disk: its signature
// and its size.
void expect_version(unpack_check& check, const file_version_struct& want);

// Checks the archive with check_single_entry against the last component of
// destination and, when it is sound, unpacks its file to destination, under
// that name whatever the letter case of the entry (".7z" by p7z_to_file,
// anything else by zip_to_file). With check not null the unpacked file must
// match it (size and signature, see unpack_check); when it does not, the
// file already at destination stays and the mismatch is logged with both
// signatures. 0, or the code of the check (err_not_the_file for a refused
// archive, err_too_large, err_wrong_signature) or of the unpacking. refusal
// as for check_single_entry, for the refusal and the mismatch lines.
// Safe on several threads at once.
int unpack_single_file(const std::string& archive, const std::string& destination, std::string* refusal = nullptr,
                       unpack_check* check = nullptr);
