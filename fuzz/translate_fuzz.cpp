// Fuzzes the language file reader with arbitrary bytes as a language file.
//
// The input is written to one file in a private temporary folder (the same
// path every run, removed at exit) and loaded with UTL_translate_load, which
// maps it and checks its header as the installer does. The input is then also
// copied into a heap buffer of exactly its size and read as a body with
// UTL_translate_load_body, so AddressSanitizer catches any read past the end
// (reads past the end of a mapping land in the page's zero tail and would go
// unseen). A few texts are looked up after each load, with missing texts
// being reported. Neither reader raises a fatal alert: the path is plain and
// short, and a header or body the reader refuses only leaves English.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "runtime/cmdline.h"
#include "runtime/translate.h"

namespace {

std::string g_folder;  // private temporary folder, ends in "/"
std::string g_file;    // the language file in it

void remove_folder() {
  if (g_file.empty()) return;
  unlink(g_file.c_str());
  rmdir(g_folder.c_str());
}

bool write_all(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// Looks up fixed texts and one made from the input.
void look_up(const std::uint8_t* data, std::size_t size) {
  static const char* const texts[] = {"", "Hello", "two\nlines", "a\rb", "Hello "};
  for (const char* t : texts) (void)UTL_translate_string(t);
  const std::string from_input(reinterpret_cast<const char*>(data), size < 24 ? size : 24);
  (void)UTL_translate_string(from_input);
  // Twice: the second ask of a missing text is not reported again.
  (void)UTL_translate_string(from_input);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/translate_fuzz.XXXXXX";
  if (!mkdtemp(folder)) abort();
  g_folder = std::string(folder) + "/";
  g_file = g_folder + "Installer2.txt";
  atexit(remove_folder);
  // Exercise the report of missing texts too (the log is not open: it goes nowhere).
  cmdline.options["--missing_strings"] = "";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!write_all(g_file, data, size)) abort();
  UTL_translate_load(g_file);
  look_up(data, size);

  std::unique_ptr<char[]> copy(new char[size]);
  if (size) std::memcpy(copy.get(), data, size);
  UTL_translate_load_body(copy.get(), copy.get() + size);
  look_up(data, size);

  UTL_translate_clear();
  return 0;
}
