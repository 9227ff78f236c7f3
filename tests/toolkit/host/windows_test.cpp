// Window management on real Qt windows (offscreen): metrics, title bars,
// frames, the close box and the pasteboard window.  Each test runs the
// application with its checks as the program; ctest runs one test per
// process.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <array>
#include <cstdlib>
#include <unistd.h>

#include "application.h"
#include "display.h"
#include "host_state.h"
#include "host_windows.h"
#include "display_support.h"
#include "threads.h"
#include "windows.h"

namespace {

// Runs the application with the checks as its program; quits when they end.
void runWithApplication(const std::function<void()> &checks) {
    static char name[] = "windows_test";
    char *argv[] = {name, nullptr};
    int argc = 1;
    t_ApplicationOptions options;
    options.SingleInstance = false;
    options.RememberWindows = false;
    t_RunApplication(argc, argv, [&] {
        checks();
        t_OnMainThreadAsync([] { QApplication::quit(); });
    }, options);
}

// Window 1: 640 x 400 pixels of 8 x 16 cells, borders 10 and 12, title shown.
void makeWindow() {
    t_InitWindow(1, 24, false, 640, 400, 10, 12, solidFont(8, 16), true);
    ASSERT_TRUE(t_WindowTable[1].Initialized);
}

bool hostVisible(uint8_t n) {
    bool visible = false;
    t_OnMainThread([&] { visible = t_HostWindow(n)->isVisible(); });
    return visible;
}

// The host window's frame: left, top, width, height.
std::array<int, 4> hostFrame(uint8_t n) {
    QRect r;
    t_OnMainThread([&] { r = t_HostWindow(n)->frameGeometry(); });
    return {r.left(), r.top(), r.width(), r.height()};
}

TEST(WindowPos, SelectorsOfAToolkitWindow) {
    runWithApplication([] {
        makeWindow();
        const t_Window &w = t_WindowTable[1];
        int T = t_TitleBarHeight;
        ASSERT_GT(T, 0);
        ASSERT_EQ(w.TitleHeight, T);
        int x = t_WindowPos(1, t_PosX), y = t_WindowPos(1, t_PosY);
        int screenHeight = t_WindowPos(1, t_PosScreenHeight);
        const int expected[][2] = {
            {t_PosTextFirstColumn, w.TextFirstColumn}, {t_PosTextFirstLine, w.TextFirstLine},
            {t_PosTextLastColumn, w.TextLastColumn}, {t_PosTextLastLine, w.TextLastLine},
            {t_PosAreaColumns, 80}, {t_PosAreaLines, 25},
            {t_PosTextWidth, w.TextWidth}, {t_PosTextHeight, w.TextHeight},
            {t_PosViewWidth, 640}, {t_PosViewHeight, 400}, {t_PosFrameWidth, 660}, {t_PosFrameHeightBelowTitle, 424},
            {t_PosFrameHeight, 424 + T}, {t_PosTop, screenHeight - y - (424 + T)}, {t_PosTitleHeight, T},
            {t_PosBorderWidth, 10}, {t_PosBorderHeight, 12}, {21, 0}, {-1, 0},   // unknown selectors give 0
        };
        for (auto [selector, value] : expected) EXPECT_EQ(t_WindowPos(1, selector), value) << "selector " << selector;
        EXPECT_GT(t_WindowPos(1, t_PosScreenWidth), 0);
        EXPECT_GT(screenHeight, 0);
        // The window's left, and its top from the screen's top.
        std::array<int, 4> frame = hostFrame(1);
        EXPECT_EQ(std::make_pair(x, t_WindowPos(1, t_PosTop)), std::make_pair(frame[0], frame[1]));
        // Windows that do not exist.
        test_LogCapture log;
        for (uint8_t n : {uint8_t(13), uint8_t(100), uint8_t(255)}) EXPECT_EQ(t_WindowPos(n, t_PosViewWidth), 0) << int(n);
        EXPECT_EQ(log.count("t_WindowPos: Window does not exist.\n"), 3);
    });
}

TEST(WindowSize, AllArgumentsKeptKeepTheFrame) {
    runWithApplication([] {
        makeWindow();
        t_WindowSize(1, 100, 200, -1, -1);
        std::array<int, 4> before = hostFrame(1);
        int selectors[] = {t_PosViewWidth, t_PosViewHeight, t_PosFrameWidth, t_PosFrameHeight,
                           t_PosX,         t_PosTop,        t_PosY};
        std::vector<int> values;
        for (int s : selectors) values.push_back(t_WindowPos(1, s));
        for (int round = 0; round < 3; round++) {
            t_WindowSize(1, -1, -1, -1, -1);
            EXPECT_EQ(hostFrame(1), before) << "round " << round;
            for (size_t k = 0; k < values.size(); k++)
                EXPECT_EQ(t_WindowPos(1, selectors[k]), values[k]) << "selector " << selectors[k];
        }
        EXPECT_EQ(t_WindowPos(1, t_PosX), 100);
        EXPECT_EQ(t_WindowPos(1, t_PosY), 200);
        // The text windows too.
        t_WindowSize(t_PrinterWindow, 50, 60, 500, 300);
        std::array<int, 4> printer = hostFrame(t_PrinterWindow);
        t_WindowSize(t_PrinterWindow, -1, -1, -1, -1);
        EXPECT_EQ(hostFrame(t_PrinterWindow), printer);
    });
}

TEST(CloseBox, HidesTheWindowAndKeepsItsContents) {
    runWithApplication([] {
        makeWindow();
        t_WindowVisible(1, true);
        const t_Window &w = t_WindowTable[1];
        t_VideoMemory[size_t(w.TextMemoryStart)] = 'Q';
        ASSERT_TRUE(hostVisible(1));
        test_LogCapture log;
        bool closed = true;
        t_OnMainThread([&] { closed = t_HostWindow(1)->close(); });
        EXPECT_FALSE(closed);   // the close is refused; the window is only hidden
        EXPECT_FALSE(hostVisible(1) || t_WindowTable[1].Visible);
        EXPECT_TRUE(log.has("t_MouseEventPostCloseBoxClick: Window = 1"));
        t_WindowVisible(1, true);
        EXPECT_TRUE(hostVisible(1));
        EXPECT_TRUE(t_WindowTable[1].Initialized);
        EXPECT_EQ(t_VideoMemory[size_t(w.TextMemoryStart)], 'Q');
    });
}

TEST(Pasteboard, ShowingItShowsTheClipboardText) {
    runWithApplication([] {
        for (QString clipboard : {"copied elsewhere", "two\nlines", ""}) {
            t_OnMainThread([&] { QGuiApplication::clipboard()->setText(clipboard); });
            t_WindowVisible(t_PasteboardWindow, true);
            QString shown;
            t_OnMainThread([&] { shown = t_WindowTextView(t_PasteboardWindow)->toPlainText(); });
            EXPECT_EQ(shown.toStdString(), clipboard.toStdString());
            EXPECT_TRUE(hostVisible(t_PasteboardWindow));
            t_WindowVisible(t_PasteboardWindow, false);
        }
    });
}

}  // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    fflush(stdout);
    _exit(result);
}
