#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "PlatformTestSupport.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/LinuxPaths.h"
#include "text/Codec.h"

namespace veska {
namespace {

using test::EnvGuard;
using test::TempDir;

TEST(Paths, ProgramPathNamesTheRunningProgramFile) {
    LinuxPaths paths;
    Bytes p = paths.ProgramPath();
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(p[0], '/');
    struct stat self {}, named {};
    ASSERT_EQ(::stat("/proc/self/exe", &self), 0);
    ASSERT_EQ(::stat(toUtf8(p).c_str(), &named), 0);
    EXPECT_EQ(self.st_ino, named.st_ino);
    EXPECT_EQ(self.st_dev, named.st_dev);
}

TEST(Paths, AProgramInAFolderWithoutACp932NameFindsItsIniBesideIt) {
    TempDir dir;
    const std::string folder = dir / "b\xc3\xa9n";  // "é" has no CP932 form
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    std::filesystem::copy_file("/proc/self/exe", folder + "/veska");
    ::chmod((folder + "/veska").c_str(), 0755);
    EXPECT_EQ(test::RunProbe("program-ini", {}, {}, folder + "/veska"), 0);
    EXPECT_EQ(test::ReadFile(folder + "/veska.INI"), "[x]\r\n");
}

TEST(Paths, OnlyAProgramFileStandingInTheInstallFolderIsInstalled) {
    EXPECT_TRUE(LinuxPaths::IsInstalled("/usr/bin/veska", "/usr/bin"));
    EXPECT_TRUE(LinuxPaths::IsInstalled("/usr/bin/veska", "/usr/bin/"));
    EXPECT_TRUE(LinuxPaths::IsInstalled("/usr/bin/veska (deleted)", "/usr/bin"));  // upgraded while running
    EXPECT_TRUE(LinuxPaths::IsInstalled("/veska", "/"));
    EXPECT_FALSE(LinuxPaths::IsInstalled("/usr/bin/sub/veska", "/usr/bin"));
    EXPECT_FALSE(LinuxPaths::IsInstalled("/usr/binaries/veska", "/usr/bin"));
    EXPECT_FALSE(LinuxPaths::IsInstalled("/usr/veska", "/usr/bin"));
    EXPECT_FALSE(LinuxPaths::IsInstalled("/tmp/stage/usr/bin/veska", "/usr/bin"));  // a DESTDIR copy
    EXPECT_FALSE(LinuxPaths::IsInstalled("/home/u/veska/build/veska", "/usr/bin"));
    EXPECT_FALSE(LinuxPaths::IsInstalled("/usr/bin/veska", ""));  // a build that installs nowhere
    EXPECT_FALSE(LinuxPaths::IsInstalled("/usr/bin/veska", "usr/bin"));
    EXPECT_FALSE(LinuxPaths::IsInstalled("", "/usr/bin"));
}

TEST(Paths, AnInstalledProgramKeepsItsConfigurationInTheUsersConfigFolder) {
    TempDir dir;
    EnvGuard config("XDG_CONFIG_HOME", dir / "cfg");
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    const std::string ini = self.filename().string() + ".INI";
    LinuxPaths installed(self.parent_path().string());
    EXPECT_EQ(installed.ConfigFile(), dir / "cfg/veska/" + ini);
    // Made now: the configuration file is never written into a missing folder.
    EXPECT_TRUE(std::filesystem::is_directory(dir / "cfg/veska"));

    // The install folder through a link names the same folder (/bin is /usr/bin).
    std::filesystem::create_directory_symlink(self.parent_path(), dir / "bin");
    EXPECT_EQ(LinuxPaths(dir / "bin").ConfigFile(), dir / "cfg/veska/" + ini);

    LinuxPaths elsewhere(dir / "cfg");
    EXPECT_EQ(elsewhere.ConfigFile(), self.parent_path().string() + "/" + ini);
}

TEST(Paths, SettingsFileFollowsTheConfigHome) {
    LinuxPaths paths;
    {
        EnvGuard config("XDG_CONFIG_HOME", "/cfg/home");
        EXPECT_EQ(paths.SettingsFile(), "/cfg/home/veska/registry.reg");
    }
    EnvGuard home("HOME", "/home/someone");
    {
        EnvGuard config("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(paths.SettingsFile(), "/home/someone/.config/veska/registry.reg");
    }
    {
        EnvGuard config("XDG_CONFIG_HOME", "not/absolute");
        EXPECT_EQ(paths.SettingsFile(), "/home/someone/.config/veska/registry.reg");
    }
}

TEST(Paths, ASettingsFolderWithoutACp932NameIsReachedUnmangled) {
    TempDir dir;
    const std::string config = dir / "conf\xc3\xa9";  // "é" has no CP932 form
    EnvGuard env("XDG_CONFIG_HOME", config);
    LinuxPaths paths;
    Bytes p = paths.SettingsFile();
    EXPECT_EQ(p.rfind("/proc/self/fd/", 0), 0u) << p;
    LinuxFiles files;
    ASSERT_TRUE(files.WriteFileAtomic(p, "REGEDIT4\r\n"));
    EXPECT_EQ(test::ReadFile(config + "/veska/registry.reg"), "REGEDIT4\r\n");
    EXPECT_EQ(files.ReadFile(p), "REGEDIT4\r\n");
    EXPECT_EQ(paths.SettingsFile(), p);  // one descriptor per folder, not one per call
}

TEST(Paths, TempFolderIsTmpdirElseTmp) {
    LinuxPaths paths;
    {
        EnvGuard tmp("TMPDIR", "/var/tmp/");
        EXPECT_EQ(paths.DefaultTempFolder(), "/var/tmp");
    }
    {
        EnvGuard tmp("TMPDIR", std::nullopt);
        EXPECT_EQ(paths.DefaultTempFolder(), "/tmp");
    }
    {
        EnvGuard tmp("TMPDIR", "");
        EXPECT_EQ(paths.DefaultTempFolder(), "/tmp");
    }
    {
        EnvGuard tmp("TMPDIR", "relative");
        EXPECT_EQ(paths.DefaultTempFolder(), "/tmp");
    }
    {
        EnvGuard tmp("TMPDIR", "/tmp/caf\xc3\xa9");  // stored in the settings: no mangled name
        EXPECT_EQ(paths.DefaultTempFolder(), "/tmp");
    }
    {
        EnvGuard tmp("TMPDIR", "/tmp/\xe8\xa1\xa8");  // "表": its second byte is 0x5C in CP932
        EXPECT_EQ(paths.DefaultTempFolder(), "/tmp/\x95\x5c");
    }
}

}  // namespace
}  // namespace veska
