// Type codes, the type filter, invisible names, sizes, name order and dates.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "catalog.h"
#include "text.h"

namespace {

TEST(TypeCodes, EveryExtensionOfTheTableGivesItsCodeInAnyCase) {
    std::set<std::string> seen;
    for (const f_TypeRow &row : f_TypeTable()) {
        EXPECT_EQ(std::string(row.Type).size(), 4u) << row.Type;
        for (const char *ext : row.Extensions) {
            EXPECT_TRUE(seen.insert(ext).second) << "extension listed twice: " << ext;
            std::string upper = ext;
            std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
            EXPECT_EQ(f_TypeForExtension(ext), row.Type) << ext;
            EXPECT_EQ(f_TypeForExtension(upper), row.Type) << upper;
        }
    }
    EXPECT_EQ(f_TypeTable().size(), 33u);
    EXPECT_EQ(seen.size(), 66u);
}

TEST(TypeCodes, UnknownAndOddExtensionsGiveQuestionMarks) {
    for (const char *ext : {"", "markdown", "ds", "dskx", ".dsk", "txt ", "t\xffxt", "\x01"})
        EXPECT_EQ(f_TypeForExtension(ext), "????") << ext;
    EXPECT_EQ(f_TypeForExtension("DsK"), "VOLU");
    EXPECT_EQ(f_TypeForExtension("Graphic"), "GRPH");
}

struct MatchCase {
    const char *Type, *Filter;
    bool Matches;
};

TEST(TypeFilter, CodesAreComparedLowerCasedAndAsSubstrings) {
    const MatchCase cases[] = {
        {"TEXT", "", true},           {"", "", true},               {"", "text", false},
        {"TEXT", "text,volu", true},  {"VOLU", "text,volu", true},  {"PDF ", "text,volu", false},
        {"VOLU", "VOLU", true},       {"VOLU", "vol", true},        {"VOLU", "volume", false},
        {"A65 ", "a65 ", true},       {"TEXT", " text", false},     {"SYM ", "DIR ,SYM ", true},
        {"TEXT", ",", false},         {"TEXT", "volu,", false},     {"TEXT", ",,text", true},
        {"????", "?", true},          {"BIN ", "bin,obj", true},    {"OBJ ", "BIN,OBJ", true},
    };
    for (const MatchCase &c : cases)
        EXPECT_EQ(f_TypeMatches(c.Type, c.Filter), c.Matches) << "'" << c.Type << "' / '" << c.Filter << "'";
}

TEST(InvisibleNames, SystemNamesAndDotNamesAreHidden) {
    for (const char *name : {".hidden", ".", "..x", "Thumbs.db", "THUMBS.DB", "thumbs.db", "Icon\r",
                             "mach_kernel", "Synchronize! Volume ID"})
        EXPECT_TRUE(f_IsInvisible(name)) << name;
    for (const char *name : {"", "b.txt", "Icon", "Icon\n", "icon\r", "Mach_kernel", "x.hidden",
                             "thumbs.db.bak", "Synchronize! Volume", " .hidden"})
        EXPECT_FALSE(f_IsInvisible(name)) << name;
}

TEST(Extensions, TextAfterTheLastFullStop) {
    EXPECT_EQ(f_Extension("a.b.DSK"), "DSK");
    EXPECT_EQ(f_Extension("noext"), "");
    EXPECT_EQ(f_Extension("trailing."), "");
    EXPECT_EQ(f_Extension(".bashrc"), "bashrc");
    EXPECT_EQ(f_Extension(""), "");
}

struct SizeCase {
    int64_t Bytes;
    const char *Text;
};

TEST(SizeText, UnitChangesAtEachPowerOf1024) {
    const SizeCase cases[] = {
        {0, "0 B "},
        {1, "1 B "},
        {1023, "1023 B "},
        {1024, "1 KB"},
        {1536000, "1 MB"},
        {1048575, "1023 KB"},
        {1048576, "1 MB"},
        {1073741823, "1023 MB"},
        {1073741824, "1 GB"},
        {1099511627775LL, "1023 GB"},
        {1099511627776LL, "1 TB"},
        {INT64_MAX, "8388607 TB"},
        {-5, "-5 B "},
    };
    for (const SizeCase &c : cases) EXPECT_EQ(f_SizeStr(c.Bytes), c.Text) << c.Bytes;
}

TEST(NameOrder, AscendingByLowerCasedName) {
    std::vector<std::string> names = {"b.txt", "A.dsk", ".hidden", "Zeta", "alpha", "_x", "10", "9", "Ärger", "zz"};
    f_SortNames(names);
    std::vector<std::string> expected = {".hidden", "10", "9", "_x", "A.dsk", "alpha", "b.txt", "Zeta", "zz", "Ärger"};
    EXPECT_EQ(names, expected);
}

TEST(NameOrder, NamesEqualButForCaseGetAFixedOrder) {
    std::vector<std::string> a = {"readme", "README", "ReadMe"};
    std::vector<std::string> b = {"ReadMe", "readme", "README"};
    f_SortNames(a);
    f_SortNames(b);
    EXPECT_EQ(a, b);
}

TEST(NameOrder, LargeAndAdversarialInputsSortCorrectly) {
    // Already sorted, reversed, all equal and organ-pipe shapes, each large.
    std::vector<std::vector<std::string>> inputs(4);
    for (int i = 0; i < 20000; i++) {
        std::string name = t_NumberString(i, U'0', 6, false);
        inputs[0].push_back(name);
        inputs[1].push_back(name);
        inputs[2].push_back("same");
        inputs[3].push_back(t_NumberString(i < 10000 ? i : 20000 - i, U'0', 6, false));
    }
    std::reverse(inputs[1].begin(), inputs[1].end());
    for (std::vector<std::string> names : inputs) {
        std::vector<std::string> expected = names;
        std::sort(expected.begin(), expected.end());
        f_SortNames(names);
        EXPECT_EQ(names, expected);
    }
}

TEST(NameOrder, InvalidUtf8AndControlCharactersDoNotUpsetTheSort) {
    std::vector<std::string> names = {"\xff\xfe", "a\x01", "\x1b[2J", "A", std::string("a\0b", 3), "\xc3", ""};
    std::vector<std::string> sorted = names;
    f_SortNames(sorted);
    EXPECT_TRUE(std::is_permutation(sorted.begin(), sorted.end(), names.begin()));
    EXPECT_EQ(sorted.front(), "");
}

TEST(Dates, FormattedAsDayMonthYearInLocalTime) {
    tm t{};
    t.tm_year = 2021 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 4;
    t.tm_hour = 5;
    t.tm_min = 6;
    t.tm_sec = 7;
    t.tm_isdst = -1;
    f_Date date = std::chrono::system_clock::from_time_t(mktime(&t)) + std::chrono::milliseconds(999);
    EXPECT_EQ(f_DateStr(date), "04.03.2021 05:06:07");
}

TEST(FreshItem, HasEmptyFieldsAndTheCurrentDate) {
    auto before = std::chrono::system_clock::now();
    f_CatItem item;
    auto after = std::chrono::system_clock::now();
    EXPECT_EQ(item.Name, "");
    EXPECT_EQ(item.FileType, "");
    EXPECT_EQ(item.KindNum, 0);
    EXPECT_EQ(item.Size, 0);
    EXPECT_FALSE(item.ReadOnly || item.Invisible || item.Alias || item.ExtHidden);
    EXPECT_TRUE(item.Created >= before && item.Created <= after);
    EXPECT_TRUE(item.Modified >= before && item.Modified <= after);
}

}  // namespace
