// Menus: menu events and their queue, the table of built-in menu actions and
// what each action does, the menu item operations, and the mapping of screen
// characters to host text used by Copy Text.  The host half (Qt menus,
// clipboard, file panels) is in menus_qt.h and arrives through the services.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "events.h"

// One menu choice or button press.
struct t_MenuEvent {
    int Kind = t_EventButton;   // or t_EventMenu
    std::string MenuTitle;
    std::string ItemTitle;
    std::string ItemKeyChar;
    uint32_t ItemKeyMods = 0;
    int ItemKeyAsc = 0;
    int ItemAction = 0;
    long long Time = 0;
};

// A built-in action selected by a menu item's tag; the panel actions keep
// the chosen file in FilePath and FileName.
struct t_MenuAction {
    int Tag = 0;
    int Action = 0;
    std::string Title;
    std::string Note;
    std::string FileName;
    std::string FileTypes;
    std::string FilePath;
};

// What each built-in action number does.
enum class t_ActionKind {
    OpenPanel,
    SavePanel,
    CopyPicture,
    CopyText,
    ClearPrinter,
    WindowHandler,
    ClearConsole,
    HideAll,
    HideFront,
    ShowWindow,
    HideWindow,
};
struct t_BuiltInAction {
    int Action;
    t_ActionKind Kind;
    uint8_t Window;   // for ShowWindow and HideWindow
};
// Every action number that does something; numbers not listed do nothing.
extern const std::vector<t_BuiltInAction> t_BuiltInActions;
// The built-in action with that number, or nullptr.
const t_BuiltInAction *t_FindBuiltInAction(int action);

// The tags of the action table as it is made at start: each range in order.
struct t_TagRange {
    int First, Last;
};
extern const std::vector<t_TagRange> t_InitialActionTags;

// --- the action table (any thread) --------------------------------------------
// Replaces the table with the 37 start-up records (tags 200-231, 110-114).
void t_InitMenuActions();
// Appends a record with Tag = Action = tag and empty texts.
void t_MenuActionAdd(int tag);
// Index of the first record with that tag; -1 for tag 0 or when none has it.
int t_MenuActionIndex(int tag);
// A copy of the whole table, and of one record (a default record when out
// of range); the texts of one record can be set for the panel actions.
std::vector<t_MenuAction> t_MenuActions();
t_MenuAction t_MenuActionAt(int index);
void t_MenuActionSetTexts(int index, const std::string &title, const std::string &note, const std::string &fileName,
                          const std::string &fileTypes);

// --- the menu-event queue (any thread) ----------------------------------------
// Appends the event, sets the available flag and counts it for t_PauseOnKey.
void t_MenuEventPost(const t_MenuEvent &event);
bool t_MenuEventAvailable();
size_t t_MenuEventQueueSize();
// A copy of the queue, oldest first.
std::vector<t_MenuEvent> t_MenuEventQueue();
// Empties the queue (tests; nothing in the program removes events).
void t_MenuEventQueueClear();

// Run asynchronously for menu items without a built-in action (empty at
// start), and by action 113 for a toolkit window (t_Beep at start).
void t_SetProgramMenuHandler(std::function<void()> handler);
void t_SetWindowActionHandler(std::function<void()> handler);

// --- what happens to a menu choice (main thread) ---------------------------------
// Runs the built-in action of the event's tag, or starts the program menu
// handler when there is none; the event is queued in every case.  A button
// press (t_EventButton) always goes to the program.
void t_MenuEventDispatch(t_MenuEvent event);
// Carries out one built-in action of the record at that index.
void t_RunMenuAction(int index);

// --- screen characters to host text ---------------------------------------------
// A range of toolkit screen codes and the character it becomes on the host.
struct t_ScreenCharRange {
    int First, Last;
    char32_t Becomes;
};
extern const std::vector<t_ScreenCharRange> t_ScreenCharMap;
// The host character of one screen code.
char32_t t_ScreenCharToHost(char32_t code);
// The screen text (UTF-8, one character per screen code) as host text.
std::string t_ScreenTextToHost(const std::string &screenText);

// --- host services ------------------------------------------------------------
// What the menus need of the host; the operations call each hook on the main
// thread.  Without a host the menus log, queue and beep silently.
struct t_MenuHostServices {
    std::function<void()> Beep;
    // The toolkit number of the host's main (active) window, 255 for none.
    std::function<uint8_t()> FrontWindow;
    // Puts window n's picture on the clipboard; false when it has none.
    std::function<bool(uint8_t)> CopyPicture;
    std::function<void(const std::string &)> CopyText;
    // The text views of the printer (9) and console (10).
    std::function<bool(uint8_t)> HasTextView;
    std::function<std::string(uint8_t)> TextViewText;
    std::function<void(uint8_t)> ClearTextView;
    // Modal panels; the chosen path or "" when cancelled.
    std::function<std::string(const std::string &title, const std::string &message, const std::string &types,
                              bool files, bool folders, bool several)>
        OpenPanel;
    std::function<std::string(const std::string &name, const std::string &title, const std::string &message,
                              const std::string &types)>
        SavePanel;
    // The titles of the items of the menu with that title (a separator has
    // the empty title), or nothing when there is no such menu.
    std::function<std::optional<std::vector<std::string>>(const std::string &)> MenuItems;
    std::function<void(const std::string &, int)> DeleteMenuItem;
    // Checks the item at that position of the menu and clears the others' checks.
    std::function<void(const std::string &, int)> CheckMenuItem;
    // Replaces the items of a menu of the program's own (-1: none checked).
    std::function<void(const std::string &, const std::vector<std::string> &, int)> SetMenuItems;
};
void t_SetMenuHostServices(t_MenuHostServices services);

// --- operations on the host (any thread) ------------------------------------------
void t_Beep();
uint8_t t_FrontWindow();
std::string t_OpenFileDialog(const std::string &title, const std::string &message, const std::string &fileTypes,
                             bool files, bool folders, bool several);
std::string t_SaveFileDialog(const std::string &name, const std::string &title, const std::string &message,
                             const std::string &fileTypes);
// Position 65535 means the last item.
constexpr int t_LastMenuItem = 65535;
int t_MenuItemIndex(const std::string &menuTitle, const std::string &itemTitle);
void t_MenuItemDelete(const std::string &menuTitle, int position);
// Shows the item at that position as the menu's one checked item.
void t_MenuItemCheck(const std::string &menuTitle, int position);
// Replaces the items of one of the program's own menus (the Format menu),
// the item at `checked` checked; the menu is disabled while it has none.  A
// choice arrives at the prompt as t_PostMenuChoice(menuTitle, position).
void t_MenuSetItems(const std::string &menuTitle, const std::vector<std::string> &items, int checked);
std::string t_MenuItemTitle(const std::string &menuTitle, int position);
// Removes the items the host adds to the Edit and Window menus on its own.
void t_MenuCleanUp();
