#include "store/SettingsKey.h"

#include "store/IntegerText.h"
#include "store/RegDocument.h"
#include "text/Codec.h"
#include "vcl/Exception.h"

namespace veska {
namespace {

Bytes createFailed(const Bytes& key) { return format1(sj("キー %s の作成に失敗しました"), key); }
Bytes setFailed(const Bytes& name) { return format1(sj("'%s' の設定に失敗しました"), name); }

Bytes folderOf(const Bytes& file) {
    std::size_t slash = file.find_last_of('/');
    if (slash == Bytes::npos) return ".";
    return slash == 0 ? Bytes("/") : file.substr(0, slash);
}

}  // namespace

SettingsKey::SettingsKey(IFiles& files, Bytes settingsFile, Bytes keyPath)
    : files_(files), file_(std::move(settingsFile)), keyPath_(std::move(keyPath)) {
    auto text = files_.ReadFile(file_);
    if (!text) unreadable_ = files_.FindFile(file_).has_value();
    doc_ = std::make_unique<RegDocument>(text.value_or(Bytes()));
    if (!RegDocument::CanStorePath(keyPath_)) throw ERegistryException(createFailed(keyPath_));
    if (doc_->CreateKey(keyPath_)) noteWrite(createFailed(keyPath_), true);
}

SettingsKey::~SettingsKey() = default;

Bytes SettingsKey::pathOf(const Bytes& subkey) const { return subkey.empty() ? keyPath_ : keyPath_ + "\\" + subkey; }

void SettingsKey::noteWrite(const Bytes& message, bool changed) {
    if (!touched_) failure_ = message;
    touched_ = true;
    dirty_ = dirty_ || changed;
}

Bytes SettingsKey::ReadString(const Bytes& subkey, const Bytes& name, const Bytes& def) {
    RegDocument::Value v = doc_->Get(pathOf(subkey), name);
    switch (v.kind) {
        case RegDocument::Kind::Missing: return def;
        case RegDocument::Kind::Text: return v.text;
        case RegDocument::Kind::Other: break;
    }
    throw ERegistryException(format1(sj("'%s' のデータ型が不正です"), name));
}

int SettingsKey::ReadInteger(const Bytes& subkey, const Bytes& name, int def) {
    RegDocument::Value v = doc_->Get(pathOf(subkey), name);
    if (v.kind == RegDocument::Kind::Missing) return def;
    return StrToIntDef(ReadString(subkey, name, Bytes()), def);
}

bool SettingsKey::ReadBool(const Bytes& subkey, const Bytes& name, bool def) {
    return ReadInteger(subkey, name, def ? 1 : 0) != 0;
}

std::optional<std::uint32_t> SettingsKey::ReadDword(const Bytes& subkey, const Bytes& name) {
    return doc_->Get(pathOf(subkey), name).dword;
}

void SettingsKey::WriteString(const Bytes& subkey, const Bytes& name, const Bytes& value) {
    const Bytes path = pathOf(subkey);
    if (!RegDocument::CanStorePath(path)) throw ERegistryException(createFailed(subkey));
    if (!RegDocument::CanStoreText(name) || !RegDocument::CanStoreText(value))
        throw ERegistryException(setFailed(name));
    const bool created = doc_->CreateKey(path);
    const bool changed = doc_->Set(path, name, value);
    noteWrite(created ? createFailed(subkey) : setFailed(name), created || changed);
}

void SettingsKey::WriteInteger(const Bytes& subkey, const Bytes& name, int value) {
    WriteString(subkey, name, IntToStr(value));
}

void SettingsKey::WriteBool(const Bytes& subkey, const Bytes& name, bool value) {
    WriteString(subkey, name, value ? "1" : "0");
}

void SettingsKey::Close() {
    if (!touched_) return;
    // Writes that changed nothing are skipped, yet refused where they would be. The key exists
    // then, so the file does.
    const bool written = dirty_ ? files_.CreateDirectories(folderOf(file_)) &&
                                      files_.WriteFileAtomic(file_, doc_->Serialize())
                                : files_.MayReplace(file_);
    if (unreadable_ || !written) throw ERegistryException(failure_);
    dirty_ = touched_ = false;
}

}  // namespace veska
