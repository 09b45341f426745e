// The configuration file (an INI file beside the program), opened for one operation:
// the constructor reads and parses it once, reads and writes work on the parsed copy, and
// Close() writes the whole file back atomically when anything changed.
#pragma once
#include <memory>

#include "platform/Platform.h"
#include "vcl/Exception.h"

namespace veska {

class IniDocument;

// A configuration file that cannot be written.
class EIniFileException : public Exception {
    using Exception::Exception;
};

class ConfigFile {
public:
    ConfigFile(IFiles& files, Bytes path);
    ~ConfigFile();  // closing without Close() discards unsaved changes
    ConfigFile(const ConfigFile&) = delete;
    ConfigFile& operator=(const ConfigFile&) = delete;

    const Bytes& Path() const { return path_; }

    // The default when the key is missing; values are kept up to 2047 bytes.
    Bytes ReadString(const Bytes& section, const Bytes& key, const Bytes& def);
    // Decimal with blanks and a sign, "$" or "0x"/"0X" hexadecimal; the default otherwise.
    int ReadInteger(const Bytes& section, const Bytes& key, int def);
    bool ReadBool(const Bytes& section, const Bytes& key, bool def);

    void WriteString(const Bytes& section, const Bytes& key, const Bytes& value);
    void WriteInteger(const Bytes& section, const Bytes& key, int value);
    void WriteBool(const Bytes& section, const Bytes& key, bool value);
    void EraseSection(const Bytes& section);

    // Writes the changes, if any. Raises "%s に書き込めません" (the file's path) when the file
    // cannot be written, also after writes that changed nothing; the file on disk is then
    // exactly as it was.
    void Close();

private:
    IFiles& files_;
    Bytes path_;
    std::unique_ptr<IniDocument> doc_;
    Bytes original_;          // the file as read
    bool unreadable_ = false; // there but not readable: never overwritten
    bool touched_ = false;    // written since the last Close, changed or not
    bool dirty_ = false;      // changed

    [[noreturn]] void refuse() const;
};

// The configuration file's path: the program file's path with its extension replaced by
// ".INI" (appended when it has none).
Bytes ConfigFilePath(const Bytes& programPath);

}  // namespace veska
