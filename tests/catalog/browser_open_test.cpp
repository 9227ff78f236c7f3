// The open form: layout, list movement, folders, type-select, the mouse,
// and the keys driven through the key queue.
#include "browser_fixture.h"

namespace browsertest {
namespace {

// A small folder (files, one folder, names for type-select) and a long one
// of 40 files "f00.dsk" ... "f39.dsk": more items than list lines.
class Folders : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        for (const char *name : {"Apple.dsk", "banana.txt", "Mango.dsk", "melon.dsk", "zebra.dsk"}) Small.file(name);
        Small.folder("sub");
        Small.file("sub/inner.dsk");
        for (int i = 0; i < 40; i++) Long.file(Numbered("f", i));
    }
    test_TempFolder Small;   // Apple.dsk banana.txt Mango.dsk melon.dsk sub zebra.dsk
    test_TempFolder Long;
    // A click in the cell and the mouse handler's answer to it.
    static int ClickAt(int column, int line) {
        Click(column, line);
        return f_CatMouseHandler();
    }
};
using SmallFolder = Folders;
using LongList = Folders;

TEST_F(SmallFolder, FrameOfTheVolumeManager) {
    Show(Small.Path);
    EXPECT_EQ(std::make_pair(f_Browser.PageLines, f_Browser.BottomLine), std::make_pair(15, 23));
    // Frame columns 11 to 70, lines 5 to 23.
    for (int line : {5, 22}) EXPECT_EQ(std::make_pair(test_Code(11, line), test_Code(70, line)), std::make_pair(139, 138));
    EXPECT_EQ(std::make_pair(test_Code(12, 23), test_Code(69, 23)), std::make_pair(140, 140));
    EXPECT_EQ(std::make_pair(test_Code(10, 12), test_Code(71, 12)), std::make_pair(int(' '), int(' ')));
    // Path line, in inverse, centred in the 58 inner columns.
    std::string centred = t_Center(t_ConvertUniCode(Small.Path).Converted, 58);
    EXPECT_EQ(test_Screen(6, 12, 69), centred + t_Spaces(58 - t_Length(centred)));
    EXPECT_TRUE(Inverse(12, 6) && Inverse(69, 6));
    EXPECT_NE(test_Screen(7, 12, 69).find(" 6 Objekte "), std::string::npos);   // the rule with the count
    // List: the first item selected, lines past the last item blank.
    EXPECT_EQ(test_Screen(8, 12, 68), f_CatStr(f_CatList[0], 60));
    EXPECT_TRUE(Inverse(12, 8));
    EXPECT_FALSE(Inverse(12, 9));
    EXPECT_EQ(test_Screen(13, 12, 68), f_CatStr(f_CatList[5], 60));
    EXPECT_EQ(test_Screen(14, 12, 69), t_Spaces(58));

    // Other widths: 80 and 40 are taken, anything else is 60.
    const std::tuple<int, int, int> widths[] = {{50, 60, 11}, {0, 60, 11}, {80, 80, 1}, {40, 40, 21}, {-7, 60, 11}};
    for (auto [requested, frame, first] : widths) {
        t_FullArea(0);
        t_ClearRect(0, 1, 1, 80, 25);
        Show(Small.Path, requested);
        EXPECT_EQ(f_Browser.Width, frame) << requested;
        EXPECT_EQ(std::make_pair(test_Code(first, 5), test_Code(first + frame - 1, 5)), std::make_pair(139, 138)) << requested;
        EXPECT_EQ(test_Screen(8, first + 1, first + frame - 3), f_CatStr(f_CatList[0], frame)) << requested;
    }

    // A long path is cut with the mark after W - 3 characters.
    std::string deep = Small.Path;
    for (int i = 0; i < 6; i++) deep = Small.folder(deep.substr(Small.Path.size()) + "level-with-a-long-name");
    Show(deep);
    EXPECT_EQ(t_Length(test_Screen(6, 12, 69)), 58);
    EXPECT_EQ(test_Code(69, 6), 191);
    EXPECT_EQ(test_Screen(6, 12, 31), deep.substr(0, 20));
}

struct MoveCase { const char *Name; std::vector<int> Keys; int Selected; int Scroll; };

TEST_F(LongList, KeysMoveSelectionAndScroll) {
    const MoveCase cases[] = {
        {"down", {Down}, 1, 0},
        {"down past the last line", std::vector<int>(15, Down), 15, 1},
        {"up at the top", {Up}, 0, 0},
        {"end", {End}, 39, 25},
        {"down at the end", {End, Down}, 39, 25},
        {"up past the first line", {End, Up, Up, Up, Up, Up, Up, Up, Up, Up, Up, Up, Up, Up, Up, Up}, 24, 24},
        {"home", {End, Home}, 0, 0},
        {"page down", {PageDown}, 15, 15},
        {"page down to the end", {PageDown, PageDown, PageDown}, 39, 25},
        {"page up", {End, PageUp}, 24, 10},
        {"page up to the top", {End, PageUp, PageUp, PageUp}, 0, 0},
        {"page up at the top", {PageUp}, 0, 0},
    };
    for (const MoveCase &c : cases) {
        Show(Long.Path);
        for (int k : c.Keys) EXPECT_EQ(f_CatKeyHandler(k), f_BrowserGoOn) << c.Name;
        EXPECT_EQ(std::make_pair(f_Browser.Selected, f_Browser.Scroll), std::make_pair(c.Selected, c.Scroll)) << c.Name;
        // The first list line shows the scroll item; the selection is in
        // sight and the only line in inverse.
        EXPECT_EQ(test_Screen(8, 12, 68), f_CatStr(f_CatList[size_t(c.Scroll)], 60)) << c.Name;
        for (int l = 8; l <= 22; l++) EXPECT_EQ(Inverse(12, l), l == 8 + c.Selected - c.Scroll) << c.Name << " line " << l;
    }
    // The same keys through the queue, ended with Return, choose the file.
    const MoveCase chosen[] = {{"return", {Return}, 0, 0}, {"end", {End, Return}, 39, 0},
                               {"page down, up", {PageDown, Up, Return}, 14, 0}};
    for (const MoveCase &c : chosen) {
        PostKeys(c.Keys);
        EXPECT_EQ(Open(Long.Path), Long.Path + Name(c.Selected)) << c.Name;
        t_ClearEventQueues();
    }
}

TEST_F(SmallFolder, EscapeReturnsNothingFoldersAreEnteredLeftAndChosen) {
    PostKeys({Down, Down, Escape});
    EXPECT_EQ(Open(Small.Path), "");
    EXPECT_EQ(f_Browser.Selected, -1);
    for (int line = 5; line <= 23; line++) EXPECT_EQ(test_Screen(line, 11, 70), t_Spaces(60)) << line;
    // sub is the fifth item: Return enters it, or chooses it where folders are asked for.
    PostKeys({'s', Return, Return});
    EXPECT_EQ(Open(Small.Path), Small.Path + "sub/inner.dsk");
    PostKeys({'s', Return});
    EXPECT_EQ(Open(Small.Path, f_CatFolderChoice), Small.Path + "sub/");
    EXPECT_EQ(f_CatPath, Small.Path);

    Show(Small.Path);
    f_CatKeyHandler(Right);   // a file: nothing
    EXPECT_EQ(f_CatPath, Small.Path);
    f_CatKeyHandler('s');
    f_CatKeyHandler(Right);
    EXPECT_EQ(f_CatPath, Small.Path + "sub/");
    EXPECT_EQ(std::make_pair(f_BrowserCount(), f_Browser.Selected), std::make_pair(1, 0));
    EXPECT_NE(test_Screen(7, 12, 69).find(" 1 Objekte "), std::string::npos);
    f_CatKeyHandler(Left);
    EXPECT_EQ(f_CatPath, Small.Path);
    EXPECT_EQ(f_Browser.Selected, 0);
    Show("/");
    size_t count = f_CatList.size();
    f_CatKeyHandler(Left);   // at the root: nothing
    EXPECT_EQ(f_CatPath, "/");
    EXPECT_EQ(f_CatList.size(), count);
}

TEST_F(SmallFolder, TypeSelect) {
    const std::tuple<const char *, int, const char *> cases[] = {
        {"m finds Mango", 'm', "Mango.dsk"}, {"capital M too", 'M', "Mango.dsk"}, {"b finds banana", 'b', "banana.txt"},
        {"c: the first after it", 'c', "Mango.dsk"}, {"n: the first after it", 'n', "sub"},
        {"a letter after all names", 'z', "zebra.dsk"},
    };
    for (const auto &[what, key, selected] : cases) {
        Show(Small.Path);
        f_CatKeyHandler(Down);
        f_CatKeyHandler(key);
        EXPECT_EQ(Name(f_Browser.Selected), selected) << what;
    }
    // Past every name: the last item.
    test_TempFolder other;
    other.file("a.dsk");
    other.file("b.dsk");
    Show(other.Path);
    f_CatKeyHandler('x');
    EXPECT_EQ(f_Browser.Selected, 1);
    // In a long list the item found stands in the first line.
    for (const char *name : {"m1.dsk", "m2.dsk", "x.dsk"}) Long.file(name);
    Show(Long.Path);
    f_CatKeyHandler('m');
    EXPECT_EQ(Name(f_Browser.Selected), "m1.dsk");
    EXPECT_EQ(f_Browser.Scroll, 28);   // 43 items, 15 lines: the scroll cannot pass 28
    f_CatKeyHandler('f');
    EXPECT_EQ(std::make_pair(f_Browser.Selected, f_Browser.Scroll), std::make_pair(0, 0));
    Show(Long.Path);
    f_CatKeyHandler(PageDown);
    f_CatKeyHandler('f');
    EXPECT_EQ(f_Browser.Scroll, 0);
    EXPECT_EQ(test_Screen(8, 12, 68), f_CatStr(f_CatList[0], 60));
}

TEST_F(BrowserTest, EmptyOrMissingFolderLeavesOnlyEscape) {
    test_TempFolder empty;
    for (const std::string &folder : {empty.Path, empty.Path + "missing/"}) {
        Show(empty.Path);
        f_BrowserGoTo(folder);
        EXPECT_EQ(f_Browser.Selected, -1);
        for (int k : {int(Return), int(Down), int(Up), int(End), int(Home), int(PageDown), int(PageUp), int(Right), int('q')})
            EXPECT_EQ(f_CatKeyHandler(k), f_BrowserGoOn);
        EXPECT_EQ(f_Browser.Selected, -1);
        EXPECT_NE(test_Screen(7, 12, 69).find(" 0 Objekte "), std::string::npos);
        EXPECT_EQ(f_CatKeyHandler(Escape), f_BrowserEscape);
    }
    PostKeys({Return, Down, Escape});
    EXPECT_EQ(Open(empty.Path), "");
}

TEST_F(SmallFolder, StartFoldersStandardFoldersAndTheFilter) {
    Show(Small.Path + "nothing-here/");   // a missing start folder: the desktop
    EXPECT_EQ(f_CatPath, f_StandardFolder(f_Folder::Desktop));
    Show("");
    EXPECT_EQ(f_CatPath, f_StandardFolder(f_Folder::Desktop));
    Show(Small.Path + "sub");   // no final "/"
    EXPECT_EQ(f_CatPath, Small.Path + "sub/");
    EXPECT_EQ(Name(0), "inner.dsk");

    test_TempFolder docs;
    f_SetStandardFolder(f_Folder::Documents, docs.Path);
    f_SetStandardFolder(f_Folder::Downloads, docs.Path + "gone");
    Show(Small.Path);
    const std::pair<int, std::string> keys[] = {{6, docs.Path},                                   // Control-F
                                                {12, f_StandardFolder(f_Folder::Home)},          // Control-L: missing
                                                {9, f_StandardFolder(f_Folder::Mount)}};          // Tab
    for (const auto &[key, folder] : keys) {
        f_CatKeyHandler(key);
        EXPECT_EQ(f_CatPath, folder) << key;
    }
    f_SetStandardFolder(f_Folder::Documents, "");
    f_SetStandardFolder(f_Folder::Downloads, "");

    PostKeys({End, Return});
    EXPECT_EQ(Open(Small.Path, 0, 60, "TEXT"), Small.Path + "banana.txt");
    EXPECT_EQ(f_BrowserCount(), 1);
}

// --- the mouse ---------------------------------------------------------------

TEST_F(SmallFolder, ClicksSelectAndDoubleClicksEnterOrChoose) {
    Show(Small.Path);
    EXPECT_EQ(ClickAt(30, 14), f_BrowserGoOn);   // below the last item: nothing
    EXPECT_EQ(f_Browser.Selected, 0);
    EXPECT_EQ(ClickAt(30, 9), f_BrowserGoOn);   // second list line
    EXPECT_EQ(f_Browser.Selected, 1);
    EXPECT_TRUE(Inverse(12, 9));
    EXPECT_FALSE(Inverse(12, 8));
    // A slow second click, and a click on another item right after, are single clicks.
    f_Browser.LastClickTime -= 300;
    EXPECT_EQ(ClickAt(30, 9), f_BrowserGoOn);
    EXPECT_EQ(ClickAt(30, 10), f_BrowserGoOn);
    EXPECT_EQ(f_Browser.Selected, 2);
    Click(30, 12);   // sub, twice
    Click(30, 12);
    EXPECT_EQ(f_CatMouseHandler(), f_BrowserGoOn);
    EXPECT_EQ(f_CatMouseHandler(), f_BrowserGoOn);
    EXPECT_EQ(f_CatPath, Small.Path + "sub/");
    EXPECT_EQ(f_CatMouseHandler(), -1);   // no more clicks
    // The path line goes up, and from the root to the volumes.
    ClickAt(40, 6);
    EXPECT_EQ(f_CatPath, Small.Path);
    Show("/");
    ClickAt(40, 6);
    EXPECT_EQ(f_CatPath, f_StandardFolder(f_Folder::Mount));
    // A double click on a file chooses it.
    Click(30, 9);
    Click(30, 9);
    EXPECT_EQ(Open(Small.Path), Small.Path + "banana.txt");
}

// Clicks on the frame, the title, the rule, beside or below the list select
// nothing, and no hidden item.
TEST_F(LongList, ClicksOutsideTheListSelectNothing) {
    Show(Long.Path);
    f_CatKeyHandler(Down);
    for (auto [column, line] : {std::pair{30, 5}, {30, 7}, {11, 9}, {70, 9}, {5, 9}, {30, 23}, {30, 24}, {30, 1}}) {
        ClickAt(column, line);
        EXPECT_EQ(std::make_pair(f_Browser.Selected, f_CatPath), std::make_pair(1, Long.Path)) << column << "," << line;
    }
    ClickAt(30, 22);   // the last list line
    EXPECT_EQ(f_Browser.Selected, 14);
    f_CatKeyHandler(PageDown);
    ClickAt(30, 8);
    EXPECT_EQ(f_Browser.Selected, f_Browser.Scroll);
}

// --- odd calls ----------------------------------------------------------------

TEST_F(SmallFolder, OddWindowsAndGeometry) {
    for (uint8_t window : {uint8_t(3), uint8_t(9), uint8_t(200)}) {
        EXPECT_EQ(f_CatOpen(window, Small.Path, "t", "", 5, 15, 60, 0), "");
        EXPECT_EQ(f_CatSave(window, Small.Path, "t", "Save as:", "x", 5, 15, 60, 0), "");
    }
    const std::pair<int, int> geometries[] = {{0, 15}, {-5, 100}, {30, 15}, {5, -3}, {24, 0}, {1, 1000000}};
    for (auto [top, height] : geometries) {
        PostKeys({Down, Return});
        std::string chosen = Run([&] { return f_CatOpen(0, Small.Path, "t", "", top, height, 60, 0); });
        EXPECT_EQ(chosen, Small.Path + "banana.txt") << top << "," << height;
        EXPECT_TRUE(f_Browser.TopLine >= 1 && f_Browser.BottomLine <= 25 && f_Browser.PageLines >= 1);
    }
}

}  // namespace
}  // namespace browsertest
