// The temporary folders as the pop-up check and the deletion take them.
#pragma once
#include "text/Sjis.h"

namespace veska {

// Whether a folder text may be searched. An empty text would name the root of everything, and
// one longer than 255 bytes, cut to 255 as the original did, would name some other folder:
// neither is searched, let alone emptied.
inline bool SearchableTempFolder(const Bytes& folder) { return !folder.empty() && folder.size() <= 255; }

}  // namespace veska
