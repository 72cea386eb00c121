#include "ui/language.h"

#include <string>

#include "runtime/translate.h"
#include "window/mnw.h"

namespace {

// Folders of the languages, by index; English has no language file.
const char* const kLanguageFolders[] = {
    "text/english/", "text/french/",  "text/german/", "text/italian/",
    "text/spanish/", "text/portugese/", "text/korean/",
};
const int kLanguageCount = static_cast<int>(sizeof kLanguageFolders / sizeof kLanguageFolders[0]);

}  // namespace

void MACIBM_setupforlang() {
  if (mnw.lang == 0) {
    UTL_translate_clear();
    return;
  }
  // The installer's language file is "Installer.txt" with a "2" before its
  // extension.
  std::string name = "Installer.txt";
  name.insert(name.size() - 4, "2");
  const std::string folder = mnw.lang > 0 && mnw.lang < kLanguageCount ? kLanguageFolders[mnw.lang] : "";
  UTL_translate_load("Resources/" + folder + name);
}
