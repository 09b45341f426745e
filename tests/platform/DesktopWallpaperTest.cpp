#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "PlatformTestSupport.h"
#include "platform/linux/DesktopWallpaper.h"

namespace veska {
namespace {

using test::EnvGuard;
using test::TempDir;

TEST(DesktopFromXdg, KnowsTheDesktopsThatKeepTheirOwnWallpaper) {
    EXPECT_EQ(DesktopFromXdg("LXQt"), DesktopKind::Lxqt);
    EXPECT_EQ(DesktopFromXdg("sway"), DesktopKind::Sway);
    EXPECT_EQ(DesktopFromXdg("GNOME"), DesktopKind::Gnome);
    EXPECT_EQ(DesktopFromXdg("ubuntu:GNOME"), DesktopKind::Gnome);
    EXPECT_EQ(DesktopFromXdg("X-Cinnamon"), DesktopKind::Cinnamon);
    EXPECT_EQ(DesktopFromXdg("MATE"), DesktopKind::Mate);
    EXPECT_EQ(DesktopFromXdg("XFCE"), DesktopKind::Xfce);
    EXPECT_EQ(DesktopFromXdg("KDE"), DesktopKind::Plasma);
    EXPECT_EQ(DesktopFromXdg("kde"), DesktopKind::Plasma);
    EXPECT_EQ(DesktopFromXdg("LXDE:GNOME"), DesktopKind::Gnome);  // the first one we know
    EXPECT_EQ(DesktopFromXdg("LXDE"), DesktopKind::None);
    EXPECT_EQ(DesktopFromXdg(""), DesktopKind::None);
    EXPECT_EQ(DesktopFromXdg("::"), DesktopKind::None);
}

TEST(CurrentDesktop, KnowsSwayByItsSocketToo) {
    EnvGuard xdg("XDG_CURRENT_DESKTOP", std::nullopt), sock("SWAYSOCK", "/run/sway.sock"), wl("WAYLAND_DISPLAY", "w-1");
    EXPECT_EQ(CurrentDesktop().kind, DesktopKind::Sway);
    EXPECT_TRUE(CurrentDesktop().wayland);
}

TEST(PlasmaScript, CarriesThePathAsAnEscapedUriLiteral) {
    std::string s = PlasmaWallpaperScript("/tmp/a'b\"c\\d \xc3\xa9\n.bmp", true);
    EXPECT_NE(s.find("d.writeConfig(\"Image\", \"file:///tmp/a\\x27b%22c%5Cd%20%C3%A9%0A.bmp\");"), std::string::npos)
        << s;
    EXPECT_NE(s.find("d.writeConfig(\"FillMode\", 3);"), std::string::npos);
    EXPECT_NE(PlasmaWallpaperScript("/w.bmp", false).find("d.writeConfig(\"FillMode\", 6);"), std::string::npos);
    std::string none = PlasmaWallpaperScript("", false);
    EXPECT_NE(none.find("org.kde.color"), std::string::npos);
    EXPECT_EQ(none.find("Image"), std::string::npos);
}

// GSettings keeps its backend for the life of a process, so each run is a probe process that
// stores into a key file we can read.
class GSettingsWallpaper : public ::testing::Test {
protected:
    int run(const std::string& desktop, const std::string& path, bool tiled,
            std::optional<std::string> dataDirs = std::nullopt) {
        std::map<std::string, std::optional<std::string>> env{
            {"GSETTINGS_BACKEND", "keyfile"}, {"XDG_CONFIG_HOME", dir / "config"}, {"XDG_CURRENT_DESKTOP", desktop}};
        if (dataDirs) env["XDG_DATA_DIRS"] = dataDirs;
        return test::RunProbe("desktop-wallpaper", {desktop, path, tiled ? "tiled" : "centred"}, env);
    }
    std::string keyfile() { return test::ReadFile(dir / "config/glib-2.0/settings/keyfile").value_or(""); }
    TempDir dir;
};

TEST_F(GSettingsWallpaper, GnomeGetsTheUriAndTheStyle) {
    if (!test::Exists("/usr/share/glib-2.0/schemas/org.gnome.desktop.background.gschema.xml"))
        GTEST_SKIP() << "gsettings-desktop-schemas is not installed";
    ASSERT_EQ(run("GNOME", "/pics/my wall's.bmp", true), 0);
    std::string k = keyfile();
    EXPECT_NE(k.find("[org/gnome/desktop/background]"), std::string::npos) << k;
    EXPECT_NE(k.find("picture-uri=\"file:///pics/my%20wall's.bmp\"\n"), std::string::npos) << k;
    EXPECT_NE(k.find("picture-uri-dark=\"file:///pics/my%20wall's.bmp\"\n"), std::string::npos) << k;
    EXPECT_NE(k.find("picture-options='wallpaper'"), std::string::npos) << k;

    ASSERT_EQ(run("GNOME", "/pics/c.bmp", false), 0);
    EXPECT_NE(keyfile().find("picture-options='centered'"), std::string::npos) << keyfile();

    ASSERT_EQ(run("GNOME", "", false), 0);
    EXPECT_NE(keyfile().find("picture-options='none'"), std::string::npos) << keyfile();
    EXPECT_NE(keyfile().find("picture-uri=''"), std::string::npos) << keyfile();
}

TEST_F(GSettingsWallpaper, AMissingSchemaIsDeclinedWithoutAborting) {
    // No schema at all under these data folders: GSettings would abort on a blind lookup.
    EXPECT_EQ(run("GNOME", "/pics/a.bmp", true, dir / "none"), 1);
    EXPECT_EQ(run("X-Cinnamon", "/pics/a.bmp", true, dir / "none"), 1);
    EXPECT_EQ(run("MATE", "/pics/a.bmp", true, dir / "none"), 1);
    EXPECT_EQ(keyfile(), "");
}

// What each desktop would read back: the file and the style in the settings it was given, or in
// the script the Plasma shell is given.
TEST_F(GSettingsWallpaper, CinnamonMateAndPlasmaReadBackTheChosenFileAndStyle) {
    for (const char* schema : {"org.cinnamon.desktop.background", "org.mate.background"})
        if (!test::Exists("/usr/share/glib-2.0/schemas/" + std::string(schema) + ".gschema.xml"))
            GTEST_SKIP() << schema << " is not installed";
    struct Row {
        const char *desktop, *path;
        bool tiled;
        std::string file, style;
    } rows[] = {
        {"X-Cinnamon", "/w/t t.bmp", true, "picture-uri='file:///w/t%20t.bmp'", "picture-options='wallpaper'"},
        {"X-Cinnamon", "/w/c.bmp", false, "picture-uri='file:///w/c.bmp'", "picture-options='centered'"},
        {"MATE", "/w/t t.bmp", true, "picture-filename='/w/t t.bmp'", "picture-options='wallpaper'"},
        {"MATE", "/w/c.bmp", false, "picture-filename='/w/c.bmp'", "picture-options='centered'"},
        {"KDE", "/w/t t.bmp", true, "(\"Image\", \"file:///w/t%20t.bmp\")", "(\"FillMode\", 3)"},
        {"KDE", "/w/c.bmp", false, "(\"Image\", \"file:///w/c.bmp\")", "(\"FillMode\", 6)"},
    };
    for (const Row& r : rows) {
        std::string seen;
        if (DesktopFromXdg(r.desktop) == DesktopKind::Plasma) {
            seen = PlasmaWallpaperScript(r.path, r.tiled);
        } else {
            std::remove((dir / "config/glib-2.0/settings/keyfile").c_str());
            ASSERT_EQ(run(r.desktop, r.path, r.tiled), 0) << r.desktop;
            seen = keyfile();
        }
        EXPECT_NE(seen.find(r.file), std::string::npos) << r.desktop << ": " << seen;
        EXPECT_NE(seen.find(r.style), std::string::npos) << r.desktop << ": " << seen;
    }
}

TEST(XfceWallpaper, SetsEveryBackdropThroughXfconf) {
    TempDir dir;
    ::mkdir((dir / "bin").c_str(), 0755);
    const std::string log = dir / "calls";
    test::WriteFile(dir / "bin/xfconf-query",
                    "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done >> '" + log + "'\necho >> '" + log +
                        "'\n"
                        "case \"$*\" in *' -l'*) printf '%s\\n' "
                        "/backdrop/screen0/monitorVirtual-1/workspace0/last-image "
                        "/backdrop/screen0/monitorVirtual-1/workspace0/color-style "
                        "/backdrop/screen0/monitorHDMI-1/workspace0/last-image ;; esac\n",
                    0755);
    EnvGuard path("PATH", dir / "bin:" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin"));
    ASSERT_TRUE(SetDesktopWallpaper(DesktopKind::Xfce, "/pics/a b.bmp", false));
    const std::string calls = test::ReadFile(log).value_or("");
    const std::string set = "[-c][xfce4-desktop][-p][/backdrop/screen0/";
    for (const char* monitor : {"monitorVirtual-1", "monitorHDMI-1"}) {
        EXPECT_NE(calls.find(set + monitor + "/workspace0/last-image][-n][-t][string][-s][/pics/a b.bmp]\n"),
                  std::string::npos)
            << calls;
        EXPECT_NE(calls.find(set + monitor + "/workspace0/image-style][-n][-t][int][-s][1]\n"), std::string::npos)
            << calls;
    }
    ASSERT_TRUE(SetDesktopWallpaper(DesktopKind::Xfce, "", false));
    EXPECT_NE(test::ReadFile(log)->find(set + "monitorHDMI-1/workspace0/image-style][-n][-t][int][-s][0]\n"),
              std::string::npos);
}

TEST(XfceWallpaper, DeclinesWithoutXfconf) {
    TempDir dir;
    EnvGuard path("PATH", dir.path());
    EXPECT_FALSE(SetDesktopWallpaper(DesktopKind::Xfce, "/pics/a.bmp", true));
}

}  // namespace
}  // namespace veska
