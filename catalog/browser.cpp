// The two forms of the browser: choosing a file to open, and choosing a
// folder and typing a name to save under.
#include "browser.h"

#include <algorithm>

#include "browser_state.h"
#include "catalog.h"
#include "display.h"
#include "events.h"
#include "file_events.h"
#include "files.h"
#include "key_codes.h"
#include "line_input.h"
#include "log.h"
#include "quit.h"
#include "text.h"
#include "threads.h"

namespace {

constexpr int pollMs = 10;

// Glyphs of the name box: what codes 106 to 109 draw in the mouse-text display mode.
enum : uint8_t {
    glyphRightSide = 138,
    glyphLeftSide = 139,
    glyphTopEdge = 140,
    glyphBottomEdge = 141,
};

}  // namespace

static std::string withSlash(std::string folder) {
    if (folder.back() != '/') folder += '/';
    return folder;
}

static std::string startFolder(const std::string &given) {
    if (!given.empty() && t_FileExists(given) == 2) return withSlash(given);
    return f_StandardFolder(f_Folder::Desktop);
}

// Clears the cells the browser covered and gives the window its whole area.
static void clearFrame() {
    const f_BrowserState &b = f_Browser;
    t_ClearRect(b.Window, b.LeftColumn + 1, b.TopLine, b.LeftColumn + b.Width, b.BottomLine);
    t_FullArea(b.Window);
}

// The path of the selected item: a folder ends in "/"; none gives "".
static std::string selectedPath() {
    const f_BrowserState &b = f_Browser;
    if (b.Selected < 0 || b.Selected >= f_BrowserCount()) return "";
    const f_CatItem &item = f_CatList[size_t(b.Selected)];
    return item.Path + item.Name + (f_BrowserIsFolder(b.Selected) ? "/" : "");
}

std::string f_CatOpen(uint8_t window, const std::string &startAt, const std::string &title,
                      const std::string &filter, int topLine, int listHeight, int width, int flags) {
    if (!t_GuardWindow("f_CatOpen", window, t_Need::Text)) return "";
    f_BrowserState &b = f_Browser;
    b = f_BrowserState{};
    b.FolderChoice = flags & f_CatFolderChoice;
    b.Filter = filter;
    f_CatList.clear();
    f_CatStatus = f_StatusNone;
    f_CatCount = 0;
    if (!f_BrowserLayout(window, topLine, listHeight, width)) {
        t_Log("f_CatOpen: Window #" + std::to_string(window) + " too small.");
        return "";
    }
    std::string folder = startFolder(startAt);
    t_FullArea(window);
    t_Dialog(window, title, b.LeftColumn + 1, b.TopLine, b.LeftColumn + b.Width, b.BottomLine);
    f_BrowserGoTo(folder);
    if (flags & f_CatDrawOnly) return "";

    for (;;) {
        bool busy = false;
        int mouse = f_CatMouseHandler();
        if (mouse >= 0) busy = true;
        if (mouse == f_BrowserReturn) break;   // a double click on a file chooses it
        busy |= f_BrowserFileEvent();
        if (t_EventAvailable) {
            int key = t_GetEvent();
            if (key != -1) {
                busy = true;
                int result = f_CatKeyHandler(key);
                if (result == f_BrowserReturn || result == f_BrowserEscape) break;
            }
        }
        if (!busy) {
            t_ServeQuitRequest();
            t_SleepMs(pollMs);
        }
    }
    clearFrame();
    return selectedPath();
}

// The box below the list that holds the name field.
static void drawNameBox(uint8_t window, int boxTop, const std::string &prompt) {
    const f_BrowserState &b = f_Browser;
    const int left = b.Columns / 2 + 1 - b.Width / 2, right = b.Columns / 2 + b.Width / 2;
    t_Normal(window);
    t_FullArea(window);
    // Drawn cell by cell, so that a box in the last column or on the last
    // line never moves the cursor past the window's end.
    t_TextHline(window, left + 1, right - 1, boxTop + 2, glyphBottomEdge);
    for (int line = boxTop; line <= boxTop + 2; line++) {
        t_TextHline(window, left, left, line, glyphLeftSide);
        t_TextHline(window, right, right, line, glyphRightSide);
    }
    t_TextHline(window, left + 1, right - 1, boxTop, glyphTopEdge);
    t_DisplayMode(window, t_DisplayNormal);
    t_Vtab(window, boxTop + 1);
    t_Htab(window, left + 1);
    t_Print(window, t_Left(" " + prompt + t_Spaces(b.Width), b.Width - 3));
    t_Htab(window, left + 2 + t_Length(prompt) + 1);
}

// Shows the name field with the text cursor in it.
static void showField(uint8_t window) {
    const f_BrowserState &b = f_Browser;
    t_FullArea(window);
    t_InputEdit(window, t_CodeNone);
    t_Area(window, f_BrowserInnerLeft(), b.TopLine + 3, f_BrowserInnerRight(), b.TopLine + b.PageLines + 2);
    t_InputEdit(window, t_CodeNone);
    t_CursorOn(window);
}

static void selectListArea(uint8_t window) {
    const f_BrowserState &b = f_Browser;
    t_Area(window, f_BrowserInnerLeft(), b.TopLine + 3, f_BrowserInnerRight(), b.TopLine + b.PageLines + 2);
}

// The save form's keys: the name field takes typing and editing keys, the
// list takes control keys typed with Option (Alt).
static int saveKeyHandler(uint8_t window, int key) {
    int result = f_BrowserGoOn;
    const bool option = t_CurrentEvent.OptionPressed;
    if (key == f_BrowserEscape) {
        t_InputSetString(window, "");
        result = f_BrowserEscape;
    } else if (key == f_BrowserReturn) {
        result = f_BrowserReturn;
    } else if (key == t_CodeForwardDelete && option) {
        // Copies the selected item's name into the field.
        const f_BrowserState &b = f_Browser;
        std::string name =
            b.Selected >= 0 && b.Selected < f_BrowserCount() ? f_CatList[size_t(b.Selected)].Name : "";
        t_FullArea(window);
        t_InputEdit(window, t_CodeControlZ);
        t_InputSetString(window, t_Left(name, t_InputGetMaxCharacters(window)));
        t_InputEdit(window, t_CodeControlF);
    } else if (option && ((key >= 0 && key < 32) || key == t_CodeDelete)) {
        result = f_CatKeyHandler(key);
    } else {
        t_InputEdit(window, key);
    }
    selectListArea(window);
    return result;
}

std::string f_CatSave(uint8_t window, const std::string &startAt, const std::string &title,
                      const std::string &prompt, const std::string &defaultName, int topLine, int listHeight,
                      int width, int flags) {
    if (!t_GuardWindow("f_CatSave", window, t_Need::Text)) return "";
    f_BrowserState &b = f_Browser;
    b = f_BrowserState{};
    // The frame (at least one list line) and the three lines of the name
    // box below it must fit the window.
    if (!f_BrowserLayout(window, topLine, listHeight, width) || b.Lines < 7) {
        t_Log("f_CatSave: Window #" + std::to_string(window) + " too small.");
        return "";
    }
    const int lines = b.Lines, w = b.Width;
    const int top = std::clamp(topLine, 1, lines - 6);
    const int height = std::clamp(listHeight, 4, lines - 2 - top);
    const int boxTop = top + height;

    std::string shownPrompt = t_Left(prompt, w / 3 + 1);
    drawNameBox(window, boxTop, shownPrompt);
    t_InputForm(window, "", defaultName, true, 0, w - t_Length(shownPrompt) - 5);

    f_CatOpen(window, startAt.empty() ? f_StandardFolder(f_Folder::Desktop) : startAt, title, "", top,
              height - 3, w, f_CatDrawOnly);
    b.BottomLine = std::min(top + height + 2, lines);
    if (flags & f_CatSaveDrawOnly) return "";

    int result = f_BrowserGoOn;
    while (result != f_BrowserReturn && result != f_BrowserEscape) {
        showField(window);
        int key = -1;
        while (key == -1) {
            bool busy = false;
            t_CellPosition click = t_GetMouseText(window);
            if (click.Column >= 0 || t_FileEventAvailable) {
                // The list is drawn over the cursor's cell: take the cursor
                // away first and put it back in the field afterwards.
                t_CursorOff(window);
                if (click.Column >= 0) f_CatMouseClick(click.Column, click.Line);
                f_BrowserFileEvent();
                t_InputEdit(window, t_CodePlaceCursor);
                t_CursorOn(window);
                busy = true;
            }
            if (t_EventAvailable) key = t_GetEvent();
            if (key == -1 && !busy) {
                t_ServeQuitRequest();
                t_SleepMs(pollMs);
            }
        }
        t_InputEdit(window, t_CodeNone);
        t_CursorOff(window);
        result = saveKeyHandler(window, key);
    }
    clearFrame();
    std::string name = t_InputGetString(window);
    return name.empty() ? "" : f_CatPath + name;
}
