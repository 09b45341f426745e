// Integers stored as text in the two stores, read the way the original runtime converted them.
#pragma once
#include <optional>
#include <string_view>

#include "text/Sjis.h"

namespace veska {

// Blanks, an optional sign, then decimal digits or "$" and hexadecimal digits, and nothing
// after them: a trailing blank makes the text no number. Decimal must fit 32 bits; hexadecimal takes up to 32 bits and wraps ("$FFFFFFFF"
// is -1). Nothing for anything else.
std::optional<int> ParseIntegerText(std::string_view text);

// The settings key's rule: the number, or def.
int StrToIntDef(std::string_view text, int def);

// The configuration file's rule: as StrToIntDef, and "0x"/"0X" at the very start of a text
// longer than two characters also means hexadecimal.
int IniStrToIntDef(std::string_view text, int def);

// Decimal, a minus sign only when negative.
Bytes IntToStr(int value);

}  // namespace veska
