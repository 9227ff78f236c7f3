// The browser's key handler and mouse handler.
#include <algorithm>

#include "browser_state.h"
#include "catalog.h"
#include "events.h"
#include "text.h"

namespace {

// Key values the handler knows.
enum : int {
    keyControlA = 1,
    keyHome = 2,
    keyPageDown = 3,
    keyControlD = 4,
    keyEnd = 5,
    keyControlF = 6,
    keyLeft = 8,
    keyTab = 9,
    keyDown = 10,
    keyUp = 11,
    keyControlL = 12,
    keyReturn = 13,
    keyControlN = 14,
    keyControlP = 16,
    keyPageUp = 18,
    keyControlS = 19,
    keyRight = 21,
    keyControlV = 22,
    keyEscape = 27,
    keyDelete = 127,
};

// Control keys that go to a standard folder.
struct FolderKey {
    int Key;
    f_Folder Folder;
};

constexpr FolderKey folderKeys[] = {
    {keyControlA, f_Folder::Application}, {keyControlD, f_Folder::Desktop},  {keyControlN, f_Folder::Desktop},
    {keyControlF, f_Folder::Documents},   {keyControlL, f_Folder::Downloads}, {keyControlP, f_Folder::Pictures},
    {keyControlS, f_Folder::Music},       {keyControlV, f_Folder::Movies},   {keyTab, f_Folder::Mount},
};

constexpr long long doubleClickMs = 250;

}  // namespace

static int lastIndex() { return f_BrowserCount() - 1; }

static void enterSelected() {
    const f_CatItem &item = f_CatList[size_t(f_Browser.Selected)];
    f_BrowserGoTo(f_CatPath + item.Name + "/");
}

// Selects the first item whose name starts with the letter or a later
// character; the last item when there is none.
static void typeSelect(int letter) {
    int count = f_BrowserCount();
    if (count == 0) return;
    int found = lastIndex();
    for (int i = 0; i < count; i++) {
        if (t_LowerCode(t_Asc(f_CatList[size_t(i)].Name)) >= letter) {
            found = i;
            break;
        }
    }
    f_Browser.Selected = found;
    f_BrowserScrollTo(found);
    f_BrowserDrawList();
}

// The list movements; true when the selection or the scroll changed.
static bool moveSelection(int key) {
    f_BrowserState &b = f_Browser;
    const int last = lastIndex();
    const int page = b.PageLines;
    switch (key) {
    case keyUp:
        if (b.Selected <= 0) return false;
        b.Selected--;
        if (b.Selected < b.Scroll) b.Scroll = b.Selected;
        return true;
    case keyDown:
        if (b.Selected >= last) return false;
        b.Selected++;
        if (b.Selected > b.Scroll + page - 1) b.Scroll = b.Selected - page + 1;
        return true;
    case keyHome:
        if (b.Selected < 1) return false;
        b.Selected = 0;
        b.Scroll = 0;
        return true;
    case keyEnd:
        if (b.Selected >= last) return false;
        b.Selected = last;
        b.Scroll = std::max(0, last - page + 1);
        return true;
    case keyPageDown:
        if (b.Selected >= last) return false;
        b.Selected = std::min(last, b.Selected + page);
        b.Scroll = std::min(b.Scroll + page, std::max(0, last - page + 1));
        return true;
    case keyPageUp:
        if (b.Selected < 1) return false;
        b.Selected = std::max(0, b.Selected - page);
        b.Scroll = std::max(0, b.Scroll - page);
        return true;
    default: return false;
    }
}

int f_CatKeyHandler(int key) {
    f_BrowserState &b = f_Browser;
    const bool hasSelection = b.Selected >= 0 && b.Selected < f_BrowserCount();
    switch (key) {
    case keyReturn:
        if (!hasSelection) return f_BrowserGoOn;
        if (!f_BrowserIsFolder(b.Selected) || b.FolderChoice) return f_BrowserReturn;
        enterSelected();
        return f_BrowserGoOn;
    case keyRight:
        if (hasSelection && f_BrowserIsFolder(b.Selected)) enterSelected();
        return f_BrowserGoOn;
    case keyEscape: b.Selected = -1; return f_BrowserEscape;
    case keyLeft: f_BrowserGoToParent(); return f_BrowserGoOn;
    case keyDelete: f_BrowserGoTo(f_HomePath()); return f_BrowserGoOn;
    default: break;
    }
    for (const FolderKey &row : folderKeys) {
        if (row.Key == key) {
            f_BrowserGoTo(f_StandardFolder(row.Folder));
            return f_BrowserGoOn;
        }
    }
    if ((key >= 'A' && key <= 'Z') || (key >= 'a' && key <= 'z')) {
        typeSelect(t_LowerCode(key));
        return f_BrowserGoOn;
    }
    if (moveSelection(key)) f_BrowserDrawList();
    return f_BrowserGoOn;
}

int f_CatMouseHandler() {
    t_CellPosition at = t_GetMouseText(f_Browser.Window);
    if (at.Column < 0 || at.Line < 0) return -1;
    return f_CatMouseClick(at.Column, at.Line);
}

int f_CatMouseClick(int column, int line) {
    f_BrowserState &b = f_Browser;
    const int row = line - b.TopLine;
    if (row == 1) {
        if (f_CatPath == "/") f_BrowserGoTo(f_StandardFolder(f_Folder::Mount));
        else f_BrowserGoToParent();
        return f_BrowserGoOn;
    }
    const int inFrame = column - (b.LeftColumn + 1);
    // Only the list lines hold items: a click below the frame selects nothing.
    if (row <= 2 || row > b.PageLines + 2 || inFrame < 1 || inFrame > b.Width - 2) return f_BrowserGoOn;
    const int index = row - 3 + b.Scroll;
    if (index >= f_BrowserCount()) return f_BrowserGoOn;
    const long long time = t_CurrentMouseEvent.Time;
    if (index == b.LastClickItem && time - b.LastClickTime <= doubleClickMs) {
        b.LastClickItem = -1;
        b.Selected = index;
        if (!f_BrowserIsFolder(index)) return f_BrowserReturn;
        enterSelected();
        return f_BrowserGoOn;
    }
    b.LastClickItem = index;
    b.LastClickTime = time;
    b.Selected = index;
    f_BrowserDrawList();
    return f_BrowserGoOn;
}
