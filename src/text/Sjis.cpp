#include "text/Sjis.h"

namespace veska {

Bytes cutBytes(std::string_view s, std::size_t n) {
    if (s.size() <= n) return Bytes(s);
    std::size_t i = 0;
    while (i < n) {
        std::size_t w = (isLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
        if (i + w > n) break;
        i += w;
    }
    return Bytes(s.substr(0, i));
}

Bytes asciiUpper(std::string_view s) {
    Bytes out(s);
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(out[i]);
        if (isLeadByte(b) && i + 1 < out.size()) {
            ++i;  // the trail byte may look like an ASCII letter: leave it
        } else if (b >= 'a' && b <= 'z') {
            out[i] = static_cast<char>(b - 'a' + 'A');
        }
    }
    return out;
}

bool sameTextIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && asciiUpper(a) == asciiUpper(b);
}

std::size_t lastCharStart(std::string_view s) {
    std::size_t i = 0, last = std::string_view::npos;
    while (i < s.size()) {
        last = i;
        i += (isLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    }
    return last;
}

Bytes format1(std::string_view pattern, std::string_view arg) {
    Bytes out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            out.append(arg);
            ++i;
        } else {
            out.push_back(pattern[i]);
        }
    }
    return out;
}

}  // namespace veska
