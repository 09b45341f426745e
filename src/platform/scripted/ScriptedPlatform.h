// The platform for tests: real files under a private folder, everything else scripted and recorded.
#pragma once
#include <QImage>
#include <deque>
#include <map>
#include <memory>

#include "platform/Platform.h"
#include "platform/linux/LinuxFiles.h"

namespace veska {

class ScriptedLock : public IInstanceLock {
public:
    bool CreateMutexAlreadyExists(const Bytes& name) override {
        names.push_back(name);
        return alreadyExists;
    }
    bool alreadyExists = false;
    std::vector<Bytes> names;
};

class ScriptedTray : public ITrayShell {
public:
    struct Call {
        uint32_t message;
        NotifyIconData data;
        bool hadImage;
    };
    uint32_t CreateCallbackWindow(WindowProc proc) override;
    void DestroyCallbackWindow(uint32_t hWnd) override { windows.erase(hWnd); }
    bool ShellNotifyIcon(uint32_t message, const NotifyIconData& data, const QImage* image) override;
    // Delivers a message to a callback window as the shell would post it.
    void Post(uint32_t hWnd, uint32_t message, uint32_t wParam, uint32_t lParam);
    int CountOf(uint32_t message) const;

    std::vector<Call> calls;
    std::map<uint32_t, WindowProc> windows;
    bool failAdd = false, failModify = false;

private:
    uint32_t nextWindow_ = 100;
};

class ScriptedDesktop : public IDesktop {
public:
    struct Box {
        Bytes text, caption;
        uint32_t type;
    };
    int MessageBox(const Bytes& text, const Bytes& caption, uint32_t type) override;
    void SetForegroundWindow() override { ++foregroundCalls; }
    Point GetCursorPos() override { return cursor; }
    void ProcessMessages() override { ++processCalls; }
    TMenuItem* TrackPopupMenu(TPopupMenu& menu, int x, int y,
                              const std::function<void(TMenuItem&)>& onSubmenuOpen) override;
    void Quit() override { ++quitCalls; }

    std::vector<Box> boxes;
    std::deque<int> answers;  // message box answers in order; IDOK (IDYES) when none is left
    Point cursor{10, 20};
    int foregroundCalls = 0, processCalls = 0, quitCalls = 0;
    struct Popup {
        TPopupMenu* menu;
        int x, y;
    };
    std::vector<Popup> popups;
    // Chooses the item to return from a popup, given the menu; none dismisses it.
    std::function<TMenuItem*(TPopupMenu&, const std::function<void(TMenuItem&)>&)> choose;
};

class ScriptedPaths : public IPaths {
public:
    explicit ScriptedPaths(const Bytes& root);
    Bytes ConfigFile() override { return configFile; }
    Bytes SettingsFile() override { return settingsFile; }
    Bytes DefaultTempFolder() override { return tempFolder; }
    Bytes DefaultSwapFile() override { return swapFile; }
    Bytes SwapFileIn(const Bytes& folder) override {
        return folder + (!folder.empty() && folder.back() == '/' ? "" : "/") + "swapfile";
    }
    Bytes programPath, configFile, settingsFile, tempFolder, swapFile;
};

class ScriptedShell : public IShell {
public:
    void ShellExecute(const Bytes& path) override { opened.push_back(path); }
    std::vector<Bytes> opened;
};

class ScriptedSound : public ISound {
public:
    void PlaySoundAsync(const Bytes& path) override { played.push_back(path); }
    std::vector<Bytes> played;
};

class ScriptedWallpaper : public IWallpaper {
public:
    struct Set {
        Bytes path;
        bool tiled;
    };
    bool SetDeskWallpaper(const Bytes& path, bool tiled) override {
        sets.push_back({path, tiled});
        return takes;
    }
    std::vector<Set> sets;
    bool takes = true;  // whether the desktop takes the change
};

class ScriptedRecent : public IRecentDocs {
public:
    bool AnyRecent() override {
        ++queries;
        return any;
    }
    void ClearRecent() override {
        ++clears;
        any = false;
    }
    bool any = false;
    int queries = 0, clears = 0;
};

class ScriptedSystem : public ISystemInfo {
public:
    MemoryStatus GlobalMemoryStatus() override {
        ++memoryQueries;
        return memory;
    }
    int64_t DiskFreeBytes() override { return diskFree; }
    ResourceFigure FreeResource(int kind) override {
        ++resourceQueries;
        return resources[kind < 0 || kind > 2 ? 0 : kind];
    }
    MemoryStatus memory{33554432, 16777216};
    int64_t diskFree = 3000000000;
    ResourceFigure resources[3] = {{78, ResourceFailure::None}, {78, ResourceFailure::None}, {85, ResourceFailure::None}};
    int memoryQueries = 0, resourceQueries = 0;
};

class ScriptedClock : public IClock {
public:
    uint32_t TimeOfDaySeed() override { return seed++; }
    uint32_t seed = 1;
};

// File dialogs answered from a queue; every request is recorded.
class ScriptedFileDialogs : public IFileDialogs {
public:
    struct Request {
        char kind;  // 'f' file, 'p' picture, 'd' directory
        FileDialogRequest request;
    };
    FileChoice OpenFile(const FileDialogRequest& r) override { return answer('f', r); }
    FileChoice OpenPicture(const FileDialogRequest& r) override { return answer('p', r); }
    FileChoice ChooseDirectory(const FileDialogRequest& r) override { return answer('d', r); }
    Bytes DisplayName(const Bytes& path) override {
        auto it = displayNames.find(path);
        return it == displayNames.end() ? Bytes() : it->second;
    }
    // Queues the next answer: a chosen path, a cancel, or a name CP932 cannot hold.
    void Choose(const Bytes& path) { answers.push_back({FileChoice::Chosen, path, {}}); }
    void Cancel() { answers.push_back({}); }
    void ChooseUnrepresentable(const std::string& utf8) {
        answers.push_back({FileChoice::NotRepresentable, {}, utf8});
    }

    std::deque<FileChoice> answers;  // a cancel when none is left
    std::vector<Request> requests;
    std::map<Bytes, Bytes> displayNames;

private:
    FileChoice answer(char kind, const FileDialogRequest& r) {
        requests.push_back({kind, r});
        if (answers.empty()) return {};
        FileChoice c = answers.front();
        answers.pop_front();
        return c;
    }
};

// A whole scripted platform rooted in a fresh temporary folder, removed when it goes.
class ScriptedPlatform {
public:
    ScriptedPlatform();
    ~ScriptedPlatform();
    Platform& platform() { return platform_; }
    operator Platform&() { return platform_; }  // NOLINT
    const Bytes& root() const { return root_; }
    // The configuration file beside the scripted program file.
    Bytes ConfigPath() const { return paths.configFile; }

    ScriptedLock lock;
    ScriptedTray tray;
    ScriptedDesktop desktop;
    LinuxFiles files;
    ScriptedPaths paths;
    ScriptedShell shell;
    ScriptedSound sound;
    ScriptedWallpaper wallpaper;
    ScriptedRecent recent;
    ScriptedSystem system;
    ScriptedClock clock;
    ScriptedFileDialogs dialogs;

private:
    static Bytes makeRoot();
    Bytes root_;
    Platform platform_;
};

}  // namespace veska
