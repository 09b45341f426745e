#include "store/Lists.h"

#include "store/Names.h"

namespace veska {

int ReadCount(ConfigFile& file, const Bytes& countKey) {
    return ListCount(file.ReadInteger(names::ItemCount, countKey, 0));
}

std::vector<Bytes> ReadTextList(ConfigFile& file, const Bytes& section, const Bytes& keyPrefix, int count,
                                const Bytes& firstDefault) {
    std::vector<Bytes> out;
    out.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i)
        out.push_back(file.ReadString(section, keyPrefix + std::to_string(i), i == 0 ? firstDefault : out.back()));
    return out;
}

std::vector<bool> ReadBoolList(ConfigFile& file, const Bytes& section, const Bytes& keyPrefix, int count,
                               bool firstDefault) {
    std::vector<bool> out;
    out.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i)
        out.push_back(file.ReadBool(section, keyPrefix + std::to_string(i), i == 0 ? firstDefault : out.back()));
    return out;
}

void WriteTextList(ConfigFile& file, const Bytes& section, const Bytes& keyPrefix, const std::vector<Bytes>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) file.WriteString(section, keyPrefix + std::to_string(i), values[i]);
}

void WriteBoolList(ConfigFile& file, const Bytes& section, const Bytes& keyPrefix, const std::vector<bool>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) file.WriteBool(section, keyPrefix + std::to_string(i), values[i]);
}

const std::vector<Bytes>& ListSections() {
    static const std::vector<Bytes> sections = {names::MenuCaption, names::MenuName,  names::MenuPath,
                                                names::MenuSound,   names::WallCaption, names::WallPath,
                                                names::WallStyle,   names::TempFolder};
    return sections;
}

void EraseListSections(ConfigFile& file) {
    for (const Bytes& s : ListSections()) file.EraseSection(s);
}

}  // namespace veska
