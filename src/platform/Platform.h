// Everything Veska asks of the operating system and the desktop, one small interface per group.
// Units reach the system only through these; src/platform/linux implements them for real and
// src/platform/scripted implements them for tests (real files, scripted everything else).
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "text/Sjis.h"

class QImage;

namespace veska {

class TMenuItem;
class TPopupMenu;

// ---- single instance: the named mutex ----------------------------------------------------------
class IInstanceLock {
public:
    virtual ~IInstanceLock() = default;
    // Creates the named mutex and holds it for the life of the process.
    // True when it already existed (another instance holds it).
    virtual bool CreateMutexAlreadyExists(const Bytes& name) = 0;
};

// ---- notification area -------------------------------------------------------------------------
// The shell's first, 88-byte notification record.
struct NotifyIconData {
    uint32_t cbSize = 0;
    uint32_t hWnd = 0;
    uint32_t uID = 0;
    uint32_t uFlags = 0;
    uint32_t uCallbackMessage = 0;
    uint32_t hIcon = 0;
    char szTip[64] = {};
};
static_assert(sizeof(NotifyIconData) == 88, "the record is the shell's 88-byte form");

constexpr uint32_t NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2;
constexpr uint32_t NIF_MESSAGE = 1, NIF_ICON = 2, NIF_TIP = 4;
constexpr uint32_t WM_USER = 0x400;
constexpr uint32_t WM_MOUSEMOVE = 512, WM_LBUTTONDOWN = 513, WM_LBUTTONUP = 514, WM_LBUTTONDBLCLK = 515,
                   WM_RBUTTONDOWN = 516, WM_RBUTTONUP = 517, WM_RBUTTONDBLCLK = 518, WM_MBUTTONDOWN = 519,
                   WM_MBUTTONUP = 520;

class ITrayShell {
public:
    using WindowProc = std::function<void(uint32_t message, uint32_t wParam, uint32_t lParam)>;
    virtual ~ITrayShell() = default;
    // A hidden window that receives the messages posted to it; returns its nonzero handle.
    virtual uint32_t CreateCallbackWindow(WindowProc proc) = 0;
    virtual void DestroyCallbackWindow(uint32_t hWnd) = 0;
    // Shell_NotifyIconA. image is the picture behind data.hIcon (null when hIcon is 0).
    virtual bool ShellNotifyIcon(uint32_t message, const NotifyIconData& data, const QImage* image) = 0;
};

// ---- windows, menus, message boxes -------------------------------------------------------------
struct Point {
    int x = 0, y = 0;
};

constexpr uint32_t MB_OK = 0x00, MB_OKCANCEL = 0x01, MB_YESNO = 0x04, MB_ICONHAND = 0x10, MB_ICONQUESTION = 0x20,
                   MB_ICONEXCLAMATION = 0x30, MB_ICONASTERISK = 0x40, MB_ICONERROR = MB_ICONHAND;
constexpr int IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;

class IDesktop {
public:
    virtual ~IDesktop() = default;
    // A modal message box. An empty caption means the system's default title. Returns IDOK, IDCANCEL, IDYES or IDNO.
    virtual int MessageBox(const Bytes& text, const Bytes& caption, uint32_t type) = 0;
    virtual void SetForegroundWindow() = 0;
    virtual Point GetCursorPos() = 0;
    virtual void ProcessMessages() = 0;
    // Shows the menu at (x, y) and tracks it until the user chooses or dismisses; returns the
    // chosen item or null. onSubmenuOpen runs whenever a submenu of an item opens.
    virtual TMenuItem* TrackPopupMenu(TPopupMenu& menu, int x, int y,
                                      const std::function<void(TMenuItem&)>& onSubmenuOpen) = 0;
    // Ends the application's message loop.
    virtual void Quit() = 0;
};

// ---- files ---------------------------------------------------------------------------------------
// One directory entry as a search reports it. nativePath names it for DeleteEntry even when
// its name has no CP932 form (name then holds a lossy form).
struct DirEntry {
    Bytes name;
    std::string nativePath;
    bool hidden = false;     // the name starts with "."
    bool directory = false;
    bool system = false;     // anything but a regular file, a directory, or a link to a regular file
    bool readOnly = false;   // not writable by the user, judged by permission bits
    uint64_t size = 0;
};

class IFiles {
public:
    virtual ~IFiles() = default;
    // The whole file; nothing when it is missing or cannot be read.
    virtual std::optional<Bytes> ReadFile(const Bytes& path) = 0;
    // Replaces the file atomically (temporary file in the same folder, flushed, renamed).
    // False when refused: a file without write permission, a missing or unwritable folder, or a
    // failed write; the old file is then exactly as it was.
    virtual bool WriteFileAtomic(const Bytes& path, const Bytes& content) = 0;
    // Whether WriteFileAtomic would be let write the file, asked without writing it.
    virtual bool MayReplace(const Bytes& path) = 0;
    // Creates the folder and its parents; false when it cannot.
    virtual bool CreateDirectories(const Bytes& path) = 0;
    // The entries standing directly in the folder ("." and ".." left out); empty when missing.
    virtual std::vector<DirEntry> ListDirectory(const Bytes& folder) = 0;
    // The entry the path names, if any (a link is reported as what it points to, unless dangling).
    virtual std::optional<DirEntry> FindFile(const Bytes& path) = 0;
    // Deletes one entry (a link itself, never its target); false when the system refuses,
    // read-only files included.
    virtual bool DeleteEntry(const DirEntry& entry) = 0;

    // A plain file is what a search for files finds: neither hidden, a directory nor a system
    // entry. The two below may be overridden to read the folder once, cheaply.

    // Whether the folder directly holds a plain file; stops at the first.
    virtual bool HoldsPlainFile(const Bytes& folder) {
        for (const DirEntry& e : ListDirectory(folder))
            if (!e.hidden && !e.directory && !e.system) return true;
        return false;
    }
    // Deletes the plain files standing directly in each folder as DeleteEntry would; failures
    // are passed over. The folders come together so that work they share is done once: the
    // system's version also leaves every file in use, and finds those once for all folders.
    virtual void DeletePlainFiles(const std::vector<Bytes>& folders) {
        for (const Bytes& folder : folders)
            for (const DirEntry& e : ListDirectory(folder))
                if (!e.hidden && !e.directory && !e.system) DeleteEntry(e);
    }
};

// ---- well-known places ---------------------------------------------------------------------------
class IPaths {
public:
    virtual ~IPaths() = default;
    // The configuration file: beside the program file, or the user's own for an installed program.
    virtual Bytes ConfigFile() = 0;
    virtual Bytes SettingsFile() = 0;       // the settings key's REGEDIT4 file
    virtual Bytes DefaultTempFolder() = 0;  // stands in for the Windows directory + "\TEMP"
    virtual Bytes DefaultSwapFile() = 0;    // stands in for the Windows directory + "\WIN386.SWP"
    // Stands in for "WIN386.SWP" in a chosen folder: the first swap file in use that stands
    // directly in it, else the folder's "swapfile" ("/" gives "/swapfile").
    virtual Bytes SwapFileIn(const Bytes& folder) = 0;
};

// ---- shell, sound, wallpaper, recent documents ---------------------------------------------------
class IShell {
public:
    virtual ~IShell() = default;
    // Opens the path with its default action; failures are silent.
    virtual void ShellExecute(const Bytes& path) = 0;
};

class ISound {
public:
    virtual ~ISound() = default;
    // Starts playing the file and returns at once; a missing file plays nothing.
    virtual void PlaySoundAsync(const Bytes& path) = 0;
};

class IWallpaper {
public:
    virtual ~IWallpaper() = default;
    // Sets the desktop wallpaper; an empty path removes it. False when nothing the desktop shows
    // took the change.
    virtual bool SetDeskWallpaper(const Bytes& path, bool tiled) = 0;
};

class IRecentDocs {
public:
    virtual ~IRecentDocs() = default;
    virtual bool AnyRecent() = 0;  // something in the desktop's recent-documents list
    virtual void ClearRecent() = 0;
};

// ---- file dialogs ------------------------------------------------------------------------------
// filter: "description|pattern;pattern|description|pattern..." pairs as the forms write them.
// initialFolder, a lone backslash, stands for the root of the file system.
struct FileDialogRequest {
    Bytes title;
    Bytes filter;
    Bytes initialFolder;
    // The directory chooser only: the user may type a folder that does not exist yet (the
    // caller makes it). Otherwise only existing folders can be chosen, and none created.
    bool newFolder = false;
};

// What a file dialog returned. NotRepresentable: the user chose a file or folder whose name
// code page 932 cannot hold; nativeName says which (UTF-8), and nothing must be stored.
struct FileChoice {
    enum Kind { Cancelled, Chosen, NotRepresentable } kind = Cancelled;
    Bytes path;              // Chosen: the full path in CP932
    std::string nativeName;  // NotRepresentable: the full path as the system spells it
};

class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;
    // The file-open dialog: the read-only box hidden, a desktop entry returned as itself.
    virtual FileChoice OpenFile(const FileDialogRequest& request) = 0;
    // The picture-open dialog, with a preview of the picture under the cursor.
    virtual FileChoice OpenPicture(const FileDialogRequest& request) = 0;
    // The directory chooser; see FileDialogRequest::newFolder.
    virtual FileChoice ChooseDirectory(const FileDialogRequest& request) = 0;
    // The name a file goes by on the desktop: a desktop entry's own Name in the user's language;
    // empty for any other file (its file name then serves).
    virtual Bytes DisplayName(const Bytes& path) = 0;
};

// ---- system figures ------------------------------------------------------------------------------
struct MemoryStatus {
    uint64_t totalPhys = 0;
    uint64_t availPhys = 0;
};

// Which step of the free-resources query could not be done (the query's messages follow it).
enum class ResourceFailure { None, Module, Function, Kernel, Thunk };

struct ResourceFigure {
    int percent = 0;  // 0..100 when failure is None
    ResourceFailure failure = ResourceFailure::None;
};

class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;
    virtual MemoryStatus GlobalMemoryStatus() = 0;
    // Bytes free to the user on the file system holding "/"; -1 when unknown.
    virtual int64_t DiskFreeBytes() = 0;
    // kind 0 system, 1 GDI, 2 user.
    virtual ResourceFigure FreeResource(int kind) = 0;
};

class IClock {
public:
    virtual ~IClock() = default;
    // Seed for the random wallpaper choice, taken from the time of day.
    virtual uint32_t TimeOfDaySeed() = 0;
};

// The platform handed to TMain and the forms.
struct Platform {
    IInstanceLock* lock = nullptr;
    ITrayShell* tray = nullptr;
    IDesktop* desktop = nullptr;
    IFiles* files = nullptr;
    IPaths* paths = nullptr;
    IShell* shell = nullptr;
    ISound* sound = nullptr;
    IWallpaper* wallpaper = nullptr;
    IRecentDocs* recent = nullptr;
    ISystemInfo* system = nullptr;
    IClock* clock = nullptr;
    IFileDialogs* dialogs = nullptr;
};

}  // namespace veska
