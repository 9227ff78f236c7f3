// The browser's geometry, its drawing, moving between folders and taking
// file-open events.
#include "browser_state.h"

#include <algorithm>

#include "catalog.h"
#include "display.h"
#include "file_events.h"
#include "files.h"
#include "text.h"
#include "windows.h"

f_BrowserState f_Browser;

namespace {

constexpr int frameWidths[] = {80, 60, 40};   // widest first
constexpr int defaultWidth = 60;
constexpr int smallestFrame = 5;              // frame line, path, rule, one list line, bottom
constexpr char32_t pathCut = 191;             // ends a path line that was cut
constexpr char32_t missingSign = 0x7F;        // stands for a control character

}  // namespace

int f_BrowserWidth(int requested) {
    for (int w : frameWidths)
        if (w == requested) return w;
    return defaultWidth;
}

// Text columns or lines of the window as the window manager reports them,
// the window record's own when there is no host window (headless use).
static int windowMetric(uint8_t window, int selector, int recorded) {
    int value = t_WindowPos(window, selector);
    return value > 0 ? value : recorded;
}

bool f_BrowserLayout(uint8_t window, int topLine, int listHeight, int width) {
    f_BrowserState &b = f_Browser;
    const t_Window &w = t_WindowTable[window];
    b.Window = window;
    b.Columns = windowMetric(window, t_PosTextWidth, w.TextWidth);
    b.Lines = windowMetric(window, t_PosTextHeight, w.TextHeight);
    b.Width = f_BrowserWidth(width);
    // A frame wider than the window would be drawn outside it: take the
    // widest one that fits.
    for (int fw : frameWidths)
        if (b.Width > b.Columns && fw <= b.Columns) b.Width = fw;
    if (b.Width > b.Columns || b.Lines < smallestFrame) return false;
    b.LeftColumn = b.Columns / 2 - b.Width / 2;
    b.TopLine = std::clamp(topLine, 1, b.Lines - smallestFrame + 1);
    b.BottomLine = std::min(b.TopLine + std::clamp(listHeight, 0, b.Lines) + 3, b.Lines);
    b.BottomLine = std::max(b.BottomLine, b.TopLine + smallestFrame - 1);
    b.PageLines = b.BottomLine - b.TopLine - 3;
    return true;
}

int f_BrowserInnerLeft() { return f_Browser.Columns / 2 + 2 - f_Browser.Width / 2; }
int f_BrowserInnerRight() { return f_Browser.Columns / 2 - 1 + f_Browser.Width / 2; }

int f_BrowserCount() { return int(f_CatList.size()); }

bool f_BrowserIsFolder(int index) {
    if (index < 0 || index >= f_BrowserCount()) return false;
    int kind = f_CatList[size_t(index)].KindNum;
    return kind == f_KindFolder || kind == f_KindSymLink;
}

// The folder path in the toolkit character set, control characters shown as
// the missing sign so that a strange folder name cannot move the cursor.
static std::string pathLine(const std::string &path, int width) {
    std::u32string chars = t_Decode(t_ConvertUniCode(path).Converted);
    for (char32_t &c : chars)
        if (c < 32) c = missingSign;
    if (int(chars.size()) > width) {
        chars.resize(size_t(std::max(0, width - 1)));
        chars.push_back(pathCut);
    }
    std::string line = t_Center(t_Encode(chars), width);
    return line + t_Spaces(width - t_Length(line));
}

void f_BrowserDrawList() {
    const f_BrowserState &b = f_Browser;
    const uint8_t win = b.Window;
    const int first = b.TopLine + 3;
    t_Area(win, f_BrowserInnerLeft(), first, f_BrowserInnerRight(), first + b.PageLines - 1);
    for (int k = 0; k < b.PageLines; k++) {
        int index = b.Scroll + k;
        t_Vtab(win, first + k);
        t_Htab(win, 1);
        if (index >= 0 && index < f_BrowserCount()) {
            if (index == b.Selected) t_Inverse(win);
            t_Print(win, f_CatStr(f_CatList[size_t(index)], b.Width));
            t_Normal(win);
        }
        t_ClearEndOfLine(win);
    }
}

void f_BrowserDrawFolder() {
    const f_BrowserState &b = f_Browser;
    const uint8_t win = b.Window;
    const int inner = b.Width - 2;
    t_Area(win, f_BrowserInnerLeft(), b.TopLine + 1, f_BrowserInnerRight(), b.TopLine + b.PageLines + 2);
    t_Vtab(win, b.TopLine + 1);
    t_Htab(win, 1);
    t_Inverse(win);
    t_Print(win, pathLine(f_CatPath, inner));
    t_Normal(win);
    t_Vtab(win, b.TopLine + 2);
    t_Htab(win, 1);
    t_DialogTitle(win, t_NumberString(f_BrowserCount(), U' ', 0, true) + " Objekte", inner);
    f_BrowserDrawList();
}

void f_BrowserGoTo(const std::string &folder) {
    f_BrowserState &b = f_Browser;
    f_CatPath = folder;
    f_CatList.clear();
    f_CatStatus = f_StatusNone;
    f_CatCount = 0;
    b.Scroll = 0;
    b.Selected = -1;
    b.LastClickItem = -1;
    bool mount = folder == f_StandardFolder(f_Folder::Mount);
    f_CatLoad(folder, false, false, mount, b.Filter);
    b.Selected = f_BrowserCount() > 0 ? 0 : -1;
    f_BrowserDrawFolder();
}

void f_BrowserGoToParent() {
    if (f_CatPath.size() < 2) return;
    f_BrowserGoTo(t_PathDirectory(f_CatPath.substr(0, f_CatPath.size() - 1)));
}

void f_BrowserScrollTo(int index) {
    f_BrowserState &b = f_Browser;
    b.Scroll = std::max(0, std::min(index, f_BrowserCount() - b.PageLines));
}

bool f_BrowserFileEvent() {
    t_Event e;
    if (!t_TakeFileEvent(e)) return false;
    const std::string &path = e.Description;
    // Only absolute paths name the same item from every working folder.
    if (path.empty() || path[0] != '/' || t_FileExists(path) <= 0) return true;
    std::string folder = t_PathDirectory(path);
    if (folder != f_CatPath) f_BrowserGoTo(folder);
    std::string name = t_PathFileName(path);
    if (name.empty()) return true;
    f_BrowserState &b = f_Browser;
    for (int i = 0; i < f_BrowserCount(); i++) {
        if (f_CatList[size_t(i)].Name != name) continue;
        b.Selected = i;
        // The chosen file must be in sight, or Return would open a file the
        // user cannot see.
        if (i < b.Scroll || i >= b.Scroll + b.PageLines) f_BrowserScrollTo(i);
        f_BrowserDrawList();
        break;
    }
    return true;
}
