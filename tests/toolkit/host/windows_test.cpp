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
#include <mutex>
#include <unistd.h>

#include "application.h"
#include "display.h"
#include "host_state.h"
#include "log.h"
#include "threads.h"
#include "windows.h"
#include "windows_qt.h"

namespace {

// Log lines written while the capture exists.
class LogLines {
public:
    LogLines() {
        t_SetLogTee([this](std::string_view s) {
            std::lock_guard<std::mutex> hold(Lock);
            Text += s;
        });
    }
    ~LogLines() { t_SetLogTee(nullptr); }
    bool has(const std::string &line) {
        std::lock_guard<std::mutex> hold(Lock);
        return Text.find(line + "\n") != std::string::npos;
    }

private:
    std::mutex Lock;
    std::string Text;
};

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
    t_Font font;
    font.Format = t_FontFormatGrey;
    font.End = 255;
    font.Width = 8;
    font.Height = 16;
    font.Data.assign(256 * 8 * 16, 0);
    t_InitWindow(1, 24, false, 640, 400, 10, 12, font, true);
    ASSERT_TRUE(t_WindowTable[1].Initialized);
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
        int top = 0;
        t_OnMainThread([&] { top = t_HostWindow(1)->frameGeometry().top(); });
        EXPECT_EQ(t_WindowPos(1, t_PosTop), top);
        EXPECT_EQ(x, [] {
            int left = 0;
            t_OnMainThread([&] { left = t_HostWindow(1)->frameGeometry().left(); });
            return left;
        }());
    });
}

TEST(WindowPos, HiddenTitleBarShrinksOnlyTheWholeHeight) {
    runWithApplication([] {
        makeWindow();
        int T = t_TitleBarHeight;
        int whole = t_WindowPos(1, t_PosFrameHeight);
        int width = t_WindowPos(1, t_PosViewWidth), height = t_WindowPos(1, t_PosViewHeight);
        t_WindowTitleVisible(1, false);
        EXPECT_EQ(t_WindowPos(1, t_PosFrameHeight), whole - T);
        EXPECT_EQ(t_WindowPos(1, t_PosViewWidth), width);
        EXPECT_EQ(t_WindowPos(1, t_PosViewHeight), height);
        EXPECT_EQ(t_WindowPos(1, t_PosTitleHeight), 0);
        t_WindowTitleVisible(1, true);
        EXPECT_EQ(t_WindowPos(1, t_PosFrameHeight), whole);
    });
}

TEST(WindowPos, WindowsThatDoNotExist) {
    runWithApplication([] {
        for (uint8_t n : {uint8_t(13), uint8_t(100), uint8_t(255)}) {
            LogLines log;
            EXPECT_EQ(t_WindowPos(n, t_PosViewWidth), 0) << int(n);
            EXPECT_TRUE(log.has("t_WindowPos: Window does not exist.")) << int(n);
        }
    });
}

// The host window's frame: left, top, width, height.
std::array<int, 4> hostFrame(uint8_t n) {
    QRect r;
    t_OnMainThread([&] { r = t_HostWindow(n)->frameGeometry(); });
    return {r.left(), r.top(), r.width(), r.height()};
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
        bool visible = false;
        t_OnMainThread([&] { visible = t_HostWindow(1)->isVisible(); });
        ASSERT_TRUE(visible);
        LogLines log;
        bool closed = true;
        t_OnMainThread([&] { closed = t_HostWindow(1)->close(); });
        EXPECT_FALSE(closed);   // the close is refused; the window is only hidden
        t_OnMainThread([&] { visible = t_HostWindow(1)->isVisible(); });
        EXPECT_FALSE(visible);
        EXPECT_FALSE(t_WindowTable[1].Visible);
        EXPECT_TRUE(log.has("t_MouseEventPostCloseBoxClick: Window = 1"));
        t_WindowVisible(1, true);
        t_OnMainThread([&] { visible = t_HostWindow(1)->isVisible(); });
        EXPECT_TRUE(visible);
        EXPECT_TRUE(t_WindowTable[1].Initialized);
        EXPECT_EQ(t_VideoMemory[size_t(w.TextMemoryStart)], 'Q');
    });
}

TEST(Pasteboard, ShowingItShowsTheClipboardText) {
    runWithApplication([] {
        struct {
            QString Clipboard;
        } cases[] = {{"copied elsewhere"}, {"two\nlines"}, {""}};
        for (auto c : cases) {
            t_OnMainThread([&] { QGuiApplication::clipboard()->setText(c.Clipboard); });
            t_WindowVisible(t_PasteboardWindow, true);
            QString shown;
            bool visible = false;
            t_OnMainThread([&] {
                shown = t_WindowTextView(t_PasteboardWindow)->toPlainText();
                visible = t_HostWindow(t_PasteboardWindow)->isVisible();
            });
            EXPECT_EQ(shown.toStdString(), c.Clipboard.toStdString());
            EXPECT_TRUE(visible);
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
