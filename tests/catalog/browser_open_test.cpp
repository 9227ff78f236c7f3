// The open form: layout, list movement, folders, type-select, the mouse,
// and the keys driven through the key queue.
#include "browser_fixture.h"

namespace browsertest {
namespace {

// A folder of 40 files "f00.dsk" ... "f39.dsk": more items than list lines.
class LongList : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        for (int i = 0; i < 40; i++) Folder.File(Numbered("f", i));
    }
    TempFolder Folder;
};

// A small folder: files, one folder, names for type-select.
class SmallFolder : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        Folder.File("Apple.dsk", 143360);
        Folder.File("banana.txt", 10);
        Folder.File("Mango.dsk");
        Folder.File("melon.dsk");
        Folder.Folder("sub");
        Folder.File("sub/inner.dsk");
        Folder.File("zebra.dsk");
    }
    TempFolder Folder;   // Apple.dsk banana.txt Mango.dsk melon.dsk sub zebra.dsk
};

TEST_F(SmallFolder, FrameOfTheVolumeManager) {
    Show(Folder.Path);
    EXPECT_EQ(f_Browser.PageLines, 15);
    EXPECT_EQ(f_Browser.BottomLine, 23);
    // Frame columns 11 to 70, lines 5 to 23.
    EXPECT_EQ(Code(11, 5), 139);
    EXPECT_EQ(Code(70, 5), 138);
    EXPECT_EQ(Code(11, 22), 139);
    EXPECT_EQ(Code(70, 22), 138);
    EXPECT_EQ(Code(12, 23), 140);
    EXPECT_EQ(Code(69, 23), 140);
    EXPECT_EQ(Code(10, 12), ' ');
    EXPECT_EQ(Code(71, 12), ' ');
    // Path line, in inverse, centred in the 58 inner columns.
    std::string path = t_ConvertUniCode(Folder.Path).Converted;
    std::string centred = t_Center(path, 58);
    EXPECT_EQ(Screen(6, 12, 69), centred + t_Spaces(58 - t_Length(centred)));
    EXPECT_TRUE(Inverse(12, 6));
    EXPECT_TRUE(Inverse(69, 6));
    // Rule with the count.
    EXPECT_NE(Screen(7, 12, 69).find(" 6 Objekte "), std::string::npos);
    // List: the first item selected, lines past the last item blank.
    EXPECT_EQ(Screen(8, 12, 68), f_CatStr(f_CatList[0], 60));
    EXPECT_TRUE(Inverse(12, 8));
    EXPECT_FALSE(Inverse(12, 9));
    EXPECT_EQ(Screen(13, 12, 68), f_CatStr(f_CatList[5], 60));
    EXPECT_EQ(Screen(14, 12, 69), t_Spaces(58));
}

struct WidthCase {
    int Requested;
    int Frame;
    int FirstColumn;
};

TEST_F(SmallFolder, FrameWidths) {
    const WidthCase cases[] = {{60, 60, 11}, {50, 60, 11}, {0, 60, 11}, {80, 80, 1}, {40, 40, 21}, {-7, 60, 11}};
    for (const WidthCase &c : cases) {
        t_FullArea(0);
        t_ClearRect(0, 1, 1, 80, 25);
        Show(Folder.Path, c.Requested);
        EXPECT_EQ(f_Browser.Width, c.Frame) << c.Requested;
        EXPECT_EQ(Code(c.FirstColumn, 5), 139) << c.Requested;
        EXPECT_EQ(Code(c.FirstColumn + c.Frame - 1, 5), 138) << c.Requested;
        EXPECT_EQ(Screen(8, c.FirstColumn + 1, c.FirstColumn + c.Frame - 3), f_CatStr(f_CatList[0], c.Frame))
            << c.Requested;
    }
}

TEST_F(SmallFolder, ALongPathIsCutWithTheMark) {
    std::string deep = Folder.Path;
    for (int i = 0; i < 6; i++) deep = Folder.Folder(deep.substr(Folder.Path.size()) + "level-with-a-long-name");
    Show(deep);
    std::string line = Screen(6, 12, 69);
    EXPECT_EQ(t_Length(line), 58);
    EXPECT_EQ(Code(69, 6), 191);   // after W - 3 characters of the path
    EXPECT_EQ(line.substr(0, 20), deep.substr(0, 20));
}

struct MoveCase {
    const char *Name;
    std::vector<int> Keys;
    int Selected;
    int Scroll;
};

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
        Show(Folder.Path);
        for (int k : c.Keys) EXPECT_EQ(f_CatKeyHandler(k), f_BrowserGoOn) << c.Name;
        EXPECT_EQ(f_Browser.Selected, c.Selected) << c.Name;
        EXPECT_EQ(f_Browser.Scroll, c.Scroll) << c.Name;
        // The first list line shows the scroll item; the selection is in
        // sight and in inverse.
        EXPECT_EQ(Screen(8, 12, 68), f_CatStr(f_CatList[size_t(c.Scroll)], 60)) << c.Name;
        int line = 8 + c.Selected - c.Scroll;
        ASSERT_TRUE(line >= 8 && line <= 22) << c.Name;
        EXPECT_TRUE(Inverse(12, line)) << c.Name;
        for (int l = 8; l <= 22; l++)
            if (l != line) {
                EXPECT_FALSE(Inverse(12, l)) << c.Name << " line " << l;
            }
    }
}

TEST_F(LongList, KeysThroughTheQueueChooseTheFile) {
    const MoveCase cases[] = {
        {"return on the first", {Return}, 0, 0},
        {"end", {End, Return}, 39, 0},
        {"page down twice", {PageDown, PageDown, Return}, 30, 0},
        {"page down, up", {PageDown, Up, Return}, 14, 0},
        {"arrows with escape and return", {Down, Down, Down, Return}, 3, 0},
    };
    for (const MoveCase &c : cases) {
        PostKeys(c.Keys);
        std::string chosen = Open(Folder.Path);
        EXPECT_EQ(chosen, Folder.Path + Name(c.Selected)) << c.Name;
        t_ClearEventQueues();
    }
}

TEST_F(SmallFolder, EscapeReturnsNothingAndClearsTheFrame) {
    PostKeys({Down, Down, Escape});
    EXPECT_EQ(Open(Folder.Path), "");
    EXPECT_EQ(f_Browser.Selected, -1);
    for (int line = 5; line <= 23; line++) EXPECT_EQ(Screen(line, 11, 70), t_Spaces(60)) << line;
}

TEST_F(SmallFolder, ReturnOnAFolderEntersItOrChoosesIt) {
    // sub is the fifth item.
    PostKeys({'s', Return, Return});
    EXPECT_EQ(Open(Folder.Path), Folder.Path + "sub/inner.dsk");
    PostKeys({'s', Return});
    EXPECT_EQ(Open(Folder.Path, f_CatFolderChoice), Folder.Path + "sub/");
    EXPECT_EQ(f_CatPath, Folder.Path);
}

TEST_F(SmallFolder, RightEntersFoldersOnlyAndLeftGoesBack) {
    Show(Folder.Path);
    f_CatKeyHandler(Right);   // a file: nothing
    EXPECT_EQ(f_CatPath, Folder.Path);
    f_CatKeyHandler('s');
    f_CatKeyHandler(Right);
    EXPECT_EQ(f_CatPath, Folder.Path + "sub/");
    EXPECT_EQ(f_BrowserCount(), 1);
    EXPECT_EQ(f_Browser.Selected, 0);
    EXPECT_NE(Screen(7, 12, 69).find(" 1 Objekte "), std::string::npos);
    f_CatKeyHandler(Left);
    EXPECT_EQ(f_CatPath, Folder.Path);
    EXPECT_EQ(f_Browser.Selected, 0);
}

TEST_F(BrowserTest, LeftAtTheRootDoesNothing) {
    Show("/");
    size_t count = f_CatList.size();
    f_CatKeyHandler(Left);
    EXPECT_EQ(f_CatPath, "/");
    EXPECT_EQ(f_CatList.size(), count);
}

struct TypeCase {
    const char *Name;
    int Key;
    const char *Selected;
};

TEST_F(SmallFolder, TypeSelect) {
    const TypeCase cases[] = {
        {"m finds Mango", 'm', "Mango.dsk"},
        {"capital M too", 'M', "Mango.dsk"},
        {"b finds banana", 'b', "banana.txt"},
        {"c: the first after it", 'c', "Mango.dsk"},
        {"n: the first after it", 'n', "sub"},
        {"a letter after all names", 'z', "zebra.dsk"},
    };
    for (const TypeCase &c : cases) {
        Show(Folder.Path);
        f_CatKeyHandler(Down);
        f_CatKeyHandler(c.Key);
        EXPECT_EQ(Name(f_Browser.Selected), c.Selected) << c.Name;
    }
    // Past every name: the last item.
    TempFolder other;
    other.File("a.dsk");
    other.File("b.dsk");
    Show(other.Path);
    f_CatKeyHandler('x');
    EXPECT_EQ(f_Browser.Selected, 1);
}

TEST_F(LongList, TypeSelectShowsTheItemInTheFirstLine) {
    Folder.File("m1.dsk");
    Folder.File("m2.dsk");
    Folder.File("x.dsk");
    Show(Folder.Path);
    f_CatKeyHandler('m');
    EXPECT_EQ(Name(f_Browser.Selected), "m1.dsk");
    // 43 items, 15 lines: the scroll cannot pass 28.
    EXPECT_EQ(f_Browser.Scroll, 28);
    f_CatKeyHandler('f');
    EXPECT_EQ(f_Browser.Selected, 0);
    EXPECT_EQ(f_Browser.Scroll, 0);
    Show(Folder.Path);
    f_CatKeyHandler(PageDown);
    f_CatKeyHandler('f');
    EXPECT_EQ(f_Browser.Scroll, 0);
    EXPECT_EQ(Screen(8, 12, 68), f_CatStr(f_CatList[0], 60));
}

TEST_F(BrowserTest, EmptyOrMissingFolderLeavesOnlyEscape) {
    TempFolder empty;
    for (const std::string &folder : {empty.Path, empty.Path + "missing/"}) {
        Show(empty.Path);
        f_BrowserGoTo(folder);
        EXPECT_EQ(f_Browser.Selected, -1);
        EXPECT_EQ(f_CatKeyHandler(Return), f_BrowserGoOn);
        for (int k : {int(Down), int(Up), int(End), int(Home), int(PageDown), int(PageUp), int(Right), int('q')}) f_CatKeyHandler(k);
        EXPECT_EQ(f_Browser.Selected, -1);
        EXPECT_NE(Screen(7, 12, 69).find(" 0 Objekte "), std::string::npos);
        EXPECT_EQ(f_CatKeyHandler(Escape), f_BrowserEscape);
    }
    PostKeys({Return, Down, Escape});
    EXPECT_EQ(Open(empty.Path), "");
}

TEST_F(SmallFolder, AMissingStartFolderStartsOnTheDesktop) {
    Show(Folder.Path + "nothing-here/");
    EXPECT_EQ(f_CatPath, f_StandardFolder(f_Folder::Desktop));
    Show("");
    EXPECT_EQ(f_CatPath, f_StandardFolder(f_Folder::Desktop));
    Show(Folder.Path + "sub");   // no final "/"
    EXPECT_EQ(f_CatPath, Folder.Path + "sub/");
    EXPECT_EQ(Name(0), "inner.dsk");
}

TEST_F(SmallFolder, ControlKeysGoToTheStandardFolders) {
    TempFolder docs;
    f_SetStandardFolder(f_Folder::Documents, docs.Path);
    f_SetStandardFolder(f_Folder::Downloads, docs.Path + "gone");
    Show(Folder.Path);
    f_CatKeyHandler(6);   // Control-F
    EXPECT_EQ(f_CatPath, docs.Path);
    f_CatKeyHandler(12);   // Control-L: no such folder, the home folder
    EXPECT_EQ(f_CatPath, f_StandardFolder(f_Folder::Home));
    f_CatKeyHandler(9);   // Tab
    EXPECT_EQ(f_CatPath, f_StandardFolder(f_Folder::Mount));
    f_SetStandardFolder(f_Folder::Documents, "");
    f_SetStandardFolder(f_Folder::Downloads, "");
}

TEST_F(SmallFolder, FilterLimitsTheList) {
    PostKeys({End, Return});
    EXPECT_EQ(Open(Folder.Path, 0, 60, "TEXT"), Folder.Path + "banana.txt");
    EXPECT_EQ(f_BrowserCount(), 1);
    // The filter holds in every folder of the call.
    Show(Folder.Path);
    EXPECT_EQ(f_BrowserCount(), 6);
}

// --- the mouse ---------------------------------------------------------------

TEST_F(SmallFolder, ClickSelectsAndDoubleClickEntersAFolder) {
    Show(Folder.Path);
    Click(30, 9);   // second list line
    EXPECT_EQ(f_CatMouseHandler(), f_BrowserGoOn);
    EXPECT_EQ(f_Browser.Selected, 1);
    EXPECT_TRUE(Inverse(12, 9));
    EXPECT_FALSE(Inverse(12, 8));
    Click(30, 12);   // sub, twice
    Click(30, 12);
    EXPECT_EQ(f_CatMouseHandler(), f_BrowserGoOn);
    EXPECT_EQ(f_CatMouseHandler(), f_BrowserGoOn);
    EXPECT_EQ(f_CatPath, Folder.Path + "sub/");
    EXPECT_EQ(f_CatMouseHandler(), -1);   // no more clicks
}

TEST_F(SmallFolder, ClicksThatSelectNothing) {
    struct Case {
        int Column, Line;
    } cases[] = {{30, 5}, {30, 7}, {11, 9}, {70, 9}, {5, 9}, {30, 14}, {30, 24}, {30, 1}};
    for (const Case &c : cases) {
        Show(Folder.Path);
        f_CatKeyHandler(Down);
        Click(c.Column, c.Line);
        f_CatMouseHandler();
        EXPECT_EQ(f_Browser.Selected, 1) << c.Column << "," << c.Line;
        EXPECT_EQ(f_CatPath, Folder.Path) << c.Column << "," << c.Line;
    }
}

TEST_F(LongList, ClickBelowTheFrameSelectsNoHiddenItem) {
    Show(Folder.Path);
    Click(30, 24);   // would be item 16, which is not shown
    f_CatMouseHandler();
    EXPECT_EQ(f_Browser.Selected, 0);
    Click(30, 22);   // the last list line
    f_CatMouseHandler();
    EXPECT_EQ(f_Browser.Selected, 14);
    f_CatKeyHandler(PageDown);
    Click(30, 8);
    f_CatMouseHandler();
    EXPECT_EQ(f_Browser.Selected, f_Browser.Scroll);
}

TEST_F(SmallFolder, PathLineGoesUpAndFromTheRootToTheVolumes) {
    Show(Folder.Path + "sub/");
    Click(40, 6);
    f_CatMouseHandler();
    EXPECT_EQ(f_CatPath, Folder.Path);
    Show("/");
    Click(40, 6);
    f_CatMouseHandler();
    EXPECT_EQ(f_CatPath, f_StandardFolder(f_Folder::Mount));
}

TEST_F(SmallFolder, DoubleClickOnAFileChoosesIt) {
    Click(30, 9);
    Click(30, 9);
    EXPECT_EQ(Open(Folder.Path), Folder.Path + "banana.txt");
}

TEST_F(SmallFolder, SlowSecondClickIsASingleClick) {
    Show(Folder.Path);
    Click(30, 9);
    f_CatMouseHandler();
    f_Browser.LastClickTime -= 300;
    Click(30, 9);
    EXPECT_EQ(f_CatMouseHandler(), f_BrowserGoOn);
    Click(30, 10);   // another item right after: single click too
    EXPECT_EQ(f_CatMouseHandler(), f_BrowserGoOn);
    EXPECT_EQ(f_Browser.Selected, 2);
}

// --- odd calls ----------------------------------------------------------------

TEST_F(SmallFolder, WindowsThatCannotHoldTheBrowserReturnAtOnce) {
    for (uint8_t window : {uint8_t(3), uint8_t(9), uint8_t(200)}) {
        EXPECT_EQ(f_CatOpen(window, Folder.Path, "t", "", 5, 15, 60, 0), "");
        EXPECT_EQ(f_CatSave(window, Folder.Path, "t", "Save as:", "x", 5, 15, 60, 0), "");
    }
}

TEST_F(SmallFolder, OutOfRangeGeometryStaysInTheWindow) {
    struct Case {
        int Top, Height;
    } cases[] = {{0, 15}, {-5, 100}, {30, 15}, {5, -3}, {24, 0}, {1, 1000000}};
    for (const Case &c : cases) {
        PostKeys({Down, Return});
        std::string chosen = Run([&] { return f_CatOpen(0, Folder.Path, "t", "", c.Top, c.Height, 60, 0); });
        EXPECT_EQ(chosen, Folder.Path + "banana.txt") << c.Top << "," << c.Height;
        EXPECT_GE(f_Browser.TopLine, 1);
        EXPECT_LE(f_Browser.BottomLine, 25);
        EXPECT_GE(f_Browser.PageLines, 1);
    }
}

}  // namespace
}  // namespace browsertest
