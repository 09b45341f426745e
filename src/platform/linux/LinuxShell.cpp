#include "platform/linux/LinuxShell.h"

#include <fcntl.h>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string_view>
#include <vector>

#include "platform/linux/Activation.h"
#include "platform/linux/DetachedSpawn.h"
#include "text/Codec.h"

namespace veska {
namespace {

bool endsWithDesktop(const std::string& p) {
    static const std::string ext = ".desktop";
    if (p.size() <= ext.size()) return false;
    for (std::size_t i = 0; i < ext.size(); ++i) {
        char c = p[p.size() - ext.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != ext[i]) return false;
    }
    return true;
}

bool startsLikeProgram(const std::string& p) {
    int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    char head[4] = {};
    ssize_t n;
    do n = ::read(fd, head, sizeof head);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n >= 4 && head[0] == '\x7f' && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') return true;
    return n >= 2 && head[0] == '#' && head[1] == '!';
}

// What a program started on a tray host's click gets, so that it comes up in front: the
// host's token, under the names Wayland and X11 programs look for.
std::vector<std::string> activationEnv() {
    const std::string token = TakeActivationToken();
    if (token.empty()) return {};
    return {"XDG_ACTIVATION_TOKEN=" + token, "DESKTOP_STARTUP_ID=" + token};
}

GAppLaunchContext* launchContext() {
    GAppLaunchContext* context = g_app_launch_context_new();
    for (const std::string& var : activationEnv()) {
        const std::size_t eq = var.find('=');
        g_app_launch_context_setenv(context, var.substr(0, eq).c_str(), var.substr(eq + 1).c_str());
    }
    return context;
}

void openUri(const char* uri) {
    GError* err = nullptr;
    GAppLaunchContext* context = launchContext();
    g_app_info_launch_default_for_uri(uri, context, &err);
    g_object_unref(context);
    if (err) g_error_free(err);
}

// A link entry (the desktop's shortcut to a document or web address) opens its URL, as a
// shortcut opens its target; GIO's application info takes only application entries.
void openLinkEntry(const std::string& p) {
    GKeyFile* kf = g_key_file_new();
    if (g_key_file_load_from_file(kf, p.c_str(), G_KEY_FILE_NONE, nullptr)) {
        gchar* type = g_key_file_get_string(kf, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_TYPE, nullptr);
        gchar* url = g_key_file_get_string(kf, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_URL, nullptr);
        if (type && url && std::string_view(type) == G_KEY_FILE_DESKTOP_TYPE_LINK && *url) {
            // A bare path is a file of this machine.
            if (url[0] == '/') {
                if (gchar* uri = g_filename_to_uri(url, nullptr, nullptr)) {
                    openUri(uri);
                    g_free(uri);
                }
            } else {
                openUri(url);
            }
        }
        g_free(type);
        g_free(url);
    }
    g_key_file_free(kf);
}

void launchDesktopEntry(const std::string& p) {
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(p.c_str());
    if (info == nullptr) {
        openLinkEntry(p);
        return;
    }
    GError* err = nullptr;
    GAppLaunchContext* context = launchContext();
    g_app_info_launch(G_APP_INFO(info), nullptr, context, &err);
    g_object_unref(context);
    if (err) g_error_free(err);
    g_object_unref(info);
}

void openWithDefault(const std::string& p) {
    GError* err = nullptr;
    gchar* uri = g_filename_to_uri(p.c_str(), nullptr, &err);  // escapes everything: no quoting to get wrong
    if (uri == nullptr) {
        if (err) g_error_free(err);
        return;
    }
    openUri(uri);
    g_free(uri);
}

}  // namespace

LaunchKind ClassifyLaunch(const std::string& p) {
    struct stat st {};
    if (p.empty() || ::stat(p.c_str(), &st) != 0) return LaunchKind::Nothing;
    if (S_ISREG(st.st_mode) && endsWithDesktop(p)) return LaunchKind::DesktopEntry;
    if (S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0 && startsLikeProgram(p)) return LaunchKind::Program;
    return LaunchKind::Document;
}

std::string AbsoluteFromCurrent(const std::string& p) {
    if (p.empty() || p[0] == '/') return p;
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return "/" + p;
    std::string base(cwd);
    return base == "/" ? "/" + p : base + "/" + p;
}

void LinuxShell::ShellExecute(const Bytes& path) {
    if (path.empty()) return;
    std::string p = AbsoluteFromCurrent(toUtf8(path));
    switch (ClassifyLaunch(p)) {
    case LaunchKind::Nothing: return;
    case LaunchKind::Program: SpawnDetached(p, activationEnv()); return;
    case LaunchKind::DesktopEntry: launchDesktopEntry(p); return;
    case LaunchKind::Document: openWithDefault(p); return;
    }
}

}  // namespace veska
