// File dialogs: Qt's own widget dialogs rather than the desktop's, so they behave alike on every
// desktop and the file types the forms ask for can mean what they mean here.
#pragma once
#include <QRegularExpression>
#include <QString>
#include <vector>

#include "platform/Platform.h"

namespace veska {

// One pattern of a file type, as it reads on Linux.
struct FilterRule {
    enum Kind {
        ExecutableFile,  // *.EXE: a regular file the user may run, whatever its name
        DesktopEntry,    // *.LNK: a .desktop file
        AnyFile,         // *.*
        NamePattern,     // anything else, matched without regard to case
    } kind = AnyFile;
    QRegularExpression pattern;  // NamePattern only
};

// One entry of the file-type box.
struct ParsedFilter {
    QString label;  // the description's words, its bracket saying what is shown here
    std::vector<FilterRule> rules;
};

// The forms' "description|pattern;pattern|description|..." text, one entry per pair.
std::vector<ParsedFilter> ParseFilter(const Bytes& filter);

// Whether the file type lets the entry be listed; folders always are.
bool FilterAccepts(const ParsedFilter& filter, const QString& name, bool directory, bool executableFile);

class LinuxFileDialogs : public IFileDialogs {
public:
    FileChoice OpenFile(const FileDialogRequest& request) override;
    FileChoice OpenPicture(const FileDialogRequest& request) override;
    FileChoice ChooseDirectory(const FileDialogRequest& request) override;
    Bytes DisplayName(const Bytes& path) override;
};

}  // namespace veska
