// Display lines of catalogue items at 80, 60 and 40 columns.
#include <gtest/gtest.h>

#include "catalog_fixture.h"

namespace {

using namespace cattest;

const std::string folderSign = "\u0082\u0083\u0083\u0084";
const std::string volumeSign = "\u0081\u0083\u0083\u0084";

std::string Pad(const std::string &s, int width) { return s + std::string(size_t(width - t_Length(s)), ' '); }

// A line without mark: the name padded to its column, then the rest.
std::string Line(const std::string &name, int width, const std::string &rest) {
    std::string line = " ";
    line += Pad(name, width);
    line += rest;
    return line;
}

f_CatItem Made(const std::string &name, const char *type, int64_t size = -1) {
    f_CatItem item;
    item.Name = name;
    item.FileType = type;
    item.KindNum = size < 0 ? 0 : 1;
    item.Size = size;
    item.ModifiedStr = "01.02.2003 04:05:06";
    return item;
}

TEST(CatalogLines, ExactLinesAtEachWidthFromRealItems) {
    test_TempFolder temp;
    const std::string longName = "A very long file name that does not fit into any of the columns.dsk";
    temp.file("b.txt", 1500);
    temp.file("A.dsk", 143360);
    temp.file("tiny", 7);
    temp.file(longName, 1023);
    temp.folder("sub");
    temp.link("link", "b.txt");
    for (const std::string name : {"b.txt", "A.dsk", "tiny", "sub", "link", longName.c_str()})
        ASSERT_TRUE(SetModified(temp.Path + name, LocalTime(2021, 3, 4, 5, 6, 7)));
    const std::tuple<std::string, int, std::string> cases[] = {
        {"b.txt", 80, " " + Pad("b.txt", 49) + "  TEXT     1 KB  04.03.2021"},
        {"b.txt", 60, " " + Pad("b.txt", 32) + " TEXT    1 KB 04.03.2021"},
        {"b.txt", 40, " " + Pad("b.txt", 15) + " TEXT   1 KB 04.03.21"},
        {"A.dsk", 80, " " + Pad("A.dsk", 49) + "  VOLU   140 KB  04.03.2021"},
        {"A.dsk", 40, " " + Pad("A.dsk", 15) + " VOLU 140 KB 04.03.21"},
        {"tiny", 60, " " + Pad("tiny", 32) + " ????    7 B  04.03.2021"},
        {"sub", 80, " " + Pad("sub", 49) + "  " + folderSign + " " + std::string(10, ' ') + "04.03.2021"},
        {"sub", 40, " " + Pad("sub", 15) + " " + folderSign + " " + std::string(7, ' ') + "04.03.21"},
        {"link", 60, " " + Pad("link", 32) + " " + folderSign + " " + std::string(8, ' ') + "04.03.2021"},
        {longName, 80, " " + longName.substr(0, 49) + "  VOLU  1023 B   04.03.2021"},
        {longName, 60, " " + longName.substr(0, 32) + " VOLU 1023 B  04.03.2021"},
        // "1023 B " is one wider than the column: its blanks go, not its first digit.
        {longName, 40, " " + longName.substr(0, 15) + " VOLU  1023B 04.03.21"},
    };
    for (const auto &[name, width, expected] : cases) {
        std::string line = f_CatStr(f_FileAttributes(temp.Path + name), width);
        EXPECT_EQ(line, expected) << name << " at " << width;
        EXPECT_EQ(t_Length(line), width == 80 ? 77 : width == 40 ? 37 : 57) << name;
    }
    for (int width : {0, 50, 81, -40})
        EXPECT_EQ(f_CatStr(f_FileAttributes(temp.Path + "b.txt"), width), f_CatStr(f_FileAttributes(temp.Path + "b.txt"), 60));

    f_SetStandardFolder(f_Folder::Mount, temp.Path);
    std::string sub = f_CatStr(f_FileAttributes(temp.Path + "sub"), 60);
    f_SetStandardFolder(f_Folder::Mount, "");
    EXPECT_EQ(t_Mid(sub, 35, 4), volumeSign);
}

TEST(CatalogLines, HiddenExtensionsAreLeftOutUnlessTooLong) {
    const std::tuple<const char *, const char *, bool> cases[] = {
        {"report.markdown", "report.markdown", true}, {"report.txt", "report", false},
        {"disk.volume", "disk", false},               {"photo.abcdefg", "photo.abcdefg", true},
        {"archive.", "archive", false},               {"README", "README", false},
        {".bashrc", ".bashrc", false},                {"a.b.c", "a.b", false},
    };
    for (const auto &[name, shown, logged] : cases) {
        f_CatItem item = Made(name, "TEXT");
        item.ExtHidden = true;
        test_LogCapture log;
        EXPECT_EQ(f_CatStr(item, 80), Line(shown, 49, "  TEXT           01.02.2003")) << name;
        EXPECT_EQ(log.lines(), logged ? Names{"f_CatStr: Extension too long to hide."} : Names{}) << name;
    }
}

TEST(CatalogLines, NamesMarksTypesAndSizesKeepTheColumns) {
    const std::pair<std::string, std::string> cases[] = {
        {"\u00d8re \u00e6.txt", "0re ae.txt"},     // the toolkit conversion
        {"caf\u00e9", "caf\u00e9"},                // Latin-1 stays
        {"\x1b[2Jboom", "\u007f[2Jboom"},          // no escape sequence
        {"a\nb\rc\x0c", "a\u007fb\u007fc\u007f"},  // no line end, no Control-L
        {"bad\xff", "bad\u00ff"},                  // invalid UTF-8 read as Latin-1
    };
    for (const auto &[name, shown] : cases) {
        std::string line = f_CatStr(Made(name, "TEXT"), 40);
        EXPECT_EQ(line, Line(shown, 15, " TEXT        01.02.03")) << name;
        for (char32_t c : t_Decode(line)) EXPECT_TRUE(c >= 32 && c <= 255) << name;
    }
    // The lock mark, odd types and oversized sizes keep the columns.
    f_CatItem locked = Made("locked.dsk", "VOLU", 2048);
    locked.ReadOnly = true;
    EXPECT_EQ(f_CatStr(locked, 40), "\u0080" + Pad("locked.dsk", 15) + " VOLU   2 KB 01.02.03");
    f_CatItem huge = Made("x", "\x01", INT64_MAX);   // "8388607 TB" fits no column
    EXPECT_EQ(f_CatStr(huge, 80), " " + Pad("x", 49) + "  \u007f    388607TB  01.02.2003");
    EXPECT_EQ(f_CatStr(huge, 40), " " + Pad("x", 15) + " \u007f    8607TB 01.02.03");
    EXPECT_EQ(f_CatStr(f_CatItem{}, 60), std::string(1 + 32 + 1 + 4 + 1 + 7 + 1, ' '));
}

}  // namespace
