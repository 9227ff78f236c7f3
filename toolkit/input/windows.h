// Window management: showing, hiding, centring, titles, frames and metrics of
// the toolkit windows (0-7) and the other host windows (8 pasteboard,
// 9 virtual printer, 10 system console, 11 preferences, 12 main window).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

enum : uint8_t {
    t_PasteboardWindow = 8,
    t_PrinterWindow = 9,
    t_ConsoleWindow = 10,
    t_PreferencesWindow = 11,
    t_MainWindow = 12,
};

// A rectangle in host screen coordinates: (X, Y) is the lower left corner.
struct t_Frame {
    double X = 0, Y = 0, Width = 0, Height = 0;
};

// What the window operations need from the host window system.  Each hook
// runs on the main thread; the operations below take care of that.
struct t_WindowHostServices {
    std::function<bool(uint8_t)> Exists;
    std::function<bool(uint8_t)> IsVisible;
    std::function<void(uint8_t, bool)> Show;        // order front / out
    std::function<void(uint8_t)> MakeKey;           // activate and raise
    std::function<void(uint8_t)> Center;
    std::function<void(uint8_t, std::string)> SetTitle;
    std::function<void(uint8_t, bool)> SetTitleBarVisible;
    std::function<t_Frame(uint8_t)> Frame;           // the window's frame
    std::function<t_Frame(uint8_t)> ScreenFrame;     // the frame of its screen
    std::function<void(uint8_t, t_Frame)> SetFrame;
    std::function<void(uint8_t, t_Frame)> SetViewFrame;        // view inside a toolkit window
    std::function<bool(uint8_t)> HasTextView;                  // windows 8-10
    std::function<t_Frame(uint8_t)> ScrollViewFrame;           // windows 8-10
    std::function<void(uint8_t, double, double)> SetScrollViewSize;
    std::function<void(uint8_t)> ShowClipboardText;            // window 8
    std::function<void(uint8_t)> RedisplayTextView;            // windows 9, 10
};
void t_SetWindowHostServices(t_WindowHostServices services);

void t_WindowVisible(uint8_t n, bool visible);
void t_WindowFront(uint8_t n);
void t_WindowCenter(uint8_t n);
void t_WindowTitle(uint8_t n, const std::string &title);
void t_WindowTitleVisible(uint8_t n, bool visible);
void t_WindowSize(uint8_t n, int x, int y, int width, int height);
// What t_WindowPos gives: text grid values in cells, the rest in pixels;
// positions in host screen coordinates.
enum : int {
    t_PosTextFirstColumn = 0,
    t_PosTextFirstLine = 1,
    t_PosTextLastColumn = 2,
    t_PosTextLastLine = 3,
    t_PosAreaColumns = 4,            // the text area
    t_PosAreaLines = 5,
    t_PosTextWidth = 6,              // the whole text grid
    t_PosTextHeight = 7,
    t_PosViewWidth = 8,              // the drawing area
    t_PosViewHeight = 9,
    t_PosFrameWidth = 10,            // the window with its borders
    t_PosFrameHeightBelowTitle = 11,
    t_PosFrameHeight = 12,           // borders and title bar included
    t_PosX = 13,                     // left edge
    t_PosTop = 14,                   // top edge, counted down from the top of the screen
    t_PosScreenWidth = 15,
    t_PosScreenHeight = 16,
    t_PosTitleHeight = 17,
    t_PosBorderWidth = 18,
    t_PosBorderHeight = 19,
    t_PosY = 20,                     // bottom edge, counted up from the bottom of the screen
};
int t_WindowPos(uint8_t n, int selector);
// The close box of window n: hides it.
void t_MouseEventPostCloseBoxClick(uint8_t n);
