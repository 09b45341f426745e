#include "store/IniDocument.h"

#include <stdexcept>

#include "store/TextLines.h"

namespace veska {
namespace {

using lines::isBlank;
using lines::trim;

Bytes fold(std::string_view name) { return asciiUpper(trim(name)); }

bool isQuote(char c) { return c == '"' || c == '\''; }

bool enclosedInQuotes(std::string_view v) { return v.size() >= 2 && isQuote(v.front()) && v.back() == v.front(); }

Bytes decode(std::string_view raw) {
    // Values come back as C strings: a NUL ends one.
    if (std::size_t nul = raw.find('\0'); nul != std::string_view::npos) raw = trim(raw.substr(0, nul));
    if (enclosedInQuotes(raw)) raw = raw.substr(1, raw.size() - 2);
    return Bytes(raw);
}

// Quotes keep blanks at either end and a quoted-looking value intact on the way back.
Bytes encode(std::string_view value) {
    if (!value.empty() && (isBlank(value.front()) || isBlank(value.back()) || enclosedInQuotes(value)))
        return "\"" + Bytes(value) + "\"";
    return Bytes(value);
}

}  // namespace

IniDocument::IniDocument(std::string_view text) {
    for (std::string_view raw : lines::splitProfile(text)) {
        Line line{Bytes(raw), {}, {}, false};
        std::string_view t = trim(raw);
        if (!t.empty() && t[0] == '[') {
            std::size_t close = lines::findClosingBracket(t, 1);
            if (close != std::string_view::npos) {
                Section s;
                s.folded = fold(t.substr(1, close - 1));
                s.lines.push_back(std::move(line));
                sections_.push_back(std::move(s));
                continue;
            }
        } else if (!t.empty() && t[0] != ';') {
            std::size_t eq = t.find('=');  // "=" is never a trail byte
            if (eq != std::string_view::npos && !trim(t.substr(0, eq)).empty() && !sections_.empty()) {
                line.key = true;
                line.name = Bytes(trim(t.substr(0, eq)));
                line.value = Bytes(trim(t.substr(eq + 1)));
                Section& s = sections_.back();
                s.keys.emplace(asciiUpper(line.name), s.lines.size());
                s.lastKey = s.lines.size();
                s.lines.push_back(std::move(line));
                continue;
            }
        }
        (sections_.empty() ? preamble_ : sections_.back().lines).push_back(std::move(line));
    }
    reindex();
}

void IniDocument::reindex() {
    index_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i) index_[sections_[i].folded].push_back(i);
}

const IniDocument::Line* IniDocument::find(const Bytes& foldedSection, const Bytes& foldedKey) const {
    // Only the first section of a name is seen: a later one of the same name is not there.
    auto it = index_.find(foldedSection);
    if (it == index_.end()) return nullptr;
    const Section& s = sections_[it->second.front()];
    auto k = s.keys.find(foldedKey);
    return k == s.keys.end() ? nullptr : &s.lines[k->second];
}

std::optional<Bytes> IniDocument::Get(std::string_view section, std::string_view key) const {
    const Line* line = find(fold(section), fold(key));
    if (!line) return std::nullopt;
    return cutBytes(decode(line->value), MaxValueBytes);
}

bool IniDocument::CanStore(std::string_view section, std::string_view key, std::string_view value) {
    std::string_view s = trim(section), k = trim(key);
    if (s.empty() || k.empty() || k[0] == ';' || k[0] == '[') return false;
    if (lines::hasLineBreakOrNul(s) || lines::hasLineBreakOrNul(k) || lines::hasLineBreakOrNul(value)) return false;
    // The header must close on its own "]": a name ending in a lone lead byte would swallow it.
    const Bytes header = "[" + Bytes(s) + "]";
    return k.find('=') == std::string_view::npos && lines::findClosingBracket(header, 1) == header.size() - 1;
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!CanStore(section, key, value)) throw std::invalid_argument("text cannot stand in a profile file");
    const Bytes fs = fold(section), fk = fold(key);
    const Bytes encoded = encode(value);

    if (const Line* found = find(fs, fk)) {
        if (decode(found->value) == value) return false;
        Line* line = const_cast<Line*>(found);
        line->value = encoded;
        line->text = line->name + "=" + encoded;
        return true;
    }

    Line line{Bytes(trim(key)) + "=" + encoded, Bytes(trim(key)), encoded, true};
    auto it = index_.find(fs);
    if (it != index_.end()) {
        addKeyLine(sections_[it->second.front()], std::move(line), fk);
        return true;
    }

    // A blank line keeps the new section apart from what stands before it.
    std::vector<Line>& tail = sections_.empty() ? preamble_ : sections_.back().lines;
    if (!tail.empty() && !trim(tail.back().text).empty()) tail.push_back(Line{});
    Section s;
    s.folded = fs;
    s.lines.push_back(Line{"[" + Bytes(trim(section)) + "]", {}, {}, false});
    sections_.push_back(std::move(s));
    index_[fs].push_back(sections_.size() - 1);
    addKeyLine(sections_.back(), std::move(line), fk);
    return true;
}

void IniDocument::addKeyLine(Section& s, Line line, const Bytes& foldedKey) {
    // Lines after the last key (blank lines, a comment that leads the next section) stay last;
    // only lines that are not keys move, so the key index stays valid.
    std::size_t at = s.lastKey + 1;
    s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    s.keys.emplace(foldedKey, at);
    s.lastKey = at;
}

bool IniDocument::EraseSection(std::string_view section) {
    auto it = index_.find(fold(section));
    if (it == index_.end()) return false;
    std::vector<std::size_t> doomed = it->second;
    for (auto d = doomed.rbegin(); d != doomed.rend(); ++d)
        sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(*d));
    reindex();
    return true;
}

Bytes IniDocument::Serialize() const {
    std::size_t size = 0;
    for (const Line& l : preamble_) size += l.text.size() + 2;
    for (const Section& s : sections_)
        for (const Line& l : s.lines) size += l.text.size() + 2;
    Bytes out;
    out.reserve(size);
    auto put = [&out](const Line& l) {
        out += l.text;
        out += "\r\n";
    };
    for (const Line& l : preamble_) put(l);
    for (const Section& s : sections_)
        for (const Line& l : s.lines) put(l);
    return out;
}

}  // namespace veska
