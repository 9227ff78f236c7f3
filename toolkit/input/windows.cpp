// Window operations over the window records and the host's windows.
#include "windows.h"

#include "display.h"
#include "host_state.h"
#include "log.h"
#include "threads.h"

static t_Shared<t_WindowHostServices> services;

void t_SetWindowHostServices(t_WindowHostServices s) { services.Set(std::move(s)); }

// Asks the host on the main thread whether window n exists; logs the
// operation's line when it does not.
static bool windowExists(const char *name, uint8_t n, const t_WindowHostServices &h) {
    bool exists = false;
    if (h.Exists) t_OnMainThread([&] { exists = h.Exists(n); });
    if (!exists) t_Log(std::string(name) + ": Window does not exist.");
    return exists;
}

static bool isToolkitWindow(uint8_t n) { return n < 8; }

void t_WindowVisible(uint8_t n, bool visible) {
    t_WindowHostServices h = services.Get();
    if (!windowExists("t_WindowVisible", n, h)) return;
    if (isToolkitWindow(n)) {
        t_Store(t_WindowTable[n].Visible, visible);
        if (!visible) t_Store(t_WindowTable[n].UpdateDuration, int64_t(0));
    }
    if (n >= t_PasteboardWindow && n <= t_ConsoleWindow && visible) {
        bool hasText = false;
        t_OnMainThread([&] { hasText = h.HasTextView && h.HasTextView(n); });
        if (!hasText) {
            const char *which = n == t_PasteboardWindow ? "Pasteboard" : n == t_PrinterWindow ? "Virtual printer"
                                                                                                 : "System console";
            t_Log(std::string("t_WindowVisible: ") + which + " window is nil, resource undefined.");
        }
    }
    t_OnMainThread([&] {
        if (n == t_PasteboardWindow && visible && h.ShowClipboardText) h.ShowClipboardText(n);
        if (h.Show) h.Show(n, visible);
        if ((n == t_PrinterWindow || n == t_ConsoleWindow) && visible && h.RedisplayTextView) h.RedisplayTextView(n);
    });
}

void t_WindowFront(uint8_t n) {
    t_WindowHostServices h = services.Get();
    if (!windowExists("t_WindowFront", n, h)) return;
    t_WindowVisible(n, true);
    t_OnMainThread([&] {
        if (h.MakeKey) h.MakeKey(n);
    });
}

void t_WindowCenter(uint8_t n) {
    t_WindowHostServices h = services.Get();
    if (!windowExists("t_WindowCenter", n, h)) return;
    t_OnMainThread([&] {
        if (h.Center) h.Center(n);
    });
}

void t_WindowTitle(uint8_t n, const std::string &title) {
    t_WindowHostServices h = services.Get();
    if (!windowExists("t_WindowTitle", n, h)) return;
    t_OnMainThreadAsync([h, n, title] {
        if (h.SetTitle) h.SetTitle(n, title);
    });
}

void t_WindowTitleVisible(uint8_t n, bool visible) {
    t_WindowHostServices h = services.Get();
    if (!windowExists("t_WindowTitleVisible", n, h)) return;
    if (isToolkitWindow(n)) t_WindowTable[n].TitleHeight = visible ? t_TitleBarHeight.load() : 0;
    t_OnMainThread([&] {
        if (h.SetTitleBarVisible) h.SetTitleBarVisible(n, visible);
    });
}

void t_WindowSize(uint8_t n, int x, int y, int width, int height) {
    t_WindowHostServices h = services.Get();
    if (!windowExists("t_WindowSize", n, h)) return;
    if (x == -1) x = t_WindowPos(n, t_PosX);
    if (y == -1) y = t_WindowPos(n, t_PosY);
    if (width == -1) width = t_WindowPos(n, t_PosViewWidth);
    if (height == -1) height = t_WindowPos(n, t_PosViewHeight);
    if (isToolkitWindow(n)) {
        const t_Window *w = t_GuardWindow("t_WindowSize", n, t_Need::Window);
        if (!w) return;
        t_Frame frame{double(x), double(y), double(width + 2 * w->BorderWidth),
                      double(height + w->TitleHeight + 2 * w->BorderHeight)};
        t_Frame view{double(w->BorderWidth), double(w->BorderHeight), double(width), double(height)};
        t_OnMainThread([&] {
            if (h.SetFrame) h.SetFrame(n, frame);
            if (h.SetViewFrame) h.SetViewFrame(n, view);
        });
        return;
    }
    t_Frame frame{double(x), double(y), double(width), double(height + t_TitleBarHeight)};
    t_OnMainThread([&] {
        if (n <= t_ConsoleWindow) {
            if (h.IsVisible && h.Show && h.IsVisible(n)) h.Show(n, true);
            if (h.SetFrame) h.SetFrame(n, frame);
            if (h.ScrollViewFrame && h.SetScrollViewSize) {
                t_Frame scroll = h.ScrollViewFrame(n);
                double sw = width > 0 ? width - 40 : scroll.Width;
                double sh = height > 0 ? height - 77 : scroll.Height;
                h.SetScrollViewSize(n, sw, sh);
            }
        } else if (h.SetFrame) {
            h.SetFrame(n, frame);
        }
    });
}

int t_WindowPos(uint8_t n, int selector) {
    t_WindowHostServices h = services.Get();
    if (!windowExists("t_WindowPos", n, h)) return 0;
    t_Frame frame, screen;
    t_OnMainThread([&] {
        if (h.Frame) frame = h.Frame(n);
        if (h.ScreenFrame) screen = h.ScreenFrame(n);
    });
    if (isToolkitWindow(n)) {
        const t_Window &w = t_WindowTable[n];
        bool table = t_MemoryReady;
        int W = w.Width + 2 * w.BorderWidth;
        int H = w.Height + 2 * w.BorderHeight + w.TitleHeight;
        switch (selector) {
        case t_PosTextFirstColumn: return table ? w.TextFirstColumn : 0;
        case t_PosTextFirstLine: return table ? w.TextFirstLine : 0;
        case t_PosTextLastColumn: return table ? w.TextLastColumn : 0;
        case t_PosTextLastLine: return table ? w.TextLastLine : 0;
        case t_PosAreaColumns: return table ? w.TextLastColumn - w.TextFirstColumn + 1 : 0;
        case t_PosAreaLines: return table ? w.TextLastLine - w.TextFirstLine + 1 : 0;
        case t_PosTextWidth: return table ? w.TextWidth : 0;
        case t_PosTextHeight: return table ? w.TextHeight : 0;
        case t_PosViewWidth: return W - 2 * w.BorderWidth;
        case t_PosViewHeight: return H - w.TitleHeight - 2 * w.BorderHeight;
        case t_PosFrameWidth: return W;
        case t_PosFrameHeightBelowTitle: return H - w.TitleHeight;
        case t_PosFrameHeight: return H;
        case t_PosX: return int(frame.X);
        case t_PosTop: return int(screen.Height - frame.Y - H);
        case t_PosScreenWidth: return int(screen.Width);
        case t_PosScreenHeight: return int(screen.Height);
        case t_PosTitleHeight: return w.TitleHeight;
        case t_PosBorderWidth: return w.BorderWidth;
        case t_PosBorderHeight: return w.BorderHeight;
        case t_PosY: return int(frame.Y);
        default: return 0;
        }
    }
    int W = int(frame.Width), H = int(frame.Height), T = t_TitleBarHeight;
    switch (selector) {
    case t_PosTextFirstColumn: case t_PosTextFirstLine: case t_PosBorderWidth: case t_PosBorderHeight: return 0;
    case t_PosTextLastColumn: return W - 1;
    case t_PosTextLastLine: return H - 1;
    case t_PosAreaColumns: case t_PosTextWidth: case t_PosViewWidth: case t_PosFrameWidth: return W;
    case t_PosAreaLines: case t_PosTextHeight: case t_PosFrameHeight: return H;
    case t_PosViewHeight: case t_PosFrameHeightBelowTitle: return H - T;
    case t_PosX: return int(frame.X);
    case t_PosTop: return int(screen.Height - frame.Y - H);
    case t_PosScreenWidth: return int(screen.Width);
    case t_PosScreenHeight: return int(screen.Height);
    case t_PosTitleHeight: return T;
    case t_PosY: return int(frame.Y);
    default: return 0;
    }
}

void t_MouseEventPostCloseBoxClick(uint8_t n) {
    t_WindowVisible(n, false);
    t_Log("t_MouseEventPostCloseBoxClick: Window = " + std::to_string(n));
}
