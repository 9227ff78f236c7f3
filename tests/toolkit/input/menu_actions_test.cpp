// The plain half of the menus: the action table, the built-in action table,
// the screen-character mapping, the event queue and the dispatch of menu
// events, with a fake host.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "events.h"
#include "log.h"
#include "menus.h"
#include "printer.h"
#include "text.h"
#include "threads.h"

namespace {

// Records the log lines, the beeps and what reached the fake clipboard.
struct FakeHost {
    std::mutex Lock;
    std::vector<std::string> Log;
    int Beeps = 0;
    std::string Clipboard;
    uint8_t Front = 255;
    bool HasViews = true;
    std::vector<uint8_t> Cleared;
    std::string SavePanelResult;
    std::string LastSaveName;
};

FakeHost *fake = nullptr;

class MenuDispatch : public testing::Test {
protected:
    FakeHost host;
    void SetUp() override {
        fake = &host;
        t_SetLogTee([](std::string_view line) {
            std::lock_guard<std::mutex> hold(fake->Lock);
            if (!line.empty() && line != "\n") fake->Log.emplace_back(line);
        });
        t_MenuHostServices h;
        h.Beep = [] { fake->Beeps++; };
        h.FrontWindow = [] { return fake->Front; };
        h.CopyText = [](const std::string &t) { fake->Clipboard = t; };
        h.CopyPicture = [](uint8_t) { return false; };
        h.HasTextView = [](uint8_t) { return fake->HasViews; };
        h.TextViewText = [](uint8_t n) { return "view " + std::to_string(n); };
        h.ClearTextView = [](uint8_t n) { fake->Cleared.push_back(n); };
        h.SavePanel = [](const std::string &name, const std::string &, const std::string &, const std::string &) {
            fake->LastSaveName = name;
            return fake->SavePanelResult;
        };
        h.OpenPanel = [](const std::string &, const std::string &, const std::string &, bool, bool, bool) {
            return std::string("/home/u/disks/games.dsk");
        };
        t_SetMenuHostServices(h);
        t_InitMenuActions();
        t_MenuEventQueueClear();
        t_SetProgramMenuHandler(nullptr);
        t_SetWindowActionHandler(nullptr);
    }
    void TearDown() override {
        t_SetLogTee(nullptr);
        t_SetMenuHostServices({});
        t_SetProgramMenuHandler(nullptr);
        fake = nullptr;
    }
    bool logged(const std::string &line) {
        std::lock_guard<std::mutex> hold(host.Lock);
        for (const std::string &l : host.Log)
            if (l.find(line) != std::string::npos) return true;
        return false;
    }
    static t_MenuEvent menuItem(int tag) {
        t_MenuEvent e;
        e.Kind = t_EventMenu;
        e.MenuTitle = "Window";
        e.ItemTitle = "Item";
        e.ItemAction = tag;
        return e;
    }
};

// Waits up to a second for the flag.
bool waitFor(const std::atomic<bool> &flag) {
    for (int i = 0; i < 100 && !flag; i++) t_SleepMs(10);
    return flag;
}

// ---------------------------------------------------------------- action table

TEST(MenuActionTable, StartsWithTheThirtySevenRecordsInOrder) {
    t_InitMenuActions();
    std::vector<t_MenuAction> table = t_MenuActions();
    ASSERT_EQ(table.size(), 37u);
    std::vector<int> expected;
    for (int tag = 200; tag <= 231; tag++) expected.push_back(tag);
    for (int tag = 110; tag <= 114; tag++) expected.push_back(tag);
    for (size_t i = 0; i < table.size(); i++) {
        EXPECT_EQ(table[i].Tag, expected[i]) << i;
        EXPECT_EQ(table[i].Action, expected[i]) << i;
        EXPECT_TRUE(table[i].Title.empty() && table[i].Note.empty() && table[i].FileName.empty() &&
                    table[i].FileTypes.empty() && table[i].FilePath.empty());
    }
}

TEST(MenuActionTable, IndexFindsTheFirstRecordOfATag) {
    t_InitMenuActions();
    struct Case {
        int Tag, Index;
    } cases[] = {{200, 0}, {215, 15}, {231, 31}, {110, 32}, {114, 36}, {0, -1}, {100, -1}, {232, -1}, {-5, -1}};
    for (const Case &c : cases) EXPECT_EQ(t_MenuActionIndex(c.Tag), c.Index) << c.Tag;
}

TEST(MenuActionTable, AddAppendsAndTheFirstOfTwoWins) {
    t_InitMenuActions();
    t_MenuActionAdd(101);
    t_MenuActionAdd(215);
    EXPECT_EQ(t_MenuActionIndex(101), 37);
    EXPECT_EQ(t_MenuActionIndex(215), 15);
    t_MenuAction added = t_MenuActionAt(37);
    EXPECT_EQ(added.Tag, 101);
    EXPECT_EQ(added.Action, 101);
    EXPECT_EQ(t_MenuActionAt(99).Tag, 0);
    EXPECT_EQ(t_MenuActionAt(-1).Tag, 0);
    t_MenuActionAdd(0);
    EXPECT_EQ(t_MenuActionIndex(0), -1);   // tag 0 never has an action
}

// The window actions follow the rule w = (action - 213) / 2, even shows.
TEST(BuiltInActions, ToolkitWindowActionsFollowTheRule) {
    for (int action = 213; action <= 228; action++) {
        const t_BuiltInAction *a = t_FindBuiltInAction(action);
        ASSERT_NE(a, nullptr) << action;
        EXPECT_EQ(a->Window, (action - 213) / 2) << action;
        EXPECT_EQ(a->Kind, (action - 213) % 2 == 0 ? t_ActionKind::ShowWindow : t_ActionKind::HideWindow) << action;
    }
}

TEST(BuiltInActions, OtherWindowsAndTheRest) {
    struct Case {
        int Action;
        t_ActionKind Kind;
        int Window;
    } cases[] = {
        {205, t_ActionKind::ShowWindow, 12}, {206, t_ActionKind::HideWindow, 12},
        {207, t_ActionKind::ShowWindow, 11}, {208, t_ActionKind::HideWindow, 11},
        {209, t_ActionKind::ShowWindow, 9},  {210, t_ActionKind::HideWindow, 9},
        {211, t_ActionKind::ShowWindow, 8},  {212, t_ActionKind::HideWindow, 8},
        {229, t_ActionKind::ShowWindow, 10}, {230, t_ActionKind::HideWindow, 10},
        {100, t_ActionKind::OpenPanel, -1},  {101, t_ActionKind::SavePanel, -1},
        {110, t_ActionKind::CopyPicture, -1}, {111, t_ActionKind::CopyText, -1},
        {112, t_ActionKind::ClearPrinter, -1}, {113, t_ActionKind::WindowHandler, -1},
        {114, t_ActionKind::ClearConsole, -1}, {200, t_ActionKind::HideAll, -1},
        {201, t_ActionKind::HideFront, -1},
    };
    for (const Case &c : cases) {
        const t_BuiltInAction *a = t_FindBuiltInAction(c.Action);
        ASSERT_NE(a, nullptr) << c.Action;
        EXPECT_EQ(a->Kind, c.Kind) << c.Action;
        if (c.Window >= 0) {
            EXPECT_EQ(a->Window, c.Window) << c.Action;
        }
    }
    for (int none : {0, 99, 102, 115, 202, 203, 204, 231, 232, 65535}) EXPECT_EQ(t_FindBuiltInAction(none), nullptr);
}

TEST(BuiltInActions, EveryNumberIsListedOnce) {
    std::set<int> seen;
    for (const t_BuiltInAction &a : t_BuiltInActions) EXPECT_TRUE(seen.insert(a.Action).second) << a.Action;
}

// ---------------------------------------------------------------- screen characters

TEST(ScreenCharacters, BlockAndLineCodesBecomeAscii) {
    struct Case {
        int First, Last;
        char32_t Becomes;
    } cases[] = {
        {127, 127, U'#'}, {128, 128, U'*'}, {129, 129, U'#'}, {130, 130, U'<'}, {131, 131, U'='},
        {132, 132, U'>'}, {133, 133, U'O'}, {134, 137, U'+'}, {138, 139, U'|'}, {140, 141, U'-'},
        {142, 153, U'+'}, {154, 155, U'-'}, {156, 156, U'-'}, {157, 157, U'|'}, {158, 158, U'+'},
        {159, 159, U'='}, {160, 160, U'\u02FD'},
    };
    for (const Case &c : cases)
        for (int code = c.First; code <= c.Last; code++)
            EXPECT_EQ(t_ScreenCharToHost(char32_t(code)), c.Becomes) << code;
}

TEST(ScreenCharacters, TheHorizontalRuleIsADashNotABar) {
    EXPECT_EQ(t_ScreenTextToHost(t_Encode(std::u32string(5, 156))), "-----");
}

TEST(ScreenCharacters, PlainAndHighCodesStay) {
    for (int code = 0; code < 127; code++) EXPECT_EQ(t_ScreenCharToHost(char32_t(code)), char32_t(code));
    for (int code = 161; code < 256; code++) EXPECT_EQ(t_ScreenCharToHost(char32_t(code)), char32_t(code));
    EXPECT_EQ(t_ScreenCharToHost(0x20AC), char32_t(0x20AC));
}

TEST(ScreenCharacters, EveryCodeOfTheMapIsCoveredOnce) {
    std::set<int> seen;
    for (const t_ScreenCharRange &r : t_ScreenCharMap)
        for (int code = r.First; code <= r.Last; code++) EXPECT_TRUE(seen.insert(code).second) << code;
    EXPECT_EQ(seen.size(), 34u);   // 127 to 160
    EXPECT_EQ(*seen.begin(), 127);
    EXPECT_EQ(*seen.rbegin(), 160);
}

TEST(ScreenCharacters, AFramedLineBecomesAsciiText) {
    std::u32string screen = {134, 140, 140, 135, '\r', 138, 'A', 0xE4, 139, '\r', 136, 156, 156, 137};
    EXPECT_EQ(t_ScreenTextToHost(t_Encode(screen)), "+--+\r|A\xC3\xA4|\r+--+");
    EXPECT_EQ(t_ScreenTextToHost(""), "");
}

// ---------------------------------------------------------------- queue and dispatch

TEST_F(MenuDispatch, TagZeroQueuesAnEventAndStartsTheProgramHandler) {
    std::atomic<bool> ran{false};
    t_SetProgramMenuHandler([&] { ran = true; });
    int counted = t_MenuEventCount;
    t_MenuEvent e = menuItem(0);
    e.ItemKeyChar = "k";
    t_MenuEventDispatch(e);
    EXPECT_TRUE(waitFor(ran));
    ASSERT_EQ(t_MenuEventQueueSize(), 1u);
    EXPECT_TRUE(t_MenuEventAvailable());
    EXPECT_EQ(t_MenuEventQueue()[0].ItemAction, 0);
    EXPECT_EQ(t_MenuEventQueue()[0].ItemKeyChar, "k");
    EXPECT_EQ(t_MenuEventCount, counted + 1);
}

TEST_F(MenuDispatch, AButtonGoesToTheProgramEvenWithATag) {
    std::atomic<bool> ran{false};
    t_SetProgramMenuHandler([&] { ran = true; });
    t_MenuEvent button;   // a button press: every field empty
    t_MenuEventDispatch(button);
    EXPECT_TRUE(waitFor(ran));
    ASSERT_EQ(t_MenuEventQueueSize(), 1u);
    EXPECT_EQ(t_MenuEventQueue()[0].Kind, t_EventButton);
    EXPECT_EQ(t_MenuEventQueue()[0].Time, 0);
}

TEST_F(MenuDispatch, ATagWithoutARecordGoesToTheProgram) {
    std::atomic<bool> ran{false};
    t_SetProgramMenuHandler([&] { ran = true; });
    t_MenuEventDispatch(menuItem(4711));
    EXPECT_TRUE(waitFor(ran));
    EXPECT_EQ(t_MenuEventQueue().back().ItemAction, 4711);
}

TEST_F(MenuDispatch, ABuiltInActionDoesNotStartTheProgramHandler) {
    std::atomic<bool> ran{false};
    t_SetProgramMenuHandler([&] { ran = true; });
    t_MenuEventDispatch(menuItem(231));   // in the table, does nothing
    t_SleepMs(50);
    EXPECT_FALSE(ran);
    ASSERT_EQ(t_MenuEventQueueSize(), 1u);
    EXPECT_EQ(t_MenuEventQueue()[0].ItemAction, 231);
}

// Windows 0-7 that are not initialised log and beep (no display here).
TEST_F(MenuDispatch, ShowingAWindowThatIsNotInitialisedLogsAndBeeps) {
    t_MenuEventDispatch(menuItem(227));
    EXPECT_TRUE(logged("t_MenuEventHandler: Window #7 not initialized."));
    EXPECT_EQ(host.Beeps, 1);
    EXPECT_EQ(t_MenuEventQueueSize(), 1u);
}

TEST_F(MenuDispatch, CopyTextOfThePrinterAndConsoleViews) {
    for (uint8_t front : {9, 10}) {
        host.Front = front;
        t_MenuEventDispatch(menuItem(111));
        EXPECT_EQ(host.Clipboard, "view " + std::to_string(front));
    }
    EXPECT_EQ(host.Beeps, 0);
}

TEST_F(MenuDispatch, CopyTextWithoutATextWindowBeeps) {
    for (uint8_t front : {8, 11, 12, 255}) {
        host.Front = front;
        t_MenuEventDispatch(menuItem(111));
    }
    EXPECT_EQ(host.Beeps, 4);
    EXPECT_EQ(host.Clipboard, "");
}

TEST_F(MenuDispatch, MissingViewsLogTheirLines) {
    host.HasViews = false;
    struct Case {
        int Tag;
        uint8_t Front;
        const char *Line;
    } cases[] = {
        {111, 9, "t_MenuEventHandler: Virtual printer window is nil, resource undefined."},
        {111, 10, "t_MenuEventHandler: System console window is nil, resource undefined."},
        {112, 0, "t_MenuEventHandler: Virtual printer window is nil, resource undefined."},
        {114, 0, "t_MenuEventHandler: System console window is nil, resource undefined."},
    };
    int beeps = 0;
    for (const Case &c : cases) {
        host.Log.clear();
        host.Front = c.Front;
        t_MenuEventDispatch(menuItem(c.Tag));
        EXPECT_TRUE(logged(c.Line)) << c.Tag << " " << int(c.Front);
        EXPECT_EQ(host.Beeps, ++beeps);
    }
    EXPECT_TRUE(host.Cleared.empty());
}

TEST_F(MenuDispatch, ClearingEmptiesTheBufferAndTheView) {
    p_PrinterBuffer = t_StringToText("pending printer text");
    t_ConsoleBuffer = t_StringToText("pending console text");
    t_MenuEventDispatch(menuItem(112));
    EXPECT_TRUE(p_PrinterBuffer.Elements.empty());
    EXPECT_FALSE(t_ConsoleBuffer.Elements.empty());
    t_MenuEventDispatch(menuItem(114));
    EXPECT_TRUE(t_ConsoleBuffer.Elements.empty());
    EXPECT_EQ(host.Cleared, (std::vector<uint8_t>{9, 10}));
}

TEST_F(MenuDispatch, CopyPictureWithoutAPictureBeeps) {
    for (uint8_t front : {0, 9, 255}) {
        host.Front = front;
        t_MenuEventDispatch(menuItem(110));
    }
    EXPECT_EQ(host.Beeps, 3);
}

TEST_F(MenuDispatch, TheWindowActionRunsOnlyForAToolkitWindow) {
    int calls = 0;
    t_SetWindowActionHandler([&] { calls++; });
    host.Front = 3;
    t_MenuEventDispatch(menuItem(113));
    host.Front = 9;
    t_MenuEventDispatch(menuItem(113));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(host.Beeps, 1);
    t_SetWindowActionHandler(nullptr);   // back to the beep
    host.Front = 3;
    t_MenuEventDispatch(menuItem(113));
    EXPECT_EQ(host.Beeps, 2);
}

TEST_F(MenuDispatch, APanelStoresThePathAndItsName) {
    t_MenuActionAdd(100);
    int index = t_MenuActionIndex(100);
    t_MenuEventDispatch(menuItem(100));
    EXPECT_EQ(t_MenuActionAt(index).FilePath, "/home/u/disks/games.dsk");
    EXPECT_EQ(t_MenuActionAt(index).FileName, "games.dsk");
}

TEST_F(MenuDispatch, ACancelledSavePanelEmptiesPathAndName) {
    t_MenuActionAdd(101);
    int index = t_MenuActionIndex(101);
    t_MenuActionSetTexts(index, "Save", "Where to?", "copy.dsk", "dsk");
    host.SavePanelResult = "/tmp/chosen.dsk";
    t_MenuEventDispatch(menuItem(101));
    EXPECT_EQ(host.LastSaveName, "copy.dsk");
    EXPECT_EQ(t_MenuActionAt(index).FileName, "chosen.dsk");
    host.SavePanelResult = "";
    t_MenuEventDispatch(menuItem(101));
    EXPECT_EQ(host.LastSaveName, "chosen.dsk");   // the last choice is suggested again
    EXPECT_EQ(t_MenuActionAt(index).FilePath, "");
    EXPECT_EQ(t_MenuActionAt(index).FileName, "");
    EXPECT_EQ(t_MenuActionAt(index).Title, "Save");
}

TEST_F(MenuDispatch, EventsPostedFromManyThreadsAreAllKept) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++)
        threads.emplace_back([t] {
            for (int i = 0; i < 250; i++) t_MenuEventPost(menuItem(t * 1000 + i));
        });
    std::thread reader([] {
        for (int i = 0; i < 100; i++) (void)t_MenuEventQueue();
    });
    for (std::thread &t : threads) t.join();
    reader.join();
    std::vector<t_MenuEvent> queue = t_MenuEventQueue();
    ASSERT_EQ(queue.size(), 1000u);
    std::set<int> tags;
    for (const t_MenuEvent &e : queue) tags.insert(e.ItemAction);
    EXPECT_EQ(tags.size(), 1000u);
}

TEST(MenuWithoutHost, NothingCrashesAndPanelsAnswerEmpty) {
    t_SetMenuHostServices({});
    t_InitMenuActions();
    EXPECT_EQ(t_FrontWindow(), 255);
    EXPECT_EQ(t_OpenFileDialog("t", "m", "dsk", true, false, false), "");
    EXPECT_EQ(t_SaveFileDialog("n", "t", "m", ""), "");
    t_Beep();
    for (const t_MenuAction &a : t_MenuActions()) t_RunMenuAction(t_MenuActionIndex(a.Tag));
    t_RunMenuAction(-1);
    t_RunMenuAction(1000);
    t_MenuEventQueueClear();
}

}   // namespace
