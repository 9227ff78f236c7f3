// The narrow contract between the display core and the host window system.
// The display core calls only these hooks; the host fills them in (with its
// own hand-over to the main thread).  Without a host every window counts as
// having a view, redraw requests and colours go nowhere and the bell is
// silent, so the display core runs headless (tests, benchmarks).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "display_types.h"

struct t_DisplayHost {
    // The host view of toolkit window 0 to 7, or nullptr.
    std::function<void *(uint8_t window)> GetView;
    // The host window of window 0 to 12, or nullptr.
    std::function<void *(uint8_t window)> GetHostWindow;
    // Ask the view to redraw: deferred marks it as needing display, else it
    // draws at once.  Called from any thread; returns once the request is
    // made.
    std::function<void(uint8_t window, bool deferred)> RedrawView;
    // The background colour around the view of a toolkit window.
    std::function<void(uint8_t window, t_RGBColor colour)> SetBorderColor;
    // Ring the bell.
    std::function<void()> Bell;
    // Size the host window to hold Width x Height plus the borders of the
    // window record, with the view at (BorderWidth, BorderHeight).
    std::function<void(uint8_t window)> SizeWindow;
    std::function<void(uint8_t window, const std::string &title)> SetTitle;
    std::function<void(uint8_t window, bool visible)> SetTitleVisible;
    // Width and height of the screen that holds the window.
    std::function<std::pair<int, int>(uint8_t window)> ScreenSize;
    // The application's name as the window title shows it.
    std::function<std::string()> ApplicationName;
    // Runs once when the video memory and window table have been made
    // (menu clean-up and the pasteboard text view of the host).
    std::function<void()> MemoryInitialized;
};

// Installs the hooks; empty hooks keep their headless defaults.
void t_SetDisplayHost(t_DisplayHost host);
// The installed hooks, every one callable.
const t_DisplayHost &t_Host();
