#include "store/IntegerText.h"

#include <cstdint>
#include <string>

namespace veska {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<int> ParseIntegerText(std::string_view text) {
    std::size_t i = 0, end = text.size();
    // Leading blanks only: a trailing one makes the text no number, as on the original platform.
    while (i < end && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    bool hex = i < end && text[i] == '$';
    if (hex) ++i;
    if (i == end) return std::nullopt;

    uint64_t value = 0;
    for (; i < end; ++i) {
        int d = hex ? hexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (d < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
        // Checked per digit so that long runs of digits cannot wrap the accumulator.
        if (value > (hex ? 0xFFFFFFFFull : 0x80000000ull)) return std::nullopt;
    }
    if (hex) {
        auto bits = static_cast<uint32_t>(value);
        return static_cast<int>(negative ? 0u - bits : bits);
    }
    if (!negative && value > 0x7FFFFFFFull) return std::nullopt;
    return negative ? static_cast<int>(-static_cast<int64_t>(value)) : static_cast<int>(value);
}

int StrToIntDef(std::string_view text, int def) { return ParseIntegerText(text).value_or(def); }

int IniStrToIntDef(std::string_view text, int def) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return StrToIntDef("$" + std::string(text.substr(2)), def);
    return StrToIntDef(text, def);
}

Bytes IntToStr(int value) { return std::to_string(value); }

}  // namespace veska
