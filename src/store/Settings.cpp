#include "store/Settings.h"

#include "store/Lists.h"
#include "store/Names.h"
#include "vcl/Exception.h"

namespace veska {

std::vector<LaunchEntry> ReadLaunchList(ConfigFile& ini) {
    const int n = ReadCount(ini, names::ItemNumber);
    std::vector<LaunchEntry> out;
    out.reserve(static_cast<std::size_t>(n));
    LaunchEntry e;
    for (int i = 0; i < n; ++i) {
        const Bytes key = names::ItemKey(i);
        e.caption = ini.ReadString(names::MenuCaption, key, e.caption);
        e.name = ini.ReadString(names::MenuName, key, e.name);
        e.path = ini.ReadString(names::MenuPath, key, e.path);
        e.sound = ini.ReadString(names::MenuSound, key, e.sound);
        out.push_back(e);
    }
    return out;
}

std::vector<WallpaperEntry> ReadWallpaperList(ConfigFile& ini, bool firstCentred) {
    const int w = ReadCount(ini, names::WallNumber);
    std::vector<WallpaperEntry> out;
    out.reserve(static_cast<std::size_t>(w));
    WallpaperEntry e;
    e.centred = firstCentred;
    for (int j = 0; j < w; ++j) {
        const Bytes key = names::ItemKey(j);
        e.caption = ini.ReadString(names::WallCaption, key, e.caption);
        e.path = ini.ReadString(names::WallPath, key, e.path);
        e.centred = ini.ReadBool(names::WallStyle, key, e.centred);
        out.push_back(e);
    }
    return out;
}

std::vector<Bytes> ReadTempFolderList(ConfigFile& ini) {
    return ReadTextList(ini, names::TempFolder, names::PathItem, ReadCount(ini, names::TempNumber), "");
}

void WriteLists(ConfigFile& ini, const std::vector<LaunchEntry>& launch,
                const std::vector<WallpaperEntry>& wallpapers, const std::vector<Bytes>& tempFolders) {
    EraseListSections(ini);
    ini.WriteInteger(names::ItemCount, names::ItemNumber, static_cast<int>(launch.size()));
    ini.WriteInteger(names::ItemCount, names::WallNumber, static_cast<int>(wallpapers.size()));
    ini.WriteInteger(names::ItemCount, names::TempNumber, static_cast<int>(tempFolders.size()));
    for (std::size_t i = 0; i < launch.size(); ++i) {
        const Bytes key = names::ItemKey(static_cast<int>(i));
        ini.WriteString(names::MenuCaption, key, launch[i].caption);
        ini.WriteString(names::MenuName, key, launch[i].name);
        ini.WriteString(names::MenuPath, key, launch[i].path);
        ini.WriteString(names::MenuSound, key, launch[i].sound);
    }
    for (std::size_t j = 0; j < wallpapers.size(); ++j) {
        const Bytes key = names::ItemKey(static_cast<int>(j));
        ini.WriteString(names::WallCaption, key, wallpapers[j].caption);
        ini.WriteString(names::WallPath, key, wallpapers[j].path);
        ini.WriteBool(names::WallStyle, key, wallpapers[j].centred);
    }
    WriteTextList(ini, names::TempFolder, names::PathItem, tempFolders);
}

OptionsRead ReadOptions(SettingsKey& key) {
    OptionsRead r;
    auto refused = [&r](const Bytes& name, const ERegistryException& e) {
        if (r.failure.empty()) r.failure = e.Message();
        r.unread.push_back(name);
    };
    auto flag = [&](const Bytes& subkey, const Bytes& name, bool& value) {
        try {
            value = key.ReadBool(subkey, name, value);
        } catch (const ERegistryException& e) {
            refused(name, e);
            if (std::optional<std::uint32_t> held = key.ReadDword(subkey, name)) value = *held != 0;
        }
    };
    // No path can be had from a number: a text of another type keeps its default.
    auto text = [&](const Bytes& subkey, const Bytes& name, Bytes& value) {
        try {
            value = key.ReadString(subkey, name, value);
        } catch (const ERegistryException& e) {
            refused(name, e);
        }
    };
    Options& o = r.options;
    flag(names::Wall_paper, names::Change, o.change);
    flag(names::Wall_paper, names::Means, o.means);
    flag(names::Check, names::TempDlg, o.tempDlg);
    flag(names::Style, names::Click, o.click);
    text(names::Style, names::SWPFile, o.swpFile);
    text(names::Style, names::Icon, o.icon);
    return r;
}

void WriteOptions(SettingsKey& key, const Options& o) {
    key.WriteBool(names::Wall_paper, names::Change, o.change);
    key.WriteBool(names::Wall_paper, names::Means, o.means);
    key.WriteInteger(names::Wall_paper, names::Order, 2);  // restarts the in-order rotation
    key.WriteBool(names::Check, names::TempDlg, o.tempDlg);
    key.WriteString(names::Style, names::Icon, o.icon);
    key.WriteBool(names::Style, names::Click, o.click);
    key.WriteString(names::Style, names::SWPFile, o.swpFile);
}

}  // namespace veska
