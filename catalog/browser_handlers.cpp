// The browser's key handler and mouse handler.
#include <algorithm>

#include "browser_state.h"
#include "catalog.h"
#include "events.h"
#include "key_codes.h"
#include "text.h"

namespace {

// Control keys that go to a standard folder.
struct FolderKey {
    int Key;
    f_Folder Folder;
};

constexpr FolderKey folderKeys[] = {
    {t_CodeControlA, f_Folder::Application}, {t_CodeControlD, f_Folder::Desktop},
    {t_CodeControlN, f_Folder::Desktop},     {t_CodeControlF, f_Folder::Documents},
    {t_CodeControlL, f_Folder::Downloads},   {t_CodeControlP, f_Folder::Pictures},
    {t_CodeControlS, f_Folder::Music},       {t_CodeControlV, f_Folder::Movies},
    {t_CodeTab, f_Folder::Mount},
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
    case t_CodeUp:
        if (b.Selected <= 0) return false;
        b.Selected--;
        if (b.Selected < b.Scroll) b.Scroll = b.Selected;
        return true;
    case t_CodeDown:
        if (b.Selected >= last) return false;
        b.Selected++;
        if (b.Selected > b.Scroll + page - 1) b.Scroll = b.Selected - page + 1;
        return true;
    case t_CodeHome:
        if (b.Selected < 1) return false;
        b.Selected = 0;
        b.Scroll = 0;
        return true;
    case t_CodeEnd:
        if (b.Selected >= last) return false;
        b.Selected = last;
        b.Scroll = std::max(0, last - page + 1);
        return true;
    case t_CodePageDown:
        if (b.Selected >= last) return false;
        b.Selected = std::min(last, b.Selected + page);
        b.Scroll = std::min(b.Scroll + page, std::max(0, last - page + 1));
        return true;
    case t_CodePageUp:
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
    case t_CodeReturn:
        if (!hasSelection) return f_BrowserGoOn;
        if (!f_BrowserIsFolder(b.Selected) || b.FolderChoice) return f_BrowserReturn;
        enterSelected();
        return f_BrowserGoOn;
    case t_CodeRight:
        if (hasSelection && f_BrowserIsFolder(b.Selected)) enterSelected();
        return f_BrowserGoOn;
    case t_CodeEscape: b.Selected = -1; return f_BrowserEscape;
    case t_CodeLeft: f_BrowserGoToParent(); return f_BrowserGoOn;
    case t_CodeDelete: f_BrowserGoTo(f_HomePath()); return f_BrowserGoOn;
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
