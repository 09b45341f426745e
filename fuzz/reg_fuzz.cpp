// The REGEDIT4 engine against a model: whatever the file, values and their types are stable
// across a rewrite, stored texts read back as stored, created keys exist, nothing else moves.
#include <fuzzer/FuzzedDataProvider.h>

#include <map>
#include <stdexcept>

#include "FuzzSupport.h"
#include "store/RegDocument.h"
#include "store/SettingsKey.h"
#include "store/TextLines.h"
#include "vcl/Exception.h"

using namespace veska;

namespace {

constexpr std::string_view Root = "[HKEY_CURRENT_USER\\";
using Name = std::pair<Bytes, Bytes>;  // folded path, folded value name

// Key paths and value names seen in the text, found without the engine's help.
std::vector<std::pair<Bytes, Bytes>> harvest(std::string_view text) {
    std::vector<std::pair<Bytes, Bytes>> out;
    Bytes path;
    for (std::string_view line : lines::split(text)) {
        std::string_view t = lines::trim(line);
        if (t.size() > Root.size() && sameTextIgnoringAsciiCase(t.substr(0, Root.size()), Root)) {
            path = Bytes(t.substr(Root.size(), t.size() - Root.size() - 1));
        } else if (!t.empty() && t[0] == '"') {
            auto close = t.find('"', 1);
            out.emplace_back(path, Bytes(t.substr(1, close == std::string_view::npos ? 0 : close - 1)));
        } else if (!t.empty() && t[0] == '@') {
            out.emplace_back(path, Bytes());
        }
        if (out.size() >= 24) break;
    }
    return out;
}

bool operator==(const RegDocument::Value& a, const RegDocument::Value& b) { return a.kind == b.kind && a.text == b.text; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    struct Op {
        int kind;
        Bytes path, name, value;
    };
    std::vector<Op> ops(in.ConsumeIntegralInRange<int>(0, 6));
    for (Op& op : ops) {
        op.kind = in.ConsumeIntegralInRange<int>(0, 3);
        op.path = in.ConsumeRandomLengthString(16);
        op.name = in.ConsumeRandomLengthString(8);
        op.value = in.ConsumeRandomLengthString(48);
    }
    const Bytes text = in.ConsumeRemainingBytesAsString();

    RegDocument doc(text);
    auto probes = harvest(text);
    for (Op& op : ops)  // kind 3 reuses names that stand in the file
        if (op.kind == 3 && !probes.empty()) {
            auto& p = probes[op.value.size() % probes.size()];
            op.path = p.first, op.name = p.second, op.kind = 0;
        }
    std::map<Name, RegDocument::Value> model;
    auto note = [&](const Bytes& p, const Bytes& n) { model.emplace(Name{asciiUpper(p), asciiUpper(n)}, doc.Get(p, n)); };
    for (auto& [p, n] : probes) note(p, n);
    for (const Op& op : ops) note(op.path, op.name);

    for (const Op& op : ops) {
        if (op.kind == 2) {
            bool storable = RegDocument::CanStorePath(op.path);
            try {
                doc.CreateKey(op.path);
                FUZZ_CHECK(storable && doc.KeyExists(op.path));
            } catch (const std::invalid_argument&) {
                FUZZ_CHECK(!storable);
            }
        } else {
            bool storable = RegDocument::CanStorePath(op.path) && RegDocument::CanStoreText(op.name) &&
                            RegDocument::CanStoreText(op.value);
            try {
                doc.Set(op.path, op.name, op.value);
                FUZZ_CHECK(storable && doc.KeyExists(op.path));
                model[Name{asciiUpper(op.path), asciiUpper(op.name)}] = {RegDocument::Kind::Text, op.value};
            } catch (const std::invalid_argument&) {
                FUZZ_CHECK(!storable);
            }
        }
        for (auto& [name, value] : model) FUZZ_CHECK(doc.Get(name.first, name.second) == value);
    }

    const Bytes once = doc.Serialize();
    RegDocument again(once);
    FUZZ_CHECK(again.Serialize() == once);
    for (auto& [name, value] : model) FUZZ_CHECK(again.Get(name.first, name.second) == value);
    for (const Op& op : ops)
        if (RegDocument::CanStorePath(op.path)) FUZZ_CHECK(again.KeyExists(op.path) == doc.KeyExists(op.path));

    // The access layer over the same text: a type error only for values of another type.
    const RegDocument fresh(text);
    fuzz::MemoryFiles files;
    files.files["registry.reg"] = text;
    for (auto& [p, n] : probes) {
        if (!RegDocument::CanStorePath(p) || !RegDocument::CanStoreText(n)) continue;
        SettingsKey key(files, "registry.reg", p);
        bool typeError = false;
        try {
            FUZZ_CHECK(key.ReadString("", n, "\x01") == (fresh.Get(p, n).kind == RegDocument::Kind::Missing ? "\x01" : fresh.Get(p, n).text));
            key.ReadInteger("", n, 0);
        } catch (const ERegistryException&) {
            typeError = true;
        }
        FUZZ_CHECK(typeError == (fresh.Get(p, n).kind == RegDocument::Kind::Other));
        key.WriteString("", n, "1");
        key.Close();
        FUZZ_CHECK(RegDocument(files.files["registry.reg"]).Get(p, n).text == "1");
        break;
    }
    return 0;
}
