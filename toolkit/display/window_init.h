// Creating toolkit windows and looking up their host objects.
#pragma once

#include <cstdint>
#include <string>

#include "display_types.h"

// The text-window form: loads the font file and makes a window of
// columns x lines cells, auto-updating, with the same border on all sides
// and a visible title.
void t_InitWindow(uint8_t window, int bitDepth, int columns, int lines, int border, const std::string &fontName);
// The full form; a graphic-only window is made with t_EmptyFont().
void t_InitWindow(uint8_t window, int bitDepth, bool autoUpdate, int width, int height, int borderWidth,
                  int borderHeight, const t_Font &font, bool titleVisible);

// The host view of window 0 to 7 and the host window of 0 to 12 (opaque
// handles of the host), nullptr when there is none.
void *t_GetView(uint8_t window);
void *t_GetNSWindow(uint8_t window);
