// INI profile reading and writing on real files.
#include "ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;
using bindwick::IniFile;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    std::string Path(const std::string &name) const { return dir_.file(name); }
    testsupport::TempDir dir_;
};

TEST(IniFileGet, LookupRules) {
    const IniFile file = IniFile::Parse(
        "orphan=before any section\n"
        "[Main]\n"
        "  Key  =  padded value  \n"
        "; comment=not an entry\n"
        "quoted=\"  kept  \"\n"
        "single='x'\n"
        "half=\"open\n"
        "empty=\n"
        "dup=first\n"
        "dup=second\n"
        "noequals\n"
        "[ other ] trailing text\n"
        "key=other section\n"
        "[MAIN]\n"
        "late=second copy of the section\n");
    struct Row { const char *section, *key; std::optional<std::string> expected; };
    const Row rows[] = {
        {"main", "KEY", "padded value"},
        {" Main ", " key ", "padded value"},
        {"Main", "quoted", "  kept  "},
        {"Main", "single", "x"},
        {"Main", "half", "\"open"},
        {"Main", "empty", ""},
        {"Main", "dup", "first"},
        {"Main", "; comment", std::nullopt},
        {"Main", "noequals", std::nullopt},
        {"Main", "orphan", std::nullopt},
        {"Main", "late", std::nullopt},   // only the first section counts
        {"OTHER", "key", "other section"},
        {"Missing", "key", std::nullopt},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(file.Get(row.section, row.key), row.expected)
            << row.section << "/" << row.key;
    }
}

TEST(IniFileGet, LongValueIsCutAnd2047BytesSurvive) {
    const std::string exact(bindwick::kIniMaxValueLength, 'a');
    const IniFile file = IniFile::Parse("[s]\nexact=" + exact + "\nlong=" + exact + "bc\n");
    EXPECT_EQ(file.Get("s", "exact"), exact);
    EXPECT_EQ(file.Get("s", "long"), exact);
}

TEST(IniFileGet, ByteOrderMarkAndLineEndings) {
    const IniFile file = IniFile::Parse("\xEF\xBB\xBF[a]\r\nx=1\r\n[b]\ry=2\rz=3");
    EXPECT_EQ(file.Get("a", "x"), "1");
    EXPECT_EQ(file.Get("b", "y"), "2");
    EXPECT_EQ(file.Get("b", "z"), "3");
}

TEST(IniFileSet, KeepsTheRestOfTheText) {
    struct Row {
        const char *label, *before, *section, *key, *value, *after;
    };
    const Row rows[] = {
        {"replace keeps comments and CRLF",
         "; top\r\n[A]\r\nk = old\r\nother=1\r\n", "a", "K", "new",
         "; top\r\n[A]\r\nK=new\r\nother=1\r\n"},
        {"new key goes after the last entry, before blank lines",
         "[A]\nx=1\n\n[B]\ny=2\n", "A", "z", "3",
         "[A]\nx=1\nz=3\n\n[B]\ny=2\n"},
        {"new section at the end of a file without final newline",
         "[A]\nx=1", "B", "y", "2",
         "[A]\nx=1\n[B]\ny=2\n"},
        {"new key in a last section without final newline",
         "[A]", "A", "x", "1",
         "[A]\nx=1\n"},
        {"new section in an empty file", "", "Temp", "FirstRunAfterDelIni", "1",
         "[Temp]\nFirstRunAfterDelIni=1\n"},
    };
    for (const Row &row : rows) {
        IniFile file = IniFile::Parse(row.before);
        ASSERT_TRUE(file.Set(row.section, row.key, row.value)) << row.label;
        EXPECT_EQ(file.Text(), row.after) << row.label;
    }
}

TEST(IniFileSet, RefusesWhatCannotBeReadBack) {
    IniFile file = IniFile::Parse("[A]\nx=1\n");
    EXPECT_FALSE(file.Set("", "k", "v"));
    EXPECT_FALSE(file.Set("A]", "k", "v"));
    EXPECT_FALSE(file.Set("A", "k=", "v"));
    EXPECT_FALSE(file.Set("A", ";k", "v"));
    EXPECT_FALSE(file.Set("A", " k", "v"));
    EXPECT_FALSE(file.Set("A", "k", "two\nlines"));
    EXPECT_EQ(file.Text(), "[A]\nx=1\n");
}

TEST_F(IniFileTest, ProfileFunctionsOnFiles) {
    const std::string path = Path("p.ini");
    EXPECT_EQ(bindwick::ReadProfileString(path, "A", "x", "dflt"), "dflt");
    ASSERT_TRUE(bindwick::WriteProfileString(path, "A", "x", "1"));
    ASSERT_TRUE(bindwick::WriteProfileString(path, "B", "y", "2"));
    ASSERT_TRUE(bindwick::WriteProfileString(path, "a", "X", "3"));
    EXPECT_EQ(ReadFile(path), "[A]\nX=3\n[B]\ny=2\n");
    EXPECT_EQ(bindwick::ReadProfileString(path, "b", "Y", "dflt"), "2");
}

TEST_F(IniFileTest, WriteFailures) {
    WriteFile(Path("plain"), "not a folder");
    fs::create_directory(Path("folder.ini"));
    const std::string paths[] = {
        Path("missing/p.ini"),  // folder does not exist
        Path("plain/p.ini"),    // through a regular file
        Path("folder.ini"),     // a folder, neither readable nor writable as a file
    };
    for (const std::string &path : paths) {
        EXPECT_FALSE(bindwick::WriteProfileString(path, "A", "x", "1")) << path;
        EXPECT_EQ(bindwick::ReadProfileString(path, "A", "x", "d"), "d") << path;
    }
    EXPECT_FALSE(fs::exists(Path("missing")));
    EXPECT_EQ(ReadFile(Path("plain")), "not a folder");
}

}  // namespace
