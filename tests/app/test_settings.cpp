// The settings model against real settings files in a temporary folder.
#include "settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "test_support.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;
using bindwick::Settings;
using bindwick::SettingsWriteError;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    testsupport::TempDir temp_;
    const fs::path dir_ = temp_.path();
    const std::string ini_ = temp_.file("bindwick.ini");
};

TEST_F(SettingsTest, FirstStartCreatesTheMarkerOnly) {
    Settings settings(ini_);
    EXPECT_FALSE(fs::exists(ini_)) << "the constructor must not touch the file";
    settings.LoadSettings();
    EXPECT_EQ(ReadFile(ini_), "[Temp]\nFirstRunAfterDelIni=1\n");
    EXPECT_TRUE(settings.IsUseCwd());
    EXPECT_EQ(settings.PaperSize(), 0);
    EXPECT_EQ(settings.CompressRate(), 6);
}

TEST_F(SettingsTest, ReadingValues) {
    struct Row { const char *file; bool cwd; int paper; int rate; };
    const Row rows[] = {
        {"", true, 0, 6},
        {"[FILE]\nIsUseCwd=0\n[SIZE]\npaper=2\n[COMPRESS]\nrate=3\n", false, 2, 3},
        {"[file]\r\nisusecwd = 0 \r\n[compress]\r\nRATE= 4\r\n", false, 0, 4},
        {"[COMPRESS]\nrate=12\n", true, 0, 9},
        {"[COMPRESS]\nrate=-4\n", true, 0, 0},
        {"[COMPRESS]\nrate=0x5\n", true, 0, 5},
        {"[COMPRESS]\nrate=0X0a\n", true, 0, 9},
        {"[COMPRESS]\nrate=abc\n", true, 0, 6},
        {"[COMPRESS]\nrate=0x\n", true, 0, 6},
        {"[COMPRESS]\nrate=5x\n", true, 0, 6},
        {"[COMPRESS]\nrate=\n", true, 0, 6},
        {"[COMPRESS]\nrate=99999999999\n", true, 0, 6},
        {"[COMPRESS]\nrate=+2\n", true, 0, 2},
        {"[SIZE]\npaper=3\n", true, 3, 6},
        {"[SIZE]\npaper=7\n", true, -1, 6},
        {"[SIZE]\npaper=-1\n", true, -1, 6},
        {"[SIZE]\npaper=A4\n", true, 0, 6},
        {"[FILE]\nIsUseCwd=2\n", true, 0, 6},
        {"[FILE]\nIsUseCwd=0x0\n", false, 0, 6},
        {"[FILE]\nIsUseCwd=no\n", true, 0, 6},
        {"[FILE]\nIsUseCwd=\"0\"\n", false, 0, 6},
    };
    for (const Row &row : rows) {
        WriteFile(ini_, row.file);
        Settings settings(ini_);
        settings.LoadSettings();
        EXPECT_EQ(settings.IsUseCwd(), row.cwd) << row.file;
        EXPECT_EQ(settings.PaperSize(), row.paper) << row.file;
        EXPECT_EQ(settings.CompressRate(), row.rate) << row.file;
        EXPECT_EQ(ReadFile(ini_), row.file) << "reading must not change the file";
    }
}

TEST_F(SettingsTest, OkStoresTheEffectiveValuesAndKeepsTheRest) {
    WriteFile(ini_,
          "; kept\r\n[Temp]\r\nFirstRunAfterDelIni=1\r\n"
          "[SIZE]\r\npaper=7\r\nother=x\r\n[COMPRESS]\r\nrate=12\r\n");
    Settings settings(ini_);
    settings.LoadSettings();
    settings.SetIsUseCwd(false);
    settings.SaveSettings();
    EXPECT_EQ(ReadFile(ini_),
              "; kept\r\n[Temp]\r\nFirstRunAfterDelIni=1\r\n"
              "[SIZE]\r\npaper=-1\r\nother=x\r\nwidth=210\r\nheight=297\r\nmargin=10\r\n"
              "IsUseResolution=0\r\nIsAutoRotate=1\r\nIsNoEnlarge=0\r\n"
              "[COMPRESS]\r\nrate=9\r\n[FILE]\r\nIsUseCwd=0\r\nIsKeepAlpha=0\r\n"
              "IsAllPages=0\r\nIsUseOrientation=0\r\n");

    Settings reread(ini_);
    reread.LoadSettings();
    EXPECT_FALSE(reread.IsUseCwd());
    EXPECT_EQ(reread.PaperSize(), -1);
    EXPECT_EQ(reread.CompressRate(), 9);
}

TEST_F(SettingsTest, FirstOkAddsEveryKey) {
    Settings settings(ini_);
    settings.LoadSettings();
    settings.SetCompressRate(2);
    settings.SetPaperSize(3);
    settings.SetPaperWidth(100);
    settings.SetMargin(0);
    settings.SetIsNoEnlarge(true);
    settings.SaveSettings();
    EXPECT_EQ(ReadFile(ini_),
              "[Temp]\nFirstRunAfterDelIni=1\n[FILE]\nIsUseCwd=1\nIsKeepAlpha=0\n"
              "IsAllPages=0\nIsUseOrientation=0\n[SIZE]\npaper=3\nwidth=100\nheight=297\nmargin=0\nIsUseResolution=0\n"
              "IsAutoRotate=1\nIsNoEnlarge=1\n[COMPRESS]\nrate=2\n");
}

// The paper-size choice and its companions become the book's page set-up:
// the resolution counts without paper, the rest only on paper.
TEST(SettingsPageSetup, FollowsThePaperChoice) {
    const double mm = bindwick::kPointsPerMillimetre;
    struct Row {
        int paper;
        double width, height;  // points; 0 without paper
    };
    const Row rows[] = {{0, 0, 0}, {-1, 0, 0}, {1, 210 * mm, 297 * mm},
                        {2, 182 * mm, 257 * mm}, {3, 100 * mm, 150 * mm}};
    for (const Row &row : rows) {
        for (bool ticked : {false, true}) {
            SCOPED_TRACE(std::to_string(row.paper) + (ticked ? " ticked" : ""));
            Settings settings("unused.ini");
            settings.SetPaperSize(row.paper);
            settings.SetPaperWidth(100);
            settings.SetPaperHeight(150);
            settings.SetMargin(5);
            settings.SetIsUseResolution(ticked);
            settings.SetIsAutoRotate(ticked);
            settings.SetIsNoEnlarge(ticked);
            const bindwick::PageSetup setup = settings.GetPageSetup();
            ASSERT_EQ(setup.paper.has_value(), row.width > 0);
            EXPECT_EQ(setup.use_resolution, ticked && !setup.paper);
            if (!setup.paper) continue;
            EXPECT_DOUBLE_EQ(setup.paper->width, row.width);
            EXPECT_DOUBLE_EQ(setup.paper->height, row.height);
            EXPECT_DOUBLE_EQ(setup.margin, 5 * mm);
            EXPECT_EQ(setup.orientation, ticked ? bindwick::PageOrientation::kFollowImage
                                                : bindwick::PageOrientation::kAsGiven);
            EXPECT_EQ(setup.enlarge, !ticked);
        }
    }
}

TEST_F(SettingsTest, CancelReloadsAndRecreatesADeletedFile) {
    WriteFile(ini_, "[COMPRESS]\nrate=3\n");
    Settings settings(ini_);
    settings.LoadSettings();
    settings.SetCompressRate(8);
    settings.SetIsUseCwd(false);
    EXPECT_EQ(settings.CompressRate(), 8);   // in effect until reloaded
    settings.LoadSettings();
    EXPECT_EQ(settings.CompressRate(), 3);
    EXPECT_TRUE(settings.IsUseCwd());

    fs::remove(ini_);
    settings.SetCompressRate(1);
    settings.LoadSettings();
    EXPECT_EQ(ReadFile(ini_), "[Temp]\nFirstRunAfterDelIni=1\n");
    EXPECT_EQ(settings.CompressRate(), 6);
}

TEST_F(SettingsTest, UnwritableFileRaisesTheMessage) {
    WriteFile((dir_ / "plain").string(), "x");
    const std::string paths[] = {
        (dir_ / "missing" / "bindwick.ini").string(),
        (dir_ / "plain" / "bindwick.ini").string(),
    };
    for (const std::string &path : paths) {
        Settings settings(path);
        settings.SetCompressRate(2);
        try {
            settings.LoadSettings();
            ADD_FAILURE() << "no error for " << path;
        } catch (const SettingsWriteError &error) {
            EXPECT_EQ(std::string(error.what()), path + " に書き込めません");
            EXPECT_EQ(error.path(), path);
        }
        EXPECT_EQ(settings.CompressRate(), 2);
        EXPECT_THROW(settings.SaveSettings(), SettingsWriteError);
        EXPECT_EQ(settings.CompressRate(), 2);
    }
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(SettingsTest, OkOnAFolderInPlaceOfTheFileFails) {
    fs::create_directory(ini_);
    Settings settings(ini_);
    settings.LoadSettings();  // exists: defaults, nothing to create
    EXPECT_EQ(settings.CompressRate(), 6);
    EXPECT_THROW(settings.SaveSettings(), SettingsWriteError);
}

TEST(SettingsPath, PortablePathReplacesTheExtension) {
    EXPECT_EQ(bindwick::PortableSettingsPath("/opt/bw/bindwick"), "/opt/bw/bindwick.ini");
    EXPECT_EQ(bindwick::PortableSettingsPath("/opt/bw/bindwick.exe"), "/opt/bw/bindwick.ini");
    EXPECT_EQ(bindwick::PortableSettingsPath("/opt/b.w/bindwick"), "/opt/b.w/bindwick.ini");
    EXPECT_EQ(bindwick::PortableSettingsPath("/opt/bw/bind.wick.bin"), "/opt/bw/bind.wick.ini");
}

TEST_F(SettingsTest, FileChoice) {
    using Env = std::map<std::string, std::string>;
    const auto lookup = [](const Env &env) {
        return [env](const std::string &name) -> std::optional<std::string> {
            const auto it = env.find(name);
            if (it == env.end()) return std::nullopt;
            return it->second;
        };
    };
    const std::string home = (dir_ / "home").string();
    const std::string xdg = (dir_ / "xdg").string();

    // Beside the executable when its folder is writable.
    const std::string beside = (dir_ / "bindwick").string();
    EXPECT_EQ(bindwick::SettingsFilePath(beside, lookup({{"HOME", home}})),
              beside + ".ini");
    // Never beside an installed program, whoever may write there.
    EXPECT_EQ(bindwick::SettingsFilePath(BINDWICK_INSTALL_BINDIR "/bindwick",
                                         lookup({{"HOME", home}})),
              home + "/.config/bindwick/bindwick.ini");

    // Otherwise in the user's configuration folder, which is created.
    const std::string nowhere = (dir_ / "no" / "such" / "bindwick").string();
    struct Row { Env env; std::string expected; };
    const Row rows[] = {
        {{{"HOME", home}, {"XDG_CONFIG_HOME", xdg}}, xdg + "/bindwick/bindwick.ini"},
        {{{"HOME", home}}, home + "/.config/bindwick/bindwick.ini"},
        {{{"HOME", home}, {"XDG_CONFIG_HOME", ""}}, home + "/.config/bindwick/bindwick.ini"},
        {{{"HOME", home}, {"XDG_CONFIG_HOME", "rel/dir"}}, home + "/.config/bindwick/bindwick.ini"},
        {{}, nowhere + ".ini"},
    };
    for (const Row &row : rows) {
        const std::string path = bindwick::SettingsFilePath(nowhere, lookup(row.env));
        EXPECT_EQ(path, row.expected);
        EXPECT_TRUE(fs::is_directory(fs::path(path).parent_path()) || row.env.empty())
            << path;
    }

    // The chosen file works end to end.
    Settings settings(bindwick::SettingsFilePath(nowhere, lookup({{"HOME", home}})));
    settings.LoadSettings();
    EXPECT_TRUE(fs::exists(home + "/.config/bindwick/bindwick.ini"));
}

// A settings file beside the program that this user may not write: the
// user's own file is used, and the first start says so.
TEST_F(SettingsTest, UnwritableFileBesideTheProgramFallsBackOnce) {
    const std::string program = (dir_ / "bindwick").string();
    WriteFile(program + ".ini", "[COMPRESS]\nrate=2\n");
    const std::string home = (dir_ / "home").string();
    const auto env = [&](const std::string &name) -> std::optional<std::string> {
        if (name == "HOME") return home;
        return std::nullopt;
    };
    const auto read_only = [&](const std::string &path) { return path != program + ".ini"; };
    const std::string user = home + "/.config/bindwick/bindwick.ini";

    bindwick::SettingsChoice first = bindwick::ChooseSettingsFile(program, env, read_only);
    EXPECT_EQ(first.path, user);
    EXPECT_EQ(first.notice, program + ".ini に書き込めないため、設定は " + user + " に保存します。");
    Settings settings(first.path);
    settings.LoadSettings();
    settings.SaveSettings();

    bindwick::SettingsChoice next = bindwick::ChooseSettingsFile(program, env, read_only);
    EXPECT_EQ(next.path, user);
    EXPECT_EQ(next.notice, "");
    EXPECT_EQ(bindwick::ChooseSettingsFile(program, env, [](const std::string &) {
                  return true;
              }).path, program + ".ini");
}

TEST(SettingInteger, Forms) {
    EXPECT_EQ(bindwick::ParseSettingInteger("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(bindwick::ParseSettingInteger("2147483647"), 2147483647);
    EXPECT_EQ(bindwick::ParseSettingInteger("2147483648"), std::nullopt);
    EXPECT_EQ(bindwick::ParseSettingInteger("0x7FFFFFFF"), 2147483647);
    EXPECT_EQ(bindwick::ParseSettingInteger("0x80000000"), std::nullopt);
    EXPECT_EQ(bindwick::ParseSettingInteger("-"), std::nullopt);
    EXPECT_EQ(bindwick::ParseSettingInteger("0x-1"), std::nullopt);
    EXPECT_EQ(bindwick::ParseSettingInteger("007"), 7);
}

}  // namespace
