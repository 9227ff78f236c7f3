// The key and mouse queues.  The main thread appends, the program thread
// (or a browser polling loop) takes; a mutex keeps every append, take and
// emptying whole, and the Available flags are set after the change.
#include "events.h"

#include <deque>
#include <mutex>

#include "display.h"
#include "key_table.h"
#include "log.h"
#include "quit.h"
#include "text.h"
#include "threads.h"

std::atomic<bool> t_KeyDown{false}, t_MouseButtonDown{false}, t_RightMouseButtonDown{false};
std::atomic<bool> t_CapsLockPressed{false}, t_ShiftPressed{false}, t_ControlPressed{false},
    t_OptionPressed{false}, t_CommandPressed{false}, t_FnPressed{false};
std::atomic<bool> t_EventAvailable{false}, t_MouseEventAvailable{false}, t_MenuChoiceAvailable{false};
std::atomic<int> t_MenuEventCount{0};
t_Event t_CurrentEvent;
t_Event t_CurrentMouseEvent;

static std::mutex queueLock;
static std::deque<t_Event> keyQueue;
static std::deque<t_Event> mouseQueue;

static t_Shared<std::function<void()>> programMouseHandler{[] {}};

void t_SetProgramMouseHandler(std::function<void()> handler) {
    programMouseHandler.Set(handler ? std::move(handler) : [] {});
}

// --- queue primitives -------------------------------------------------------------

// Menu choices for the program's prompt wait in the key queue among the keys.
static bool isMenuChoice(const t_Event &e) { return e.Kind == t_MenuChoiceKind; }

// The menu choices among keyQueue, counted as they come and go (queueLock
// held), so the flags never walk the queue: a long paste would make every
// key posted and taken cost the whole queue.
static size_t queuedChoices = 0;

// Sets both flags from the counts (queueLock held).
static void refreshKeyFlags() {
    t_EventAvailable = keyQueue.size() > queuedChoices;
    t_MenuChoiceAvailable = queuedChoices > 0;
}

// Queues a key or menu choice (queueLock held).
static void queueKey(const t_Event &event) {
    keyQueue.push_back(event);
    if (isMenuChoice(event)) queuedChoices++;
}

void t_PostKeyEvent(const t_Event &event) {
    std::lock_guard<std::mutex> hold(queueLock);
    queueKey(event);
    refreshKeyFlags();
}

void t_PostMenuChoice(const std::string &menu, int item) {
    t_Event e;
    e.Kind = t_MenuChoiceKind;
    e.Description = menu;
    e.Index = item;
    e.Time = t_NowMs();
    t_PostKeyEvent(e);
}

static void postMouseEvent(const t_Event &event) {
    std::lock_guard<std::mutex> hold(queueLock);
    mouseQueue.push_back(event);
    t_MouseEventAvailable = true;
}

// Takes the oldest key event, or with menuChoices the oldest key or menu
// choice; false when there is none.  Menu choices stay queued for the prompt.
static bool takeKeyEvent(t_Event &out, bool menuChoices = false) {
    std::lock_guard<std::mutex> hold(queueLock);
    auto at = keyQueue.begin();
    while (at != keyQueue.end() && !menuChoices && isMenuChoice(*at)) ++at;
    if (at == keyQueue.end()) {
        refreshKeyFlags();
        return false;
    }
    out = std::move(*at);
    if (isMenuChoice(out)) queuedChoices--;
    keyQueue.erase(at);
    refreshKeyFlags();
    return true;
}

size_t t_PendingKeyEvents() {
    std::lock_guard<std::mutex> hold(queueLock);
    return keyQueue.size();
}

size_t t_PendingMouseEvents() {
    std::lock_guard<std::mutex> hold(queueLock);
    return mouseQueue.size();
}

void t_ClearEventQueues() {
    std::lock_guard<std::mutex> hold(queueLock);
    keyQueue.clear();
    queuedChoices = 0;
    mouseQueue.clear();
    t_EventAvailable = false;
    t_MenuChoiceAvailable = false;
    t_MouseEventAvailable = false;
}

// --- main thread: from the views ------------------------------------------------

static void setModifierGlobals(uint32_t mods) {
    t_CapsLockPressed = mods & t_ModCapsLock;
    t_ShiftPressed = mods & t_ModShift;
    t_ControlPressed = mods & t_ModControl;
    t_OptionPressed = mods & t_ModOption;
    t_CommandPressed = mods & t_ModCommand;
    t_FnPressed = mods & t_ModFunction;
}

static void setModifierFields(t_Event &e, uint32_t mods) {
    e.Mods = int((mods >> 16) & 0xFFFF);
    e.CapsLockPressed = mods & t_ModCapsLock;
    e.ShiftPressed = mods & t_ModShift;
    e.ControlPressed = mods & t_ModControl;
    e.OptionPressed = mods & t_ModOption;
    e.CommandPressed = mods & t_ModCommand;
    e.NumericPadPressed = mods & t_ModNumericPad;
    e.HelpPressed = mods & t_ModHelp;
    e.FnPressed = mods & t_ModFunction;
}

void t_ModifiersChanged(uint32_t mods) { setModifierGlobals(mods); }

void t_KeyUp() { t_KeyDown = false; }

void t_MouseUp() {
    t_MouseButtonDown = false;
    t_RightMouseButtonDown = false;
}

static void translateKey(uint8_t n, int key, const std::string &characters, uint32_t mods) {
    std::u32string chars = t_Decode(characters);
    char32_t c = chars.empty() ? 0 : chars[0];
    setModifierGlobals(mods);
    t_KeyResult r = t_TranslateKey(key, c, mods);
    if (r.Outcome == t_KeyOutcome::RedirectOutput) {
        t_RedirectOutput(n, r.Redirect);
        return;
    }
    if (r.Outcome != t_KeyOutcome::Event) return;
    t_Event e;
    e.Kind = t_EventKey;
    e.Index = key;
    e.Description = characters;
    e.Value = r.Value;
    setModifierFields(e, mods);
    e.Window = n;
    e.Time = t_NowMs();
    e.CursorKeyPressed = r.CursorKey;
    e.FunctionKeyPressed = r.FunctionKey;
    t_PostKeyEvent(e);
}

void viewKeyDown(uint8_t n, int key, const std::string &characters, uint32_t mods) {
    if (t_MemoryReady) {
        if (n > 7 || !t_WindowTable[n].Initialized) {
            t_Log("viewKeyDown: Graphic window (" + std::to_string(n) + ") not initialized.");
        } else if (!t_WindowTable[n].IgnoreEvents) {
            translateKey(n, key, characters, mods);
        }
    }
    t_KeyDown = true;
}

static void mouseEventHandler(uint8_t n, double x, double y, int buttons, uint32_t mods) {
    int windowX = int(x), windowY = int(y);
    int clickX = -3, clickY = -3;
    std::string which;
    if (n >= 8) {
        t_Log("t_MouseEventHandler: Unknown window, AbsX = " + std::to_string(windowX) +
              ", AbsY = " + std::to_string(windowY));
    } else if (!t_WindowTable[n].Initialized) {
        t_Log("t_MouseEventHandler: Window #" + std::to_string(n) + " not initialized.");
    } else {
        const t_Window &w = t_WindowTable[n];
        int cx = windowX - w.BorderWidth;
        int cy = w.BorderHeight + w.Height - windowY;
        clickX = cx < 0 ? -1 : cx >= w.Width ? -2 : cx;
        clickY = cy < 0 ? -1 : cy >= w.Height ? -2 : cy;
        t_Event e;
        e.Kind = t_EventMouse;
        e.Index = buttons;
        e.WindowX = windowX;
        e.WindowY = windowY;
        e.ClickX = clickX;
        e.ClickY = clickY;
        setModifierFields(e, mods);
        e.Window = n;
        e.Time = t_NowMs();
        postMouseEvent(e);
        which = "Graphic #" + std::to_string(n);
    }
    t_Log("t_MouseEventHandler: " + which + " window, X = " + std::to_string(clickX) +
          ", Y = " + std::to_string(clickY));
    t_RunAsync([handler = programMouseHandler.Get()] {
        if (t_ThreadNumber() >= 3) t_NameThread("t_EventMouse");
        handler();
    });
    t_Log("t_MouseEventHandler: Calling program mouse handler asynchronously.");
}

void viewMouseDown(uint8_t n, double x, double y, int buttons, uint32_t mods, bool right) {
    if (t_MemoryReady && n < 8) {
        if (!t_WindowTable[n].Initialized)
            t_Log("viewMouseDown: Graphic window (" + std::to_string(n) + ") not initialized.");
        else if (!t_WindowTable[n].IgnoreEvents)
            mouseEventHandler(n, x, y, buttons, mods);
    }
    t_MouseButtonDown = !right;
    t_RightMouseButtonDown = right;
}

// --- program side -------------------------------------------------------------------

// Waits for the next key, or with menuChoices for a key or a menu choice.
static t_PromptInput getKey(uint8_t window, bool menuChoices) {
    auto ready = [menuChoices] { return t_EventAvailable || (menuChoices && t_MenuChoiceAvailable); };
    for (;;) {
        if (!ready()) {
            t_CursorOn(window);
            while (!ready()) {
                t_ServeQuitRequest();
                t_SleepMs(10);
            }
            t_CursorOff(window);
        }
        t_Event e;
        if (!takeKeyEvent(e, menuChoices)) continue;
        t_PromptInput input;
        if (isMenuChoice(e)) {
            input.MenuChoice = true;
            input.Menu = e.Description;
            input.Item = e.Index;
            return input;
        }
        t_CurrentEvent = e;
        if (e.Value < 0) continue;
        if (e.Value <= 0x10FFFF && (e.Value < 0xD800 || e.Value > 0xDFFF)) input.Key = t_EncodeChar(char32_t(e.Value));
        return input;
    }
}

std::string t_GetKey(uint8_t window) { return getKey(window, false).Key; }

t_PromptInput t_GetKeyOrMenuChoice(uint8_t window) { return getKey(window, true); }

int t_GetEvent() {
    t_Event e;
    if (!t_EventAvailable || !takeKeyEvent(e)) return -1;
    t_CurrentEvent = e;
    return e.Value;
}

// Pauses when the newest key is the given one; the result tells whether it
// paused and which key ended the pause (0 for a menu event).
static t_PauseResult pauseOnKey(int key, bool wait) {
    t_PauseResult result;
    if (!t_EventAvailable) return result;
    {
        std::lock_guard<std::mutex> hold(queueLock);
        if (keyQueue.empty() || isMenuChoice(keyQueue.back()) || keyQueue.back().Value != key) return result;
        std::erase_if(keyQueue, [](const t_Event &e) { return !isMenuChoice(e); });
        refreshKeyFlags();
    }
    result.Paused = true;
    if (!wait) return result;
    int menus = t_MenuEventCount;
    while (!t_EventAvailable && t_MenuEventCount == menus) {
        t_ServeQuitRequest();
        t_SleepMs(10);
    }
    if (t_EventAvailable) result.Key = t_GetEvent();
    return result;
}

bool t_PauseOnKey(int key, bool wait) { return pauseOnKey(key, wait).Paused; }

void t_InstallEventHooks() { t_SetPauseOnKey(pauseOnKey); }

void t_TypeString(const std::string &text) {
    long long now = t_NowMs();
    std::lock_guard<std::mutex> hold(queueLock);
    for (char32_t c : t_Decode(text)) {
        t_Event e;
        e.Kind = t_EventKey;
        e.Description = t_EncodeChar(c);
        e.Value = int(c);
        e.Window = 1;
        e.Time = now;
        queueKey(e);
    }
    refreshKeyFlags();
}

t_CellPosition t_GetMouseText(uint8_t window) {
    const t_Window *w = t_GuardWindow("t_GetMouseText", window, t_Need::Text);
    if (!w) return {};
    t_Event e;
    {
        std::lock_guard<std::mutex> hold(queueLock);
        auto it = mouseQueue.begin();
        while (it != mouseQueue.end() && it->Window != window) ++it;
        if (it == mouseQueue.end()) return {};
        e = *it;
        mouseQueue.erase(it);
        t_MouseEventAvailable = !mouseQueue.empty();
    }
    t_CurrentMouseEvent = e;
    int fw = w->Font.Width, fh = w->Font.Height;
    return {(fw == 0 ? 0 : e.ClickX / fw) + 1, (fh == 0 ? 0 : e.ClickY / fh) + 1};
}
