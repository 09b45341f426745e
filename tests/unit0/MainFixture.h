// A resident form on the scripted platform, with helpers to write and read its stores.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "Unit0/Main.h"
#include "vcl/ErrorBox.h"
#include "platform/scripted/ScriptedPlatform.h"
#include "store/ConfigFile.h"
#include "store/Names.h"
#include "store/SettingsKey.h"
#include "store/StoreFiles.h"
#include "text/Codec.h"

namespace veska::test {

class MainFixture : public ::testing::Test {
protected:
    // Writes a UTF-8 text as CP932 with CRLF line ends.
    static void WriteText(const Bytes& path, const std::string& utf8) { testing::writeStoreText(path, utf8); }
    void WriteConfig(const std::string& utf8) { WriteText(sp.ConfigPath(), utf8); }
    void WriteSettings(const std::string& utf8body) {
        WriteText(sp.paths.settingsFile, "REGEDIT4\n\n" + utf8body);
    }
    // A settings file holding the current version and the given extra lines in the main key.
    void WriteCurrentSettings(const std::string& extra = "") {
        WriteSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska]\n\"Version\"=\"0.27\"\n" + extra);
    }
    Bytes Setting(const Bytes& subkey, const Bytes& name, const Bytes& def = "<missing>") {
        SettingsKey key(sp.files, sp.paths.settingsFile, names::VeskaKey);
        return key.ReadString(subkey, name, def);
    }
    Bytes Tile() {
        SettingsKey key(sp.files, sp.paths.settingsFile, names::ControlPanelKey);
        return key.ReadString(names::Desktop, names::TileWallpaper, "<missing>");
    }
    Bytes Config(const Bytes& section, const Bytes& key, const Bytes& def = "<missing>") {
        ConfigFile ini(sp.files, sp.ConfigPath());
        return ini.ReadString(section, key, def);
    }
    TMain& Start() {
        main = std::make_unique<TMain>(sp.platform());
        main->ShowPropertiesDialog = [this](TMain&) { ++dialogs; };
        Guarded(sp.desktop, [this] { main->FormCreate(main.get()); });
        return *main;
    }
    TMain& Build() {
        if (!main) {
            main = std::make_unique<TMain>(sp.platform());
            main->ShowPropertiesDialog = [this](TMain&) { ++dialogs; };
        }
        Guarded(sp.desktop, [this] { main->IniRead(main.get()); });
        return *main;
    }
    TMenuItem* Launch(int i) { return main->LaunchMenu()->Items()->Items(i); }
    std::vector<Bytes> ErrorTexts() const {
        std::vector<Bytes> out;
        for (const auto& b : sp.desktop.boxes) out.push_back(b.text);
        return out;
    }

    ScriptedPlatform sp;
    std::unique_ptr<TMain> main;
    int dialogs = 0;
};

}  // namespace veska::test
