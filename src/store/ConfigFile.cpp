#include "store/ConfigFile.h"

#include <stdexcept>

#include "store/IniDocument.h"
#include "store/IntegerText.h"
#include "text/Codec.h"

namespace veska {

ConfigFile::ConfigFile(IFiles& files, Bytes path) : files_(files), path_(std::move(path)) {
    auto text = files_.ReadFile(path_);
    if (text) {
        original_ = std::move(*text);
    } else {
        // A file that is there but cannot be read must not be replaced by what little we know.
        unreadable_ = files_.FindFile(path_).has_value();
    }
    doc_ = std::make_unique<IniDocument>(original_);
}

ConfigFile::~ConfigFile() = default;

void ConfigFile::refuse() const { throw EIniFileException(format1(sj("%s に書き込めません"), path_)); }

Bytes ConfigFile::ReadString(const Bytes& section, const Bytes& key, const Bytes& def) {
    return doc_->Get(section, key).value_or(def);
}

int ConfigFile::ReadInteger(const Bytes& section, const Bytes& key, int def) {
    auto text = doc_->Get(section, key);
    return text ? IniStrToIntDef(*text, def) : def;
}

bool ConfigFile::ReadBool(const Bytes& section, const Bytes& key, bool def) {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void ConfigFile::WriteString(const Bytes& section, const Bytes& key, const Bytes& value) {
    // A line break in a value would forge lines of its own: refused as a failed write.
    if (!IniDocument::CanStore(section, key, value)) refuse();
    touched_ = true;
    if (doc_->Set(section, key, value)) dirty_ = true;
}

void ConfigFile::WriteInteger(const Bytes& section, const Bytes& key, int value) {
    WriteString(section, key, IntToStr(value));
}

void ConfigFile::WriteBool(const Bytes& section, const Bytes& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void ConfigFile::EraseSection(const Bytes& section) {
    touched_ = true;
    if (doc_->EraseSection(section)) dirty_ = true;
}

void ConfigFile::Close() {
    if (!touched_) return;
    Bytes text = dirty_ ? doc_->Serialize() : original_;
    // Writing the bytes the file holds already is skipped, yet refused where the write would be.
    const bool same = text == original_;
    if (unreadable_ || !(same ? files_.MayReplace(path_) : files_.WriteFileAtomic(path_, text))) refuse();
    original_ = std::move(text);
    dirty_ = touched_ = false;
}

Bytes ConfigFilePath(const Bytes& programPath) {
    std::size_t slash = programPath.find_last_of('/');
    std::size_t nameStart = slash == Bytes::npos ? 0 : slash + 1;
    std::size_t dot = programPath.find_last_of('.');
    // A dot that opens the name (a hidden file) starts no extension.
    Bytes base = (dot != Bytes::npos && dot > nameStart) ? programPath.substr(0, dot) : programPath;
    // Never cut: a path cut to a fixed length could name another file, the program itself
    // included; a long path here is as valid as any.
    return base + ".INI";
}

}  // namespace veska
