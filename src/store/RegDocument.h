// A REGEDIT4 text held in memory: keys below HKEY_CURRENT_USER with their values, parsed once,
// changed in place, written whole. Texts are CP932 bytes; key paths and value names match
// without regard to ASCII case. Lines that are not understood are kept byte for byte.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "text/Sjis.h"

namespace veska {

class RegDocument {
public:
    enum class Kind { Missing, Text, Other };  // Other: dword:, hex:, hex(n):
    struct Value {
        Kind kind = Kind::Missing;
        Bytes text;  // Text values only
        std::optional<std::uint32_t> dword;  // the number of a well-formed "dword:" value
    };

    RegDocument() = default;
    explicit RegDocument(std::string_view text);

    // path is below HKEY_CURRENT_USER ("Software\Tollbrae\Veska"); a key exists when it or a
    // key below it stands in the text. Value name "" is the key's default value ("@").
    bool KeyExists(std::string_view path) const;
    Value Get(std::string_view path, std::string_view name) const;

    // A usable key path: valid CP932 without line breaks, no empty part.
    static bool CanStorePath(std::string_view path);
    // A usable name or text: valid CP932 without line breaks or NUL.
    static bool CanStoreText(std::string_view text);

    // Adds the key at the end when it does not exist; true when added.
    bool CreateKey(std::string_view path);
    // Stores a text value (replacing a value of any type), creating the key when missing.
    // True when the text changed. Throws std::invalid_argument for texts the checks refuse.
    bool Set(std::string_view path, std::string_view name, std::string_view value);

    Bytes Serialize() const;

private:
    struct Entry {
        std::vector<Bytes> lines;  // as they stand (a hex value may span several)
        Kind kind = Kind::Missing; // Missing: not a value line
        Bytes folded;              // value name upper-cased; "" for the default value
        Bytes text;
        std::optional<std::uint32_t> dword;
    };
    struct Block {
        Bytes folded;                // the key's full path upper-cased
        std::vector<Entry> entries;  // entries[0] is the header
        std::size_t lastValue = 0;   // the last value entry, or the header
    };

    static Bytes fullPath(std::string_view path);
    Entry* find(const Bytes& foldedPath, const Bytes& foldedName);
    const Entry* find(const Bytes& foldedPath, const Bytes& foldedName) const;
    Block& appendBlock(std::string_view path);

    std::vector<Bytes> preamble_;  // the header line and what stands before the first key
    std::vector<Block> blocks_;
};

}  // namespace veska
