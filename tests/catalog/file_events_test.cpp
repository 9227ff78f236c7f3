// File-open events taken by the browser, before the forms and while they wait.
#include "browser_fixture.h"
#include "threads.h"

namespace browsertest {
namespace {

// A folder with more files than list lines, and another folder.
class BrowserFileEvents : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        for (int i = 0; i < 30; i++) Far.file(Numbered("img", i));
        Far.folder("folder");
        Near.file("here.dsk");
        Near.file("there.dsk");
    }
    test_TempFolder Far, Near;
};

TEST_F(BrowserFileEvents, EventMovesTheListAndSelectsTheFile) {
    // The item just below the last list line is scrolled into sight.
    Show(Far.Path);
    t_PostFileEvent(Far.Path + "img14.dsk", 0);
    EXPECT_TRUE(f_BrowserFileEvent());
    ASSERT_EQ(f_Browser.Selected, 15);
    int shown = 8 + 15 - f_Browser.Scroll;
    ASSERT_TRUE(shown >= 8 && shown <= 22) << shown;
    EXPECT_EQ(test_Screen(shown, 12, 68), f_CatStr(f_CatList[15], 60));
    Show(Near.Path);
    t_PostFileEvent(Far.Path + "img25.dsk", 0);
    EXPECT_TRUE(f_BrowserFileEvent());
    EXPECT_EQ(f_CatPath, Far.Path);
    EXPECT_EQ(Name(f_Browser.Selected), "img25.dsk");
    // The file is in sight and in inverse.
    int line = 8 + f_Browser.Selected - f_Browser.Scroll;
    ASSERT_TRUE(line >= 8 && line <= 22);
    EXPECT_EQ(test_Screen(line, 12, 68), f_CatStr(f_CatList[size_t(f_Browser.Selected)], 60));
    EXPECT_TRUE(Inverse(12, line));
    EXPECT_NE(test_Screen(6, 12, 69).find(t_ConvertUniCode(Far.Path).Converted), std::string::npos);
    // A file of the same folder: no reload, only the selection moves.
    f_CatList[0].Size = 12345;   // a reload would forget this
    t_PostFileEvent(Far.Path + "img02.dsk", 0);
    EXPECT_TRUE(f_BrowserFileEvent());
    EXPECT_EQ(f_CatList[0].Size, 12345);
    EXPECT_EQ(Name(f_Browser.Selected), "img02.dsk");
    EXPECT_FALSE(f_BrowserFileEvent());
}

TEST_F(BrowserFileEvents, FolderEventsAndEventsThatNameNothing) {
    Show(Near.Path);
    f_CatKeyHandler(Down);
    for (const std::string &path : {Far.Path + "missing.dsk", std::string("img01.dsk"), std::string()}) {
        t_PostFileEvent(path, 0);
        EXPECT_TRUE(f_BrowserFileEvent()) << path;
        EXPECT_EQ(f_CatPath, Near.Path) << path;
        EXPECT_EQ(f_Browser.Selected, 1) << path;
    }
    t_PostFileEvent(Far.Path + "folder/", 0);   // a folder path ending in "/": that folder
    f_BrowserFileEvent();
    EXPECT_EQ(f_CatPath, Far.Path + "folder/");
    t_PostFileEvent(Far.Path + "folder", 0);   // without: the folder that holds it, with it selected
    f_BrowserFileEvent();
    EXPECT_EQ(f_CatPath, Far.Path);
    EXPECT_EQ(Name(f_Browser.Selected), "folder");
}

TEST_F(BrowserFileEvents, EventsBeforeTheFormsAndWhileTheyWait) {
    // A path given at launch waits in the queue; the first browser opens on
    // it, and Return chooses it.  The save form takes events too.
    t_PostFileEvent(Far.Path + "img17.dsk", 0);
    PostKeys({Return});
    EXPECT_EQ(Open(Near.Path), Far.Path + "img17.dsk");
    t_PostFileEvent(Far.Path + "img05.dsk", 0);
    t_PostKeyEvent(Key(ForwardDelete, true));
    t_PostKeyEvent(Key(Return));
    EXPECT_EQ(Run([&] { return f_CatSave(0, Near.Path, "t", "Save as:", "", 5, 15, 60, 0); }), Far.Path + "img05.dsk");

    auto chosen = std::async(std::launch::async, [&] { return f_CatOpen(0, Near.Path, "t", "", 5, 15, 60, 0); });
    t_SleepMs(50);
    t_PostFileEvent(Far.Path + "img29.dsk", 0);
    for (int i = 0; i < 500 && t_PendingFileEvents() > 0; i++) t_SleepMs(10);
    t_SleepMs(50);
    PostKeys({Return});
    ASSERT_EQ(chosen.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(chosen.get(), Far.Path + "img29.dsk");
}

}  // namespace
}  // namespace browsertest
