// The background of sway's outputs, set over its IPC socket.
#pragma once
#include <string>

namespace veska {

// Sets every output's background for the running session ($SWAYSOCK), centred or tiled on the
// plain desktop colour; an empty path shows the plain colour alone. False without the socket or
// when sway refuses the command.
bool SetSwayWallpaper(const std::string& absolutePath, bool tiled);

}  // namespace veska
