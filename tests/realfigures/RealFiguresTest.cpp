// The system information window against the machine it runs on: the Linux system figures,
// files and paths, only the message boxes scripted so that an error cannot block the test.
// Figures that move while the test runs are bracketed by the kernel's own figures read right
// before and right after the window asked for them.
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>

#include "Resource/Resource.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/LinuxPaths.h"
#include "platform/linux/LinuxSystem.h"
#include "platform/scripted/ScriptedPlatform.h"

namespace veska {
namespace {

namespace fs = std::filesystem;
constexpr uint64_t MiB = 1024 * 1024;
constexpr uint64_t Tolerance = 64 * MiB;

// One "Key:   value kB" line of /proc/meminfo, in bytes.
uint64_t Meminfo(const std::string& key) {
    std::ifstream in("/proc/meminfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size() + 1, key + ":") != 0) continue;
        std::istringstream fields(line.substr(key.size() + 1));
        uint64_t value = 0;
        std::string unit;
        fields >> value >> unit;
        return unit == "kB" ? value * 1024 : value;
    }
    ADD_FAILURE() << key << " is not in /proc/meminfo";
    return 0;
}

uint64_t RootFreeBytes() {
    struct statvfs vfs {};
    EXPECT_EQ(::statvfs("/", &vfs), 0);
    return static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

struct Bracket {
    uint64_t low = 0, high = 0;
    void Take(uint64_t before, uint64_t after) {
        low = std::min(before, after);
        high = std::max(before, after);
    }
    bool Holds(uint64_t v) const { return v + Tolerance >= low && v <= high + Tolerance; }
};

// The real figures, counted, with the kernel's view taken around each question.
class WatchedSystem : public ISystemInfo {
public:
    MemoryStatus GlobalMemoryStatus() override {
        ++memoryQueries;
        const uint64_t before = Meminfo("MemAvailable");
        MemoryStatus status = real.GlobalMemoryStatus();
        available.Take(before, Meminfo("MemAvailable"));
        return status;
    }
    int64_t DiskFreeBytes() override {
        ++diskQueries;
        const uint64_t before = RootFreeBytes();
        int64_t bytes = real.DiskFreeBytes();
        diskFree.Take(before, RootFreeBytes());
        return bytes;
    }
    ResourceFigure FreeResource(int kind) override {
        ++resourceQueries;
        return real.FreeResource(kind);
    }

    LinuxSystem real;
    Bracket available, diskFree;
    int memoryQueries = 0, diskQueries = 0, resourceQueries = 0;
};

// The settings are looked for under this folder for the length of a test.
class ConfigHomeGuard {
public:
    explicit ConfigHomeGuard(const std::string& folder) {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    ~ConfigHomeGuard() {
        if (old_) ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        else ::unsetenv("XDG_CONFIG_HOME");
    }

private:
    std::optional<std::string> old_;
};

// Digits grouped in threes by commas, then " Bytes"; nothing when the text is not of that form.
std::optional<uint64_t> ParseFigure(const std::string& text) {
    static const std::regex form("([0-9]{1,3}(,[0-9]{3})*) Bytes");
    std::smatch m;
    if (!std::regex_match(text, m, form)) return std::nullopt;
    std::string digits = m[1].str();
    digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
    return std::stoull(digits);
}

std::string Grouped(uint64_t value) {
    std::string digits = std::to_string(value), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out + " Bytes";
}

class RealFigures : public ::testing::Test {
protected:
    RealFigures() : configHome(home / "config") {
        platform.desktop = &desktop;
        platform.system = &system;
        platform.files = &files;
        platform.paths = &paths;
    }
    void SetUp() override {
        swapFile = (home / "swap" / "WIN386.SWP").string();
        fs::create_directories(home / "swap");
        fs::create_directories(home / "config" / "veska");
        std::ofstream(home / "config" / "veska" / "registry.reg", std::ios::binary)
            << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tollbrae\\Veska\\Style]\r\n\"SWPFile\"=\"" << swapFile
            << "\"\r\n\r\n";
        SizeSwapFile(123456789);
    }
    void TearDown() override { fs::remove_all(home); }

    void SizeSwapFile(uint64_t size) {
        std::ofstream(swapFile, std::ios::binary | std::ios::app).close();
        fs::resize_file(swapFile, size);  // sparse: costs no disk
    }
    static std::string Text(QWidget& form, const char* name) {
        auto* label = form.findChild<QLabel*>(name);
        if (!label) ADD_FAILURE() << "no label " << name;
        return label ? label->text().toStdString() : std::string();
    }
    static void SetText(QWidget& form, const char* name, const char* text) {
        if (auto* label = form.findChild<QLabel*>(name)) label->setText(text);
    }
    void ExpectKernelFigures(QWidget& form) {
        EXPECT_EQ(Text(form, "Label9"), Grouped(Meminfo("MemTotal")));
        auto available = ParseFigure(Text(form, "Label10"));
        ASSERT_TRUE(available) << Text(form, "Label10");
        EXPECT_TRUE(system.available.Holds(*available))
            << *available << " outside " << system.available.low << ".." << system.available.high;
        auto free = ParseFigure(Text(form, "Label14"));
        ASSERT_TRUE(free) << Text(form, "Label14");
        EXPECT_TRUE(system.diskFree.Holds(*free))
            << *free << " outside " << system.diskFree.low << ".." << system.diskFree.high;
    }

    fs::path home = [] {
        std::string tmpl = (fs::temp_directory_path() / "veska-real-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a test folder");
        return fs::path(tmpl);
    }();
    ConfigHomeGuard configHome;
    std::string swapFile;
    ScriptedDesktop desktop;
    WatchedSystem system;
    LinuxFiles files;
    LinuxPaths paths;
    Platform platform;
};

TEST(RealFiguresText, GroupingIsReadBackOnlyWhenWellFormed) {
    EXPECT_EQ(ParseFigure("33,554,432 Bytes"), 33554432u);
    EXPECT_EQ(ParseFigure("999 Bytes"), 999u);
    EXPECT_EQ(Grouped(33554432), "33,554,432 Bytes");
    EXPECT_EQ(Grouped(1000), "1,000 Bytes");
    EXPECT_EQ(Grouped(999), "999 Bytes");
    for (const char* bad : {"Bytes", " Bytes", "3,55,4432 Bytes", "33554432 Bytes", ",123 Bytes", "1,2345 Bytes",
                            "-1 Bytes", "12 bytes"})
        EXPECT_FALSE(ParseFigure(bad)) << bad;
}

TEST_F(RealFigures, MemoryAndFreeSpaceAreTheKernelsFigures) {
    TForm2 form(platform);
    EXPECT_TRUE(desktop.boxes.empty());
    ASSERT_GE(system.memoryQueries, 1);
    ASSERT_GE(system.diskQueries, 1);
    ExpectKernelFigures(form);
}

TEST_F(RealFigures, SwapFigureIsTheSizeOfTheFileTheSettingsName) {
    TForm2 form(platform);
    EXPECT_EQ(Text(form, "Label13"), "123,456,789 Bytes");
    SizeSwapFile(0);
    form.findChild<QPushButton*>("Button2")->click();
    EXPECT_EQ(Text(form, "Label13"), "0 Bytes");
    EXPECT_TRUE(desktop.boxes.empty());
}

TEST_F(RealFigures, ResourceFiguresArePercentagesOfTheKernelsTables) {
    TForm2 form(platform);
    EXPECT_TRUE(desktop.boxes.empty()) << (desktop.boxes.empty() ? "" : desktop.boxes[0].text);
    EXPECT_EQ(system.resourceQueries, 3);
    for (const char* name : {"Label1", "Label2", "Label3"}) {
        const std::string text = Text(form, name);
        ASSERT_GT(text.size(), 2u) << name;
        ASSERT_EQ(text.substr(text.size() - 2), " %") << name;
        const std::string digits = text.substr(0, text.size() - 2);
        ASSERT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << text;
        EXPECT_LE(std::stoi(digits), 100) << name;
    }
}

TEST_F(RealFigures, RetakeTakesEveryFigureAgainFromTheMachine) {
    TForm2 form(platform);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, 10000));
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();  // the paint's own retake is over

    const char* figures[] = {"Label1", "Label2", "Label3", "Label9", "Label10", "Label13", "Label14"};
    for (const char* name : figures) SetText(form, name, "stale");
    SizeSwapFile(987654321);
    const int memory = system.memoryQueries, disk = system.diskQueries, resources = system.resourceQueries;

    form.findChild<QPushButton*>("Button2")->click();  // emits at once: nothing else runs meanwhile

    EXPECT_EQ(system.memoryQueries, memory + 1);
    EXPECT_EQ(system.diskQueries, disk + 1);
    EXPECT_EQ(system.resourceQueries, resources + 3);
    for (const char* name : figures) EXPECT_NE(Text(form, name), "stale") << name;
    EXPECT_EQ(Text(form, "Label13"), "987,654,321 Bytes");
    ExpectKernelFigures(form);
    EXPECT_TRUE(desktop.boxes.empty());
}

}  // namespace
}  // namespace veska
