// A private-profile (INI) text held in memory: parsed once, changed in place, written whole.
// Texts are CP932 bytes. Section and key names match without regard to ASCII case; comment,
// blank and malformed lines are kept byte for byte (output lines end in CRLF). Read as the
// private-profile functions read: LF, CRLF or a lone CR ends a line, a NUL ends a value, and
// of two sections of one name only the first is seen (erasing a name still erases both, so a
// rewritten list never shows stale keys).
#pragma once
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/Sjis.h"

namespace veska {

class IniDocument {
public:
    static constexpr std::size_t MaxValueBytes = 2047;

    IniDocument() = default;
    explicit IniDocument(std::string_view text);

    // The value without surrounding blanks and one pair of enclosing quotes, cut to
    // MaxValueBytes; nothing when the key is missing.
    std::optional<Bytes> Get(std::string_view section, std::string_view key) const;

    // Whether the texts can stand in the file and read back as given: no line breaks or NUL,
    // a key without "=", a section name without "]", neither name empty nor starting a comment.
    static bool CanStore(std::string_view section, std::string_view key, std::string_view value);

    // Replaces the value in place, or adds the key after the last key of its section, or adds
    // the section at the end. True when the text changed. Throws std::invalid_argument for
    // texts that CanStore refuses.
    bool Set(std::string_view section, std::string_view key, std::string_view value);

    // Removes every section of that name with its lines. True when one was there.
    bool EraseSection(std::string_view section);

    Bytes Serialize() const;

private:
    struct Line {
        Bytes text;   // the line as it stands, without its line break
        Bytes name;   // key lines: the name as written, without blanks
        Bytes value;  // key lines: the value as written, without blanks (quotes kept)
        bool key = false;
    };
    struct Section {
        Bytes folded;                              // upper-cased name
        std::vector<Line> lines;                   // lines[0] is the header
        std::unordered_map<Bytes, std::size_t> keys;  // folded key -> its first line
        std::size_t lastKey = 0;                   // the last key line, or the header
    };

    const Line* find(const Bytes& foldedSection, const Bytes& foldedKey) const;
    void addKeyLine(Section& s, Line line, const Bytes& foldedKey);
    void reindex();

    std::vector<Line> preamble_;  // lines before the first section
    std::vector<Section> sections_;
    std::unordered_map<Bytes, std::vector<std::size_t>> index_;  // folded name -> sections in order
};

}  // namespace veska
