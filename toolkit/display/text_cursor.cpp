// The text cursor and its nesting level.
#include "text_cursor.h"

#include "glyphs.h"
#include "video_memory.h"

void t_CursorDraw(uint8_t window) {
    t_Window *w = t_GuardWindow("t_CursorDraw", window, t_Need::Text);
    if (!w) return;
    t_InvertRect(window, w->TextHpos, w->TextVpos, w->TextHpos, w->TextVpos);
}

void t_CursorOn(uint8_t window) {
    t_Window *w = t_GuardWindow("t_CursorOn", window, t_Need::Text);
    if (!w) return;
    if (w->TextCursorLevel++ == 0) t_CursorDraw(window);
}

void t_CursorOff(uint8_t window) {
    t_Window *w = t_GuardWindow("t_CursorOff", window, t_Need::Text);
    if (!w) return;
    if (w->TextCursorLevel-- == 1) t_CursorDraw(window);
}
