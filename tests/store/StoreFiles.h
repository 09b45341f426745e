// Raw file helpers for the store tests: the bytes on disk, untouched by the code under test.
#pragma once
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace veska::testing {

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void spit(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline void chmodTo(const std::string& path, std::filesystem::perms p) {
    std::filesystem::permissions(path, p, std::filesystem::perm_options::replace);
}

}  // namespace veska::testing
