// Window images and the refresh thread.
#include "display_support.h"

#include <atomic>
#include <thread>

#include "threads.h"

using RenderTest = DisplayTest;

static void setVisible(uint8_t window) { t_WindowTable[window].Visible = true; }

TEST_F(RenderTest, ConversionAtEveryDepth) {
    struct Case {
        int Depth;
        std::vector<uint8_t> Bytes;     // the start of the first row
        std::vector<uint32_t> Pixels;   // the first image pixels
    } cases[] = {
        {24, {0x12, 0x34, 0x56, 0xFF, 0x00, 0x80}, {0xFF123456, 0xFFFF0080}},
        {32, {0x00, 0x12, 0x34, 0x56, 0x77, 0xAB, 0xCD, 0xEF}, {0xFF123456, 0xFFABCDEF}},
        {16, {0x99, 0x40, 0x00, 0xFF}, {0xFF404040, 0xFFFFFFFF}},
        {8, {0x40, 0xFE}, {0xFF404040, 0xFFFEFEFE}},
        {4, {0xC5, 0x07}, {0xFF00FF00, 0xFF545454, 0xFF000000, 0xFF0080FF}},
        {1, {0x80, 0x01}, {0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000,
                           0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000,
                           0xFF000000, 0xFFFFFFFF}},
    };
    for (const Case &c : cases) {
        t_InitWindow(3, c.Depth, false, 64, 32, 0, 0, t_EmptyFont(), true);
        setVisible(3);
        const t_Window &w = t_WindowTable[3];
        std::copy(c.Bytes.begin(), c.Bytes.end(), t_VideoMemory.begin() + w.MemoryStart);
        // The last byte of the block's pixels lands in the last image pixel.
        int64_t last = w.MemoryStart + t_GraphicSize(64, 32, c.Depth) - 1;
        t_VideoMemory[size_t(last)] = 0xFF;
        std::optional<t_Image> image = t_WindowImage(3);
        ASSERT_TRUE(image) << c.Depth;
        EXPECT_EQ(image->Width, 64);
        EXPECT_EQ(image->Height, 32);
        ASSERT_EQ(image->Pixels.size(), 64u * 32u);
        for (size_t i = 0; i < c.Pixels.size(); i++)
            EXPECT_EQ(image->Pixels[i], c.Pixels[i]) << c.Depth << " bit, pixel " << i << std::hex << " " << image->Pixels[i];
        // 0xFF is blue at 24 and 32 bits, white at the others.
        EXPECT_EQ(image->Pixels.back(), c.Depth >= 24 ? 0xFF0000FFu : 0xFFFFFFFFu) << c.Depth;
        EXPECT_GE(t_WindowTable[3].UpdateFinished, 1);
    }
}

// FNV-1a over the image pixels.
static uint64_t checksum(const t_Image &image) {
    uint64_t h = 1469598103934665603ull;
    for (uint32_t p : image.Pixels)
        for (int b = 0; b < 4; b++) h = (h ^ ((p >> (8 * b)) & 0xFF)) * 1099511628211ull;
    return h;
}

// A known screen: header, rule, colours, inverse, a dialog and a scroll, at
// 24 and 4 bits.  The checksums were taken from a reviewed rendering.
TEST_F(RenderTest, KnownScreenChecksum) {
    struct Case { int Depth; uint64_t Sum; } cases[] = {{24, 14081367581947637683ull}, {4, 7837856217159877569ull}};
    for (const Case &c : cases) {
        initTextWindow(0, c.Depth, 40, 12, patternFont(8, 16));
        setVisible(0);
        t_Header(0, "Diskwright 1.4", "screen test");
        t_TextLine(0);
        t_Print(0, "\x1B" "Ared \x1B" "Nyellow on \x1BVblue\x1BL\x0Finverse\x0E\r");
        t_Dialog(0, "Files", 5, 4, 35, 11);
        for (int i = 0; i < 9; i++) t_Print(0, "entry " + std::to_string(i) + "\r");
        t_CursorOn(0);
        std::optional<t_Image> image = t_WindowImage(0);
        ASSERT_TRUE(image);
        EXPECT_EQ(checksum(*image), c.Sum) << c.Depth << " bit: 0x" << std::hex << checksum(*image);
    }
}

TEST_F(RenderTest, InvisibleAndUninitialisedWindowsAndUpdatesToTheView) {
    t_InitWindow(3, 24, false, 64, 32, 0, 0, t_EmptyFont(), true);
    test_LogCapture log;
    EXPECT_FALSE(t_WindowImage(3));
    EXPECT_EQ(log.text(), "");
    EXPECT_FALSE(t_WindowImage(4));
    EXPECT_TRUE(log.has("t_WindowImage: Graphic window #4 not initialized."));
    EXPECT_FALSE(t_WindowImage(200));
    std::vector<std::pair<int, bool>> requests;
    t_DisplayHost host;
    host.RedrawView = [&](uint8_t n, bool deferred) { requests.push_back({n, deferred}); };
    host.GetView = [](uint8_t n) -> void * { return n == 2 ? nullptr : reinterpret_cast<void *>(1); };
    t_SetDisplayHost(host);
    t_WindowUpdate(1, false);
    t_WindowUpdate(1, true);
    t_WindowUpdate(2, true);
    t_WindowUpdate(9, true);
    EXPECT_EQ(requests, (std::vector<std::pair<int, bool>>{{1, false}, {1, true}}));
    EXPECT_TRUE(log.has("t_WindowUpdate: Window #2 view is nil, resource undefined."));
    EXPECT_TRUE(log.has("t_WindowUpdate: Window is not a graphic window."));
}

// The refresh thread asks each auto-update window to redraw at its rate
// while the picture changes, not at all while it stands still, and starting
// windows starts no second refresh thread.
TEST_F(RenderTest, RefreshThread) {
    std::mutex lock;
    std::vector<int64_t> times[2];
    t_DisplayHost host;
    host.RedrawView = [&](uint8_t n, bool deferred) {
        EXPECT_TRUE(deferred);
        std::lock_guard<std::mutex> hold(lock);
        if (n < 2) times[n].push_back(t_NowMs());
    };
    t_SetDisplayHost(host);
    test_LogCapture log;
    t_Font font = solidFont(8, 8);
    t_InitWindow(0, 8, true, 64, 64, 0, 0, font, true);
    t_InitWindow(1, 8, true, 64, 64, 0, 0, font, true);
    t_Store(t_WindowTable[1].RefreshRate, 0);   // every pass
    std::atomic<bool> drawing{true};
    std::thread program([&] {
        while (drawing) {
            t_VideoMemoryChanged();
            t_SleepMs(1);
        }
    });
    t_SleepMs(300);
    drawing = false;
    program.join();
    t_SleepMs(50);
    {
        // A picture that stands still is not asked for again.
        std::lock_guard<std::mutex> hold(lock);
        size_t still[2] = {times[0].size(), times[1].size()};
        lock.unlock();
        t_SleepMs(100);
        lock.lock();
        EXPECT_EQ(times[0].size(), still[0]);
        EXPECT_EQ(times[1].size(), still[1]);
    }
    t_Store(t_WindowTable[0].AutoUpdate, false);
    t_Store(t_WindowTable[1].AutoUpdate, false);
    t_SleepMs(20);
    EXPECT_TRUE(t_AutoUpdateRunning);
    EXPECT_LE(log.count("t_WindowAutoUpdateProcess: Start."), 1);
    size_t before;
    {
        std::lock_guard<std::mutex> hold(lock);
        ASSERT_GE(times[0].size(), 5u);
        EXPECT_LE(times[0].size(), 11u);
        // 30 a second: 33 ms apart, less the millisecond by which the hook's
        // clock reading may trail the refresh thread's.
        for (size_t i = 1; i < times[0].size(); i++) EXPECT_GE(times[0][i] - times[0][i - 1], 32);
        // Window 1 (rate 0) is asked on every pass that sees a change: passes
        // come at least every 10 ms, so well over twice as often.
        EXPECT_GT(times[1].size(), times[0].size() * 2);
        before = times[0].size();
    }
    // While window 0's view draws, no new request is made for it.
    t_SetVerticalBlank(0, false);
    t_Store(t_WindowTable[0].AutoUpdate, true);
    for (int i = 0; i < 100; i++) {
        t_VideoMemoryChanged();
        t_SleepMs(1);
    }
    t_Store(t_WindowTable[0].AutoUpdate, false);
    t_SetVerticalBlank(0, true);
    t_SleepMs(20);
    std::lock_guard<std::mutex> hold(lock);
    EXPECT_EQ(times[0].size(), before);
}
