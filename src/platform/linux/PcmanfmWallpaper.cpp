#include "platform/linux/PcmanfmWallpaper.h"

#include <gio/gio.h>
#include <unistd.h>

#include <algorithm>
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

// The settings file of the profile the instance runs with, in its configuration folder.
std::string settingsFile(const Process& p) {
    std::string profile = "default", config, home;
    for (std::size_t i = 1; i < p.argv.size(); ++i) {
        const std::string& a = p.argv[i];
        if (a.rfind("--profile=", 0) == 0) profile = a.substr(10);
        if ((a == "--profile" || a == "-p") && i + 1 < p.argv.size()) profile = p.argv[i + 1];
    }
    for (const auto& e : p.env) {
        if (e.rfind("XDG_CONFIG_HOME=", 0) == 0) config = e.substr(16);
        if (e.rfind("HOME=", 0) == 0) home = e.substr(5);
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

// pcmanfm-qt 1.2.1 shows the new mode but keeps the one it started with, and writes that one into
// its settings file whenever it saves them, at its end too. Where it did, the instance is ended
// and started again as it was, with the mode put into the file in between: a start reads it.
void keepMode(GDBusConnection* bus, const std::string& mode) {
    GVariant* reply = callBus(bus, "GetConnectionUnixProcessID");
    if (reply == nullptr) return;
    guint32 pid = 0;
    g_variant_get(reply, "(u)", &pid);
    g_variant_unref(reply);
    const Process p = processOf(pid);
    if (p.argv.empty() || p.env.empty()) return;  // not ours to start again
    const std::string file = settingsFile(p);
    std::string text = readText(file);
    auto [begin, end] = modeSpan(text);
    if (begin != std::string::npos && text.compare(begin, end - begin, mode) == 0) return;

    GVariant* quit = call(bus, kService, kObject, kInterface, "quit", nullptr);
    if (quit != nullptr) g_variant_unref(quit);
    if (!waitOwned(bus, false)) return;
    text = readText(file);
    std::tie(begin, end) = modeSpan(text);
    if (begin != std::string::npos) {
        text.replace(begin, end - begin, mode);
        g_file_set_contents(file.c_str(), text.data(), static_cast<gssize>(text.size()), nullptr);
    }
    // A change right after this one must find it.
    if (startAgain(p)) waitOwned(bus, true);
}

}  // namespace

bool SetPcmanfmWallpaper(const std::string& path, bool tiled) {
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
    if (shown) keepMode(bus, mode);
    g_object_unref(bus);
    return shown;
}

}  // namespace veska
