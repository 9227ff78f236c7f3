// Window images and the refresh thread.
#pragma once

#include <cstdint>
#include <optional>
#include <mutex>
#include <vector>

#include "display_types.h"

// Builds the image of a visible window into image, reusing its buffer.
// false (and no image) when the memory is not ready, the window is not
// visible, or not initialised (logged).
bool t_WindowImageInto(uint8_t window, t_Image &image);
// The same into a new image.
std::optional<t_Image> t_WindowImage(uint8_t window);

// A visible window's image row by row, for a view that scales it and needs
// only a row or two at a time: open (the same checks and log lines as
// t_WindowImageInto), convert rows in any order, then done (which records
// the time taken, as a whole image does).
struct t_WindowRows {
    uint8_t Window = 0;
    int Width = 0, Height = 0, BitDepth = 0, MemoryStart = 0;
    int64_t Start = 0;
    uint32_t Palette[16] = {};
    std::vector<uint8_t> Bytes;   // one row of the graphic block
    std::unique_lock<std::recursive_mutex> Hold;   // the pixels, from open until the rows are let go
};
bool t_WindowRowsOpen(uint8_t window, t_WindowRows &rows);
// Row y as Width pixels; false at a depth without a pixel format (logged).
bool t_WindowRow(t_WindowRows &rows, int y, uint32_t *out);
void t_WindowRowsDone(const t_WindowRows &rows);
// Every row of open rows into the image (then done): what t_WindowImageInto
// gives, for a view that has opened the rows already.
bool t_WindowRowsInto(t_WindowRows &rows, t_Image &image);
// Lets go of the pixels the rows hold since t_WindowRowsOpen (rows kept for
// the next picture must be let go of, or the program thread waits for ever).
void t_WindowRowsRelease(t_WindowRows &rows);

// Asks the window's view to redraw: deferred marks it as needing display,
// otherwise it draws at once.  Returns once the host has taken the request.
void t_WindowUpdate(uint8_t window, bool deferred);

// Starts the refresh thread unless one is running or starting.
void t_StartWindowAutoUpdate();
// Ends the refresh thread and waits until it has ended.
void t_StopWindowAutoUpdate();
// The refresh thread's body.
void t_WindowAutoUpdateProcess();

// The view of window 0 clears VerticalBlank while it draws.
void t_SetVerticalBlank(uint8_t window, bool blank);
// Whether the view should replace its whole picture (QuickUpdate) rather
// than draw only the exposed part.
bool t_WantsQuickUpdate(uint8_t window);
