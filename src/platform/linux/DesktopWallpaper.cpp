#include "platform/linux/DesktopWallpaper.h"

#include <gio/gio.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/linux/PcmanfmWallpaper.h"
#include "platform/linux/SwayWallpaper.h"

namespace veska {
namespace {

std::string toUri(const std::string& path) {
    if (path.empty()) return {};
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    if (uri == nullptr) return {};
    std::string out(uri);
    g_free(uri);
    return out;
}

struct Setting {
    const char* key;
    std::string value;
    bool required;
};

// Only touches a schema that is installed: GSettings aborts the process on an unknown one.
bool applyGSettings(const char* schemaId, const std::vector<Setting>& settings) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr) return false;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, schemaId, TRUE);
    if (schema == nullptr) return false;
    bool ok = true;
    for (const auto& s : settings) {
        if (s.required && !g_settings_schema_has_key(schema, s.key)) ok = false;
    }
    if (ok) {
        GSettings* gs = g_settings_new_full(schema, nullptr, nullptr);
        for (const auto& s : settings) {
            if (!g_settings_schema_has_key(schema, s.key)) continue;
            GSettingsSchemaKey* key = g_settings_schema_get_key(schema, s.key);
            GVariant* v = g_variant_ref_sink(g_variant_new_string(s.value.c_str()));
            if (g_variant_type_equal(g_settings_schema_key_get_value_type(key), G_VARIANT_TYPE_STRING) &&
                g_settings_schema_key_range_check(key, v))
                g_settings_set_value(gs, s.key, v);
            g_variant_unref(v);
            g_settings_schema_key_unref(key);
        }
        g_settings_sync();  // the backend writes asynchronously; we may be gone before it does
        g_object_unref(gs);
    }
    g_settings_schema_unref(schema);
    return ok;
}

bool runTool(const std::vector<std::string>& args, std::string* out) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    gchar* captured = nullptr;
    gint status = 0;
    GError* err = nullptr;
    auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDERR_TO_DEV_NULL |
                                          (out ? 0 : G_SPAWN_STDOUT_TO_DEV_NULL));
    bool ok = g_spawn_sync(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, out ? &captured : nullptr, nullptr,
                           &status, &err);
    if (err) g_error_free(err);
    if (captured) {
        *out = captured;
        g_free(captured);
    }
    return ok && g_spawn_check_wait_status(status, nullptr);
}

bool applyXfce(const std::string& path, bool tiled) {
    std::string listing;
    if (!runTool({"xfconf-query", "-c", "xfce4-desktop", "-l"}, &listing)) return false;
    std::vector<std::string> images;
    std::size_t pos = 0;
    const std::string suffix = "/last-image";
    while (pos < listing.size()) {
        std::size_t nl = listing.find('\n', pos);
        if (nl == std::string::npos) nl = listing.size();
        std::string line = listing.substr(pos, nl - pos);
        if (line.size() > suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
            images.push_back(line);
        pos = nl + 1;
    }
    if (images.empty()) images.push_back("/backdrop/screen0/monitor0/workspace0/last-image");
    // image-style: 0 none, 1 centred, 2 tiled.
    const std::string style = path.empty() ? "0" : (tiled ? "2" : "1");
    for (const auto& prop : images) {
        std::string base = prop.substr(0, prop.size() - suffix.size());
        if (!path.empty())
            runTool({"xfconf-query", "-c", "xfce4-desktop", "-p", prop, "-n", "-t", "string", "-s", path}, nullptr);
        runTool({"xfconf-query", "-c", "xfce4-desktop", "-p", base + "/image-style", "-n", "-t", "int", "-s", style},
                nullptr);
    }
    return true;
}

// A JavaScript string literal that holds the text whatever it contains.
std::string jsString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\' && c != '\'') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);  // the URI is ASCII; other bytes stay bytes
            out += buf;
        }
    }
    return out + "\"";
}

bool applyPlasma(const std::string& path, bool tiled) {
    GError* err = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &err);
    if (bus == nullptr) {
        if (err) g_error_free(err);
        return false;
    }
    std::string script = PlasmaWallpaperScript(path, tiled);
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell",
                                                  "evaluateScript", g_variant_new("(s)", script.c_str()), nullptr,
                                                  G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr, &err);
    bool ok = reply != nullptr;
    if (reply) g_variant_unref(reply);
    if (err) g_error_free(err);
    g_object_unref(bus);
    return ok;
}

}  // namespace

DesktopKind DesktopFromXdg(std::string_view list) {
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t colon = list.find(':', pos);
        if (colon == std::string_view::npos) colon = list.size();
        std::string name(list.substr(pos, colon - pos));
        for (char& c : name)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (name == "KDE") return DesktopKind::Plasma;
        if (name == "X-CINNAMON" || name == "CINNAMON") return DesktopKind::Cinnamon;
        if (name == "MATE") return DesktopKind::Mate;
        if (name == "XFCE") return DesktopKind::Xfce;
        if (name == "LXQT") return DesktopKind::Lxqt;
        if (name == "SWAY") return DesktopKind::Sway;
        if (name == "GNOME" || name == "GNOME-CLASSIC" || name == "UNITY" || name == "BUDGIE" || name == "PANTHEON")
            return DesktopKind::Gnome;
        pos = colon + 1;
    }
    return DesktopKind::None;
}

SessionDesktop CurrentDesktop() {
    auto env = [](const char* name) {
        const char* v = std::getenv(name);
        return std::string_view(v ? v : "");
    };
    SessionDesktop out;
    out.kind = DesktopFromXdg(env("XDG_CURRENT_DESKTOP"));
    if (out.kind == DesktopKind::None && !env("SWAYSOCK").empty()) out.kind = DesktopKind::Sway;
    out.wayland = !env("WAYLAND_DISPLAY").empty() || env("XDG_SESSION_TYPE") == "wayland";
    return out;
}

std::string PlasmaWallpaperScript(const std::string& path, bool tiled) {
    std::string s = "var all = desktops();\nfor (var i = 0; i < all.length; i++) {\n    var d = all[i];\n";
    if (path.empty()) {
        s += "    d.wallpaperPlugin = \"org.kde.color\";\n";
    } else {
        // Fill modes of the image plugin: 3 tiles, 6 centres without scaling.
        s += "    d.wallpaperPlugin = \"org.kde.image\";\n"
             "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
             "    d.writeConfig(\"Image\", " + jsString(toUri(path)) + ");\n"
             "    d.writeConfig(\"FillMode\", " + std::string(tiled ? "3" : "6") + ");\n";
    }
    return s + "}\n";
}

bool SetDesktopWallpaper(DesktopKind kind, const std::string& path, bool tiled, std::function<void()> desktopLost) {
    const std::string options = path.empty() ? "none" : (tiled ? "wallpaper" : "centered");
    const std::string uri = toUri(path);
    if (!path.empty() && uri.empty()) return false;
    switch (kind) {
    case DesktopKind::Gnome:
        return applyGSettings("org.gnome.desktop.background", {{"picture-uri", uri, true},
                                                               {"picture-uri-dark", uri, false},
                                                               {"picture-options", options, true}});
    case DesktopKind::Cinnamon:
        return applyGSettings("org.cinnamon.desktop.background",
                              {{"picture-uri", uri, true}, {"picture-options", options, true}});
    case DesktopKind::Mate:
        return applyGSettings("org.mate.background",
                              {{"picture-filename", path, true}, {"picture-options", options, true}});
    case DesktopKind::Xfce: return applyXfce(path, tiled);
    case DesktopKind::Plasma: return applyPlasma(path, tiled);
    case DesktopKind::Lxqt: return SetPcmanfmWallpaper(path, tiled, std::move(desktopLost));
    case DesktopKind::Sway: return SetSwayWallpaper(path, tiled);
    case DesktopKind::None: return false;
    }
    return false;
}

}  // namespace veska
