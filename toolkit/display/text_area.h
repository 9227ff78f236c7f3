// The cursor inside the text area, the area itself, clearing and scrolling.
#pragma once

#include <cstdint>

void t_Cr(uint8_t window);
void t_CursorRight(uint8_t window);
void t_CursorLeft(uint8_t window);
void t_CursorDown(uint8_t window);
void t_CursorUp(uint8_t window);
void t_CursorHome(uint8_t window);
void t_CursorEnd(uint8_t window);
// Column counted from the area's left edge.
void t_Htab(uint8_t window, int column);
// Line counted from the window's top.
void t_Vtab(uint8_t window, int line);
// Cursor column counted from the area's left edge; 0 for a bad window.
int t_Hpos(uint8_t window);

void t_Area(uint8_t window, int firstColumn, int firstLine, int lastColumn, int lastLine);
void t_FullArea(uint8_t window);

void t_ClearEndOfLine(uint8_t window);
void t_ClearEndOfWindow(uint8_t window);
void t_ScrollUp(uint8_t window);
void t_ScrollDown(uint8_t window);
