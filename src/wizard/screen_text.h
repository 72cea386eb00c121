// Building the texts of the wizard's screens: each fixed English piece goes
// through the translation lookup on its own, and the variable parts (paths,
// names, numbers) are joined in untranslated.
#pragma once

#include <initializer_list>
#include <string>

// The translation of an English text of the wizard.
std::string T(const char* english);

// A translated text with placeholders filled: each "%d" or "%s" in turn
// takes the next value, "%%" gives "%". Unlike printf the values are plain
// texts, so a translation with other or surplus directives cannot read
// past them: such directives are kept as written, and a placeholder with no
// value left stays empty.
std::string fill_in(const std::string& format, std::initializer_list<std::string> values);

// A number cut toward zero to an integer and written in decimal; values
// beyond the int range are held at its ends, and a value that is not a
// number gives "0".
std::string int_text(double value);
