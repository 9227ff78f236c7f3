// Cursor movement, the text area, clearing and scrolling.
#include "text_area.h"

#include "glyphs.h"
#include "jump_scroll.h"
#include "video_memory.h"

static t_Window *textWindow(const char *name, uint8_t window) { return t_GuardWindow(name, window, t_Need::Text); }

void t_Cr(uint8_t window) {
    t_Window *w = textWindow("t_Cr", window);
    if (!w) return;
    w->TextHpos = w->TextFirstColumn;
    if (++w->TextVpos > w->TextLastLine) {
        t_ScrollUp(window);
        w->TextVpos--;
    }
}

void t_CursorRight(uint8_t window) {
    t_Window *w = textWindow("t_CursorRight", window);
    if (!w) return;
    if (++w->TextHpos > w->TextLastColumn) t_Cr(window);
}

void t_CursorLeft(uint8_t window) {
    t_Window *w = textWindow("t_CursorLeft", window);
    if (!w) return;
    if (--w->TextHpos < w->TextFirstColumn) {
        w->TextHpos = w->TextLastColumn;
        t_CursorUp(window);
    }
}

void t_CursorDown(uint8_t window) {
    t_Window *w = textWindow("t_CursorDown", window);
    if (!w) return;
    if (++w->TextVpos > w->TextLastLine) {
        t_ScrollUp(window);
        w->TextVpos--;
    }
}

void t_CursorUp(uint8_t window) {
    t_Window *w = textWindow("t_CursorUp", window);
    if (!w) return;
    if (--w->TextVpos < w->TextFirstLine) {
        t_ScrollDown(window);
        w->TextVpos++;
    }
}

void t_CursorHome(uint8_t window) {
    t_Window *w = textWindow("t_CursorHome", window);
    if (!w) return;
    w->TextHpos = w->TextFirstColumn;
    w->TextVpos = w->TextFirstLine;
}

void t_CursorEnd(uint8_t window) {
    t_Window *w = textWindow("t_CursorEnd", window);
    if (!w) return;
    w->TextHpos = w->TextLastColumn;
    w->TextVpos = w->TextLastLine;
}

void t_Htab(uint8_t window, int column) {
    t_Window *w = textWindow("t_Htab", window);
    if (!w) return;
    if (column >= 1 && int64_t(column) + w->TextFirstColumn - 1 <= w->TextWidth)
        w->TextHpos = column + w->TextFirstColumn - 1;
}

void t_Vtab(uint8_t window, int line) {
    t_Window *w = textWindow("t_Vtab", window);
    if (!w) return;
    if (line >= 1 && line <= w->TextHeight) w->TextVpos = line;
}

int t_Hpos(uint8_t window) {
    t_Window *w = textWindow("t_Hpos", window);
    if (!w) return 0;
    return w->TextHpos - w->TextFirstColumn + 1;
}

void t_Area(uint8_t window, int firstColumn, int firstLine, int lastColumn, int lastLine) {
    t_Window *w = t_GuardWindow("t_Area", window, t_Need::Window);
    if (!w) return;
    if (1 <= firstColumn && firstColumn <= lastColumn && lastColumn <= w->TextWidth) {
        w->TextFirstColumn = firstColumn;
        w->TextLastColumn = lastColumn;
    }
    if (1 <= firstLine && firstLine <= lastLine && lastLine <= w->TextHeight) {
        w->TextFirstLine = firstLine;
        w->TextLastLine = lastLine;
    }
    t_CursorHome(window);
}

void t_FullArea(uint8_t window) {
    t_Window *w = t_GuardWindow("t_FullArea", window, t_Need::Window);
    if (!w) return;
    w->TextFirstColumn = 1;
    w->TextLastColumn = w->TextWidth;
    w->TextFirstLine = 1;
    w->TextLastLine = w->TextHeight;
}

void t_ClearEndOfLine(uint8_t window) {
    t_Window *w = textWindow("t_ClearEndOfLine", window);
    if (!w) return;
    for (int c = w->TextHpos; c <= w->TextLastColumn; c++) t_PrintSymbol(window, 32, w->TextColor, c, w->TextVpos);
}

void t_ClearEndOfWindow(uint8_t window) {
    t_Window *w = textWindow("t_ClearEndOfWindow", window);
    if (!w) return;
    t_ClearEndOfLine(window);
    const int hpos = w->TextHpos, vpos = w->TextVpos;
    if (vpos < w->TextLastLine) {
        for (int l = vpos + 1; l <= w->TextLastLine; l++) {
            w->TextHpos = w->TextFirstColumn;
            w->TextVpos = l;
            t_ClearEndOfLine(window);
        }
        w->TextHpos = hpos;
        w->TextVpos = vpos;
    }
}

// Moves whole lines of the text area by one line in memory: the two text
// planes and the pixel rows of the graphic block.  up moves lines
// first+1..last to first..last-1, else first..last-1 to first+1..last.
static void moveLines(const t_Window &w, bool up) {
    const int first = w.TextFirstLine, last = w.TextLastLine;
    const int64_t lineCells = w.TextWidth;
    const int count = int(lineCells * (last - first));
    for (int plane : {t_ColorPlane(w), w.TextMemoryStart}) {
        int upper = plane + int(lineCells * (first - 1)), lower = upper + int(lineCells);
        if (up) t_MoveMemory(lower, upper, count);
        else t_MoveMemory(upper, lower, count);
    }
    // Pixel rows of one text line; the rows moved must lie in the block.
    const int64_t lineBytes = int64_t(w.Font.Height) * t_RowBytes(w);
    const int64_t blockBytes = int64_t(w.MemoryEnd) - w.MemoryStart + 1;
    if (lineBytes <= 0 || lineBytes * last > blockBytes) return;
    int upper = w.MemoryStart + int(lineBytes * (first - 1)), lower = upper + int(lineBytes);
    int bytes = int(lineBytes * (last - first));
    if (up) t_MoveMemory(lower, upper, bytes);
    else t_MoveMemory(upper, lower, bytes);
}

// Redraws the cells of the area's lines from the line below (up) or above,
// for areas narrower than the window.
static void redrawLines(uint8_t window, t_Window &w, bool up) {
    const bool inverse = w.TextInverse;
    w.TextInverse = false;
    const int chars = w.TextMemoryStart, colours = t_ColorPlane(w);
    auto copyLine = [&](int to, int from) {
        for (int c = w.TextFirstColumn; c <= w.TextLastColumn; c++) {
            size_t cell = size_t(from - 1) * size_t(w.TextWidth) + size_t(c - 1);
            t_PrintSymbol(window, t_VideoMemory[chars + cell], t_VideoMemory[colours + cell], c, to);
        }
    };
    if (up)
        for (int l = w.TextFirstLine; l < w.TextLastLine; l++) copyLine(l, l + 1);
    else
        for (int l = w.TextLastLine; l > w.TextFirstLine; l--) copyLine(l, l - 1);
    w.TextInverse = inverse;
}

static void scroll(const char *name, uint8_t window, bool up) {
    t_Window *w = textWindow(name, window);
    if (!w || w->ScrollLock) return;
    // An area outside the grid (possible only through a font swap) is left alone.
    if (w->TextFirstLine < 1 || w->TextLastLine > w->TextHeight || w->TextFirstColumn < 1 ||
        w->TextLastColumn > w->TextWidth)
        return;
    if (w->TextFirstColumn == 1 && w->TextLastColumn == w->TextWidth) {
        auto hold = t_LockPixels();
        if (up && t_JumpScrolling()) {
            t_JumpScrollUp(window, *w);
        } else {
            t_ShowPendingTextLocked(window);
            moveLines(*w, up);
        }
    } else {
        redrawLines(window, *w, up);
    }
    const int line = up ? w->TextLastLine : w->TextFirstLine;
    for (int c = w->TextFirstColumn; c <= w->TextLastColumn; c++) t_PrintSymbol(window, 32, w->TextColor, c, line);
}

void t_ScrollUp(uint8_t window) { scroll("t_ScrollUp", window, true); }

void t_ScrollDown(uint8_t window) { scroll("t_ScrollDown", window, false); }
