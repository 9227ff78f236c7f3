#include "display_support.h"

#include "lzw.h"
#include "threads.h"

t_Font makeFont(int w, int h, const std::function<uint8_t(int, int, int)> &pixel, uint8_t start, uint8_t end) {
    t_Font f;
    f.Format = t_FontFormatGrey;
    f.Start = start;
    f.End = end;
    f.Width = w;
    f.Height = h;
    f.Data.resize(size_t(256) * size_t(w) * size_t(h));
    for (int c = 0; c < 256; c++)
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) f.Data[(size_t(c) * h + y) * w + x] = pixel(c, x, y);
    return f;
}

t_Font solidFont(int w, int h) {
    return makeFont(w, h, [](int c, int, int) { return uint8_t(c); });
}

t_Font patternFont(int w, int h) {
    return makeFont(w, h, [](int c, int x, int y) { return y == 0 ? uint8_t(c) : uint8_t((c * 37 + x * 11 + y * 5) & 255); });
}

std::vector<uint8_t> fontFile(const t_Font &font, int format, int headerSize, int codeWidth) {
    std::vector<uint8_t> f(size_t(std::max(headerSize, 16)), 0);
    f[0] = uint8_t(headerSize);
    f[1] = 'v', f[2] = 'x', f[3] = 'f', f[4] = 'n';
    f[5] = uint8_t(format);
    uint32_t size = uint32_t(font.Data.size());
    f[6] = uint8_t(size >> 24), f[7] = uint8_t(size >> 16), f[8] = uint8_t(size >> 8), f[9] = uint8_t(size);
    f[10] = font.Start, f[11] = font.End, f[12] = uint8_t(font.Width), f[13] = uint8_t(font.Height);
    f[14] = 0x12, f[15] = 0x34;
    f.resize(size_t(headerSize));
    std::vector<uint8_t> data = format >= 100 ? fg_LzwCompress(font.Data, codeWidth) : font.Data;
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

void resetDisplay() {
    t_WaitForMemory();
    // The refresh thread reads the window records and the host hooks, so it
    // is stopped while they are replaced.  It is started again here, so that
    // its start line does not land in a test's log.
    t_StopWindowAutoUpdate();
    for (uint8_t n = 0; n < 8; n++)
        if (t_WindowTable[n].Initialized) t_ReleaseWindowMemory(n, "test");
    for (t_Window &w : t_WindowTable) w = t_Window{};
    t_SetDisplayHost(t_DisplayHost{});
    t_SetPauseOnKey(nullptr);
    t_StartWindowAutoUpdate();
    while (!t_AutoUpdateRunning) t_SleepMs(1);
}

void test_InitTextWindow0() {
    testing::internal::CaptureStdout();
    t_InitWindow(0, 8, false, 160, 50, 0, 0, solidFont(2, 2), true);
    testing::internal::GetCapturedStdout();
}

void initTextWindow(uint8_t window, int bitDepth, int columns, int lines, const t_Font &font) {
    t_InitWindow(window, bitDepth, false, columns * font.Width, lines * font.Height, 16, 16, font, true);
}

std::string lineText(uint8_t window, int line, int firstColumn, int lastColumn) {
    if (lastColumn < 0) lastColumn = t_WindowTable[window].TextWidth;
    std::string s;
    for (int c = firstColumn; c <= lastColumn; c++) s += char(test_Code(c, line, window));
    return s;
}

std::vector<uint8_t> windowMemory(uint8_t window) {
    const t_Window &w = t_WindowTable[window];
    const int start = w.TextMemoryStart >= 0 ? w.TextMemoryStart : w.MemoryStart;   // the text block lies just below
    return std::vector<uint8_t>(t_VideoMemory.begin() + start, t_VideoMemory.begin() + w.MemoryEnd + 1);
}
