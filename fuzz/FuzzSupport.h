// Shared pieces of the store fuzz targets: an in-memory file system and a hard check.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <map>

#include "platform/Platform.h"

#define FUZZ_CHECK(cond)                                                     \
    do {                                                                     \
        if (!(cond)) {                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                    \
        }                                                                    \
    } while (0)

namespace veska::fuzz {

class MemoryFiles : public IFiles {
public:
    std::optional<Bytes> ReadFile(const Bytes& path) override {
        auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
    bool WriteFileAtomic(const Bytes& path, const Bytes& content) override {
        if (refuse) return false;
        files[path] = content;
        return true;
    }
    bool MayReplace(const Bytes&) override { return !refuse; }
    bool CreateDirectories(const Bytes&) override { return !refuse; }
    std::vector<DirEntry> ListDirectory(const Bytes&) override { return {}; }
    std::optional<DirEntry> FindFile(const Bytes& path) override {
        if (!files.count(path)) return std::nullopt;
        DirEntry e;
        e.name = path;
        return e;
    }
    bool DeleteEntry(const DirEntry&) override { return false; }

    std::map<Bytes, Bytes> files;
    bool refuse = false;
};

}  // namespace veska::fuzz
