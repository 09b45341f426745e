#include "platform/linux/SwayWallpaper.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/linux/RootWallpaper.h"

namespace veska {
namespace {

constexpr char kMagic[] = "i3-ipc";
constexpr std::size_t kHeader = 6 + 2 * sizeof(uint32_t);
constexpr uint32_t kRunCommand = 0;

// sway reads a command in three passes: it cuts it at blanks, ',' and ';' outside quotes (where a
// backslash after an escaped quote undoes its own escape), replaces "$name" by its variables
// ("$$" stands for "$"), and expands a file name as the shell does (variables, '~', patterns,
// command substitution). Each byte but the plain ones is written so that all three keep it; the
// path is absolute, since a word that starts with a quote loses its quotes.
std::string literal(const std::string& path) {
    std::string out;
    for (unsigned char c : path) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80 ||
            (c != 0 && std::strchr("/._-", c) != nullptr))
            out += static_cast<char>(c);
        else if (c == '\'')
            out += "\"'\"";
        else if (c == '\\')
            out += "\\\\";
        else if (c == '$')
            out += "'$$'";
        else
            out.append({'\'', static_cast<char>(c), '\''});
    }
    return out;
}

bool sendAll(int fd, const std::string& data) {
    for (std::size_t done = 0; done < data.size();) {
        ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool receive(int fd, std::string& out, std::size_t size) {
    out.resize(size);
    for (std::size_t done = 0; done < size;) {
        ssize_t n = ::recv(fd, out.data() + done, size - done, 0);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Runs one command; true when sway answers that every part of it succeeded.
bool runCommand(const char* socketPath, const std::string& command) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (std::strlen(socketPath) >= sizeof addr.sun_path) return false;
    std::strcpy(addr.sun_path, socketPath);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    timeval wait{5, 0};  // a compositor that hangs must not take us with it
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    std::string message(kMagic);
    const uint32_t head[2] = {static_cast<uint32_t>(command.size()), kRunCommand};  // the host's byte order
    message.append(reinterpret_cast<const char*>(head), sizeof head);
    message += command;
    std::string header, body;
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && sendAll(fd, message) &&
              receive(fd, header, kHeader) && header.compare(0, 6, kMagic) == 0;
    if (ok) {
        uint32_t reply[2];
        std::memcpy(reply, header.data() + 6, sizeof reply);
        ok = reply[1] == kRunCommand && reply[0] < (1u << 20) && receive(fd, body, reply[0]);
    }
    ::close(fd);
    if (!ok) return false;
    const QJsonArray results = QJsonDocument::fromJson(QByteArray::fromStdString(body)).array();
    if (results.isEmpty()) return false;
    for (const auto& r : results)
        if (!r.toObject().value(QStringLiteral("success")).toBool()) return false;
    return true;
}

}  // namespace

bool SetSwayWallpaper(const std::string& path, bool tiled) {
    const char* socketPath = std::getenv("SWAYSOCK");
    if (socketPath == nullptr || *socketPath == '\0') return false;
    char plain[8];
    std::snprintf(plain, sizeof plain, "#%06x", static_cast<unsigned>(kPlainDesktopRgb));
    const std::string background =
        path.empty() ? std::string(plain) + " solid_color"
                     : literal(path) + (tiled ? " tile " : " center ") + plain;
    return runCommand(socketPath, "output * bg " + background);
}

}  // namespace veska
