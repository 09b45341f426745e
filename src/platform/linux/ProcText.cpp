#include "platform/linux/ProcText.h"

#include <limits>
#include <vector>

namespace veska {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

// Digits only, the whole field; saturates.
std::optional<uint64_t> number(std::string_view f) {
    if (f.empty()) return std::nullopt;
    uint64_t v = 0;
    constexpr uint64_t top = std::numeric_limits<uint64_t>::max();
    for (char c : f) {
        if (c < '0' || c > '9') return std::nullopt;
        unsigned d = static_cast<unsigned>(c - '0');
        v = (v > (top - d) / 10) ? top : v * 10 + d;
    }
    return v;
}

uint64_t saturatingMul(uint64_t a, uint64_t b) {
    if (a != 0 && b > std::numeric_limits<uint64_t>::max() / a) return std::numeric_limits<uint64_t>::max();
    return a * b;
}

uint64_t saturatingAdd(uint64_t a, uint64_t b) {
    return (b > std::numeric_limits<uint64_t>::max() - a) ? std::numeric_limits<uint64_t>::max() : a + b;
}

template <typename Fn>
void eachLine(std::string_view text, Fn fn) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) nl = text.size();
        fn(text.substr(pos, nl - pos));
        pos = nl + 1;
    }
}

}  // namespace

std::optional<uint64_t> ParseCount(std::string_view text) {
    auto f = fields(text);
    if (f.size() != 1) return std::nullopt;
    return number(f[0]);
}

std::optional<MemoryStatus> ParseMeminfo(std::string_view text) {
    std::optional<uint64_t> total, avail, free, buffers, cached;
    eachLine(text, [&](std::string_view line) {
        auto colon = line.find(':');
        if (colon == std::string_view::npos) return;
        std::string_view key = line.substr(0, colon);
        auto f = fields(line.substr(colon + 1));
        if (f.empty() || f.size() > 2) return;
        auto v = number(f[0]);
        if (!v) return;
        uint64_t bytes = (f.size() == 2 && f[1] == "kB") ? saturatingMul(*v, 1024) : *v;
        if (key == "MemTotal") total = bytes;
        else if (key == "MemAvailable") avail = bytes;
        else if (key == "MemFree") free = bytes;
        else if (key == "Buffers") buffers = bytes;
        else if (key == "Cached") cached = bytes;
    });
    if (!total) return std::nullopt;
    if (!avail && free) avail = saturatingAdd(saturatingAdd(*free, buffers.value_or(0)), cached.value_or(0));
    if (!avail) return std::nullopt;
    return MemoryStatus{*total, *avail < *total ? *avail : *total};
}

std::optional<FileNr> ParseFileNr(std::string_view text) {
    auto f = fields(text);
    if (f.size() != 3) return std::nullopt;
    auto a = number(f[0]), u = number(f[1]), m = number(f[2]);
    if (!a || !u || !m) return std::nullopt;
    return FileNr{*a, *u, *m};
}

std::optional<uint64_t> ParseLoadavgThreads(std::string_view text) {
    auto f = fields(text);
    if (f.size() < 4) return std::nullopt;
    auto slash = f[3].find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    if (!number(f[3].substr(0, slash))) return std::nullopt;
    return number(f[3].substr(slash + 1));
}

std::optional<std::string> ParseFirstSwapFile(std::string_view text, std::optional<std::string_view> folder) {
    std::optional<std::string> found;
    eachLine(text, [&](std::string_view line) {
        if (found) return;
        auto f = fields(line);
        if (f.size() < 2 || f[1] != "file" || f[0].empty() || f[0][0] != '/') return;
        std::string name;
        std::string_view raw = f[0];
        for (std::size_t i = 0; i < raw.size(); ++i) {
            auto octal = [&](std::size_t k, char top) { return raw[k] >= '0' && raw[k] <= top; };
            if (raw[i] == '\\' && i + 3 < raw.size() && octal(i + 1, '3') && octal(i + 2, '7') && octal(i + 3, '7')) {
                name += static_cast<char>((raw[i + 1] - '0') * 64 + (raw[i + 2] - '0') * 8 + (raw[i + 3] - '0'));
                i += 3;
            } else {
                name += raw[i];
            }
        }
        // A swap file deleted while in use is listed with this mark; it names nothing to look at.
        if (name.size() > 10 && name.compare(name.size() - 10, 10, " (deleted)") == 0) return;
        if (folder) {
            std::string_view dir = *folder;
            while (dir.size() > 1 && dir.back() == '/') dir.remove_suffix(1);
            const std::size_t slash = name.rfind('/');
            const std::string_view parent = slash == 0 ? std::string_view("/") : std::string_view(name).substr(0, slash);
            if (parent != dir) return;
        }
        found = name;
    });
    return found;
}

std::optional<int> FreePercent(uint64_t used, uint64_t max) {
    if (max == 0) return std::nullopt;
    if (used >= max) return 0;
    unsigned __int128 share = static_cast<unsigned __int128>(max - used) * 100 / max;
    return share > 100 ? 100 : static_cast<int>(share);
}

}  // namespace veska
