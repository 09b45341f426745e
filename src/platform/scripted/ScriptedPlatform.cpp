#include "platform/scripted/ScriptedPlatform.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace veska {

uint32_t ScriptedTray::CreateCallbackWindow(WindowProc proc) {
    uint32_t h = nextWindow_++;
    windows[h] = std::move(proc);
    return h;
}

bool ScriptedTray::ShellNotifyIcon(uint32_t message, const NotifyIconData& data, const QImage* image) {
    calls.push_back({message, data, image != nullptr && !image->isNull()});
    if (message == NIM_ADD && failAdd) return false;
    if (message == NIM_MODIFY && failModify) return false;
    return true;
}

void ScriptedTray::Post(uint32_t hWnd, uint32_t message, uint32_t wParam, uint32_t lParam) {
    auto it = windows.find(hWnd);
    if (it != windows.end()) it->second(message, wParam, lParam);
}

int ScriptedTray::CountOf(uint32_t message) const {
    int n = 0;
    for (const auto& c : calls) n += c.message == message;
    return n;
}

int ScriptedDesktop::MessageBox(const Bytes& text, const Bytes& caption, uint32_t type) {
    boxes.push_back({text, caption, type});
    if (answers.empty()) return (type & 0x0F) == MB_YESNO ? IDYES : IDOK;
    int a = answers.front();
    answers.pop_front();
    return a;
}

TMenuItem* ScriptedDesktop::TrackPopupMenu(TPopupMenu& menu, int x, int y,
                                           const std::function<void(TMenuItem&)>& onSubmenuOpen) {
    popups.push_back({&menu, x, y});
    return choose ? choose(menu, onSubmenuOpen) : nullptr;
}

ScriptedPaths::ScriptedPaths(const Bytes& root)
    : programPath(root + "/bin/veska"),
      configFile(programPath + ".INI"),
      settingsFile(root + "/config/veska/registry.reg"),
      tempFolder(root + "/tmp"),
      swapFile(root + "/swapfile") {}

Bytes ScriptedPlatform::makeRoot() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "veska-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a test folder");
    std::filesystem::create_directories(tmpl + "/bin");
    std::filesystem::create_directories(tmpl + "/tmp");
    return tmpl;
}

ScriptedPlatform::ScriptedPlatform() : paths(makeRoot()) {
    root_ = paths.programPath.substr(0, paths.programPath.size() - std::string("/bin/veska").size());
    platform_.lock = &lock;
    platform_.tray = &tray;
    platform_.desktop = &desktop;
    platform_.files = &files;
    platform_.paths = &paths;
    platform_.shell = &shell;
    platform_.sound = &sound;
    platform_.wallpaper = &wallpaper;
    platform_.recent = &recent;
    platform_.system = &system;
    platform_.clock = &clock;
    platform_.dialogs = &dialogs;
}

ScriptedPlatform::~ScriptedPlatform() {
    std::error_code ec;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root_, ec);
}

}  // namespace veska
