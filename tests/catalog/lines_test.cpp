// Display lines of catalogue items at 80, 60 and 40 columns.
#include <gtest/gtest.h>

#include "catalog_fixture.h"
#include "text.h"

namespace {

using namespace cattest;
using Names = std::vector<std::string>;

const std::string folderSign = "\u0082\u0083\u0083\u0084";
const std::string volumeSign = "\u0081\u0083\u0083\u0084";
const std::string lockMark = "\u0080";

std::string Pad(const std::string &s, int width) { return s + std::string(size_t(width - t_Length(s)), ' '); }

struct LineCase {
    const char *Name;
    int Width;
    std::string Expected;
};

// Items with fixed modification times, read back from a real folder.
class CatalogLines : public ::testing::Test {
protected:
    TempFolder Temp;
    f_CatItem Item(const std::string &name) { return f_FileAttributes(Temp.Path + name); }
    void SetUp() override {
        ASSERT_FALSE(Temp.Path.empty());
        Temp.File("b.txt", 1500);
        Temp.File("A.dsk", 143360);
        Temp.File("tiny", 7);
        Temp.File("A very long file name that does not fit into any of the columns.dsk", 1023);
        Temp.Folder("sub");
        Temp.Link("link", "b.txt");
        for (const char *name : {"b.txt", "A.dsk", "tiny", "sub", "link",
                                 "A very long file name that does not fit into any of the columns.dsk"})
            ASSERT_TRUE(SetModified(Temp.Path + name, LocalTime(2021, 3, 4, 5, 6, 7)));
    }
};

TEST_F(CatalogLines, ExactLinesAtEachWidth) {
    const std::string longName = "A very long file name that does not fit into any of the columns.dsk";
    const LineCase cases[] = {
        {"b.txt", 80, " " + Pad("b.txt", 49) + "  TEXT     1 KB  04.03.2021"},
        {"b.txt", 60, " " + Pad("b.txt", 32) + " TEXT    1 KB 04.03.2021"},
        {"b.txt", 40, " " + Pad("b.txt", 15) + " TEXT   1 KB 04.03.21"},
        {"A.dsk", 80, " " + Pad("A.dsk", 49) + "  VOLU   140 KB  04.03.2021"},
        {"A.dsk", 40, " " + Pad("A.dsk", 15) + " VOLU 140 KB 04.03.21"},
        {"tiny", 60, " " + Pad("tiny", 32) + " ????    7 B  04.03.2021"},
        {"sub", 80, " " + Pad("sub", 49) + "  " + folderSign + "           04.03.2021"},
        {"sub", 40, " " + Pad("sub", 15) + " " + folderSign + "        04.03.21"},
        {"link", 60, " " + Pad("link", 32) + " " + folderSign + "         04.03.2021"},
        {longName.c_str(), 80, " " + longName.substr(0, 49) + "  VOLU  1023 B   04.03.2021"},
        {longName.c_str(), 60, " " + longName.substr(0, 32) + " VOLU 1023 B  04.03.2021"},
        {longName.c_str(), 40, " " + longName.substr(0, 15) + " VOLU  1023B 04.03.21"},
    };
    for (const LineCase &c : cases) {
        std::string line = f_CatStr(Item(c.Name), c.Width);
        EXPECT_EQ(line, c.Expected) << c.Name << " at " << c.Width;
        EXPECT_EQ(t_Length(line), c.Width == 80 ? 77 : c.Width == 40 ? 37 : 57) << c.Name;
    }
}

TEST_F(CatalogLines, OtherWidthsUseTheSixtyColumnForm) {
    for (int width : {0, 50, 79, 81, -40, 1000})
        EXPECT_EQ(f_CatStr(Item("b.txt"), width), f_CatStr(Item("b.txt"), 60)) << width;
}

TEST_F(CatalogLines, ItemsInTheMountFolderShowTheVolumeSign) {
    f_SetStandardFolder(f_Folder::Mount, Temp.Path);
    std::string sub = f_CatStr(Item("sub"), 60);
    std::string link = f_CatStr(Item("link"), 60);
    std::string file = f_CatStr(Item("b.txt"), 60);
    f_SetStandardFolder(f_Folder::Mount, "");
    EXPECT_EQ(sub, " " + Pad("sub", 32) + " " + volumeSign + "         04.03.2021");
    EXPECT_EQ(t_Mid(link, 35, 4), volumeSign);
    EXPECT_EQ(t_Mid(file, 35, 4), "TEXT");
}

TEST(CatalogLine, ImmutableItemsCarryTheLockMark) {
    f_CatItem item;
    item.Name = "locked.dsk";
    item.FileType = "VOLU";
    item.KindNum = 1;
    item.Size = 2048;
    item.ModifiedStr = "24.12.2023 18:00:00";
    item.ReadOnly = true;
    EXPECT_EQ(f_CatStr(item, 40), lockMark + Pad("locked.dsk", 15) + " VOLU   2 KB 24.12.23");
}

struct HiddenCase {
    const char *Name;
    const char *Shown;
    bool Logged;
};

TEST(CatalogLine, HiddenExtensionsAreLeftOutUnlessTooLong) {
    const HiddenCase cases[] = {
        {"report.markdown", "report.markdown", true},
        {"report.txt", "report", false},
        {"disk.volume", "disk", false},   // six characters can still be hidden
        {"photo.abcdefg", "photo.abcdefg", true},
        {"archive.", "archive", false},
        {"README", "README", false},
        {".bashrc", ".bashrc", false},
        {".profile", ".profile", true},
        {"a.b.c", "a.b", false},
    };
    for (const HiddenCase &c : cases) {
        f_CatItem item;
        item.Name = c.Name;
        item.ExtHidden = true;
        item.FileType = "TEXT";
        item.ModifiedStr = "01.02.2003 04:05:06";
        LogCapture log;
        std::string line = f_CatStr(item, 80);
        EXPECT_EQ(line, " " + Pad(c.Shown, 49) + "  TEXT           01.02.2003") << c.Name;
        Names expected;
        if (c.Logged) expected.push_back("f_CatStr: Extension too long to hide.");
        EXPECT_EQ(log.Lines(), expected) << c.Name;
    }
}

TEST(CatalogLine, NamesAreShownInTheToolkitCharacterSet) {
    f_CatItem item;
    item.FileType = "TEXT";
    item.ModifiedStr = "01.02.2003 04:05:06";
    struct Case {
        std::string Name, Shown;
    };
    const Case cases[] = {
        {"Øre æ.txt", "0re ae.txt"},            // the conversion of host text
        {"caf\u00e9", "caf\u00e9"},              // Latin-1 stays
        {"\x1b[2Jboom", "\u007f[2Jboom"},        // no escape sequence reaches the screen
        {"a\nb\rc\x0c", "a\u007fb\u007fc\u007f"},  // nor line ends or Control-L
        {"bad\xff", "bad\u00ff"},                // invalid UTF-8 read as Latin-1
    };
    for (const Case &c : cases) {
        item.Name = c.Name;
        LogCapture log;
        std::string line = f_CatStr(item, 40);
        EXPECT_EQ(line, " " + Pad(c.Shown, 15) + " TEXT        01.02.03") << c.Name;
        for (char32_t ch : t_Decode(line)) EXPECT_TRUE(ch >= 32 && ch <= 255) << c.Name;
    }
}

TEST(CatalogLine, FreshAndOddItemsStillGiveWholeColumns) {
    f_CatItem fresh;
    EXPECT_EQ(f_CatStr(fresh, 60), " " + Pad("", 32) + "      " + std::string(7, ' ') + " ");
    f_CatItem huge;
    huge.Name = "x";
    huge.FileType = "BIN ";
    huge.KindNum = 1;
    huge.Size = INT64_MAX;   // "8388607 TB" fits no column
    huge.ModifiedStr = "01.02.2003 04:05:06";
    EXPECT_EQ(f_CatStr(huge, 80), " " + Pad("x", 49) + "  BIN  388607TB  01.02.2003");
    EXPECT_EQ(f_CatStr(huge, 40), " " + Pad("x", 15) + " BIN  8607TB 01.02.03");
    huge.FileType = "\x01\x02";
    EXPECT_EQ(t_Mid(f_CatStr(huge, 60), 35, 4), "\u007f\u007f  ");
}

}  // namespace
