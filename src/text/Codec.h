// The one codec between code page 932 byte strings and UTF-8 (file names, widgets).
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "text/Sjis.h"

namespace veska {

// CP932 -> UTF-8. Bytes that are not valid CP932 become U+FFFD; never fails.
std::string toUtf8(std::string_view sjis);

// UTF-8 -> CP932; nothing when the text holds a character CP932 cannot represent exactly
// (one that would not convert back to itself).
std::optional<Bytes> fromUtf8(std::string_view utf8);

// CP932 text of a UTF-8 literal written in our sources (always representable).
Bytes sj(std::string_view utf8);

}  // namespace veska
