// Jump scrolling: whenever a picture is taken, the pixels are exactly those
// that drawing every cell and every scroll at once leaves at that point.
#include <atomic>
#include <random>
#include <thread>

#include "display_support.h"
#include "threads.h"

namespace {

// One step of output into window 0.
using Step = std::function<void()>;

std::string lines(int from, int count) {
    std::string s;
    for (int n = from; n < from + count; n++) s += "line " + std::to_string(n) + " of the output\r";
    return s;
}

// Short lines, each different, 1 to 7 at a time.
int counter = 0;
void shortLines() {
    std::string s;
    for (int k = counter % 7; k >= 0; k--) s += "#" + std::to_string(counter++) + "\r";
    t_Print(0, s);
}

// Steps that print (most of them), scroll either way, clear, change the
// area and the attributes, and move pixels directly.
std::vector<Step> steps() {
    t_Font other = makeFont(8, 8, [](int c, int x, int y) { return uint8_t((c * 13 + x * y * 7) & 255); });
    return {
        shortLines, shortLines, shortLines, shortLines, shortLines, shortLines, shortLines, shortLines,
        [] { t_Print(0, lines(1, 3)); },
        [] { t_Print(0, lines(100, 40)); },   // more lines than the window has
        [] { t_Print(0, std::string(47, 'w')); },   // wraps
        [] { t_Print(0, "\x1B" "A" "red\x1B" "Q" "on red\x0F" "inverse\x0E" "\r"); },
        [] { t_Print(0, "\x16\x16" "down"); },   // Control-V twice
        [] { t_Print(0, "\x17" "up"); },   // Control-W
        [] { t_Print(0, "\x19\x1E" "above the top"); },   // home, then a line up scrolls down
        [] { t_Print(0, "\x0C" "cleared\r"); },
        [] { t_Area(0, 1, 3, 20, 7); },   // full width, fewer lines
        [] { t_Area(0, 4, 2, 15, 8); },   // narrower: scrolled cell by cell
        [] { t_FullArea(0); },
        [] { t_WindowTable[0].ScrollLock = !t_WindowTable[0].ScrollLock; },
        [] { t_InvertRect(0, 2, 2, 9, 4); },
        [] { t_ClearRect(0, 5, 1, 12, 3); },
        [] { t_ClearWindowMemory(0); },
        [other] { t_WindowFont(0, other); },
        [] { t_WindowFont(0, patternFont(8, 8)); },
        // A picture moved inside the graphic block, as a program may do.
        [] {
            const t_Window &w = t_WindowTable[0];
            t_MoveMemory(w.MemoryStart, w.MemoryStart + t_RowBytes(w) * 21, t_RowBytes(w) * 13);
        },
    };
}

std::vector<uint8_t> graphicBlock() {
    const t_Window &w = t_WindowTable[0];
    return std::vector<uint8_t>(t_VideoMemory.begin() + w.MemoryStart, t_VideoMemory.begin() + w.MemoryEnd + 1);
}

class JumpScrollTest : public DisplayTest {
protected:
    void TearDown() override { t_SetJumpScroll(false); }
    void start(int depth) {
        resetDisplay();
        initTextWindow(0, depth, 20, 9, patternFont(8, 8));
        counter = 0;
        t_WindowTable[0].Visible = true;
        t_Print(0, lines(1, 9));
    }
};

// A long random run of steps: the pixels at each picture (t_WindowImage, or
// what waits drawn on request) equal those of drawing everything at once.
TEST_F(JumpScrollTest, EveryPictureIsWhatDrawingAtOnceShows) {
    const std::vector<Step> all = steps();
    for (int depth : {24, 32, 8, 4, 1}) {
        std::mt19937 random{uint32_t(depth)};
        std::vector<size_t> order(400);
        for (size_t &s : order) s = random() % all.size();
        std::vector<bool> picture(order.size());
        for (size_t i = 0; i < picture.size(); i++) picture[i] = random() % 4 == 0;

        t_SetJumpScroll(false);
        start(depth);
        std::vector<std::vector<uint8_t>> expected;
        for (size_t i = 0; i < order.size(); i++) {
            all[order[i]]();
            if (picture[i]) expected.push_back(graphicBlock());
        }

        t_SetJumpScroll(true);
        start(depth);
        size_t shown = 0;
        for (size_t i = 0; i < order.size(); i++) {
            all[order[i]]();
            if (!picture[i]) continue;
            if (shown % 2) t_ShowPendingText(0);
            else ASSERT_TRUE(t_WindowImage(0));
            EXPECT_FALSE(t_TextWaiting(0));
            ASSERT_EQ(graphicBlock(), expected[shown]) << "depth " << depth << ", step " << i << " (" << order[i] << ")";
            shown++;
        }
    }
}

// Scrolls are counted, and printing touches no pixel, until a picture is
// taken; then the rows move once and the rest is drawn.
TEST_F(JumpScrollTest, PixelsWaitForThePicture) {
    t_SetJumpScroll(true);
    start(24);
    t_ShowPendingText(0);
    const std::vector<uint8_t> before = graphicBlock();
    const uint64_t version = t_VideoMemoryVersion;
    t_Print(0, lines(10, 500));
    EXPECT_TRUE(t_TextWaiting(0));
    EXPECT_EQ(graphicBlock(), before);
    EXPECT_EQ(t_VideoMemoryVersion, version);
    EXPECT_EQ(lineText(0, 7), "line 509 of the outp");   // the text block is written at once
    // Switching jump scrolling off draws what waits.
    t_SetJumpScroll(false);
    EXPECT_FALSE(t_TextWaiting(0));
    EXPECT_NE(graphicBlock(), before);
    EXPECT_GT(t_VideoMemoryVersion, version);
}

// Pictures taken by another thread while the program thread prints: the
// screen afterwards is the one drawing at once gives.
TEST_F(JumpScrollTest, PicturesTakenDuringOutputLeaveTheSameScreen) {
    t_SetJumpScroll(false);
    start(24);
    t_Print(0, lines(1, 3000));
    const std::vector<uint8_t> expected = graphicBlock();

    t_SetJumpScroll(true);
    start(24);
    std::atomic<bool> printing{true};
    std::atomic<int> pictures{0};
    std::thread viewer([&] {
        t_Image image;
        while (printing) {
            if (t_WindowImageInto(0, image)) pictures++;
            std::this_thread::yield();
        }
    });
    for (int n = 1; n <= 3000; n += 10) {
        t_Print(0, lines(n, 10));
        // At least one picture is taken while output is under way, however
        // the threads are scheduled.
        for (int waited = 0; n == 1491 && pictures == 0 && waited < 5000; waited++) t_SleepMs(1);
    }
    printing = false;
    viewer.join();
    t_ShowPendingText(0);
    EXPECT_GT(pictures, 0);
    EXPECT_EQ(graphicBlock(), expected);
}

}  // namespace
