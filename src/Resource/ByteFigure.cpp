#include "Resource/ByteFigure.h"

#include <string>

namespace veska {

namespace {

Bytes Grouped(uint64_t magnitude) {
    if (magnitude == 0) return {};
    std::string digits = std::to_string(magnitude);
    Bytes out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

}  // namespace

Bytes FormatBytes(uint64_t value) { return Grouped(value) + " Bytes"; }

Bytes FormatBytes(int64_t value) {
    if (value >= 0) return FormatBytes(static_cast<uint64_t>(value));
    // Negate in unsigned arithmetic so that the smallest int64 does not overflow.
    return "-" + Grouped(0 - static_cast<uint64_t>(value)) + " Bytes";
}

}  // namespace veska
