// Jump scrolling: text cells and scrolls whose pixels wait for the next
// picture.
//
// With jump scrolling on, printing a character writes only its code and
// colour into the text block and marks the cell; a full-width scroll up
// moves the text block and counts the line.  The graphic block is brought up
// to date when a picture is built (or before any other change of pixels):
// the counted lines move the area's pixel rows once, by all of them, and
// only the marked cells are drawn.  So a screen that scrolls faster than it
// is shown costs one move and one screenful of glyphs per picture, and the
// pixels at every picture are exactly those that drawing each cell and each
// scroll at once would have left at that point.
#pragma once

#include <cstdint>
#include <mutex>

#include "display_types.h"

// Switches jump scrolling on or off (off: every cell is drawn at once, as
// the drawing operations describe).  Switching it off draws what waits.
void t_SetJumpScroll(bool on);
bool t_JumpScrolling();

// Draws what waits in the window's graphic block: the counted scroll, then
// the marked cells.  Any thread may call it.
void t_ShowPendingText(uint8_t window);
// Whether cells or scrolls of the window wait to be drawn.
bool t_TextWaiting(uint8_t window);

// --- used by the display operations -----------------------------------------

// Held by every writer of pixels while jump scrolling is on, and by the
// builder of a picture: the program thread marks cells without it, but moves
// pixels, scrolls and clears only under it.
std::unique_lock<std::recursive_mutex> t_LockPixels();
// What t_ShowPendingText does, with t_LockPixels held.
void t_ShowPendingTextLocked(uint8_t window);
// The same for every window.
void t_ShowAllPendingTextLocked();
// Forgets what waits (the window's blocks are about to be cleared or
// replaced), with t_LockPixels held.
void t_DiscardPendingText(uint8_t window);
// Marks the cell (its code and colour are in the text block already).
void t_MarkCell(uint8_t window, const t_Window &w, int column, int line);
// Moves the text block of a full-width area one line up and counts the
// line for the pixels, with t_LockPixels held; the last line of the area is
// marked, as the scroll fills it.
void t_JumpScrollUp(uint8_t window, const t_Window &w);
