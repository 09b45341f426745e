#include "platform/linux/PcmanfmWallpaper.h"

#include "platform/linux/ClientWindows.h"

// GIO first: its structs have fields named after Qt's keywords.
#include <gio/gio.h>

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <tuple>
#include <vector>

namespace veska {
namespace {

constexpr char kService[] = "org.pcmanfm.PCManFM";
constexpr char kObject[] = "/Application";
constexpr char kInterface[] = "org.pcmanfm.Application";
constexpr char kModeKey[] = "WallpaperMode=";

GVariant* call(GDBusConnection* bus, const char* dest, const char* object, const char* iface, const char* method,
               GVariant* args) {
    return g_dbus_connection_call_sync(bus, dest, object, iface, method, args, nullptr,
                                       G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr, nullptr);
}

GVariant* callBus(GDBusConnection* bus, const char* method) {
    return call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
                g_variant_new("(s)", kService));
}

bool drawsDesktop(GDBusConnection* bus) {
    GVariant* reply = call(bus, kService, kObject, "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", kInterface, "desktopManagerEnabled"));
    if (reply == nullptr) return false;
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    const bool on = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
    g_variant_unref(value);
    g_variant_unref(reply);
    return on;
}

// A running process as it was started: its arguments, environment and folder.
struct Process {
    std::vector<std::string> argv, env;
    std::string cwd;
};

std::string readText(const std::string& file) {
    gchar* data = nullptr;
    gsize size = 0;
    if (!g_file_get_contents(file.c_str(), &data, &size, nullptr)) return {};
    std::string out(data, size);
    g_free(data);
    return out;
}

std::vector<std::string> nulSeparated(const std::string& file) {
    const std::string data = readText(file);
    std::vector<std::string> out;
    for (std::string_view rest(data); !rest.empty();) {
        std::size_t end = rest.find('\0');
        out.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return out;
}

Process processOf(guint32 pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    Process p{nulSeparated(proc + "/cmdline"), nulSeparated(proc + "/environ"), {}};
    if (gchar* cwd = g_file_read_link((proc + "/cwd").c_str(), nullptr)) {
        p.cwd = cwd;
        g_free(cwd);
    }
    return p;
}

std::string envValue(const Process& p, std::string_view name) {
    for (const auto& e : p.env)
        if (e.size() > name.size() && e.compare(0, name.size(), name) == 0 && e[name.size()] == '=')
            return e.substr(name.size() + 1);
    return {};
}

// The settings file of the profile the instance runs with, in its configuration folder.
std::string settingsFile(const Process& p) {
    std::string profile = "default", config = envValue(p, "XDG_CONFIG_HOME"), home = envValue(p, "HOME");
    for (std::size_t i = 1; i < p.argv.size(); ++i) {
        const std::string& a = p.argv[i];
        if (a.rfind("--profile=", 0) == 0) profile = a.substr(10);
        if ((a == "--profile" || a == "-p") && i + 1 < p.argv.size()) profile = p.argv[i + 1];
    }
    if (config.empty() || config[0] != '/') config = (home.empty() ? g_get_home_dir() : home) + "/.config";
    return config + "/pcmanfm-qt/" + profile + "/settings.conf";
}

// Where the value of [Desktop] WallpaperMode stands in a settings file's text (npos: nowhere).
std::pair<std::size_t, std::size_t> modeSpan(const std::string& text) {
    bool desktop = false;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line(text.data() + pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty() && line[0] == '[') desktop = line == "[Desktop]";
        else if (desktop && line.rfind(kModeKey, 0) == 0) return {pos + sizeof kModeKey - 1, pos + line.size()};
        pos = end + 1;
    }
    return {std::string::npos, std::string::npos};
}

// Waits up to ten seconds for the instance to end (having saved) or to come up.
bool waitOwned(GDBusConnection* bus, bool wanted) {
    for (int tries = 0; tries < 500; ++tries) {
        GVariant* reply = callBus(bus, "NameHasOwner");
        gboolean owned = !wanted;
        if (reply != nullptr) {
            g_variant_get(reply, "(b)", &owned);
            g_variant_unref(reply);
        }
        if (static_cast<bool>(owned) == wanted) return true;
        g_usleep(20000);
    }
    return false;
}

void newSession(gpointer) { ::setsid(); }

bool startAgain(const Process& p) {
    auto pointers = [](const std::vector<std::string>& list) {
        std::vector<char*> out;
        for (const auto& s : list) out.push_back(const_cast<char*>(s.c_str()));
        out.push_back(nullptr);
        return out;
    };
    std::vector<char*> argv = pointers(p.argv), envp = pointers(p.env);
    auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH_FROM_ENVP | G_SPAWN_STDOUT_TO_DEV_NULL |
                                          G_SPAWN_STDERR_TO_DEV_NULL);
    return g_spawn_async(p.cwd.empty() ? nullptr : p.cwd.c_str(), argv.data(), envp.data(), flags, newSession,
                         nullptr, nullptr, nullptr);
}

std::optional<guint32> ownerPid(GDBusConnection* bus) {
    GVariant* reply = callBus(bus, "GetConnectionUnixProcessID");
    if (reply == nullptr) return std::nullopt;
    guint32 pid = 0;
    g_variant_get(reply, "(u)", &pid);
    g_variant_unref(reply);
    return pid;
}

// Only a pcmanfm-qt of this user may be ended and started again: the name on the bus could be
// held by another program, or by another user's instance on a shared bus.
bool ours(guint32 pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    struct stat st {};
    if (::stat(proc.c_str(), &st) != 0 || st.st_uid != ::getuid()) return false;
    gchar* exe = g_file_read_link((proc + "/exe").c_str(), nullptr);
    if (exe == nullptr) return false;
    gchar* name = g_path_get_basename(exe);
    // After an upgrade the running file's link reads "pcmanfm-qt (deleted)".
    const bool pcmanfm = std::string_view(name).substr(0, 10) == "pcmanfm-qt";
    g_free(name);
    g_free(exe);
    return pcmanfm;
}

// The file a settings path stands for: a link is written through, and stays a link.
std::string target(const std::string& file) {
    char* real = ::realpath(file.c_str(), nullptr);
    std::string out = real ? real : file;
    std::free(real);
    return out;
}

// Puts the mode into the settings file in place of what stands there, keeping the file's
// permissions; false when the file holds no mode to replace or cannot be written.
bool writeMode(const std::string& file, const std::string& mode) {
    std::string text = readText(file);
    auto [begin, end] = modeSpan(text);
    struct stat st {};
    if (begin == std::string::npos || ::stat(file.c_str(), &st) != 0) return false;
    text.replace(begin, end - begin, mode);
    return g_file_set_contents_full(file.c_str(), text.data(), static_cast<gssize>(text.size()),
                                    G_FILE_SET_CONTENTS_CONSISTENT, static_cast<int>(st.st_mode & 07777), nullptr);
}

// A pcmanfm-qt that shows the new mode but will not keep it (see modeToKeep): it is ended and
// started again with the mode in its file, but only while it shows nothing but the desktop, as
// its file manager windows, and any copy running in them, would go with it.
class ModeKeeper : public QObject {
public:
    struct Pending {
        guint32 pid = 0;
        Process process;
        std::string file, mode;
    };

    explicit ModeKeeper(QObject* parent) : QObject(parent) {
        timer_.setInterval(1000);
        connect(&timer_, &QTimer::timeout, this, [this] { check(); });
    }

    // The latest change's wish replaces any earlier one; none cancels it.
    void Keep(std::optional<Pending> pending, std::function<void()> failed) {
        pending_ = std::move(pending);
        failed_ = std::move(failed);
        quiet_ = 0;
        if (pending_) timer_.start();
        else timer_.stop();
    }

private:
    void check() {
        if (!pending_) return timer_.stop();
        GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (bus != nullptr) {
            step(bus);
            g_object_unref(bus);
        }
        if (!pending_) timer_.stop();
    }

    void step(GDBusConnection* bus) {
        const std::optional<guint32> pid = ownerPid(bus);
        if (!pid) {  // ended, having saved its own mode: the next start reads ours
            writeMode(pending_->file, pending_->mode);
            pending_.reset();
            return;
        }
        if (*pid != pending_->pid) {  // started again by someone else, from the file
            if (!ours(*pid)) return pending_.reset();
            pending_->pid = *pid;
            pending_->process = processOf(*pid);
            quiet_ = 0;
        }
        const std::optional<int> windows = WindowsBesidesDesktop(envValue(pending_->process, "DISPLAY"), *pid);
        if (!windows) return pending_.reset();  // nothing tells what it would close
        // Two looks a second apart: a copy started from the desktop shows its window after a moment.
        quiet_ = *windows > 0 ? 0 : quiet_ + 1;
        if (quiet_ < 2) return;
        const Pending p = std::move(*pending_);
        pending_.reset();
        timer_.stop();
        restart(bus, p);
    }

    void restart(GDBusConnection* bus, const Pending& p) {
        GVariant* quit = call(bus, kService, kObject, kInterface, "quit", nullptr);
        if (quit != nullptr) g_variant_unref(quit);
        if (!waitOwned(bus, false)) return;  // still there, desktop and all
        writeMode(p.file, p.mode);
        // A change right after this one must find it.
        if (startAgain(p.process) && waitOwned(bus, true)) return;
        // Its message box runs events, a new change among them, which may replace failed_.
        if (auto tell = failed_) tell();
    }

    QTimer timer_;
    std::optional<Pending> pending_;
    std::function<void()> failed_;
    int quiet_ = 0;
};

ModeKeeper* keeper() {
    static QPointer<ModeKeeper> one;
    if (one.isNull() && QCoreApplication::instance() != nullptr) one = new ModeKeeper(QCoreApplication::instance());
    return one.data();
}

// pcmanfm-qt 1.2.1 shows the new mode but keeps the one it started with, and writes that one
// into its settings file whenever it saves them, with this change too (the new picture beside
// the old mode) and at its end. 1.4 and later save the new mode with the change: nothing to do.
std::optional<ModeKeeper::Pending> modeToKeep(GDBusConnection* bus, const std::string& mode) {
    const std::optional<guint32> pid = ownerPid(bus);
    if (!pid || !ours(*pid)) return std::nullopt;
    Process p = processOf(*pid);
    if (p.argv.empty() || p.env.empty()) return std::nullopt;  // not ours to start again
    const std::string file = target(settingsFile(p));
    const std::string text = readText(file);
    auto [begin, end] = modeSpan(text);
    if (begin == std::string::npos || text.compare(begin, end - begin, mode) == 0) return std::nullopt;
    if (::access(file.c_str(), W_OK) != 0) return std::nullopt;  // a restart could not keep it either
    return ModeKeeper::Pending{*pid, std::move(p), file, mode};
}

}  // namespace

bool SetPcmanfmWallpaper(const std::string& path, bool tiled, std::function<void()> restartFailed) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr) return false;
    const std::string mode = path.empty() ? "none" : (tiled ? "tile" : "center");
    bool shown = drawsDesktop(bus);
    if (shown) {
        // "color" is the command's name for no picture.
        GVariant* reply = call(bus, kService, kObject, kInterface, "setWallpaper",
                               g_variant_new("(ss)", path.c_str(), path.empty() ? "color" : mode.c_str()));
        shown = reply != nullptr;
        if (reply != nullptr) g_variant_unref(reply);
    }
    if (shown)
        if (ModeKeeper* k = keeper()) k->Keep(modeToKeep(bus, mode), std::move(restartFailed));
    g_object_unref(bus);
    return shown;
}

}  // namespace veska
