// Opening a path with its default action: programs start directly, desktop entries through GIO,
// everything else with the desktop's default handler for its type.
#pragma once
#include <string>

#include "platform/Platform.h"

namespace veska {

enum class LaunchKind { Nothing, Program, DesktopEntry, Document };

// What opening the (absolute, native) path does. A program is an executable regular file that
// holds a machine program or starts with "#!"; an executable document (every file on some
// mounted disks is) is opened as a document, never fed to a shell.
LaunchKind ClassifyLaunch(const std::string& nativePath);

// The path as given when absolute, else resolved against the current folder (as the shell
// would), so that no helper ever sees a path that starts with "-".
std::string AbsoluteFromCurrent(const std::string& nativePath);

class LinuxShell : public IShell {
public:
    void ShellExecute(const Bytes& path) override;
};

}  // namespace veska
