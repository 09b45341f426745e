// The profile engine against a model: whatever the file, reads are stable across a rewrite,
// writes read back as written, erased sections are gone, and nothing else moves.
#include <fuzzer/FuzzedDataProvider.h>

#include <map>
#include <optional>
#include <stdexcept>

#include "FuzzSupport.h"
#include "store/ConfigFile.h"
#include "store/IniDocument.h"
#include "store/IntegerText.h"
#include "store/TextLines.h"

using namespace veska;

namespace {

using Name = std::pair<Bytes, Bytes>;  // folded section, folded key
Bytes fold(std::string_view s) { return asciiUpper(lines::trim(s)); }

// Section and key names seen in the text, found without the engine's help.
std::vector<std::pair<Bytes, Bytes>> harvest(std::string_view text) {
    std::vector<std::pair<Bytes, Bytes>> out;
    Bytes section;
    for (std::string_view line : lines::split(text)) {
        std::string_view t = lines::trim(line);
        if (!t.empty() && t[0] == '[') {
            auto close = t.find(']');
            section = Bytes(t.substr(1, close == std::string_view::npos ? t.size() - 1 : close - 1));
        } else if (auto eq = t.find('='); eq != std::string_view::npos) {
            out.emplace_back(section, Bytes(t.substr(0, eq)));
        }
        if (out.size() >= 24) break;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    struct Op {
        int kind;
        Bytes section, key, value;
    };
    std::vector<Op> ops(in.ConsumeIntegralInRange<int>(0, 6));
    for (Op& op : ops) {
        op.kind = in.ConsumeIntegralInRange<int>(0, 3);
        op.section = in.ConsumeRandomLengthString(12);
        op.key = in.ConsumeRandomLengthString(12);
        op.value = in.ConsumeRandomLengthString(64);
    }
    const Bytes text = in.ConsumeRemainingBytesAsString();

    IniDocument doc(text);
    auto probes = harvest(text);
    for (Op& op : ops)  // kind 3 reuses names that stand in the file
        if (op.kind == 3 && !probes.empty()) {
            auto& p = probes[op.value.size() % probes.size()];
            op.section = p.first, op.key = p.second, op.kind = 0;
        }
    std::map<Name, std::optional<Bytes>> model;
    auto note = [&](const Bytes& s, const Bytes& k) {
        model.emplace(Name{fold(s), fold(k)}, doc.Get(s, k));
        IniStrToIntDef(doc.Get(s, k).value_or(""), 0);
    };
    for (auto& [s, k] : probes) note(s, k);
    for (const Op& op : ops) note(op.section, op.key);

    for (const Op& op : ops) {
        if (op.kind == 2) {
            doc.EraseSection(op.section);
            for (auto& [name, value] : model)
                if (name.first == fold(op.section)) value.reset();
        } else {
            bool storable = IniDocument::CanStore(op.section, op.key, op.value);
            try {
                doc.Set(op.section, op.key, op.value);
                FUZZ_CHECK(storable);
                model[Name{fold(op.section), fold(op.key)}] = cutBytes(op.value, IniDocument::MaxValueBytes);
            } catch (const std::invalid_argument&) {
                FUZZ_CHECK(!storable);
            }
        }
        for (auto& [name, value] : model) FUZZ_CHECK(doc.Get(name.first, name.second) == value);
    }

    const Bytes once = doc.Serialize();
    IniDocument again(once);
    FUZZ_CHECK(again.Serialize() == once);
    for (auto& [name, value] : model) FUZZ_CHECK(again.Get(name.first, name.second) == value);

    // The access layer over the same text ends with the same file.
    const IniDocument fresh(text);
    fuzz::MemoryFiles files;
    files.files["veska.INI"] = text;
    ConfigFile cf(files, "veska.INI");
    for (auto& [s, k] : probes) {
        FUZZ_CHECK(cf.ReadString(s, k, "\x01") == fresh.Get(s, k).value_or("\x01"));
        cf.ReadBool(s, k, true);
    }
    bool allStorable = true;
    for (const Op& op : ops) allStorable = allStorable && (op.kind == 2 || IniDocument::CanStore(op.section, op.key, op.value));
    try {
        for (const Op& op : ops) op.kind == 2 ? cf.EraseSection(op.section) : cf.WriteString(op.section, op.key, op.value);
        FUZZ_CHECK(allStorable);
        cf.Close();
        FUZZ_CHECK(files.files["veska.INI"] == once || (files.files["veska.INI"] == text && once == fresh.Serialize()));
    } catch (const EIniFileException&) {
        FUZZ_CHECK(!allStorable);
    }
    return 0;
}
