#include "store/RegDocument.h"

#include <optional>
#include <stdexcept>

#include "store/TextLines.h"

namespace veska {
namespace {

using lines::trim;

constexpr std::string_view Header = "REGEDIT4";
constexpr std::string_view Root = "HKEY_CURRENT_USER\\";

constexpr bool isTrailByte(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// Width of the character at i: 2 for a lead byte followed by a trail byte. The reader and the
// writer use the same rule, so a 0x5C trail byte is never taken for, or turned into, an escape.
std::size_t charWidth(std::string_view s, std::size_t i) {
    return (isLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() &&
            isTrailByte(static_cast<unsigned char>(s[i + 1])))
               ? 2
               : 1;
}

bool startsWithIgnoringCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && sameTextIgnoringAsciiCase(s.substr(0, prefix.size()), prefix);
}

// A quoted string starting at s[pos] == '"'; pos moves past the closing quote.
std::optional<Bytes> readQuoted(std::string_view s, std::size_t& pos) {
    Bytes out;
    std::size_t i = pos + 1;
    while (i < s.size()) {
        std::size_t w = charWidth(s, i);
        if (w == 2) {
            out.append(s.substr(i, 2));
        } else if (s[i] == '\\' && i + 1 < s.size()) {
            out.push_back(s[++i]);
            w = 1;
        } else if (s[i] == '"') {
            pos = i + 1;
            return out;
        } else {
            out.push_back(s[i]);
        }
        i += w;
    }
    return std::nullopt;
}

Bytes quoted(std::string_view text) {
    Bytes out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        std::size_t w = charWidth(text, i);
        if (w == 1 && (text[i] == '\\' || text[i] == '"')) out.push_back('\\');
        out.append(text.substr(i, w));
        i += w;
    }
    return out + "\"";
}

Bytes valueLine(std::string_view name, std::string_view text) {
    return (name.empty() ? Bytes("@") : quoted(name)) + "=" + quoted(text);
}

struct ParsedValue {
    Bytes folded;
    RegDocument::Kind kind;
    Bytes text;
    std::optional<std::uint32_t> dword;
    bool continues = false;  // a hex value whose line ends in a backslash
};

// Up to eight hex digits and nothing else, as the registry editor writes them.
std::optional<std::uint32_t> parseDword(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t n = 0;
    for (char c : digits) {
        const char lower = static_cast<char>(c | 0x20);
        if (c >= '0' && c <= '9')
            n = n * 16 + static_cast<std::uint32_t>(c - '0');
        else if (lower >= 'a' && lower <= 'f')
            n = n * 16 + static_cast<std::uint32_t>(lower - 'a' + 10);
        else
            return std::nullopt;
    }
    return n;
}

std::optional<ParsedValue> parseValueLine(std::string_view t) {
    ParsedValue v;
    std::size_t pos = 0;
    if (t[0] == '@') {
        pos = 1;
    } else {
        auto name = readQuoted(t, pos);
        if (!name) return std::nullopt;
        v.folded = asciiUpper(*name);
    }
    std::string_view rest = trim(t.substr(pos));
    if (rest.empty() || rest[0] != '=') return std::nullopt;
    rest = trim(rest.substr(1));
    if (!rest.empty() && rest[0] == '"') {
        std::size_t p = 0;
        auto text = readQuoted(rest, p);
        if (!text || !trim(rest.substr(p)).empty()) return std::nullopt;
        v.kind = RegDocument::Kind::Text;
        v.text = std::move(*text);
        return v;
    }
    if (startsWithIgnoringCase(rest, "dword:")) {
        v.kind = RegDocument::Kind::Other;
        v.dword = parseDword(trim(rest.substr(6)));
        return v;
    }
    if (startsWithIgnoringCase(rest, "hex:") || startsWithIgnoringCase(rest, "hex(")) {
        v.kind = RegDocument::Kind::Other;
        v.continues = rest.back() == '\\';
        return v;
    }
    return std::nullopt;
}

bool validCp932(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); i += charWidth(s, i))
        if (isLeadByte(static_cast<unsigned char>(s[i])) && charWidth(s, i) == 1) return false;
    return true;
}

}  // namespace

RegDocument::RegDocument(std::string_view text) {
    std::vector<std::string_view> all = lines::split(text);
    for (std::size_t i = 0; i < all.size(); ++i) {
        std::string_view t = trim(all[i]);
        std::size_t last = lastCharStart(t);
        if (!t.empty() && t[0] == '[' && t.size() >= 2 && last == t.size() - 1 && t[last] == ']') {
            Block b;
            b.folded = asciiUpper(t.substr(1, t.size() - 2));
            b.entries.push_back(Entry{{Bytes(all[i])}, Kind::Missing, {}, {}, {}});
            blocks_.push_back(std::move(b));
            continue;
        }
        if (blocks_.empty()) {
            preamble_.emplace_back(all[i]);
            continue;
        }
        Block& b = blocks_.back();
        Entry e{{Bytes(all[i])}, Kind::Missing, {}, {}, {}};
        if (!t.empty() && (t[0] == '"' || t[0] == '@')) {
            if (auto v = parseValueLine(t)) {
                e.kind = v->kind;
                e.folded = std::move(v->folded);
                e.text = std::move(v->text);
                e.dword = v->dword;
                // Continuation lines belong to the value; a key line never does.
                bool more = v->continues;
                while (more && i + 1 < all.size()) {
                    std::string_view next = trim(all[i + 1]);
                    if (!next.empty() && next[0] == '[') break;
                    e.lines.emplace_back(all[++i]);
                    more = !next.empty() && next.back() == '\\';
                }
            }
        }
        if (e.kind != Kind::Missing) b.lastValue = b.entries.size();
        b.entries.push_back(std::move(e));
    }
}

Bytes RegDocument::fullPath(std::string_view path) { return asciiUpper(Bytes(Root) + Bytes(path)); }

bool RegDocument::KeyExists(std::string_view path) const {
    const Bytes full = fullPath(path);
    for (const Block& b : blocks_) {
        if (b.folded == full) return true;
        // A key below it: the parent exists too. The path is whole characters, so the byte
        // after it is a character of its own.
        if (b.folded.size() > full.size() && b.folded.compare(0, full.size(), full) == 0 &&
            b.folded[full.size()] == '\\' && validCp932(path))
            return true;
    }
    return false;
}

const RegDocument::Entry* RegDocument::find(const Bytes& foldedPath, const Bytes& foldedName) const {
    for (const Block& b : blocks_) {
        if (b.folded != foldedPath) continue;
        for (const Entry& e : b.entries)
            if (e.kind != Kind::Missing && e.folded == foldedName) return &e;
    }
    return nullptr;
}

RegDocument::Entry* RegDocument::find(const Bytes& foldedPath, const Bytes& foldedName) {
    return const_cast<Entry*>(static_cast<const RegDocument*>(this)->find(foldedPath, foldedName));
}

RegDocument::Value RegDocument::Get(std::string_view path, std::string_view name) const {
    const Entry* e = find(fullPath(path), asciiUpper(name));
    if (!e) return {};
    return {e->kind, e->kind == Kind::Text ? e->text : Bytes(), e->dword};
}

bool RegDocument::CanStoreText(std::string_view text) { return !lines::hasLineBreakOrNul(text) && validCp932(text); }

bool RegDocument::CanStorePath(std::string_view path) {
    if (path.empty() || !CanStoreText(path) || trim(path) != path) return false;
    // No empty part: no backslash of its own at either end or twice in a row.
    bool previousWasSeparator = true;
    for (std::size_t i = 0; i < path.size(); i += charWidth(path, i)) {
        bool separator = charWidth(path, i) == 1 && path[i] == '\\';
        if (separator && previousWasSeparator) return false;
        previousWasSeparator = separator;
    }
    return !previousWasSeparator;
}

RegDocument::Block& RegDocument::appendBlock(std::string_view path) {
    // A blank line keeps the new key apart from what stands before it.
    if (blocks_.empty()) {
        if (!preamble_.empty() && !trim(preamble_.back()).empty()) preamble_.emplace_back();
    } else {
        Block& last = blocks_.back();
        const Bytes& lastLine = last.entries.back().lines.back();
        if (!trim(lastLine).empty()) last.entries.push_back(Entry{{Bytes()}, Kind::Missing, {}, {}, {}});
    }
    Block b;
    b.folded = fullPath(path);
    b.entries.push_back(Entry{{"[" + Bytes(Root) + Bytes(path) + "]"}, Kind::Missing, {}, {}, {}});
    blocks_.push_back(std::move(b));
    return blocks_.back();
}

bool RegDocument::CreateKey(std::string_view path) {
    if (!CanStorePath(path)) throw std::invalid_argument("key path cannot stand in a registry file");
    if (KeyExists(path)) return false;
    appendBlock(path);
    return true;
}

bool RegDocument::Set(std::string_view path, std::string_view name, std::string_view value) {
    if (!CanStorePath(path) || !CanStoreText(name) || !CanStoreText(value))
        throw std::invalid_argument("text cannot stand in a registry file");
    const Bytes fp = fullPath(path), fn = asciiUpper(name);
    if (Entry* e = find(fp, fn)) {
        if (e->kind == Kind::Text && e->text == value) return false;
        e->lines = {valueLine(name, value)};
        e->kind = Kind::Text;
        e->text = Bytes(value);
        e->dword.reset();
        return true;
    }
    Block* block = nullptr;
    for (Block& b : blocks_)
        if (b.folded == fp) {
            block = &b;
            break;
        }
    if (!block) block = &appendBlock(path);
    std::size_t at = block->lastValue + 1;
    // A hex value cut off in mid-continuation would take the next line for its own: a blank
    // line ends it, and belongs to it as a reader would see it.
    Entry& before = block->entries[at - 1];
    if (before.kind == Kind::Other) {
        std::string_view tail = trim(before.lines.back());
        if (!tail.empty() && tail.back() == '\\') before.lines.emplace_back();
    }
    block->entries.insert(block->entries.begin() + static_cast<std::ptrdiff_t>(at),
                          Entry{{valueLine(name, value)}, Kind::Text, fn, Bytes(value), {}});
    block->lastValue = at;
    return true;
}

Bytes RegDocument::Serialize() const {
    Bytes out;
    bool hasHeader = !preamble_.empty() && trim(preamble_.front()) == Header;
    if (!hasHeader) {
        out += Bytes(Header) + "\r\n";
        bool nextIsBlank = preamble_.empty() ? blocks_.empty() : trim(preamble_.front()).empty();
        if (!nextIsBlank) out += "\r\n";
    }
    for (const Bytes& l : preamble_) out += l + "\r\n";
    for (const Block& b : blocks_)
        for (const Entry& e : b.entries)
            for (const Bytes& l : e.lines) out += l + "\r\n";
    return out;
}

}  // namespace veska
