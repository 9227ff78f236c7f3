// Menus: the action table, the menu-event queue, the built-in actions, the
// menu item operations and the screen-character mapping of Copy Text.
#include "menus.h"

#include <chrono>
#include <mutex>

#include "events.h"
#include "log.h"
#include "printer.h"
#include "text.h"
#include "threads.h"
#include "video_memory.h"
#include "windows.h"

// clang-format off
const std::vector<t_BuiltInAction> t_BuiltInActions = {
    {100, t_ActionKind::OpenPanel, 0},     {101, t_ActionKind::SavePanel, 0},
    {110, t_ActionKind::CopyPicture, 0},   {111, t_ActionKind::CopyText, 0},
    {112, t_ActionKind::ClearPrinter, 0},  {113, t_ActionKind::WindowHandler, 0},
    {114, t_ActionKind::ClearConsole, 0},
    {200, t_ActionKind::HideAll, 0},       {201, t_ActionKind::HideFront, 0},
    {205, t_ActionKind::ShowWindow, 12},   {206, t_ActionKind::HideWindow, 12},
    {207, t_ActionKind::ShowWindow, 11},   {208, t_ActionKind::HideWindow, 11},
    {209, t_ActionKind::ShowWindow, 9},    {210, t_ActionKind::HideWindow, 9},
    {211, t_ActionKind::ShowWindow, 8},    {212, t_ActionKind::HideWindow, 8},
    {213, t_ActionKind::ShowWindow, 0},    {214, t_ActionKind::HideWindow, 0},
    {215, t_ActionKind::ShowWindow, 1},    {216, t_ActionKind::HideWindow, 1},
    {217, t_ActionKind::ShowWindow, 2},    {218, t_ActionKind::HideWindow, 2},
    {219, t_ActionKind::ShowWindow, 3},    {220, t_ActionKind::HideWindow, 3},
    {221, t_ActionKind::ShowWindow, 4},    {222, t_ActionKind::HideWindow, 4},
    {223, t_ActionKind::ShowWindow, 5},    {224, t_ActionKind::HideWindow, 5},
    {225, t_ActionKind::ShowWindow, 6},    {226, t_ActionKind::HideWindow, 6},
    {227, t_ActionKind::ShowWindow, 7},    {228, t_ActionKind::HideWindow, 7},
    {229, t_ActionKind::ShowWindow, 10},   {230, t_ActionKind::HideWindow, 10},
};

const std::vector<t_TagRange> t_InitialActionTags = {{200, 231}, {110, 114}};

// Block and line-drawing codes of the toolkit character set and their ASCII
// stand-ins.  156 is the horizontal rule, so it becomes "-" like 140, 141,
// 154 and 155.
const std::vector<t_ScreenCharRange> t_ScreenCharMap = {
    {127, 127, U'#'}, {128, 128, U'*'}, {129, 129, U'#'},
    {130, 130, U'<'}, {131, 131, U'='}, {132, 132, U'>'}, {133, 133, U'O'},
    {134, 137, U'+'}, {138, 139, U'|'}, {140, 141, U'-'}, {142, 153, U'+'},
    {154, 155, U'-'}, {156, 156, U'-'}, {157, 157, U'|'}, {158, 158, U'+'},
    {159, 159, U'='}, {160, 160, U'\u02FD'},
};
// clang-format on

static std::mutex actionLock;
static std::vector<t_MenuAction> actions;
static std::mutex queueLock;
static std::vector<t_MenuEvent> queue;
static std::atomic<bool> eventAvailable{false};
static t_Shared<std::function<void()>> programMenuHandler{[] {}};
static t_Shared<std::function<void()>> windowActionHandler{t_Beep};
static t_Shared<t_MenuHostServices> host;

const t_BuiltInAction *t_FindBuiltInAction(int action) {
    for (const t_BuiltInAction &a : t_BuiltInActions)
        if (a.Action == action) return &a;
    return nullptr;
}

static t_MenuAction recordFor(int tag) {
    t_MenuAction a;
    a.Tag = tag;
    a.Action = tag;
    return a;
}

void t_InitMenuActions() {
    std::lock_guard<std::mutex> hold(actionLock);
    actions.clear();
    for (const t_TagRange &r : t_InitialActionTags)
        for (int tag = r.First; tag <= r.Last; tag++) actions.push_back(recordFor(tag));
}

void t_MenuActionAdd(int tag) {
    std::lock_guard<std::mutex> hold(actionLock);
    actions.push_back(recordFor(tag));
}

int t_MenuActionIndex(int tag) {
    if (tag == 0) return -1;
    std::lock_guard<std::mutex> hold(actionLock);
    for (size_t i = 0; i < actions.size(); i++)
        if (actions[i].Tag == tag) return int(i);
    return -1;
}

std::vector<t_MenuAction> t_MenuActions() {
    std::lock_guard<std::mutex> hold(actionLock);
    return actions;
}

t_MenuAction t_MenuActionAt(int index) {
    std::lock_guard<std::mutex> hold(actionLock);
    return index >= 0 && size_t(index) < actions.size() ? actions[size_t(index)] : t_MenuAction{};
}

void t_MenuActionSetTexts(int index, const std::string &title, const std::string &note, const std::string &fileName,
                          const std::string &fileTypes) {
    std::lock_guard<std::mutex> hold(actionLock);
    if (index < 0 || size_t(index) >= actions.size()) return;
    t_MenuAction &a = actions[size_t(index)];
    a.Title = title;
    a.Note = note;
    a.FileName = fileName;
    a.FileTypes = fileTypes;
}

// Stores a panel's result: the path and its last component, both empty when
// the user cancelled.
static void storePanelResult(int index, const std::string &path) {
    std::lock_guard<std::mutex> hold(actionLock);
    if (index < 0 || size_t(index) >= actions.size()) return;
    actions[size_t(index)].FilePath = path;
    actions[size_t(index)].FileName = path.empty() ? "" : t_PathFileName(path);
}

void t_MenuEventPost(const t_MenuEvent &event) {
    {
        std::lock_guard<std::mutex> hold(queueLock);
        queue.push_back(event);
    }
    eventAvailable = true;
    t_MenuEventCount++;
}

bool t_MenuEventAvailable() { return eventAvailable; }

size_t t_MenuEventQueueSize() {
    std::lock_guard<std::mutex> hold(queueLock);
    return queue.size();
}

std::vector<t_MenuEvent> t_MenuEventQueue() {
    std::lock_guard<std::mutex> hold(queueLock);
    return queue;
}

void t_MenuEventQueueClear() {
    std::lock_guard<std::mutex> hold(queueLock);
    queue.clear();
    eventAvailable = false;
}

void t_SetProgramMenuHandler(std::function<void()> handler) {
    programMenuHandler.Set(handler ? std::move(handler) : [] {});
}

void t_SetWindowActionHandler(std::function<void()> handler) {
    windowActionHandler.Set(handler ? std::move(handler) : t_Beep);
}

void t_SetMenuHostServices(t_MenuHostServices services) { host.Set(std::move(services)); }

// Runs the program menu handler on a thread of its own.
static void startProgramMenuHandler() {
    std::function<void()> handler = programMenuHandler.Get();
    t_RunAsync([handler] {
        if (t_ThreadNumber() >= 3) t_NameThread("t_EventMenu");
        handler();
    });
}

void t_MenuEventDispatch(t_MenuEvent event) {
    bool notify = true;
    if (event.Kind != t_EventButton) {
        int index = t_MenuActionIndex(event.ItemAction);
        if (index >= 0) {
            t_RunMenuAction(index);
            notify = false;
        }
    }
    t_MenuEventPost(event);
    if (notify) startProgramMenuHandler();
}

static void logMissingView(uint8_t window) {
    t_Log(window == t_PrinterWindow ? "t_MenuEventHandler: Virtual printer window is nil, resource undefined."
                                    : "t_MenuEventHandler: System console window is nil, resource undefined.");
}

static bool hasTextView(const t_MenuHostServices &h, uint8_t window) {
    bool has = false;
    if (h.HasTextView) t_OnMainThread([&] { has = h.HasTextView(window); });
    return has;
}

static void copyText(const t_MenuHostServices &h, const std::string &text) {
    if (h.CopyText) t_OnMainThread([&] { h.CopyText(text); });
}

static void runCopyText(const t_MenuHostServices &h) {
    uint8_t front = t_FrontWindow();
    if (front < 8) {
        copyText(h, t_ScreenTextToHost(t_GetScreen(front, "\r")));
    } else if (front == t_PrinterWindow || front == t_ConsoleWindow) {
        if (!hasTextView(h, front)) {
            logMissingView(front);
            t_Beep();
            return;
        }
        std::string text;
        if (h.TextViewText) t_OnMainThread([&] { text = h.TextViewText(front); });
        copyText(h, text);
    } else {
        t_Beep();
    }
}

static void runClear(const t_MenuHostServices &h, uint8_t window) {
    if (!hasTextView(h, window)) {
        logMissingView(window);
        t_Beep();
        return;
    }
    if (window == t_PrinterWindow) p_PrinterBuffer.Elements.clear();
    else t_ConsoleBuffer.Elements.clear();
    if (h.ClearTextView) t_OnMainThread([&] { h.ClearTextView(window); });
}

static void runCopyPicture(const t_MenuHostServices &h) {
    uint8_t front = t_FrontWindow();
    bool copied = false;
    if (front < 8 && h.CopyPicture) t_OnMainThread([&] { copied = h.CopyPicture(front); });
    if (!copied) t_Beep();
}

static void runShowHide(const t_BuiltInAction &a) {
    if (a.Window < 8 && !(t_MemoryReady && t_WindowTable[a.Window].Initialized)) {
        t_Log("t_MenuEventHandler: Window #" + std::to_string(a.Window) + " not initialized.");
        t_Beep();
        return;
    }
    if (a.Kind == t_ActionKind::ShowWindow) t_WindowFront(a.Window);
    else t_WindowVisible(a.Window, false);
}

void t_RunMenuAction(int index) {
    t_MenuAction record = t_MenuActionAt(index);
    const t_BuiltInAction *a = t_FindBuiltInAction(record.Action);
    if (!a) return;
    t_MenuHostServices h = host.Get();
    switch (a->Kind) {
    case t_ActionKind::OpenPanel:
        storePanelResult(index, t_OpenFileDialog(record.Title, record.Note, record.FileTypes, true, false, false));
        break;
    case t_ActionKind::SavePanel:
        storePanelResult(index, t_SaveFileDialog(record.FileName, record.Title, record.Note, record.FileTypes));
        break;
    case t_ActionKind::CopyPicture: runCopyPicture(h); break;
    case t_ActionKind::CopyText: runCopyText(h); break;
    case t_ActionKind::ClearPrinter: runClear(h, t_PrinterWindow); break;
    case t_ActionKind::ClearConsole: runClear(h, t_ConsoleWindow); break;
    case t_ActionKind::WindowHandler:
        if (t_FrontWindow() < 8) windowActionHandler.Get()();
        else t_Beep();
        break;
    case t_ActionKind::HideAll:
        for (uint8_t n = 0; n <= t_MainWindow; n++) t_WindowVisible(n, false);
        break;
    case t_ActionKind::HideFront: {
        uint8_t front = t_FrontWindow();
        if (front == t_NoWindow) t_Beep();
        else t_WindowVisible(front, false);
        break;
    }
    case t_ActionKind::ShowWindow:
    case t_ActionKind::HideWindow: runShowHide(*a); break;
    }
}

char32_t t_ScreenCharToHost(char32_t code) {
    for (const t_ScreenCharRange &r : t_ScreenCharMap)
        if (code >= char32_t(r.First) && code <= char32_t(r.Last)) return r.Becomes;
    return code;
}

std::string t_ScreenTextToHost(const std::string &screenText) {
    std::u32string chars = t_Decode(screenText);
    for (char32_t &c : chars) c = t_ScreenCharToHost(c);
    return t_Encode(chars);
}

void t_Beep() {
    t_MenuHostServices h = host.Get();
    if (h.Beep) h.Beep();
}

uint8_t t_FrontWindow() {
    t_MenuHostServices h = host.Get();
    uint8_t front = t_NoWindow;
    if (h.FrontWindow) t_OnMainThread([&] { front = h.FrontWindow(); });
    return front;
}

// Panels run on the main thread; called from elsewhere they start 10 ms later.
std::string t_OpenFileDialog(const std::string &title, const std::string &message, const std::string &fileTypes,
                             bool files, bool folders, bool several) {
    t_MenuHostServices h = host.Get();
    std::string path;
    if (!h.OpenPanel) return path;
    if (!t_IsMainThread()) t_SleepMs(10);
    t_OnMainThread([&] { path = h.OpenPanel(title, message, fileTypes, files, folders, several); });
    return path;
}

std::string t_SaveFileDialog(const std::string &name, const std::string &title, const std::string &message,
                             const std::string &fileTypes) {
    t_MenuHostServices h = host.Get();
    std::string path;
    if (!h.SavePanel) return path;
    if (!t_IsMainThread()) t_SleepMs(10);
    t_OnMainThread([&] { path = h.SavePanel(name, title, message, fileTypes); });
    return path;
}

static std::optional<std::vector<std::string>> menuItems(const std::string &menuTitle) {
    t_MenuHostServices h = host.Get();
    std::optional<std::vector<std::string>> items;
    if (h.MenuItems) t_OnMainThread([&] { items = h.MenuItems(menuTitle); });
    return items;
}

// The index an item position stands for (65535: the last), or -1 when the
// menu has no item there.
static int resolvePosition(const std::vector<std::string> &items, int position) {
    if (position == t_LastMenuItem) return items.empty() ? -1 : int(items.size()) - 1;
    return position >= 0 && size_t(position) < items.size() ? position : -1;
}

int t_MenuItemIndex(const std::string &menuTitle, const std::string &itemTitle) {
    auto items = menuItems(menuTitle);
    if (!items) {
        t_Log("t_MenuItemIndex: Menu not found.");
        return -2;
    }
    for (size_t i = 0; i < items->size(); i++)
        if ((*items)[i] == itemTitle) return int(i);
    return -1;
}

void t_MenuItemDelete(const std::string &menuTitle, int position) {
    auto items = menuItems(menuTitle);
    if (!items) {
        t_Log("t_MenuItemDelete: Menu not found.");
        return;
    }
    int index = resolvePosition(*items, position);
    if (index < 0) {
        t_Log("t_MenuItemDelete: Item position out of range");
        return;
    }
    t_MenuHostServices h = host.Get();
    if (h.DeleteMenuItem) t_OnMainThread([&] { h.DeleteMenuItem(menuTitle, index); });
}

void t_MenuItemCheck(const std::string &menuTitle, int position) {
    t_MenuHostServices h = host.Get();
    if (h.CheckMenuItem) t_OnMainThread([&] { h.CheckMenuItem(menuTitle, position); });
}

void t_MenuSetItems(const std::string &menuTitle, const std::vector<std::string> &items, int checked) {
    t_MenuHostServices h = host.Get();
    if (h.SetMenuItems) t_OnMainThread([&] { h.SetMenuItems(menuTitle, items, checked); });
}

std::string t_MenuItemTitle(const std::string &menuTitle, int position) {
    auto items = menuItems(menuTitle);
    if (!items) {
        t_Log("t_MenuItemTitle: Menu not found.");
        return "";
    }
    int index = resolvePosition(*items, position);
    if (index < 0) {
        t_Log("t_MenuItemTitle: Item position out of range");
        return "";
    }
    return (*items)[size_t(index)];
}

// Items other desktops add to the Edit and Window menus, in German and English.
static const char *const editExtras[] = {"Special Characters…", "Emoji & Symbols", "Emoji & Symbole",
                                         "Start Dictation…", "Diktat starten …"};
static const char *const windowExtras[] = {"Tile Window to Left of Screen", "Tile Window to Right of Screen",
                                           "Vollbildmodus"};

// The menus of these titles that the menu bar has: the other language's
// title is not asked for, so a normal start logs no "Menu not found.".
static std::vector<const char *> existingMenus(std::initializer_list<const char *> titles) {
    std::vector<const char *> found;
    for (const char *title : titles)
        if (menuItems(title)) found.push_back(title);
    return found;
}

void t_MenuCleanUp() {
    const std::vector<const char *> edit = existingMenus({"Bearbeiten", "Edit"});
    const std::vector<const char *> window = existingMenus({"Fenster", "Window"});
    for (const char *title : editExtras) {
        for (const char *menu : edit) {
            int index = t_MenuItemIndex(menu, title);
            if (index >= 0) t_MenuItemDelete(menu, index);
        }
    }
    for (const char *menu : edit)
        if (t_MenuItemTitle(menu, t_LastMenuItem).empty()) t_MenuItemDelete(menu, t_LastMenuItem);
    for (const char *title : windowExtras) {
        for (const char *menu : window) {
            int index = t_MenuItemIndex(menu, title);
            if (index < 0) continue;
            t_Log(std::string("*** Found ") + menu + " Menu Item " + title);
            t_MenuItemDelete(menu, index);
        }
    }
}
