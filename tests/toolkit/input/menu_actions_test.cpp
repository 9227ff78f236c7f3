// The plain half of the menus: the action table, the screen-character
// mapping, the event queue and the dispatch of menu events, with a fake host;
// the quit request.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "events.h"
#include "log_capture.h"
#include "menus.h"
#include "printer.h"
#include "quit.h"
#include "text.h"
#include "threads.h"

namespace {

// What reached the fake host.
struct FakeHost {
    int Beeps = 0;
    std::string Clipboard;
    uint8_t Front = 255;
    bool HasViews = true;
    std::vector<uint8_t> Cleared;
    std::string SavePanelResult, LastSaveName;
};
FakeHost *fake = nullptr;

class MenuDispatch : public testing::Test {
protected:
    FakeHost host;
    test_LogCapture log;
    std::atomic<bool> programRan{false};
    void SetUp() override {
        fake = &host;
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
        t_SetProgramMenuHandler([this] { programRan = true; });
        t_SetWindowActionHandler(nullptr);
    }
    void TearDown() override {
        t_SetMenuHostServices({});
        t_SetProgramMenuHandler(nullptr);
        fake = nullptr;
    }
    static t_MenuEvent menuItem(int tag) {
        t_MenuEvent e;
        e.Kind = t_EventMenu;
        e.MenuTitle = "Window";
        e.ItemTitle = "Item";
        e.ItemAction = tag;
        return e;
    }
    void dispatch(int tag, uint8_t front) {
        host.Front = front;
        t_MenuEventDispatch(menuItem(tag));
    }
    bool programHandlerRuns() {
        for (int i = 0; i < 100 && !programRan; i++) t_SleepMs(10);
        return programRan;
    }
};

// Added records go to the end, and the first of two with a tag wins.
TEST(MenuActionTable, AddedRecordsGoToTheEndAndTheFirstOfATagWins) {
    t_InitMenuActions();
    const int size = int(t_MenuActions().size()), first = t_MenuActionIndex(215);
    ASSERT_GE(first, 0);
    t_MenuActionAdd(101);
    t_MenuActionAdd(215);
    t_MenuActionAdd(0);
    EXPECT_EQ(t_MenuActionIndex(101), size);
    EXPECT_EQ(t_MenuActionIndex(215), first);
    EXPECT_EQ(t_MenuActionIndex(0), -1);   // tag 0 never has an action
    EXPECT_EQ(t_MenuActionAt(size).Action, 101);
    EXPECT_EQ(t_MenuActionAt(99).Tag, 0);
    EXPECT_EQ(t_MenuActionAt(-1).Tag, 0);
}

TEST(ScreenCharacters, LineDrawingBecomesAsciiAndTheRestStays) {
    std::u32string screen = {134, 140, 156, 135, '\r', 138, 'A', 0xE4, 139, 127, '\r', 136, 141, 154, 137, 158, 159, 160};
    EXPECT_EQ(t_ScreenTextToHost(t_Encode(screen)), "+--+\r|A\xC3\xA4|#\r+--++=\u02FD");
    for (int code : {0, 32, 65, 126, 161, 0xE4, 255, 0x20AC}) EXPECT_EQ(t_ScreenCharToHost(char32_t(code)), char32_t(code));
    EXPECT_EQ(t_ScreenTextToHost(""), "");
}

// Which events go to the program (queued, its handler started) and which
// the toolkit handles itself (queued, handler not started).
TEST_F(MenuDispatch, EventsForTheProgramAndForTheToolkit) {
    struct Case { const char *What; t_MenuEvent Event; bool ToProgram; } cases[] = {
        {"tag zero", menuItem(0), true},
        {"a button, everything empty", t_MenuEvent{}, true},
        {"a tag without a record", menuItem(4711), true},
        {"a built-in action that does nothing", menuItem(231), false},
    };
    for (const Case &c : cases) {
        t_MenuEventQueueClear();
        programRan = false;
        int counted = t_MenuEventCount;
        t_MenuEventDispatch(c.Event);
        if (c.ToProgram) {
            EXPECT_TRUE(programHandlerRuns()) << c.What;
        } else {
            t_SleepMs(50);
            EXPECT_FALSE(programRan) << c.What;
        }
        ASSERT_EQ(t_MenuEventQueueSize(), 1u) << c.What;
        EXPECT_TRUE(t_MenuEventAvailable());
        EXPECT_EQ(t_MenuEventQueue()[0].ItemAction, c.Event.ItemAction);
        EXPECT_EQ(t_MenuEventQueue()[0].Kind, c.Event.Kind);
        EXPECT_EQ(t_MenuEventCount, counted + 1);
    }
}

TEST_F(MenuDispatch, CopyClearMissingViewsAndTheWindowAction) {
    struct Case {
        int Tag;
        uint8_t Front;
        bool Views;
        const char *Clipboard;   // nullptr: the host beeps
        const char *Line;        // the log line, or ""
    } cases[] = {
        {111, 9, true, "view 9", ""},   // Copy Text of the printer and console views
        {111, 10, true, "view 10", ""},
        {111, 8, true, nullptr, ""},    // windows without text: a beep
        {111, 12, true, nullptr, ""},
        {111, 255, true, nullptr, ""},
        {110, 0, true, nullptr, ""},    // Copy Picture without a picture
        {110, 9, true, nullptr, ""},
        {227, 0, true, nullptr, "t_MenuEventHandler: Window #7 not initialized."},   // Show Screen 7
        {111, 9, false, nullptr, "t_MenuEventHandler: Virtual printer window is nil, resource undefined."},
        {111, 10, false, nullptr, "t_MenuEventHandler: System console window is nil, resource undefined."},
        {112, 0, false, nullptr, "t_MenuEventHandler: Virtual printer window is nil, resource undefined."},
        {114, 0, false, nullptr, "t_MenuEventHandler: System console window is nil, resource undefined."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.Tag) + " in front of " + std::to_string(c.Front));
        host = FakeHost{};
        host.HasViews = c.Views;
        log.clear();
        dispatch(c.Tag, c.Front);
        EXPECT_EQ(host.Clipboard, c.Clipboard ? c.Clipboard : "");
        EXPECT_EQ(host.Beeps, c.Clipboard ? 0 : 1);
        if (*c.Line) { EXPECT_TRUE(log.has(c.Line)) << log.text(); }
        EXPECT_TRUE(host.Cleared.empty());
    }
    // Clearing empties the buffer and the view.
    host = FakeHost{};
    p_PrinterBuffer = t_StringToText("pending printer text");
    t_ConsoleBuffer = t_StringToText("pending console text");
    dispatch(112, 0);
    EXPECT_TRUE(p_PrinterBuffer.Elements.empty());
    EXPECT_FALSE(t_ConsoleBuffer.Elements.empty());
    dispatch(114, 0);
    EXPECT_TRUE(t_ConsoleBuffer.Elements.empty());
    EXPECT_EQ(host.Cleared, (std::vector<uint8_t>{9, 10}));
    // The window action runs only for a toolkit window.
    int calls = 0;
    t_SetWindowActionHandler([&] { calls++; });
    dispatch(113, 3);
    dispatch(113, 9);
    EXPECT_EQ(std::make_pair(calls, host.Beeps), std::make_pair(1, 1));
    t_SetWindowActionHandler(nullptr);   // back to the beep
    dispatch(113, 3);
    EXPECT_EQ(host.Beeps, 2);
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
    std::set<int> tags;
    for (const t_MenuEvent &e : t_MenuEventQueue()) tags.insert(e.ItemAction);
    EXPECT_EQ(tags.size(), 1000u);
    EXPECT_EQ(t_MenuEventQueueSize(), 1000u);
}

// The quit request between the menu (main thread) and the program thread.
std::atomic<int> ended{0};

class QuitRequest : public ::testing::Test {
protected:
    void SetUp() override {
        ended = 0;
        t_QuitHostServices h;
        h.EndApplication = [] { ended++; };
        t_SetQuitHostServices(h);
        t_SetQuitHandler(nullptr);
    }
    void TearDown() override {
        t_SetQuitHandler(nullptr);
        t_SetQuitHostServices({});
    }
};

TEST_F(QuitRequest, TheProgramAnswersOnItsOwnThreadAtItsNextWait) {
    std::atomic<bool> programRunning{true};
    std::atomic<bool> handlerInstalled{false};
    std::thread::id answeredOn;
    std::thread program([&] {
        t_SetQuitHandler([&] {
            answeredOn = std::this_thread::get_id();
            t_QuitApplication();
            programRunning = false;
        });
        handlerInstalled = true;
        while (programRunning) {
            t_ServeQuitRequest();   // as every wait for input does
            t_SleepMs(1);
        }
        t_SetQuitHandler(nullptr);
    });
    std::thread::id programId = program.get_id();
    while (!handlerInstalled) t_SleepMs(1);
    t_RequestQuit();
    program.join();
    EXPECT_EQ(answeredOn, programId);
    EXPECT_EQ(ended, 1);   // once: the handler's, not again when it was taken away
}

TEST_F(QuitRequest, AProgramMayRefuse) {
    int asked = 0;
    t_SetQuitHandler([&] { asked++; });
    t_RequestQuit();
    t_ServeQuitRequest();
    t_ServeQuitRequest();   // one request, one answer
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ended, 0);
}

TEST_F(QuitRequest, WithoutAnsweringProgramItEndsAtOnceAndWithoutAHostDialogsCancel) {
    // The program ends (Q) between the menu's request and its next wait.
    t_SetQuitHandler([] { FAIL() << "the program was asked after it stopped answering"; });
    t_RequestQuit();
    EXPECT_EQ(ended, 0);
    t_SetQuitHandler(nullptr);
    EXPECT_EQ(ended, 1);
    t_ServeQuitRequest();
    EXPECT_EQ(ended, 1);
    t_RequestQuit();   // without a program to ask it ends at once
    EXPECT_EQ(ended, 2);
    // Dialogs without a host cancel.
    t_SetQuitHostServices({});
    EXPECT_EQ(t_AskSaveChanges("WORK.DSK"), t_SaveChangesAnswer::Cancel);
    t_Alert("nobody sees this");   // and nothing breaks
}

}  // namespace
