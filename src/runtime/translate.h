// Language tables: the installer's English texts and their translations.
#pragma once

#include <string>

// Replaces the tables by the contents of the language file at path. A file
// that is missing, unreadable or whose header is not a version 900
// "TRANSLATION" header leaves the tables empty: English.
void UTL_translate_load(const std::string& path);
// Replaces the tables by the translation lines of a language file's body held
// in memory (the bytes after its header), reading no byte at or past end.
// UTL_translate_load hands the mapped file's body to it.
void UTL_translate_load_body(const char* begin, const char* end);
// Empties the tables: English.
void UTL_translate_clear();

// The translation of text, or text itself. With "--missing_strings" on the
// command line, a text that a loaded file does not translate is written to
// the log once per load, as a language-file line.
std::string UTL_translate_string(const std::string& text);
