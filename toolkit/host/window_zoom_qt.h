// The sizes of the host windows on the screen: the picture laid out in its
// window at any size, the first size that fits the screen, the zoom a
// toolkit window keeps, the remembered size of window 0, full screen, and
// the View menu.  Main thread only.
#pragma once

#include <QMainWindow>
#include <QMenu>
#include <cstdint>

#include "windows.h"

// Places the view of toolkit window n inside its window's content: the
// picture as large as fits (with its border, or alone in full screen),
// centred; the rest shows the border colour.
void t_LayoutView(uint8_t n);
// Watches toolkit window n's content and window so that the picture is laid
// out again whenever either changes size or state.
void t_WatchViewLayout(uint8_t n);

// A point of toolkit window n's content (Qt coordinates, from the top left)
// in the host coordinates the mouse handler expects: from the bottom left of
// a content of the picture and its border at one pixel per point.  A point
// in the margin around the picture lies in the border or beyond it.
QPointF t_MousePoint(uint8_t n, QPointF inContent);

// Sizes toolkit window n for a frame of the toolkit (picture, borders and
// title at one pixel per point): the content becomes the picture and its
// border at the window's zoom.  The first time, the zoom is the first size
// (1 when it fits the screen, else the largest that fits), or for window 0
// the size remembered from the last run while it still fits.
void t_SetToolkitFrame(uint8_t n, t_Frame frame);
// The zoom of toolkit window n: logical pixels per picture pixel.
double t_WindowZoom(uint8_t n);
// Centres window n on its screen's available area, counting the title bar
// the window system adds; window 0 keeps a remembered position instead.
void t_CenterWindow(uint8_t n);
// Before window n is first shown: a window larger than the screen's
// available area is made to fit, and every window is moved onto it.
void t_FitOnFirstShow(uint8_t n);

// What the View menu does, to the front toolkit window.
enum class t_ViewAction { FullScreen, ActualSize, ZoomIn, ZoomOut };
// Carries out a View menu action on toolkit window n; a window that is not
// a toolkit window, or a zoom step that does not fit, beeps.
void t_RunViewAction(t_ViewAction action, uint8_t n);
// The View menu: Full Screen (Ctrl+Shift+F), Actual Size, Zoom In, Zoom Out.
QMenu *t_BuildViewMenu();

// Whether window 0's size and position are read at start and kept at the
// end (Qt settings); tests that run the application switch it off.
void t_SetRememberWindows(bool remember);
// Keeps window 0's size and position for the next run.
void t_SaveWindowGeometry();
