// Key translation: a key position code, the characters the key produced and
// the modifier flags become the value the program sees.
#pragma once

#include <cstdint>

// Modifier flag bits, as the key events carry them.
enum : uint32_t {
    t_ModCapsLock = 1u << 16,
    t_ModShift = 1u << 17,
    t_ModControl = 1u << 18,
    t_ModOption = 1u << 19,
    t_ModCommand = 1u << 20,
    t_ModNumericPad = 1u << 21,
    t_ModHelp = 1u << 22,
    t_ModFunction = 1u << 23,
};

// Key position codes of a US keyboard that the translation and the Qt key
// mapping name.
enum t_KeyPosition : int {
    t_KeyA = 0, t_KeyS = 1, t_KeyD = 2, t_KeyF = 3, t_KeyH = 4, t_KeyG = 5, t_KeyZ = 6, t_KeyX = 7,
    t_KeyC = 8, t_KeyV = 9, t_KeyISOSection = 10, t_KeyB = 11, t_KeyQ = 12, t_KeyW = 13, t_KeyE = 14,
    t_KeyR = 15, t_KeyY = 16, t_KeyT = 17, t_Key1 = 18, t_Key2 = 19, t_Key3 = 20, t_Key4 = 21,
    t_Key6 = 22, t_Key5 = 23, t_KeyEqual = 24, t_Key9 = 25, t_Key7 = 26, t_KeyMinus = 27, t_Key8 = 28,
    t_Key0 = 29, t_KeyRightBracket = 30, t_KeyO = 31, t_KeyU = 32, t_KeyLeftBracket = 33, t_KeyI = 34,
    t_KeyP = 35, t_KeyReturn = 36, t_KeyL = 37, t_KeyJ = 38, t_KeyQuote = 39, t_KeyK = 40,
    t_KeySemicolon = 41, t_KeyBackslash = 42, t_KeyComma = 43, t_KeySlash = 44, t_KeyN = 45, t_KeyM = 46,
    t_KeyPeriod = 47, t_KeyTab = 48, t_KeySpace = 49, t_KeyGrave = 50, t_KeyDelete = 51, t_KeyEscape = 53,
    t_KeyPadDecimal = 65, t_KeyPadMultiply = 67, t_KeyPadPlus = 69, t_KeyPadClear = 71,
    t_KeyPadDivide = 75, t_KeyPadEnter = 76, t_KeyPadMinus = 78, t_KeyPadEquals = 81, t_KeyPad0 = 82,
    t_KeyPad1 = 83, t_KeyPad2 = 84, t_KeyPad3 = 85, t_KeyPad4 = 86, t_KeyPad5 = 87, t_KeyPad6 = 88,
    t_KeyPad7 = 89, t_KeyPad8 = 91, t_KeyPad9 = 92, t_KeyF5 = 96, t_KeyF6 = 97, t_KeyF7 = 98,
    t_KeyF3 = 99, t_KeyF8 = 100, t_KeyF9 = 101, t_KeyF11 = 103, t_KeyF13 = 105, t_KeyF14 = 107,
    t_KeyF10 = 109, t_KeyF12 = 111, t_KeyF15 = 113, t_KeyHelp = 114, t_KeyHome = 115, t_KeyPageUp = 116,
    t_KeyForwardDelete = 117, t_KeyF4 = 118, t_KeyEnd = 119, t_KeyF2 = 120, t_KeyPageDown = 121,
    t_KeyF1 = 122, t_KeyLeft = 123, t_KeyRight = 124, t_KeyDownArrow = 125, t_KeyUpArrow = 126,
    t_KeyUnknown = 0xFFFF,
};

// The character the host reports for function key Fn is 0xF703 + n.
constexpr char32_t t_FunctionKeyBase = 0xF703;

enum class t_KeyOutcome { Event, NoEvent, RedirectOutput };

struct t_KeyResult {
    t_KeyOutcome Outcome = t_KeyOutcome::NoEvent;
    int Value = 0;
    bool CursorKey = false;
    bool FunctionKey = false;
    int Redirect = 0;   // the output redirection mode, for RedirectOutput
};

// How one row of the key table acts.
enum class t_KeyAction {
    Value,          // give Value (a printable value)
    Control,        // give Value as a control value
    CursorControl,  // give Value as a control value of a cursor key
    ShiftValue,     // give Value without Shift, ShiftedValue with Shift
    ChangeChar,     // C becomes Value, then the general rule
    Redirect,       // switch output redirection to Value, no event
};

enum class t_KeyCondition { Always, CharIs, CharIsWithOption, Option, ControlWithoutOption };

struct t_KeyRow {
    int Key;
    t_KeyCondition Condition;
    char32_t Char;   // for the CharIs conditions
    t_KeyAction Action;
    int Value;
    int ShiftedValue;
};

// The table, in the order rows are tried.
extern const t_KeyRow t_KeyTable[];
extern const int t_KeyTableSize;

// Translates key position K with the characters' first code C and modifier
// flags M.
t_KeyResult t_TranslateKey(int key, char32_t c, uint32_t mods);
