// The desktop's recent-documents list: the bookmarks of recently-used.xbel and the entries of the
// RecentDocuments folder, both under $XDG_DATA_HOME.
#pragma once
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace veska {

// Whether the bookmark file's text holds a <bookmark> element (comments and CDATA skipped).
bool XbelHasBookmark(std::string_view text);

// A valid bookmark file without bookmarks.
extern const char* const kEmptyXbel;

class LinuxRecent : public IRecentDocs {
public:
    // Every entry of the folder counts, whatever its attributes, subfolders included.
    bool AnyRecent() override;
    // Deletes the folder's files and links (read-only files stay, as deleting them fails on the
    // original platform; subfolders stay) and empties the bookmark file in place, atomically.
    void ClearRecent() override;
};

}  // namespace veska
