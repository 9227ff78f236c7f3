// The state of the browser on screen and the operations its forms and its
// key and mouse handlers share.  Used only by the browser's own files.
#pragma once

#include <cstdint>
#include <string>

// Geometry and position of the browser being shown; reset by each call.
struct f_BrowserState {
    uint8_t Window = 0;
    int Columns = 0;          // text columns of the window
    int Lines = 0;            // text lines of the window
    int Width = 60;           // frame width: 40, 60 or 80
    int LeftColumn = 0;       // Columns div 2 - Width div 2; the frame starts one column right of it
    int TopLine = 0;          // the frame's first line
    int BottomLine = 0;       // the last line the browser covers
    int PageLines = 0;        // list lines shown
    int Scroll = 0;           // index of the item in the first list line
    int Selected = -1;        // index of the selected item, -1 for none
    bool FolderChoice = false;
    int LastClickItem = -1;   // item and time of the last single click
    long long LastClickTime = -1;
    std::string Filter;       // type filter of every load of this call
};

extern f_BrowserState f_Browser;

// What a handler tells its loop: go on, or end with Return or Escape.
enum : int {
    f_BrowserGoOn = 0,
    f_BrowserReturn = 13,
    f_BrowserEscape = 27,
};

// Frame widths the browser draws; any other request gives the default.
int f_BrowserWidth(int requested);

// Fills the geometry for a frame on topLine with listHeight list lines.
// False when the window cannot hold a browser.
bool f_BrowserLayout(uint8_t window, int topLine, int listHeight, int width);

// First and last column of the frame's inside.
int f_BrowserInnerLeft();
int f_BrowserInnerRight();

int f_BrowserCount();
bool f_BrowserIsFolder(int index);

// Path line, rule with the item count and the list.
void f_BrowserDrawFolder();
void f_BrowserDrawList();

// Loads the folder (a path ending in "/") with the call's filter and draws
// it with the first item selected.
void f_BrowserGoTo(const std::string &folder);
void f_BrowserGoToParent();
// Scrolls so that the item is in the first list line, as far as the list
// allows.
void f_BrowserScrollTo(int index);

// Takes one file-open event, if any, and moves the list to its file.
// True when an event was taken.
bool f_BrowserFileEvent();

// The handlers return f_BrowserGoOn, f_BrowserReturn or f_BrowserEscape.
int f_CatKeyHandler(int key);
// Takes the oldest click in the browser's window and acts on it; -1 when
// there was none.  A double click on a file gives f_BrowserReturn.
int f_CatMouseHandler();
// Acts on a click in the text cell at (column, line).
int f_CatMouseClick(int column, int line);
