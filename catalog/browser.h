// The catalogue browser: a file chooser drawn with text characters inside a
// toolkit window.  It runs its own event loop on the program thread (keys,
// mouse clicks and file-open events) and returns a host path.
#pragma once

#include <cstdint>
#include <string>

// Flags of f_CatOpen.
enum : int {
    f_CatFolderChoice = 1,   // Return on a folder chooses it instead of entering it
    f_CatDrawOnly = 256,     // draw the browser and return "" at once
};
// Flag of f_CatSave.
enum : int {
    f_CatSaveDrawOnly = 1,   // draw the form and return "" at once
};

// Lets the user choose an existing file (or, with f_CatFolderChoice, a
// folder).  Returns the file's full path, a folder's full path ending in
// "/", or "" when the user cancelled.  The frame is width columns wide (40,
// 60 or 80; any other value gives 60), starts on text line topLine and
// shows listHeight list lines where the window has room for them.  An empty
// or missing start folder starts on the desktop.
std::string f_CatOpen(uint8_t window, const std::string &startFolder, const std::string &title,
                      const std::string &filter, int topLine, int listHeight, int width, int flags);

// Lets the user choose a folder and type a file name below the list.
// Returns folder + name, or "" when the user cancelled or left the name
// empty.
std::string f_CatSave(uint8_t window, const std::string &startFolder, const std::string &title,
                      const std::string &prompt, const std::string &defaultName, int topLine, int listHeight,
                      int width, int flags);
