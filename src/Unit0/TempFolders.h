// The temporary-folder list as the pop-up check and the deletion read it.
#pragma once
#include "store/ConfigFile.h"
#include "store/Names.h"

namespace veska {

// Folder k of the list; a missing key repeats the previous folder.
inline Bytes ReadTempFolder(ConfigFile& ini, int k, const Bytes& previous) {
    return ini.ReadString(names::TempFolder, names::PathItemKey(k), previous);
}

// Whether a folder text may be searched. An empty text would name the root of everything, and
// one longer than 255 bytes, cut to 255 as the original did, would name some other folder:
// neither is searched, let alone emptied.
inline bool SearchableTempFolder(const Bytes& folder) { return !folder.empty() && folder.size() <= 255; }

}  // namespace veska
