// The key table and the general rule of key translation.
#include "key_table.h"

#include "key_codes.h"

using A = t_KeyAction;
using K = t_KeyCondition;

const t_KeyRow t_KeyTable[] = {
    {t_KeyA, K::CharIs, 0x00E5, A::Value, 0xB0, 0},
    {t_KeyS, K::CharIs, 0x201A, A::Value, 0xA8, 0},
    {t_KeyD, K::CharIs, 0x2202, A::Value, 0xAD, 0},
    {t_KeyF, K::CharIs, 0x0192, A::Value, 0x82, 0},
    {t_KeyH, K::CharIs, 0x00AA, A::Value, 0x83, 0},
    {t_KeyX, K::CharIs, 0x2248, A::Value, 0x84, 0},
    {t_KeyV, K::CharIs, 0x221A, A::Value, 0xFD, 0},
    {t_KeyISOSection, K::CharIs, 0, A::Value, 0x5E, 0},
    {t_KeyB, K::CharIs, 0x222B, A::Value, 0xDE, 0},
    {t_KeyW, K::CharIs, 0x2211, A::Value, 0xDD, 0},
    {t_KeyE, K::CharIs, 0x20AC, A::Value, 0xA4, 0},
    {t_KeyY, K::CharIs, 0x03A9, A::Value, 0x80, 0},
    {t_KeyT, K::CharIs, 0x2020, A::Value, 0xBD, 0},
    {t_Key2, K::CharIs, 0x201C, A::Value, 0xA3, 0},
    {t_KeyEqual, K::CharIs, 0, A::ShiftValue, 0xB4, 0x60},
    {t_KeyMinus, K::CharIs, 0x00BF, A::Value, 0xA6, 0},
    {t_Key0, K::CharIs, 0x2260, A::Value, 0xAC, 0},
    {t_KeyU, K::CharIs, 0, A::Value, 0xAF, 0},
    {t_KeyLeftBracket, K::CharIs, 0x2022, A::Value, 0xB8, 0},
    {t_KeyI, K::CharIs, 0x2044, A::Value, 0x81, 0},
    {t_KeyP, K::CharIs, 0x03C0, A::Value, 0xF0, 0},
    {t_KeyP, K::CharIs, 0x220F, A::Value, 0xD0, 0},
    {t_KeyL, K::CharIsWithOption, 0x0C, A::Control, 0x00, 0},
    {t_KeyJ, K::CharIs, 0x00BA, A::Value, 0xB7, 0},
    {t_KeyK, K::CharIs, 0x2206, A::Value, 0xFE, 0},
    {t_KeySemicolon, K::CharIs, 0x0153, A::Value, 0xBE, 0},
    {t_KeyBackslash, K::CharIs, 0x2018, A::Value, 0xB4, 0},
    {t_KeyComma, K::CharIs, 0x221E, A::Value, 0xFF, 0},
    {t_KeySlash, K::CharIs, 0x2013, A::Value, 0x9A, 0},
    {t_KeyN, K::CharIsWithOption, 0, A::Value, 0x7E, 0},
    {t_KeyPeriod, K::CharIs, 0x2026, A::Value, 0xBF, 0},
    {t_KeyTab, K::CharIs, 0x19, A::Control, 0x14, 0},
    {t_KeyGrave, K::CharIs, 0x2264, A::Value, 0xC5, 0},
    {t_KeyGrave, K::CharIs, 0x2265, A::Value, 0xC6, 0},
    {t_KeyDelete, K::Always, 0, A::Value, t_CodeDelete, 0},
    {t_KeyPadClear, K::Always, 0, A::Control, t_CodeEscape, 0},
    {t_KeyPadEnter, K::Always, 0, A::Control, t_CodeReturn, 0},
    {t_KeyPad0, K::Option, 0, A::Value, 0xD8, 0},
    {t_KeyPad1, K::Option, 0, A::Value, 0xB9, 0},
    {t_KeyPad2, K::Option, 0, A::Value, 0xB2, 0},
    {t_KeyPad3, K::Option, 0, A::Value, 0xB3, 0},
    {t_KeyPad4, K::Option, 0, A::Value, 0xAA, 0},
    {t_KeyPad5, K::Option, 0, A::Value, 0xD7, 0},
    {t_KeyPad6, K::Option, 0, A::Value, 0xBA, 0},
    {t_KeyPad7, K::Option, 0, A::ChangeChar, 0xE5, 0},
    {t_KeyPad7, K::ControlWithoutOption, 0, A::Redirect, 0, 0},
    {t_KeyPad8, K::Option, 0, A::ChangeChar, 0xE6, 0},
    {t_KeyPad8, K::ControlWithoutOption, 0, A::Redirect, 2, 0},
    {t_KeyPad9, K::Option, 0, A::ChangeChar, 0xBC, 0},
    {t_KeyPad9, K::ControlWithoutOption, 0, A::Redirect, 1, 0},
    {t_KeyHome, K::Always, 0, A::CursorControl, t_CodeHome, 0},
    {t_KeyPageUp, K::Always, 0, A::CursorControl, t_CodePageUp, 0},
    {t_KeyForwardDelete, K::Always, 0, A::Control, t_CodeForwardDelete, 0},
    {t_KeyEnd, K::Always, 0, A::CursorControl, t_CodeEnd, 0},
    {t_KeyPageDown, K::Always, 0, A::CursorControl, t_CodePageDown, 0},
    {t_KeyLeft, K::Always, 0, A::CursorControl, t_CodeLeft, 0},
    {t_KeyRight, K::Always, 0, A::CursorControl, t_CodeRight, 0},
    {t_KeyDownArrow, K::Always, 0, A::CursorControl, t_CodeDown, 0},
    {t_KeyUpArrow, K::Always, 0, A::CursorControl, t_CodeUp, 0},
};
const int t_KeyTableSize = int(sizeof t_KeyTable / sizeof t_KeyTable[0]);

static bool conditionHolds(const t_KeyRow &row, char32_t c, uint32_t mods) {
    bool option = mods & t_ModOption;
    switch (row.Condition) {
    case K::Always: return true;
    case K::CharIs: return c == row.Char;
    case K::CharIsWithOption: return c == row.Char && option;
    case K::Option: return option;
    case K::ControlWithoutOption: return (mods & t_ModControl) && !option;
    }
    return false;
}

// The general rule on the character code alone.
static t_KeyResult generalRule(char32_t c) {
    t_KeyResult r;
    if (c >= 0xF704) {
        r.Outcome = t_KeyOutcome::Event;
        r.Value = int(c - 0xF683);
        r.FunctionKey = true;
    } else if (c >= 0x100) {
        r.Outcome = t_KeyOutcome::NoEvent;
    } else {
        r.Outcome = t_KeyOutcome::Event;
        r.Value = int(c);
    }
    return r;
}

t_KeyResult t_TranslateKey(int key, char32_t c, uint32_t mods) {
    if (key >= 0 && key <= 126) {
        for (int i = 0; i < t_KeyTableSize; i++) {
            const t_KeyRow &row = t_KeyTable[i];
            if (row.Key != key || !conditionHolds(row, c, mods)) continue;
            t_KeyResult r;
            r.Outcome = t_KeyOutcome::Event;
            switch (row.Action) {
            case A::Value:
            case A::Control: r.Value = row.Value; return r;
            case A::CursorControl:
                r.Value = row.Value;
                r.CursorKey = true;
                return r;
            case A::ShiftValue: r.Value = (mods & t_ModShift) ? row.ShiftedValue : row.Value; return r;
            case A::ChangeChar: return generalRule(char32_t(row.Value));
            case A::Redirect:
                r.Outcome = t_KeyOutcome::RedirectOutput;
                r.Redirect = row.Value;
                return r;
            }
        }
    }
    return generalRule(c);
}
