// Type codes, the type filter, sizes, name order, dates and
// the standard folders.
#include <gtest/gtest.h>

#include "catalog_fixture.h"

namespace {

using namespace cattest;

TEST(TypeCodes, ExtensionsGiveTheirCodesInAnyCaseAndTheFilterMatchesThem) {
    const std::pair<const char *, const char *> cases[] = {
        {"dsk", "VOLU"}, {"DSK", "VOLU"}, {"vol", "VOLU"}, {"hdv", "VOLU"}, {"2mg", "VOLU"}, {"2IMG", "VOLU"},
        {"do", "VOLU"}, {"PO", "VOLU"}, {"woz", "VOLU"}, {"NIB", "VOLU"}, {"nb2", "VOLU"}, {"dc42", "VOLU"},
        {"dc", "VOLU"}, {"image", "VOLU"}, {"Txt", "TEXT"}, {"a65", "A65 "}, {"ttf", "sfnt"}, {"database", "DATB"},
        {"", "????"}, {"markdown", "????"}, {"ds", "????"}, {"dskx", "????"}, {".dsk", "????"}, {"txt ", "????"},
        {"t\xffxt", "????"}, {"\x01", "????"},
    };
    for (const auto &[ext, type] : cases) EXPECT_EQ(f_TypeForExtension(ext), type) << ext;
    // The type filter compares codes lower-cased and as substrings.
    struct Case { const char *Type, *Filter; bool Matches; };
    const Case filters[] = {
        {"TEXT", "", true},          {"", "", true},              {"", "text", false},
        {"TEXT", "text,volu", true}, {"VOLU", "text,volu", true}, {"PDF ", "text,volu", false},
        {"VOLU", "vol", true},       {"VOLU", "volume", false},   {"TEXT", " text", false},
        {"SYM ", "DIR ,SYM ", true}, {"TEXT", ",", false},        {"TEXT", "volu,", false},
        {"TEXT", ",,text", true},    {"A65 ", "a65 ", true},
    };
    for (const Case &c : filters)
        EXPECT_EQ(f_TypeMatches(c.Type, c.Filter), c.Matches) << "'" << c.Type << "' / '" << c.Filter << "'";
}

TEST(SizeText, UnitChangesAtEachPowerOf1024) {
    const std::pair<int64_t, const char *> cases[] = {
        {0, "0 B "},           {1023, "1023 B "},           {1024, "1 KB"},        {1536000, "1 MB"},
        {1048575, "1023 KB"},  {1073741823, "1023 MB"},     {1073741824, "1 GB"},  {1099511627775LL, "1023 GB"},
        {1099511627776LL, "1 TB"}, {INT64_MAX, "8388607 TB"}, {-5, "-5 B "},
    };
    for (const auto &[bytes, text] : cases) EXPECT_EQ(f_SizeStr(bytes), text) << bytes;
}

TEST(NameOrderAndDates, NamesAscendingLowerCasedAndDatesDayMonthYearInLocalTime) {
    Names names = {"b.txt", "A.dsk", ".hidden", "Zeta", "alpha", "_x", "10", "9", "\xc3\x84rger", "zz", "\xff"};
    f_SortNames(names);
    EXPECT_EQ(names, (Names{".hidden", "10", "9", "_x", "A.dsk", "alpha", "b.txt", "Zeta", "zz", "\xc3\x84rger", "\xff"}));
    Names a = {"readme", "README", "ReadMe"}, b = {"ReadMe", "readme", "README"};
    f_SortNames(a);
    f_SortNames(b);
    EXPECT_EQ(a, b);
    // Fractions of a second are cut towards the past, also before 1970.
    const std::chrono::milliseconds fraction(999);
    EXPECT_EQ(f_DateStr(std::chrono::system_clock::from_time_t(LocalTime(2021, 3, 4, 5, 6, 7)) + fraction),
              "04.03.2021 05:06:07");
    EXPECT_EQ(f_DateStr(std::chrono::system_clock::from_time_t(LocalTime(1950, 1, 2, 3, 4, 5)) + fraction),
              "02.01.1950 03:04:05");
}

// --- standard folders, their fallbacks and the browser's home folder -------------

const f_Folder allFolders[] = {f_Folder::Home,     f_Folder::Desktop, f_Folder::Documents,
                               f_Folder::Downloads, f_Folder::Pictures, f_Folder::Music,
                               f_Folder::Movies,   f_Folder::Mount,   f_Folder::Application};

class StandardFolders : public ::testing::Test {
protected:
    test_TempFolder Temp;
    void TearDown() override {
        for (f_Folder f : allFolders) f_SetStandardFolder(f, "");
    }
};

TEST_F(StandardFolders, HostPathsWinAndMissingFoldersFallBackToHome) {
    for (f_Folder f : allFolders) {
        std::string path = f_StandardFolder(f);
        EXPECT_EQ(path.back(), '/');
        if (f != f_Folder::Mount) { EXPECT_EQ(t_FileExists(path), 2) << path; }
    }
    f_SetStandardFolder(f_Folder::Home, Temp.Path);
    f_SetStandardFolder(f_Folder::Documents, Temp.Path + "gone");
    f_SetStandardFolder(f_Folder::Pictures, Temp.folder("pics").substr(0, Temp.Path.size() + 4));
    Temp.folder("Videos");
    EXPECT_EQ(f_StandardFolder(f_Folder::Documents), Temp.Path);
    EXPECT_EQ(f_StandardFolder(f_Folder::Desktop), Temp.Path) << "a fresh account has no Desktop";
    EXPECT_EQ(f_StandardFolder(f_Folder::Pictures), Temp.Path + "pics/");
    EXPECT_EQ(f_StandardFolder(f_Folder::Movies), Temp.Path + "Videos/");
    EXPECT_EQ(t_FileExists(f_StandardFolder(f_Folder::Application) + "catalog_tests"), 1);
}

TEST_F(StandardFolders, MountFolderAndTheBrowsersHomeFolder) {
    f_SetStandardFolder(f_Folder::Mount, Temp.Path);
    EXPECT_EQ(f_StandardFolder(f_Folder::Mount), Temp.Path);
    f_SetStandardFolder(f_Folder::Mount, Temp.Path + "absent");
    std::string fallback = f_StandardFolder(f_Folder::Mount);
    EXPECT_TRUE(fallback == "/mnt/" || fallback.starts_with("/media/") || fallback.starts_with("/run/media/"));
    // The browser's home folder holds the downloads folder, or is home without it.
    Temp.folder("user");
    f_SetStandardFolder(f_Folder::Downloads, Temp.folder("user/Downloads"));
    EXPECT_EQ(f_HomePath(), Temp.Path + "user/");
    // The fallback of a missing downloads folder is home itself, not its parent.
    f_SetStandardFolder(f_Folder::Home, Temp.Path + "user");
    f_SetStandardFolder(f_Folder::Downloads, Temp.Path + "user/none");
    EXPECT_EQ(f_HomePath(), Temp.Path + "user/");
}

}  // namespace
