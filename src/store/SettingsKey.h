// The settings key, kept in one REGEDIT4 file: opened for one operation (opening creates the
// key), reads and writes work on the parsed copy, Close() writes the file back atomically.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/Platform.h"

namespace veska {

class RegDocument;

class SettingsKey {
public:
    // keyPath below HKEY_CURRENT_USER, for instance "Software\Tollbrae\Veska".
    SettingsKey(IFiles& files, Bytes settingsFile, Bytes keyPath);
    ~SettingsKey();  // closing without Close() discards unsaved changes
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    // subkey empty: the key's own values. A value of another type than text raises
    // "'%s' のデータ型が不正です" with the value's name.
    Bytes ReadString(const Bytes& subkey, const Bytes& name, const Bytes& def);
    // As the configuration file's integers, without "0x".
    int ReadInteger(const Bytes& subkey, const Bytes& name, int def);
    bool ReadBool(const Bytes& subkey, const Bytes& name, bool def);
    // The number a "dword:" value holds, which the reads above refuse; nothing for any other.
    std::optional<std::uint32_t> ReadDword(const Bytes& subkey, const Bytes& name);

    // Creates the subkey when missing and stores the value as text.
    void WriteString(const Bytes& subkey, const Bytes& name, const Bytes& value);
    void WriteInteger(const Bytes& subkey, const Bytes& name, int value);
    void WriteBool(const Bytes& subkey, const Bytes& name, bool value);

    // Writes the changes, if any. Raises "キー %s の作成に失敗しました" when the key cannot be
    // created and "'%s' の設定に失敗しました" when a value cannot be stored, also after writes
    // that changed nothing; the file is then exactly as it was.
    void Close();

private:
    IFiles& files_;
    Bytes file_;
    Bytes keyPath_;
    std::unique_ptr<RegDocument> doc_;
    bool unreadable_ = false;  // there but not readable: never overwritten
    bool touched_ = false;  // written since the last Close, changed or not
    bool dirty_ = false;    // changed
    // The message for a failed Close: the first write since the last Close decides it, changed
    // or not, as the first refused call would.
    Bytes failure_;

    Bytes pathOf(const Bytes& subkey) const;
    void noteWrite(const Bytes& message, bool changed);
};

}  // namespace veska
