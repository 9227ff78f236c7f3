// t_InitWindow: checks, block allocation and the host window of a window.
#include "window_init.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "fonts.h"
#include "glyphs.h"
#include "host_state.h"
#include "host_hooks.h"
#include "jump_scroll.h"
#include "log.h"
#include "rendering.h"
#include "text.h"
#include "video_memory.h"

void *t_GetView(uint8_t window) { return window > 7 ? nullptr : t_Host().GetView(window); }

void *t_GetNSWindow(uint8_t window) { return window > 12 ? nullptr : t_Host().GetHostWindow(window); }

// Kilobytes with their fractional part, as "3000.0" or "3.90625".
static std::string kilobytes(int64_t bytes) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, double(bytes) / 1024.0);
    std::string s(buf, r.ptr);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

void t_InitWindow(uint8_t window, int bitDepth, int columns, int lines, int border, const std::string &fontName) {
    t_WaitForMemory();
    t_Font font = t_LoadFontResource(fontName);
    if (font.Data.empty()) {
        t_Log("t_InitWindow: Font '" + fontName + "' not found.");
        return;
    }
    int64_t width = int64_t(columns) * font.Width, height = int64_t(lines) * font.Height;
    // Sizes beyond the range of int are out of range anyway.
    auto clampInt = [](int64_t v) { return int(std::clamp<int64_t>(v, -1, 1 << 30)); };
    t_InitWindow(window, bitDepth, true, clampInt(width), clampInt(height), border, border, font, true);
}

void t_InitWindow(uint8_t window, int bitDepth, bool autoUpdate, int width, int height, int borderWidth,
                  int borderHeight, const t_Font &font, bool titleVisible) {
    if (window > 7) {
        t_Log("t_InitWindow: Window is not a graphic window.");
        return;
    }
    const std::string P = "t_InitWindow: GraphicWindow #" + std::to_string(window);
    t_Log(P + " Start.");
    t_WaitForMemory();
    uint8_t none = t_NoWindow;
    t_DefaultWindow.compare_exchange_strong(none, window);
    t_StartWindowAutoUpdate();

    t_Window &w = t_WindowTable[window];
    if (t_Load(w.Initialized)) t_ReleaseWindowMemory(window, P);

    bool widthReplaced = false;
    if (width < 32 || width > 8192) {
        t_Log(P + " cannot display " + std::to_string(width) + " horizontal pixel.");
        width = 1280;
        widthReplaced = true;
    }
    if (height < 32 || height > 8192) {
        t_Log(P + " cannot display " + std::to_string(height) + " vertical pixel.");
        height = 800;
    }
    switch (bitDepth) {
    case 8: case 16: case 24: case 32: break;
    case 4:
        if (!widthReplaced && width % 4 != 0) {
            t_Log(P + " width with 4 bit depth must be a multiple of 4.");
            width = ((width + 1) / 4) * 4;
        }
        break;
    case 1:
        if (!widthReplaced && width % 8 != 0) {
            t_Log(P + " width with 1 bit depth must be a multiple of 8.");
            width = ((width + 7) / 8) * 8;
        }
        break;
    default:
        t_Log(P + " unsupported " + std::to_string(bitDepth) + " bit depth.");
        return;
    }

    const int64_t g = t_GraphicSize(width, height, bitDepth);
    const int64_t available = int64_t(t_HighMemory) - t_ReservedLowMemory;
    if (g > available) {
        t_Log(P + " has not enough graphic-video-memory (" + std::to_string(available / 1024) + "K available).");
        std::string depth = bitDepth == 4 ? " pixel x 4 bit needs "
                            : bitDepth == 1 ? " pixel x 1 bit needs "
                                            : " pixel x " + std::to_string(bitDepth) + " bit needs ";
        t_Log("t_InitWindow: Displaying " + std::to_string(width) + " x " + std::to_string(height) + depth +
              kilobytes(g) + "K video-memory.");
        return;
    }
    if (!titleVisible) {
        t_Host().SetTitleVisible(window, false);
        t_Log(P + " title will be invisible.");
    }
    if (borderWidth < 0) borderWidth = t_Host().ScreenSize(window).first - width;
    if (borderHeight < 0) borderHeight = t_Host().ScreenSize(window).second - height;

    int columns = -1, lines = -1;
    int64_t t = 0;
    if (!font.Data.empty()) {
        columns = font.Width == 0 ? 0 : width / font.Width;
        lines = font.Height == 0 ? 0 : height / font.Height;
        t = int64_t(columns) * lines * 2;
    }
    // The text block lies below the graphic block; both must stay above the
    // reserved low memory.
    const int64_t graphicStart = (int64_t(t_HighMemory) - g + 1) & 0xFFFFF400;
    const int64_t textAvailable = graphicStart - t_ReservedLowMemory;
    if (t > available || t > textAvailable) {
        t_Log(P + " has not enough text-video-memory (" + std::to_string(std::min(available, textAvailable) / 1024) +
              "K available).");
        t_Log("t_InitWindow: Displaying " + std::to_string(columns) + " x " + std::to_string(lines) +
              " characters needs " + kilobytes(t) + "K text-video-memory.");
        return;
    }

    {
        // The window is made anew: what waited for its old blocks is void.
        auto hold = t_LockPixels();
        t_DiscardPendingText(window);
    }
    w.Window = nullptr;
    w.View = nullptr;
    t_Store(w.VerticalBlank, true);
    w.IgnoreEvents = false;
    t_Store(w.RefreshRate, 30);
    t_Store(w.AutoUpdate, autoUpdate);
    t_Store(w.QuickUpdate, true);
    w.ScrollLock = false;
    w.BitDepth = bitDepth;
    w.Width = width;
    w.Height = height;
    w.BorderWidth = borderWidth;
    w.BorderHeight = borderHeight;
    w.TitleHeight = titleVisible ? int(t_TitleBarHeight) : 0;
    w.RGBColor = t_PaletteColor(0);
    w.RGBColorBorder = t_PaletteColor(5);
    w.DrawingMode = w.PositionX = w.PositionY = 0;

    const int highMemoryBefore = t_HighMemory;
    t_Block graphic = t_TakeBlock(g);
    w.MemoryStart = graphic.Start;
    w.MemoryEnd = graphic.End;
    t_Log(P + " = " + std::to_string(width) + " x " + std::to_string(height) + " pixel x " + std::to_string(bitDepth) +
          " bit = " + kilobytes(g) + "K video-memory = $" + t_Hex8(w.MemoryStart) + ".");

    w.TextWidth = columns;
    w.TextHeight = lines;
    w.TextFirstColumn = 1;
    w.TextLastColumn = columns;
    w.TextFirstLine = 1;
    w.TextLastLine = lines;
    w.TextHpos = 1;
    w.TextVpos = 1;
    w.TextColor = 0xC0;
    w.LoResOffsetX = w.LoResOffsetY = w.LoResMode = 0;
    if (t == 0) {
        w.TextMemoryStart = w.TextMemoryEnd = -1;
    } else {
        t_Block text = t_TakeBlock(t);
        w.TextMemoryStart = text.Start;
        w.TextMemoryEnd = text.End;
    }

    void *view = t_GetView(window);
    if (!view) {
        // The blocks just taken are the lowest ones: give them back, so that
        // failed calls do not use up the memory.
        t_HighMemory = highMemoryBefore;
        w.MemoryStart = w.MemoryEnd = w.TextMemoryStart = w.TextMemoryEnd = -1;
        t_Store(w.Initialized, false);
        w.Font = t_EmptyFont();
        t_Log(P + " could not be initialized, resource undefined.");
        return;
    }
    w.View = view;
    w.Window = t_GetNSWindow(window);
    w.Font = font;
    t_Store(w.Initialized, true);
    t_ClearWindowMemory(window);

    std::string title = t_Host().ApplicationName();
    if (title.size() > 4) {
        std::string tail = title.substr(title.size() - 4);
        for (char &c : tail) c = char(tolower(uint8_t(c)));
        if (tail == ".app") title.resize(title.size() - 4);
    }
    if (w.TextMemoryStart < 0) title += "-Grafik";
    t_Host().SetTitle(window, title);
    t_Host().SizeWindow(window);
    t_ColorBorder(window, 5);
    t_Log(P + " End.");
}
