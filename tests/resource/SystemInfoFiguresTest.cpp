// The figures the window shows, taken through the scripted platform and the settings file.
#include "FormFixture.h"

using namespace veska;
using veska::testing::FormTest;

using SystemInfoFigures = FormTest;

TEST_F(SystemInfoFigures, ShowsEveryFigureAsWholeCountsBeyondThirtyTwoBits) {
    sp.system.memory = {25769803776, 17179869184};  // 24 GiB, 16 GiB
    sp.system.resources[0] = {61, ResourceFailure::None};
    sp.system.resources[1] = {78, ResourceFailure::None};
    sp.system.resources[2] = {85, ResourceFailure::None};
    sp.system.diskFree = 3000000000;
    MakeFile(swapPath, 5368709120);  // 5 GiB
    SetSwapPath(swapPath);

    TForm2 form(sp);
    EXPECT_EQ(Text(form, "Label1"), "61 %");
    EXPECT_EQ(Text(form, "Label2"), "78 %");
    EXPECT_EQ(Text(form, "Label3"), "85 %");
    EXPECT_EQ(Text(form, "Label9"), "25,769,803,776 Bytes");
    EXPECT_EQ(Text(form, "Label10"), "17,179,869,184 Bytes");
    EXPECT_EQ(Text(form, "Label13"), "5,368,709,120 Bytes");
    EXPECT_EQ(Text(form, "Label14"), "3,000,000,000 Bytes");
    EXPECT_TRUE(sp.desktop.boxes.empty());
}

TEST_F(SystemInfoFigures, RetakeQueriesEverythingAgainAndReplacesTheTexts) {
    MakeFile(swapPath, 1000);
    SetSwapPath(swapPath);
    TForm2 form(sp);
    EXPECT_EQ(sp.system.resourceQueries, 3);
    EXPECT_EQ(sp.system.memoryQueries, 1);
    EXPECT_EQ(Text(form, "Label9"), "33,554,432 Bytes");

    sp.system.memory = {4294967295, 1};
    sp.system.resources[2] = {12, ResourceFailure::None};
    sp.system.diskFree = 0;
    MakeFile(swapPath, 2048);
    Click(form, "Button2");
    EXPECT_EQ(sp.system.resourceQueries, 6);
    EXPECT_EQ(sp.system.memoryQueries, 2);
    Click(form, "Button2");
    EXPECT_EQ(sp.system.resourceQueries, 9);
    EXPECT_EQ(sp.system.memoryQueries, 3);

    EXPECT_EQ(Text(form, "Label3"), "12 %");
    EXPECT_EQ(Text(form, "Label9"), "4,294,967,295 Bytes");
    EXPECT_EQ(Text(form, "Label10"), "1 Bytes");
    EXPECT_EQ(Text(form, "Label13"), "2,048 Bytes");
    EXPECT_EQ(Text(form, "Label14"), " Bytes");
    EXPECT_TRUE(sp.desktop.boxes.empty());
}

TEST_F(SystemInfoFigures, SwapFileThatGivesNoSizeShowsZeroBytes) {
    MakeFile(swapPath, 0);
    std::filesystem::create_directories(sp.root() + "/swapdir");
    const std::pair<const char*, std::string> cases[] = {
        {"no value", ""},
        {"empty path", "\"\""},
        {"no such file", "\"" + sp.root() + "/nothing/here.swp\""},
        {"zero-size file", "\"" + swapPath + "\""},
        {"a folder", "\"" + sp.root() + "/swapdir\""},
    };
    for (const auto& [what, value] : cases) {
        SCOPED_TRACE(what);
        if (value.empty())
            SetStyleValue("Icon", "\"1\"");
        else
            SetStyleValue("SWPFile", value);
        TForm2 form(sp);
        EXPECT_EQ(Text(form, "Label13"), "0 Bytes");
        EXPECT_EQ(Text(form, "Label14"), "3,000,000,000 Bytes");
    }
    EXPECT_TRUE(sp.desktop.boxes.empty());
}

TEST_F(SystemInfoFigures, SwapPathIsCutTo255Bytes) {
    // A folder chain that makes the file's own path exactly 255 bytes long.
    Bytes dir = sp.root() + "/";
    while (dir.size() + 60 < 255) dir += std::string(50, 'd') + "/";
    std::filesystem::create_directories(dir);
    Bytes file = dir + std::string(255 - dir.size(), 'f');
    ASSERT_EQ(file.size(), 255u);
    MakeFile(file, 4096);
    SetSwapPath(file + "TAIL");
    TForm2 form(sp);
    EXPECT_EQ(Text(form, "Label13"), "4,096 Bytes");
}

TEST_F(SystemInfoFigures, UnknownFreeSpaceShowsMinusOne) {
    sp.system.diskFree = -1;
    TForm2 form(sp);
    EXPECT_EQ(Text(form, "Label14"), "-1 Bytes");
}

TEST_F(SystemInfoFigures, SwapValueOfAnotherTypeIsReportedAndKeepsTheSwapAndFreeSpaceTexts) {
    MakeFile(swapPath, 8192);
    SetSwapPath(swapPath);
    TForm2 form(sp);
    ASSERT_EQ(Text(form, "Label13"), "8,192 Bytes");

    SetStyleValue("SWPFile", "dword:00000001");
    sp.system.memory = {1048576, 524288};
    sp.system.diskFree = 42;
    Click(form, "Button2");
    ASSERT_EQ(sp.desktop.boxes.size(), 1u);
    EXPECT_EQ(toUtf8(sp.desktop.boxes[0].text), "'SWPFile' のデータ型が不正です.");
    EXPECT_EQ(sp.desktop.boxes[0].caption, "Veska");
    EXPECT_EQ(sp.desktop.boxes[0].type, MB_OK | MB_ICONHAND);
    EXPECT_EQ(Text(form, "Label9"), "1,048,576 Bytes");  // taken before the key was read
    EXPECT_EQ(Text(form, "Label13"), "8,192 Bytes");
    EXPECT_EQ(Text(form, "Label14"), "3,000,000,000 Bytes");
}

TEST_F(SystemInfoFigures, FiguresKeepTheirRightEdgeAsTheyGrow) {
    sp.system.memory = {1, 1};
    sp.system.resources[0] = {5, ResourceFailure::None};
    TForm2 form(sp);
    const int smallLeft = L(form, "Label9")->x();
    const int smallPercentLeft = L(form, "Label1")->x();
    for (const char* name : {"Label9", "Label10", "Label13", "Label14"}) EXPECT_EQ(RightEdge(form, name), 222) << name;
    for (const char* name : {"Label1", "Label2", "Label3"}) EXPECT_EQ(RightEdge(form, name), 166) << name;

    sp.system.memory = {25769803776, 25769803776};
    sp.system.resources[0] = {100, ResourceFailure::None};
    Click(form, "Button2");
    QLabel* memory = L(form, "Label9");
    EXPECT_EQ(RightEdge(form, "Label9"), 222);
    EXPECT_EQ(RightEdge(form, "Label1"), 166);
    EXPECT_LT(memory->x(), smallLeft);
    EXPECT_LT(L(form, "Label1")->x(), smallPercentLeft);
    // The whole text fits, and the figure stays clear of its caption.
    EXPECT_GE(memory->width(), memory->fontMetrics().horizontalAdvance(memory->text()));
    EXPECT_GT(memory->x(), RightEdge(form, "Label7"));
}
