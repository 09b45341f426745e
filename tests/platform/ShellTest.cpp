#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "PlatformTestSupport.h"
#include "platform/linux/LinuxLock.h"
#include "platform/linux/LinuxShell.h"
#include "text/Codec.h"

namespace veska {
namespace {

using test::CwdGuard;
using test::EnvGuard;
using test::Exists;
using test::TempDir;
using test::WriteFile;

// Folder and file names that break anything that passes the path through a shell or as options.
const std::string kHostileFolder = "-lead dir";
const std::string kHostileName = "a b'c\"$(touch pwned);d `touch pwned2` & x.sh";

TEST(ClassifyLaunch, ProgramsScriptsEntriesAndDocuments) {
    TempDir dir;
    WriteFile(dir / "script", "#!/bin/sh\nexit 0\n", 0755);
    WriteFile(dir / "script-noexec", "#!/bin/sh\nexit 0\n", 0644);
    WriteFile(dir / "notes.txt", "rm -rf something\n", 0777);  // every file is executable on some disks
    WriteFile(dir / "app.DESKTOP", "[Desktop Entry]\n", 0755);
    WriteFile(dir / "empty", "", 0755);
    EXPECT_EQ(ClassifyLaunch("/bin/true"), LaunchKind::Program);
    EXPECT_EQ(ClassifyLaunch(dir / "script"), LaunchKind::Program);
    EXPECT_EQ(ClassifyLaunch(dir / "script-noexec"), LaunchKind::Document);
    EXPECT_EQ(ClassifyLaunch(dir / "notes.txt"), LaunchKind::Document);
    EXPECT_EQ(ClassifyLaunch(dir / "app.DESKTOP"), LaunchKind::DesktopEntry);
    EXPECT_EQ(ClassifyLaunch(dir / "empty"), LaunchKind::Document);
    EXPECT_EQ(ClassifyLaunch(dir.path()), LaunchKind::Document);
    EXPECT_EQ(ClassifyLaunch(dir / "missing"), LaunchKind::Nothing);
    EXPECT_EQ(ClassifyLaunch(""), LaunchKind::Nothing);
}

TEST(ClassifyLaunch, RelativePathsResolveAgainstTheCurrentFolder) {
    TempDir dir;
    CwdGuard cwd(dir.path());
    const std::string here = std::filesystem::current_path().string();
    EXPECT_EQ(AbsoluteFromCurrent("-x/y z"), here + "/-x/y z");
    EXPECT_EQ(AbsoluteFromCurrent("/abs/-x"), "/abs/-x");
    EXPECT_EQ(AbsoluteFromCurrent(""), "");
}

// A script that reports how it was started, then stays running as a launched program does.
class LaunchedScript : public ::testing::Test {
protected:
    LaunchedScript() {
        ::mkdir((dir / kHostileFolder).c_str(), 0755);
        ::mkdir((dir / "work").c_str(), 0755);
        script = dir / kHostileFolder + "/" + kHostileName;
        const std::string out = dir / "out";
        ::mkdir(out.c_str(), 0755);
        WriteFile(script,
                  "#!/bin/sh\n"
                  "printf '%s' \"$0\" > '" + out + "/argv0'\n"
                  "grep '^PPid:' /proc/$$/status | tr -dc 0-9 > '" + out + "/ppid'\n"
                  "echo $$ > '" + out + "/pid.tmp' && mv '" + out + "/pid.tmp' '" + out + "/pid'\n"
                  "exec sleep 120\n",
                  0755);
    }
    ~LaunchedScript() override {
        if (auto pid = test::ReadFile(dir / "out/pid")) ::kill(std::atoi(pid->c_str()), SIGKILL);
    }
    bool started() {
        return test::WaitFor([&] { return Exists(dir / "out/pid"); });
    }
    void expectNothingInjected() {
        for (const char* mark : {"pwned", "pwned2"}) {
            EXPECT_FALSE(Exists(dir / mark)) << mark;
            EXPECT_FALSE(Exists(dir / kHostileFolder + "/" + mark)) << mark;
            EXPECT_FALSE(Exists(dir / "work/" + mark)) << mark;
        }
    }
    TempDir dir;
    std::string script;
};

TEST_F(LaunchedScript, RunsExactlyThatFileDetachedAndWithoutOurDescriptors) {
    EnvGuard runtime("XDG_RUNTIME_DIR", dir.path());
    LinuxLock lock;
    ASSERT_FALSE(lock.CreateMutexAlreadyExists("QOTVeska"));
    CwdGuard cwd(dir / "work");

    LinuxShell().ShellExecute(*fromUtf8(script));
    ASSERT_TRUE(started());
    EXPECT_EQ(test::ReadFile(dir / "out/argv0"), script);
    expectNothingInjected();

    // Not our child: nothing of ours waits to be reaped, and it outlives us.
    int pid = std::atoi(test::ReadFile(dir / "out/pid")->c_str());
    EXPECT_NE(std::atoi(test::ReadFile(dir / "out/ppid")->c_str()), ::getpid());
    for (int child : test::ChildrenOf(::getpid())) EXPECT_NE(child, pid);

    // Once it has become the program it runs, it holds exactly the three standard descriptors.
    const std::string proc = "/proc/" + std::to_string(pid);
    ASSERT_TRUE(test::WaitFor([&] { return test::ReadFile(proc + "/cmdline").value_or("").rfind("sleep", 0) == 0; }));
    // The new command line shows a moment before exec closes the shell's close-on-exec
    // descriptors: wait for them to go, and fail if one stays.
    auto descriptors = [&] {
        std::set<std::string> fds;
        for (const auto& e : std::filesystem::directory_iterator(proc + "/fd")) {
            std::error_code gone;  // closed since the listing
            fds.insert(e.path().filename().string());
            EXPECT_EQ(std::filesystem::read_symlink(e.path(), gone).string().find("QOTVeska.lock"), std::string::npos);
        }
        return fds;
    };
    test::WaitFor([&] { return descriptors().size() <= 3; });
    EXPECT_EQ(descriptors(), (std::set<std::string>{"0", "1", "2"}));
}

TEST_F(LaunchedScript, ARelativePathStartingWithADashRunsFromTheCurrentFolder) {
    CwdGuard cwd(dir.path());
    LinuxShell().ShellExecute(*fromUtf8(kHostileFolder + "/" + kHostileName));
    ASSERT_TRUE(started());
    const std::string here = std::filesystem::current_path().string();
    EXPECT_EQ(test::ReadFile(dir / "out/argv0"), here + "/" + kHostileFolder + "/" + kHostileName);
    expectNothingInjected();
}

TEST(Shell, AnExecutableTextFileIsNeverRunAsAShellScript) {
    TempDir dir;
    CwdGuard cwd(dir.path());
    WriteFile(dir / "readme.txt", "touch ran\n", 0755);
    // With no handler for text in this environment nothing happens, and certainly no "ran".
    EXPECT_EQ(test::RunProbe("shell", {dir / "readme.txt"},
                             {{"XDG_DATA_HOME", dir / "data"}, {"XDG_CONFIG_HOME", dir / "config"},
                              {"XDG_DATA_DIRS", dir / "none"}, {"XDG_CONFIG_DIRS", dir / "none"}}),
              0);
    EXPECT_FALSE(Exists(dir / "ran"));
}

// GIO reads the user's folders once per process, so these launches run in a probe process.
class GioLaunch : public ::testing::Test {
protected:
    GioLaunch() {
        for (const char* d : {"data", "data/applications", "config", "bin"}) ::mkdir((dir / d).c_str(), 0755);
        WriteFile(dir / "bin/handler", "#!/bin/sh\nprintf '%s' \"$1\" > '" + (dir / "mark.tmp") + "'\nmv '" +
                                           (dir / "mark.tmp") + "' '" + (dir / "mark") + "'\nexec sleep 120\n",
                  0755);
    }
    // The handler stays running like a real one; it carries our marker in its environment.
    ~GioLaunch() override { test::KillMarkedProcesses("VESKA_TEST_DIR=" + dir.path()); }
    std::map<std::string, std::optional<std::string>> env() {
        return {{"XDG_DATA_HOME", dir / "data"}, {"XDG_CONFIG_HOME", dir / "config"}, {"VESKA_TEST_DIR", dir.path()}};
    }
    TempDir dir;
};

TEST_F(GioLaunch, ADesktopEntryStartsItsProgramDetached) {
    const std::string entry = dir / "my app.desktop";
    WriteFile(entry, "[Desktop Entry]\nType=Application\nName=Test\nExec=" + (dir / "bin/handler") + " started\n",
              0755);
    EXPECT_EQ(test::RunProbe("shell", {entry}, env()), 0) << "the launch left a child behind";
    ASSERT_TRUE(test::WaitFor([&] { return Exists(dir / "mark"); }));
    EXPECT_EQ(test::ReadFile(dir / "mark"), "started");
}

TEST_F(GioLaunch, ADocumentOpensInTheDefaultHandlerForItsType) {
    WriteFile(dir / "data/applications/veska-test-viewer.desktop",
              "[Desktop Entry]\nType=Application\nName=Viewer\nMimeType=text/plain;\nExec=" + (dir / "bin/handler") +
                  " %f\n");
    WriteFile(dir / "config/mimeapps.list", "[Default Applications]\ntext/plain=veska-test-viewer.desktop\n");
    const std::string doc = dir / "-notes $(touch pwned); 'q' \"x\".txt";
    WriteFile(doc, "just some text\n");
    EXPECT_EQ(test::RunProbe("shell", {doc}, env()), 0) << "the launch left a child behind";
    ASSERT_TRUE(test::WaitFor([&] { return Exists(dir / "mark"); }));
    EXPECT_EQ(test::ReadFile(dir / "mark"), doc);
    EXPECT_FALSE(Exists(dir / "pwned"));
}

TEST_F(GioLaunch, ALinkEntryOpensItsUrlInTheDefaultHandler) {
    WriteFile(dir / "data/applications/veska-test-browser.desktop",
              "[Desktop Entry]\nType=Application\nName=Browser\nMimeType=x-scheme-handler/veskatest;\nExec=" +
                  (dir / "bin/handler") + " %u\n");
    WriteFile(dir / "config/mimeapps.list",
              "[Default Applications]\nx-scheme-handler/veskatest=veska-test-browser.desktop\n");
    const std::string entry = dir / "page.desktop";
    WriteFile(entry, "[Desktop Entry]\nType=Link\nName=Page\nURL=veskatest://example/page?a=1\n");
    EXPECT_EQ(test::RunProbe("shell", {entry}, env()), 0) << "the launch left a child behind";
    ASSERT_TRUE(test::WaitFor([&] { return Exists(dir / "mark"); }));
    EXPECT_EQ(test::ReadFile(dir / "mark"), "veskatest://example/page?a=1");
}

}  // namespace
}  // namespace veska
