#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "PlatformTestSupport.h"
#include "platform/linux/LinuxFileDialogs.h"
#include "text/Codec.h"

namespace veska {
namespace {

using test::EnvGuard;
using test::TempDir;
using Names = std::set<std::string>;

const Bytes kApplications = sj(
    "アプリケーション (*.exe,*.lnk)|*.EXE;*.LNK|実行ファイル (*.exe)|*.EXE|ショートカット (*.lnk)|*.LNK|"
    "すべてのファイル (*.*)|*.*");

// Acts on the file dialog once it runs, as a user would, and closes it if the action did not; a
// watchdog closes anything left open (a stray message box), so a fault fails rather than hangs.
class Driver {
public:
    explicit Driver(std::function<void(QFileDialog&)> act) {
        QObject::connect(&poll_, &QTimer::timeout, [this, act = std::move(act)] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            poll_.stop();
            act(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        QObject::connect(&watchdog_, &QTimer::timeout, [] {
            if (QWidget* open = QApplication::activeModalWidget()) open->close();
        });
        poll_.start(10);
        watchdog_.start(10000);
    }

private:
    QTimer poll_, watchdog_;
};

template <class W>
W* part(QFileDialog& d, const char* name) { return d.findChild<W*>(QString::fromLatin1(name)); }
QPushButton* okButton(QFileDialog& d) { return part<QDialogButtonBox>(d, "buttonBox")->button(QDialogButtonBox::Open); }

// The entries the dialog lists, and lets the user pick, once its background read shows expected.
Names listed(QFileDialog& d, const Names& expected) {
    auto* view = part<QListView>(d, "listView");
    Names names;
    (void)QTest::qWaitFor([&] {
        names.clear();
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
            const QModelIndex entry = view->model()->index(row, 0, view->rootIndex());
            if (entry.flags() & Qt::ItemIsEnabled) names.insert(entry.data().toString().toStdString());
        }
        return names == expected;
    }, 5000);
    return names;
}

TEST(FileDialogFilter, ReadsTheFormsPairsAsTheyMeanOnLinux) {
    const auto apps = ParseFilter(kApplications);
    ASSERT_EQ(apps.size(), 4u);
    EXPECT_EQ(apps[0].label, "アプリケーション (実行ファイル, *.desktop)");
    EXPECT_EQ(apps[1].label, "実行ファイル (実行ファイル)");
    EXPECT_EQ(apps[2].label, "ショートカット (*.desktop)");
    EXPECT_EQ(apps[3].label, "すべてのファイル (*)");
    const auto sound = ParseFilter(sj("サウンドファイル (*.wav)|*.WAV"));
    ASSERT_EQ(sound.size(), 1u);
    EXPECT_EQ(sound[0].label, "サウンドファイル (*.wav)");

    struct Entry {
        QString name;
        bool directory = false, executable = false;
    } const entries[]{{"tool", false, true}, {"run.sh", false, true}, {"App.DESKTOP"}, {"notes.txt"},
                      {"sub", true, false},  {"Chime.WAV"},           {"chime.wav.bak"}};
    auto shown = [&](const ParsedFilter& filter) {
        Names names;
        for (const Entry& e : entries)
            if (FilterAccepts(filter, e.name, e.directory, e.executable)) names.insert(e.name.toStdString());
        return names;
    };
    EXPECT_EQ(shown(apps[0]), (Names{"tool", "run.sh", "App.DESKTOP", "sub"}));
    EXPECT_EQ(shown(apps[1]), (Names{"tool", "run.sh", "sub"}));
    EXPECT_EQ(shown(apps[2]), (Names{"App.DESKTOP", "sub"}));
    EXPECT_EQ(shown(apps[3]).size(), std::size(entries));
    EXPECT_EQ(shown(sound[0]), (Names{"Chime.WAV", "sub"}));
}

TEST(FileDialogDisplayName, ADesktopEntrysNameInTheUsersLanguage) {
    TempDir dir;
    const std::string entry = "[Desktop Entry]\nType=Application\nName=Editor\nName[ja]=エディタ\nExec=true\n";
    test::WriteFile(dir / "editor.DESKTOP", entry);
    test::WriteFile(dir / "editor.txt", entry);
    test::WriteFile(dir / "smile.desktop", "[Desktop Entry]\nName=🙂\n");
    LinuxFileDialogs dialogs;
    EnvGuard language("LANGUAGE", std::nullopt), messages("LC_MESSAGES", std::nullopt);
    {
        EnvGuard all("LC_ALL", "ja_JP.UTF-8"), lang("LANG", "ja_JP.UTF-8");
        EXPECT_EQ(dialogs.DisplayName(dir / "editor.DESKTOP"), sj("エディタ"));
    }
    EnvGuard all("LC_ALL", "C");
    EXPECT_EQ(dialogs.DisplayName(dir / "editor.DESKTOP"), "Editor");
    EXPECT_EQ(dialogs.DisplayName(dir / "editor.txt"), "");
    EXPECT_EQ(dialogs.DisplayName(dir / "smile.desktop"), "");
    EXPECT_EQ(dialogs.DisplayName(dir / "missing.desktop"), "");
}

TEST(FileDialogOpen, ListsWhatTheChosenFileTypeMeans) {
    TempDir dir, data;
    test::WriteFile(dir / "tool", "#!/bin/sh\n", 0755);
    test::WriteFile(dir / "app.desktop", "[Desktop Entry]\n");
    test::WriteFile(dir / "notes.txt", "");
    std::filesystem::create_directory(dir / "sub");
    std::filesystem::create_directory(data / "applications");
    EnvGuard dataHome("XDG_DATA_HOME", data.path());
    // What each file type should list, by its place in the box.
    const std::vector<Names> expected{{"app.desktop", "sub", "tool"}, {"sub", "tool"}, {"app.desktop", "sub"},
                                      {"app.desktop", "notes.txt", "sub", "tool"}};
    std::vector<Names> shown(expected.size());
    QList<QUrl> sidebar;
    Driver driver([&](QFileDialog& d) {
        sidebar = d.sidebarUrls();
        shown[0] = listed(d, expected[0]);
        auto* types = part<QComboBox>(d, "fileTypeCombo");
        for (int index : {1, 2, 3}) {
            types->setCurrentIndex(index);
            emit types->activated(index);
            shown[index] = listed(d, expected[index]);
        }
    });
    EXPECT_EQ(LinuxFileDialogs().OpenFile({sj("開く"), kApplications, sj(dir.path())}).kind, FileChoice::Cancelled);
    EXPECT_EQ(shown, expected);
    for (const QString& place : {QDir::homePath(), QStringLiteral("/"), QString::fromStdString(data / "applications")})
        EXPECT_TRUE(sidebar.contains(QUrl::fromLocalFile(place))) << place.toStdString();
}

TEST(FileDialogOpen, ReturnsALinkAsItselfAndRefusesNamesCp932CannotHold) {
    TempDir dir;
    const std::string folder = dir / "フォルダ";
    std::filesystem::create_directory(folder);
    test::WriteFile(folder + "/real.desktop", "[Desktop Entry]\n");
    std::filesystem::create_symlink("real.desktop", folder + "/link.desktop");
    ASSERT_FALSE(fromUtf8("🙂"));
    test::WriteFile(folder + "/🙂.txt", "");
    auto choose = [&](const QString& typed) {
        Driver driver([&](QFileDialog& d) {
            part<QLineEdit>(d, "fileNameEdit")->setText(typed);
            ASSERT_TRUE(QTest::qWaitFor([&] { return okButton(d)->isEnabled(); }, 5000));
            okButton(d)->click();
        });
        return LinuxFileDialogs().OpenFile({sj("開く"), kApplications, sj(folder)});
    };
    const FileChoice link = choose("link.desktop");
    EXPECT_EQ(link.kind, FileChoice::Chosen);
    EXPECT_EQ(link.path, sj(folder + "/link.desktop"));
    const FileChoice odd = choose("🙂.txt");
    EXPECT_EQ(odd.kind, FileChoice::NotRepresentable);
    EXPECT_EQ(odd.nativeName, folder + "/🙂.txt");
    EXPECT_TRUE(odd.path.empty());
}

TEST(FileDialogPicture, PreviewsThePictureUnderTheCursor) {
    TempDir dir;
    QImage wide(400, 200, QImage::Format_RGB32), icon(32, 32, QImage::Format_ARGB32);
    wide.fill(Qt::red);
    icon.fill(Qt::blue);
    ASSERT_TRUE(wide.save(QString::fromStdString(dir / "wide.bmp")));
    ASSERT_TRUE(icon.save(QString::fromStdString(dir / "small.ico")));
    test::WriteFile(dir / "notes.txt", "not a picture");
    std::map<QString, QSize> seen;
    Driver driver([&](QFileDialog& d) {
        listed(d, {"notes.txt", "small.ico", "wide.bmp"});
        auto* view = part<QListView>(d, "listView");
        for (const QString& name : QStringList{"wide.bmp", "small.ico", "notes.txt"}) {
            const QModelIndexList at = view->model()->match(view->model()->index(0, 0, view->rootIndex()),
                                                            Qt::DisplayRole, name, 1, Qt::MatchExactly);
            if (at.isEmpty()) continue;
            view->setCurrentIndex(at.front());
            seen[name] = part<QLabel>(d, "preview")->pixmap().size();
        }
    });
    LinuxFileDialogs().OpenPicture({sj("壁紙"), sj("すべてのファイル (*.*)|*.*"), sj(dir.path())});
    EXPECT_EQ(seen["wide.bmp"], QSize(160, 80));
    EXPECT_EQ(seen["small.ico"], QSize(32, 32));
    ASSERT_TRUE(seen.count("notes.txt"));
    EXPECT_TRUE(seen["notes.txt"].isEmpty());
}

TEST(FileDialogFolder, TakesATypedFolderThatDoesNotExistYet) {
    TempDir dir;
    const std::string wanted = dir / "新しいフォルダ";
    QString startedIn;
    Driver driver([&](QFileDialog& d) {
        startedIn = d.directory().absolutePath();
        part<QLineEdit>(d, "fileNameEdit")->setText(QString::fromStdString(wanted + "/"));
        okButton(d)->click();
    });
    const FileChoice choice = LinuxFileDialogs().ChooseDirectory({sj("フォルダの選択"), "", "\\", true});
    EXPECT_EQ(startedIn, "/");
    EXPECT_EQ(choice.kind, FileChoice::Chosen);
    EXPECT_EQ(choice.path, sj(wanted));
}

TEST(FileDialogFolder, WithoutNewFoldersTakesNoTypedFolderAndMakesNone) {
    TempDir dir;
    bool mayMake = true;
    Driver driver([&](QFileDialog& d) {
        mayMake = part<QWidget>(d, "newFolderButton")->isEnabled();
        part<QLineEdit>(d, "fileNameEdit")->setText(QString::fromStdString(dir / "none/"));
        okButton(d)->click();
    });
    EXPECT_EQ(LinuxFileDialogs().ChooseDirectory({sj("フォルダの選択"), "", "\\"}).kind, FileChoice::Cancelled);
    EXPECT_FALSE(mayMake);
}

}  // namespace
}  // namespace veska
