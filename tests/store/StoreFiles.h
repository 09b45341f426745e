// Raw file helpers for the store tests: the bytes on disk, untouched by the code under test.
#pragma once
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "text/Codec.h"

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

// A store file as the program writes it: a UTF-8 text turned into CP932 with CRLF line ends,
// its folder created first.
inline void writeStoreText(const std::string& path, const std::string& utf8) {
    std::string crlf;
    crlf.reserve(utf8.size() + utf8.size() / 16);
    for (char c : utf8) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    spit(path, sj(crlf));
}

}  // namespace veska::testing
