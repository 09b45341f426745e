// Shared set-up for the system information window's tests.
#pragma once
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "Resource/Resource.h"
#include "platform/scripted/ScriptedPlatform.h"
#include "text/Codec.h"

namespace veska::testing {

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        swapPath = sp.root() + "/swap/WIN386.SWP";
        std::filesystem::create_directories(sp.root() + "/swap");
    }

    // The settings file holding one value under "Style", its data as a REGEDIT4 line writes it.
    void SetStyleValue(const std::string& name, const std::string& data) {
        std::filesystem::path file = sp.paths.settingsFile;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Style]\r\n\"" << name << "\"=" << data
            << "\r\n\r\n";
    }
    void SetSwapPath(const Bytes& path) { SetStyleValue("SWPFile", "\"" + path + "\""); }

    static void MakeFile(const Bytes& path, uint64_t size) {
        std::ofstream(path, std::ios::binary | std::ios::trunc).close();
        std::filesystem::resize_file(path, size);  // sparse: costs no disk
    }

    static QLabel* L(QWidget& form, const char* name) {
        QLabel* label = form.findChild<QLabel*>(name);
        if (!label) ADD_FAILURE() << "no label " << name;
        return label;
    }
    static Bytes Text(QWidget& form, const char* name) {
        QLabel* label = L(form, name);
        return label ? label->text().toStdString() : Bytes();
    }
    static int RightEdge(QWidget& form, const char* name) {
        QLabel* label = L(form, name);
        return label ? label->x() + label->width() : -1;
    }
    static void Click(QWidget& form, const char* button) {
        QTest::mouseClick(form.findChild<QPushButton*>(button), Qt::LeftButton);
    }

    ScriptedPlatform sp;
    Bytes swapPath;
};

}  // namespace veska::testing
