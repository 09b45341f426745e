// Line and blank handling shared by the two store formats.
#pragma once
#include <string_view>
#include <vector>

#include "text/Sjis.h"

namespace veska::lines {

// Blanks that surround names and values; none of them can be the trail byte of a
// double-byte character, so trimming byte by byte is safe.
constexpr bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a'; }

inline std::string_view trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Lines split at LF, one CR before it dropped; a final line break does not open a line.
inline std::vector<std::string_view> split(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        std::size_t end = nl == std::string_view::npos ? text.size() : nl;
        std::size_t len = end - start;
        if (len > 0 && text[end - 1] == '\r' && nl != std::string_view::npos) --len;
        out.push_back(text.substr(start, len));
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
    return out;
}

// Lines of a profile file: LF, CRLF and a lone CR each end a line, as the private-profile
// functions read them; a final line break does not open a line.
inline std::vector<std::string_view> splitProfile(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            out.push_back(text.substr(start));
            break;
        }
        out.push_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return out;
}

// Position of the first "]" at or after from that is a character of its own (the trail byte
// of a double-byte character can be 0x5D); npos when there is none.
inline std::size_t findClosingBracket(std::string_view s, std::size_t from) {
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (i >= from && b == ']') return i;
        i += (isLeadByte(b) && i + 1 < s.size()) ? 2 : 1;
    }
    return std::string_view::npos;
}

inline bool hasLineBreakOrNul(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

}  // namespace veska::lines
