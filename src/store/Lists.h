// The list rules of the configuration file: 8-bit counts, dense 0-based positions, and a missing
// key repeating the value read for the previous position.
#pragma once
#include <vector>

#include "store/ConfigFile.h"

namespace veska {

// A stored count held in 8 bits: 256 reads as 0, 300 as 44, -1 as 255.
constexpr int ListCount(int stored) { return stored & 0xFF; }

// countKey in section "ItemCount" ("ItemNumber", "WallNumber", "TempNumber"); missing: 0.
int ReadCount(ConfigFile& file, const Bytes& countKey);

// Positions 0..count-1 of keyPrefix + position ("Item", "PathItem") in section. The default at
// position 0 is firstDefault; after it, the value read for the previous position.
std::vector<Bytes> ReadTextList(ConfigFile& file, const Bytes& section, const Bytes& keyPrefix, int count,
                                const Bytes& firstDefault);
std::vector<bool> ReadBoolList(ConfigFile& file, const Bytes& section, const Bytes& keyPrefix, int count,
                               bool firstDefault);

void WriteTextList(ConfigFile& file, const Bytes& section, const Bytes& keyPrefix, const std::vector<Bytes>& values);
void WriteBoolList(ConfigFile& file, const Bytes& section, const Bytes& keyPrefix, const std::vector<bool>& values);

// The list sections in the order a rewrite erases them.
const std::vector<Bytes>& ListSections();
void EraseListSections(ConfigFile& file);

}  // namespace veska
