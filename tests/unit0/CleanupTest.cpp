#include <sys/stat.h>

#include "MainFixture.h"

namespace veska::test {
namespace {

namespace fs = std::filesystem;

class CleanupTest : public MainFixture {
protected:
    void SetUp() override {
        first = toUtf8(sp.root()) + "/missing";
        second = toUtf8(sp.root()) + "/temp";
        outside = toUtf8(sp.root()) + "/outside.txt";
        fs::create_directories(second + "/sub");
        WriteText(second + "/normal.tmp", "n");
        WriteText(second + "/readonly.tmp", "r");
        fs::permissions(second + "/readonly.tmp", fs::perms::owner_read | fs::perms::group_read);
        WriteText(second + "/.hidden", "h");
        WriteText(second + "/sub/inner.tmp", "i");
        ::mkfifo((second + "/fifo").c_str(), 0644);
        WriteText(outside, "keep me");
        fs::create_symlink(outside, second + "/link.tmp");
        WriteConfig("[ItemCount]\nItemNumber=1\nTempNumber=2\n[MenuCaption]\nItem0=T\n[MenuName]\nItem0=P4\n"
                    "[MenuPath]\nItem0=PersonalApplication\n[TempFolder]\nPathItem0=" + first + "\nPathItem1=" + second + "\n");
    }
    std::set<std::string> Left() {
        std::set<std::string> out;
        for (auto& e : fs::recursive_directory_iterator(second)) out.insert(fs::relative(e.path(), second).string());
        return out;
    }
    std::string first, second, outside;
};

TEST_F(CleanupTest, DeletesOnlyPlainFilesAndLinksDirectlyInTheFolders) {
    WriteCurrentSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Check]\n\"TempDlg\"=\"0\"\n");
    Build();
    Launch(0)->Click();
    EXPECT_TRUE(sp.desktop.boxes.empty());
    EXPECT_EQ(Left(), (std::set<std::string>{"readonly.tmp", ".hidden", "sub", "sub/inner.tmp", "fifo"}));
    std::ifstream kept(outside);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), {}), "keep me");
}

TEST_F(CleanupTest, CancelledConfirmationDeletesNothing) {
    Build();
    sp.desktop.answers.push_back(IDCANCEL);
    Launch(0)->Click();
    ASSERT_EQ(sp.desktop.boxes.size(), 1u);
    EXPECT_EQ(sp.desktop.boxes[0].text, sj("テンポラリフォルダ内のファイルを削除してもよろしいですか?"));
    EXPECT_EQ(sp.desktop.boxes[0].caption, sj("確認"));
    EXPECT_EQ(sp.desktop.boxes[0].type, MB_OKCANCEL | MB_ICONQUESTION);
    EXPECT_EQ(Left().count("normal.tmp"), 1u);

    sp.desktop.answers.push_back(IDOK);
    Launch(0)->Click();
    EXPECT_EQ(Left().count("normal.tmp"), 0u);
}

// Real files, with a record of the folders the searches were given.
class RecordingFiles : public LinuxFiles {
public:
    bool HoldsPlainFile(const Bytes& folder) override {
        searched.push_back(folder);
        return LinuxFiles::HoldsPlainFile(folder);
    }
    void DeletePlainFiles(const std::vector<Bytes>& folders) override {
        emptied.push_back(folders);
        LinuxFiles::DeletePlainFiles(folders);
    }
    std::vector<Bytes> searched;
    std::vector<std::vector<Bytes>> emptied;  // one list per call
};

// The searchable folders go to the deletion together, so that it judges files in use once.
TEST_F(CleanupTest, EmptyAndOverlongFolderTextsAreNeverSearched) {
    // Cut to 255 bytes, the long text would name its parent folder, which holds a plain file.
    const std::string parent = toUtf8(sp.root()) + "/" + std::string(253 - toUtf8(sp.root()).size(), 'p');
    const std::string longFolder = parent + "/" + std::string(40, 'c');
    fs::create_directories(longFolder);
    WriteText(parent + "/precious.txt", "x");
    WriteText(longFolder + "/junk.tmp", "x");
    ASSERT_EQ(longFolder.substr(0, 255), parent + "/");
    WriteConfig("[ItemCount]\nItemNumber=1\nTempNumber=4\n[MenuCaption]\nItem0=T\n[MenuName]\nItem0=P4\n"
                "[MenuPath]\nItem0=PersonalApplication\n[TempFolder]\nPathItem0=\nPathItem1=" + longFolder +
                "\nPathItem2=" + first + "\nPathItem3=" + second + "\n");
    WriteCurrentSettings("[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Check]\n\"TempDlg\"=\"0\"\n");
    RecordingFiles files;
    sp.platform().files = &files;
    Build();
    main->MyPopUpPopUp(main->LaunchMenu());
    EXPECT_EQ(files.searched, (std::vector<Bytes>{first, second}));
    Launch(0)->Click();
    EXPECT_EQ(files.emptied, (std::vector<std::vector<Bytes>>{{first, second}}));
    EXPECT_TRUE(fs::exists(parent + "/precious.txt"));
    EXPECT_TRUE(fs::exists(longFolder + "/junk.tmp"));
}

}  // namespace
}  // namespace veska::test
