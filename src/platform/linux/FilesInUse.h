// The files that running processes hold open or have mapped, as /proc shows them at one moment.
//
// Why /proc: the original platform cannot delete a file that a program holds open, so running
// programs kept their working files; Linux unlinks it all the same. A write lease would tell
// (F_SETLEASE F_WRLCK fails while any other descriptor is open), but it is granted only to the
// file's owner or with CAP_LEASE, and whoever opens the file while we hold it sends us SIGIO,
// which kills by default. /proc answers for every file, mappings included, without either risk.
#pragma once
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace veska {

class FilesInUse {
public:
    // Reads the descriptors and mappings of every process that the tree at proc lets us read:
    // root reads them all, a user their own.
    explicit FilesInUse(const std::string& proc = "/proc");

    // Whether the file stat describes (a regular file, not followed through a link) was in use.
    bool Holds(const struct stat& st) const;

    // How many distinct files were found in use.
    std::size_t size() const { return held_.size(); }

private:
    struct Id {
        dev_t dev;
        ino_t ino;
        bool operator==(const Id&) const = default;
    };
    struct IdHash {
        std::size_t operator()(const Id& id) const noexcept {
            const uint64_t mixed = static_cast<uint64_t>(id.ino) ^ (static_cast<uint64_t>(id.dev) * 0x9E3779B97F4A7C15ull);
            return std::hash<uint64_t>{}(mixed);
        }
    };
    void readDescriptors(int pidFd);
    void readMappings(int pidFd);

    std::unordered_set<Id, IdHash> held_;
    // Mapped files by inode, with the path the mapping names: btrfs and overlayfs show another
    // device in maps than stat reports, so an inode met under another device is checked by path.
    std::unordered_multimap<ino_t, std::string> mappedPaths_;
};

}  // namespace veska
