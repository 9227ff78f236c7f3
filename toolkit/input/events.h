// Key and mouse events: the queues between the main thread and the program,
// and the operations the program waits on.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What an event is: t_Event.Kind, and t_MenuEvent.Kind for the menu events.
enum : int {
    t_EventButton = 0,     // a button press (a menu event with every other field empty)
    t_EventKey = 1,
    t_EventMouse = 2,
    t_EventMenu = 3,       // a menu choice
    t_EventFileOpen = 4,
};

struct t_Event {
    int Kind = 0;   // t_EventKey, t_EventMouse, t_EventMenu (a choice for the prompt) or t_EventFileOpen
    int Index = 0;
    std::string Description;
    int Value = 0;
    int WindowX = 0;
    int WindowY = 0;
    int ClickX = 0;
    int ClickY = 0;
    int Mods = 0;
    uint8_t Window = 0;
    long long Time = 0;
    bool CloseBox = false;
    bool CapsLockPressed = false;
    bool ShiftPressed = false;
    bool ControlPressed = false;
    bool OptionPressed = false;
    bool CommandPressed = false;
    bool NumericPadPressed = false;
    bool HelpPressed = false;
    bool FnPressed = false;
    bool CursorKeyPressed = false;
    bool FunctionKeyPressed = false;
};

// Live input state, written on the main thread.
extern std::atomic<bool> t_KeyDown, t_MouseButtonDown, t_RightMouseButtonDown;
extern std::atomic<bool> t_CapsLockPressed, t_ShiftPressed, t_ControlPressed, t_OptionPressed,
    t_CommandPressed, t_FnPressed;
extern std::atomic<bool> t_EventAvailable, t_MouseEventAvailable;
// A menu choice for the program's prompt is queued among the keys.
extern std::atomic<bool> t_MenuChoiceAvailable;
// Pending menu events; a change ends a pause of the output.
extern std::atomic<int> t_MenuEventCount;

// The events most recently taken by the program (program thread only).
extern t_Event t_CurrentEvent;
extern t_Event t_CurrentMouseEvent;

// Called asynchronously after every mouse-down; does nothing unless set.
void t_SetProgramMouseHandler(std::function<void()> handler);

// --- main thread: events arriving from the views ------------------------------
// A key pressed in window n: key position, the characters it produced and the
// modifier flags.
void viewKeyDown(uint8_t n, int key, const std::string &characters, uint32_t mods);
void t_KeyUp();
void t_ModifiersChanged(uint32_t mods);
// A mouse button pressed in window n at (x, y), host coordinates with the
// origin at the bottom left of the window's content.
void viewMouseDown(uint8_t n, double x, double y, int buttons, uint32_t mods, bool right);
void t_MouseUp();

// Lets text output pause on Control-S; called once at start-up, before the
// program thread runs.
void t_InstallEventHooks();

// --- program side ---------------------------------------------------------------
// Waits for the next key; menu choices stay queued for the prompt.
std::string t_GetKey(uint8_t window);
// What the program's prompt waits for: a key, or a menu choice of the
// program's own menus (the User menu) made meanwhile, in the order they came.
struct t_PromptInput {
    std::string Key;          // the key as t_GetKey gives it
    bool MenuChoice = false;  // a menu choice instead of a key
    std::string Menu;         // its menu's title
    int Item = -1;            // its item's position in that menu
};
t_PromptInput t_GetKeyOrMenuChoice(uint8_t window);
int t_GetEvent();
bool t_PauseOnKey(int key, bool wait);
void t_TypeString(const std::string &text);
struct t_CellPosition {
    int Column = -1;
    int Line = -1;
};
t_CellPosition t_GetMouseText(uint8_t window);

// Queue snapshots and clearing, for tests and the file-event polling.
size_t t_PendingKeyEvents();
size_t t_PendingMouseEvents();
void t_ClearEventQueues();
// Appends a ready-made key event (the file-event and menu paths use this too).
void t_PostKeyEvent(const t_Event &event);
// Any thread: a menu item of the program's own menus was chosen.  It is
// queued like a key and taken only by t_GetKeyOrMenuChoice, on the program
// thread at its prompt, so that a choice never changes anything while a
// command runs.
constexpr int t_MenuChoiceKind = t_EventMenu;
void t_PostMenuChoice(const std::string &menu, int item);
