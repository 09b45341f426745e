// The user's base folders as the freedesktop conventions name them, read from the environment
// on every call so that a changed environment takes effect at once.
#pragma once
#include <optional>
#include <string>

namespace veska {

// $HOME, else the password database's home folder, else "/".
std::string HomeFolder();
// The variable when it holds an absolute path (relative values are ignored, as the convention says).
std::optional<std::string> AbsoluteEnv(const char* name);
// $XDG_CONFIG_HOME, else ~/.config.
std::string ConfigHome();
// $XDG_DATA_HOME, else ~/.local/share.
std::string DataHome();

// Everything left to read from fd, up to about limit bytes; closes fd. Nothing on a read error.
std::optional<std::string> ReadAndClose(int fd, std::size_t limit);

// A small file's whole text (for /proc files whose stat size is 0); nothing when unreadable.
std::optional<std::string> ReadSmallFile(const std::string& path);

}  // namespace veska
