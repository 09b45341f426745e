// The properties dialog on the scripted platform: store files written as CP932 with CRLF, the
// dialog created over them, and the input dialog answered while it is shown.
#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QTimer>
#include <functional>
#include <memory>

#include "Unit1/Form1.h"
#include "Unit2/InputDlg.h"
#include "platform/scripted/ScriptedPlatform.h"
#include "store/ConfigFile.h"
#include "store/Names.h"
#include "store/SettingsKey.h"
#include "store/StoreFiles.h"
#include "vcl/ErrorBox.h"
#include "text/Codec.h"

namespace veska::test {

class Form1Test : public ::testing::Test {
protected:
    static void WriteText(const Bytes& path, const std::string& utf8) { veska::testing::writeStoreText(path, utf8); }
    void WriteConfig(const std::string& utf8) { WriteText(sp.ConfigPath(), utf8); }
    void WriteSettings(const std::string& utf8body) {
        WriteText(sp.paths.settingsFile, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska]\n"
                                         "\"Version\"=\"0.27\"\n\n" + utf8body);
    }
    Bytes Config(const Bytes& section, const Bytes& key) {
        ConfigFile ini(sp.files, sp.ConfigPath());
        return ini.ReadString(section, key, "<missing>");
    }
    Bytes Setting(const Bytes& subkey, const Bytes& name) {
        SettingsKey key(sp.files, sp.paths.settingsFile, names::VeskaKey);
        return key.ReadString(subkey, name, "<missing>");
    }
    TForm1& Open() {
        form = std::make_unique<TForm1>(sp.platform(), [this] { ++rereads; });
        return *form;
    }
    // The next showing of the input dialog: `act` runs on it once it is up (then OK unless it
    // closed it). A dialog that never shows within five seconds fails the test.
    void AnswerInput(std::function<void(TInputDlg&)> act = {}) {
        auto* poll = new QTimer(form.get());
        auto* waited = new int(0);
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, [poll, act, waited] {
            if (!InputDlg || !InputDlg->isVisible()) {
                if (++*waited < 1000) return;
                ADD_FAILURE() << "the input dialog never showed";
            } else {
                if (act) act(*InputDlg);
                if (InputDlg->isVisible()) InputDlg->OKBtnClick();
            }
            delete waited;
            poll->stop();
            poll->deleteLater();
        });
        poll->start();
    }
    // A row of ListBox1 selected as the user would.
    void SelectMenuRow(int row) {
        form->ListBox1->setCurrentRow(row);  // the selection signal runs ListBox1Click
    }
    std::vector<Bytes> Captions(const QListWidget* list) const {
        std::vector<Bytes> out;
        for (int i = 0; i < list->count(); ++i) out.push_back(TForm1::Caption(list, i));
        return out;
    }
    std::vector<Bytes> BoxTexts() const {
        std::vector<Bytes> out;
        for (const auto& b : sp.desktop.boxes) out.push_back(b.text);
        return out;
    }

    ScriptedPlatform sp;
    std::unique_ptr<TForm1> form;
    int rereads = 0;
};

// Four rows: a program, a separator, the system information tool and another program.
inline const char* FourRows =
    "[ItemCount]\nItemNumber=4\nWallNumber=1\nTempNumber=1\n"
    "[MenuCaption]\nItem0=エディタ\nItem1=x\nItem2=システム情報...\nItem3=端末\n"
    "[MenuName]\nItem0=Null\nItem1=Null\nItem2=P3\nItem3=Null\n"
    "[MenuPath]\nItem0=/usr/bin/editor\nItem1=Separator\nItem2=PersonalApplication\nItem3=/usr/bin/term\n"
    "[MenuSound]\nItem0=(なし)\nItem1=\nItem2=/snd/a.wav\n"
    "[WallCaption]\nItem0=海\n[WallPath]\nItem0=/pics/sea.bmp\n[WallStyle]\nItem0=0\n"
    "[TempFolder]\nPathItem0=/tmp/x\n";

}  // namespace veska::test
