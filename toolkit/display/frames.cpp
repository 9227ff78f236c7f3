// Header lines, rules and dialog frames.
#include "frames.h"

#include "glyphs.h"
#include "text.h"
#include "text_area.h"
#include "text_output.h"
#include "video_memory.h"

// Glyphs of the fonts used for frames.
enum : uint8_t { glyphTitleLeftCap = 18, glyphTitleRightCap = 19, glyphRule = 156, glyphTitleRule = 159 };

void t_TextHline(uint8_t window, int firstColumn, int lastColumn, int line, uint8_t code) {
    t_Window *w = t_GuardWindow("t_TextHline", window, t_Need::Text);
    if (!w) return;
    for (int c = firstColumn; c <= lastColumn; c++) t_PrintSymbol(window, code, w->TextColor, c, line);
}

void t_TextLine(uint8_t window) {
    t_Window *w = t_GuardWindow("t_TextLine", window, t_Need::Text);
    if (!w) return;
    t_TextHline(window, w->TextHpos, w->TextLastColumn, w->TextVpos, glyphRule);
    t_Cr(window);
}

void t_Header(uint8_t window, const std::string &left, const std::string &right) {
    t_Window *w = t_GuardWindow("t_Header", window, t_Need::Text);
    if (!w) return;
    const uint8_t colour = w->TextColor;
    const int width = w->TextLastColumn - w->TextFirstColumn + 1;
    std::u32string line = t_Decode(t_Justify(left, right, width));
    if (!line.empty()) {
        char32_t last = line.back();
        line.pop_back();
        t_Print(window, t_Encode(line));
        // The last cell is drawn without moving the cursor, so that a header
        // on the last line does not scroll.
        t_PrintSymbol(window, last > 255 ? uint8_t('?') : uint8_t(last), colour, w->TextHpos, w->TextVpos);
    }
    if (w->TextLastLine - w->TextFirstLine + 1 < 2) t_Htab(window, 1);
    else t_Cr(window);
}

// Draws one glyph at the cursor and moves the cursor right.
static void glyphAtCursor(uint8_t window, uint8_t code) {
    t_Window *w = t_GuardWindow("t_DialogTitle", window, t_Need::Text);
    if (!w) return;
    t_PrintSymbol(window, code, w->TextColor, w->TextHpos, w->TextVpos);
    t_CursorRight(window);
}

void t_DialogTitle(uint8_t window, const std::string &title, int width) {
    std::string s(1, ' ');
    s += t_Left(title, width - 4);
    s += ' ';
    int pad = width - t_Length(s);
    int leftRun = (pad - 2) / 2;
    int rightRun = pad - 2 - leftRun;
    const std::string rule = t_EncodeChar(glyphTitleRule);
    t_Normal(window);
    t_Print(window, t_Repeat(rule, leftRun));
    glyphAtCursor(window, glyphTitleLeftCap);
    t_Inverse(window);
    t_Print(window, s);
    t_Normal(window);
    glyphAtCursor(window, glyphTitleRightCap);
    t_Print(window, t_Repeat(rule, rightRun));
}

void t_Dialog(uint8_t window, const std::string &title, int left, int top, int right, int bottom) {
    t_Window *w = t_GuardWindow("t_Dialog", window, t_Need::Text);
    if (!w) return;
    const int mode = w->TextDisplayMode;
    t_FullArea(window);
    // In the mouse-text display mode "j", "k" and "l" draw the right side,
    // the left side and the bottom edge of a frame.
    w->TextDisplayMode = t_DisplayMouseText;
    t_Vtab(window, top);
    t_Htab(window, left);
    t_Print(window, "k");
    w->TextDisplayMode = t_DisplayNormal;
    t_DialogTitle(window, title, right - left - 1);
    w->TextDisplayMode = t_DisplayMouseText;
    t_Print(window, "j");
    for (int line = top + 1; line <= bottom - 1; line++) {
        t_Vtab(window, line);
        t_Htab(window, left);
        t_Print(window, "k");
        t_Htab(window, right);
        t_Print(window, "j");
    }
    t_Vtab(window, bottom);
    t_Htab(window, left + 1);
    t_Print(window, t_Repeat("l", right - left - 1));
    w->TextDisplayMode = t_DisplayNormal;
    t_Area(window, left + 1, top + 1, right - 1, bottom - 1);
    t_CursorHome(window);
    t_ClearEndOfWindow(window);
    w->TextDisplayMode = mode;
}
