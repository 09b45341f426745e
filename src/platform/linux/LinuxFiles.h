// Files on Linux: paths are CP932 texts converted to UTF-8 file names through the one codec.
#pragma once
#include "platform/Platform.h"

namespace veska {

class LinuxFiles : public IFiles {
public:
    std::optional<Bytes> ReadFile(const Bytes& path) override;
    bool WriteFileAtomic(const Bytes& path, const Bytes& content) override;
    bool MayReplace(const Bytes& path) override;
    bool CreateDirectories(const Bytes& path) override;
    std::vector<DirEntry> ListDirectory(const Bytes& folder) override;
    std::optional<DirEntry> FindFile(const Bytes& path) override;
    bool DeleteEntry(const DirEntry& entry) override;
    // One read of the folder through its descriptor; a stat only where the entry's type leaves
    // the answer open (links, file systems that do not tell the type) or permissions matter.
    bool HoldsPlainFile(const Bytes& folder) override;
    // Also leaves every file in use: held open or mapped by any process /proc lets us read.
    void DeletePlainFiles(const std::vector<Bytes>& folders) override;
};

// Whether the permission bits grant the current user write access, whoever the user is
// (root included: the original platform refuses read-only files to every user).
bool WritableByBits(const std::string& nativePath);

}  // namespace veska
