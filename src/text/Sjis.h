// Byte-string helpers for code page 932 (Shift-JIS) texts.
// Every text of the program is a std::string of CP932 bytes; lengths count bytes.
#pragma once
#include <string>
#include <string_view>

namespace veska {

using Bytes = std::string;

// True when b opens a double-byte character in code page 932.
constexpr bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The first n bytes of s, one byte shorter when the cut would split a double-byte character.
Bytes cutBytes(std::string_view s, std::size_t n);


// ASCII-only upper-casing that never touches a byte of a double-byte character.
Bytes asciiUpper(std::string_view s);
bool sameTextIgnoringAsciiCase(std::string_view a, std::string_view b);

// Index of the last character's first byte (lead-byte aware), npos for an empty text.
std::size_t lastCharStart(std::string_view s);

// Text with every "%s" replaced by arg in order (one argument messages).
Bytes format1(std::string_view pattern, std::string_view arg);

}  // namespace veska
