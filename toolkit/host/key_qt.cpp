// Qt key and mouse events of the toolkit views, turned into the key
// positions, characters and modifier flags that the translation expects:
// the key positions of a US keyboard, Alt as Option (with the characters a US
// layout gives for Option), Ctrl as Control and Meta as Command.
#include "key_qt.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include "events.h"
#include "key_table.h"
#include "text.h"
#include "window_zoom_qt.h"

struct QtKeyPosition {
    int QtKey;
    int Key;
};

// Keys of the main block and the editing keys, by Qt key.
static const QtKeyPosition mainKeys[] = {
    {Qt::Key_A, t_KeyA}, {Qt::Key_B, t_KeyB}, {Qt::Key_C, t_KeyC}, {Qt::Key_D, t_KeyD},
    {Qt::Key_E, t_KeyE}, {Qt::Key_F, t_KeyF}, {Qt::Key_G, t_KeyG}, {Qt::Key_H, t_KeyH},
    {Qt::Key_I, t_KeyI}, {Qt::Key_J, t_KeyJ}, {Qt::Key_K, t_KeyK}, {Qt::Key_L, t_KeyL},
    {Qt::Key_M, t_KeyM}, {Qt::Key_N, t_KeyN}, {Qt::Key_O, t_KeyO}, {Qt::Key_P, t_KeyP},
    {Qt::Key_Q, t_KeyQ}, {Qt::Key_R, t_KeyR}, {Qt::Key_S, t_KeyS}, {Qt::Key_T, t_KeyT},
    {Qt::Key_U, t_KeyU}, {Qt::Key_V, t_KeyV}, {Qt::Key_W, t_KeyW}, {Qt::Key_X, t_KeyX},
    {Qt::Key_Y, t_KeyY}, {Qt::Key_Z, t_KeyZ},
    {Qt::Key_1, t_Key1}, {Qt::Key_Exclam, t_Key1}, {Qt::Key_2, t_Key2}, {Qt::Key_At, t_Key2},
    {Qt::Key_3, t_Key3}, {Qt::Key_NumberSign, t_Key3}, {Qt::Key_4, t_Key4}, {Qt::Key_Dollar, t_Key4},
    {Qt::Key_5, t_Key5}, {Qt::Key_Percent, t_Key5}, {Qt::Key_6, t_Key6}, {Qt::Key_AsciiCircum, t_Key6},
    {Qt::Key_7, t_Key7}, {Qt::Key_Ampersand, t_Key7}, {Qt::Key_8, t_Key8}, {Qt::Key_Asterisk, t_Key8},
    {Qt::Key_9, t_Key9}, {Qt::Key_ParenLeft, t_Key9}, {Qt::Key_0, t_Key0}, {Qt::Key_ParenRight, t_Key0},
    {Qt::Key_Minus, t_KeyMinus}, {Qt::Key_Underscore, t_KeyMinus}, {Qt::Key_Equal, t_KeyEqual},
    {Qt::Key_Plus, t_KeyEqual}, {Qt::Key_BracketLeft, t_KeyLeftBracket}, {Qt::Key_BraceLeft, t_KeyLeftBracket},
    {Qt::Key_BracketRight, t_KeyRightBracket}, {Qt::Key_BraceRight, t_KeyRightBracket},
    {Qt::Key_Backslash, t_KeyBackslash}, {Qt::Key_Bar, t_KeyBackslash}, {Qt::Key_Semicolon, t_KeySemicolon},
    {Qt::Key_Colon, t_KeySemicolon}, {Qt::Key_Apostrophe, t_KeyQuote}, {Qt::Key_QuoteDbl, t_KeyQuote},
    {Qt::Key_Comma, t_KeyComma}, {Qt::Key_Less, t_KeyComma}, {Qt::Key_Period, t_KeyPeriod},
    {Qt::Key_Greater, t_KeyPeriod}, {Qt::Key_Slash, t_KeySlash}, {Qt::Key_Question, t_KeySlash},
    {Qt::Key_QuoteLeft, t_KeyGrave}, {Qt::Key_AsciiTilde, t_KeyGrave}, {Qt::Key_Space, t_KeySpace},
    {Qt::Key_Tab, t_KeyTab}, {Qt::Key_Backtab, t_KeyTab}, {Qt::Key_Return, t_KeyReturn},
    {Qt::Key_Backspace, t_KeyDelete}, {Qt::Key_Escape, t_KeyEscape}, {Qt::Key_Enter, t_KeyPadEnter},
    {Qt::Key_Insert, t_KeyHelp}, {Qt::Key_Help, t_KeyHelp}, {Qt::Key_Delete, t_KeyForwardDelete},
    {Qt::Key_Home, t_KeyHome}, {Qt::Key_End, t_KeyEnd}, {Qt::Key_PageUp, t_KeyPageUp},
    {Qt::Key_PageDown, t_KeyPageDown}, {Qt::Key_Left, t_KeyLeft}, {Qt::Key_Right, t_KeyRight},
    {Qt::Key_Up, t_KeyUpArrow}, {Qt::Key_Down, t_KeyDownArrow}, {Qt::Key_Clear, t_KeyPadClear},
    {Qt::Key_F1, t_KeyF1}, {Qt::Key_F2, t_KeyF2}, {Qt::Key_F3, t_KeyF3}, {Qt::Key_F4, t_KeyF4},
    {Qt::Key_F5, t_KeyF5}, {Qt::Key_F6, t_KeyF6}, {Qt::Key_F7, t_KeyF7}, {Qt::Key_F8, t_KeyF8},
    {Qt::Key_F9, t_KeyF9}, {Qt::Key_F10, t_KeyF10}, {Qt::Key_F11, t_KeyF11}, {Qt::Key_F12, t_KeyF12},
    {Qt::Key_F13, t_KeyF13}, {Qt::Key_F14, t_KeyF14}, {Qt::Key_F15, t_KeyF15},
};

// Keypad keys by Qt key, with Num Lock on (digits) and off (the editing
// keys printed beneath them).
static const QtKeyPosition keypadKeys[] = {
    {Qt::Key_0, t_KeyPad0}, {Qt::Key_1, t_KeyPad1}, {Qt::Key_2, t_KeyPad2}, {Qt::Key_3, t_KeyPad3},
    {Qt::Key_4, t_KeyPad4}, {Qt::Key_5, t_KeyPad5}, {Qt::Key_6, t_KeyPad6}, {Qt::Key_7, t_KeyPad7},
    {Qt::Key_8, t_KeyPad8}, {Qt::Key_9, t_KeyPad9}, {Qt::Key_Period, t_KeyPadDecimal},
    {Qt::Key_Comma, t_KeyPadDecimal}, {Qt::Key_Asterisk, t_KeyPadMultiply}, {Qt::Key_Plus, t_KeyPadPlus},
    {Qt::Key_Minus, t_KeyPadMinus}, {Qt::Key_Slash, t_KeyPadDivide}, {Qt::Key_Equal, t_KeyPadEquals},
    {Qt::Key_Enter, t_KeyPadEnter}, {Qt::Key_Clear, t_KeyPadClear},
};

// Keypad editing keys (Num Lock off) that stand for a digit when Control or
// Alt is held, so that Ctrl-keypad-7/8/9 and Alt-keypad digits work either way.
static const QtKeyPosition keypadEditingKeys[] = {
    {Qt::Key_Insert, t_KeyPad0}, {Qt::Key_End, t_KeyPad1},  {Qt::Key_Down, t_KeyPad2},
    {Qt::Key_PageDown, t_KeyPad3}, {Qt::Key_Left, t_KeyPad4}, {Qt::Key_Clear, t_KeyPad5},
    {Qt::Key_Right, t_KeyPad6}, {Qt::Key_Home, t_KeyPad7},  {Qt::Key_Up, t_KeyPad8},
    {Qt::Key_PageUp, t_KeyPad9},
};

static int lookUp(const QtKeyPosition *table, size_t size, int qtKey) {
    for (size_t i = 0; i < size; i++)
        if (table[i].QtKey == qtKey) return table[i].Key;
    return t_KeyUnknown;
}

struct OptionChars {
    int Key;
    char32_t Plain;
    char32_t Shifted;
};

// The characters Option (Alt) gives.  For every key the key table names,
// this is the character its row expects, so that every symbol of the table
// can be typed; the other keys give what a US layout gives with Option.
// 0 stands for a dead key, which gives no characters.
static const OptionChars optionLayer[] = {
    {t_KeyA, 0x00E5, 0x00C5}, {t_KeyB, 0x222B, 0x0131}, {t_KeyC, 0x00E7, 0x00C7}, {t_KeyD, 0x2202, 0x00CE},
    {t_KeyE, 0x20AC, 0x00B4}, {t_KeyF, 0x0192, 0x00CF}, {t_KeyG, 0x00A9, 0x02DD}, {t_KeyH, 0x00AA, 0x00D3},
    {t_KeyI, 0x2044, 0x02C6}, {t_KeyJ, 0x00BA, 0x00D4}, {t_KeyK, 0x2206, 0xF8FF}, {t_KeyL, 0x00AC, 0x00D2},
    {t_KeyM, 0x00B5, 0x00C2}, {t_KeyN, 0, 0x02DC},      {t_KeyO, 0x00F8, 0x00D8}, {t_KeyP, 0x03C0, 0x220F},
    {t_KeyQ, 0x0153, 0x0152}, {t_KeyR, 0x00AE, 0x2030}, {t_KeyS, 0x201A, 0x00CD}, {t_KeyT, 0x2020, 0x02C7},
    {t_KeyU, 0, 0x00A8},      {t_KeyV, 0x221A, 0x25CA}, {t_KeyW, 0x2211, 0x201E}, {t_KeyX, 0x2248, 0x02DB},
    {t_KeyY, 0x03A9, 0x00C1}, {t_KeyZ, 0x00A5, 0x00B8}, {t_Key1, 0x00A1, 0x2044}, {t_Key2, 0x201C, 0x20AC},
    {t_Key3, 0x00A3, 0x2039}, {t_Key4, 0x00A2, 0x203A}, {t_Key5, 0x00B6, 0xFB01}, {t_Key6, 0x00A7, 0xFB02},
    {t_Key7, 0x007C, 0x2021}, {t_Key8, 0x007B, 0x00B0}, {t_Key9, 0x007D, 0x00B7}, {t_Key0, 0x2260, 0x201A},
    {t_KeyMinus, 0x00BF, 0x2014}, {t_KeyEqual, 0, 0},   {t_KeyLeftBracket, 0x2022, 0x201D},
    {t_KeyRightBracket, 0x00B1, 0x2019}, {t_KeyBackslash, 0x2018, 0x00BB}, {t_KeySemicolon, 0x0153, 0x00DA},
    {t_KeyQuote, 0x00E6, 0x00C6}, {t_KeyComma, 0x221E, 0x00AF}, {t_KeyPeriod, 0x2026, 0x02D8},
    {t_KeySlash, 0x2013, 0x00BF}, {t_KeyGrave, 0x2264, 0x2265}, {t_KeySpace, 0x00A0, 0x00A0},
    {t_KeyISOSection, 0, 0},
};

int t_QtKeyPosition(int qtKey, bool keypad, bool controlOrAlt) {
    if (keypad) {
        int k = lookUp(keypadKeys, std::size(keypadKeys), qtKey);
        if (k != t_KeyUnknown) return k;
        if (controlOrAlt) {
            k = lookUp(keypadEditingKeys, std::size(keypadEditingKeys), qtKey);
            if (k != t_KeyUnknown) return k;
        }
    }
    return lookUp(mainKeys, std::size(mainKeys), qtKey);
}

uint32_t t_QtModifierFlags(Qt::KeyboardModifiers m, bool keypad, bool cursorKey) {
    uint32_t flags = 0;
    if (m & Qt::ShiftModifier) flags |= t_ModShift;
    if (m & Qt::ControlModifier) flags |= t_ModControl;
    if (m & Qt::AltModifier) flags |= t_ModOption;
    if (m & Qt::MetaModifier) flags |= t_ModCommand;
    if (keypad || cursorKey) flags |= t_ModNumericPad;
    return flags;
}

// The characters the key gives on a US layout with these modifiers.
std::string t_QtKeyCharacters(int key, int qtKey, const std::string &qtText, uint32_t flags) {
    bool shift = flags & t_ModShift;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F35)
        return t_EncodeChar(t_FunctionKeyBase + char32_t(qtKey - Qt::Key_F1 + 1));
    if (key == t_KeyHelp) return t_EncodeChar(0xF746);
    if (qtKey == Qt::Key_Backtab) return "\x19";
    if ((flags & t_ModOption) && !(flags & t_ModControl)) {
        for (const OptionChars &o : optionLayer) {
            if (o.Key != key) continue;
            char32_t c = shift ? o.Shifted : o.Plain;
            return c == 0 ? std::string() : t_EncodeChar(c);
        }
    }
    if ((flags & t_ModControl) && qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return std::string(1, char(qtKey - Qt::Key_A + 1));
    if ((flags & t_ModControl) && qtKey >= Qt::Key_BracketLeft && qtKey <= Qt::Key_Underscore)
        return std::string(1, char(qtKey - Qt::Key_At));
    if (qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter) return "\r";
    if (qtKey == Qt::Key_Escape) return "\x1B";
    if (qtKey == Qt::Key_Tab) return "\t";
    return qtText;
}

static bool isCursorKey(int qtKey) {
    return qtKey == Qt::Key_Left || qtKey == Qt::Key_Right || qtKey == Qt::Key_Up || qtKey == Qt::Key_Down ||
           qtKey == Qt::Key_Home || qtKey == Qt::Key_End || qtKey == Qt::Key_PageUp || qtKey == Qt::Key_PageDown;
}

void t_HandleQtKeyPress(uint8_t window, const QKeyEvent *event) {
    Qt::KeyboardModifiers m = event->modifiers();
    bool keypad = m & Qt::KeypadModifier;
    bool controlOrAlt = m & (Qt::ControlModifier | Qt::AltModifier);
    int qtKey = event->key();
    int key = t_QtKeyPosition(qtKey, keypad, controlOrAlt);
    uint32_t flags = t_QtModifierFlags(m, keypad, isCursorKey(qtKey));
    std::string chars = t_QtKeyCharacters(key, qtKey, event->text().toStdString(), flags);
    viewKeyDown(window, key, chars, flags);
}

bool t_InputFilter::eventFilter(QObject *watched, QEvent *event) {
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget) return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // Keypad keys are the program's (Ctrl-keypad and Alt-keypad digits):
        // no menu key written with a main-row digit may take them.
        auto *key = static_cast<QKeyEvent *>(event);
        if (!(key->modifiers() & Qt::KeypadModifier)) return false;
        key->accept();
        return true;
    }
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Shift || key->key() == Qt::Key_Control || key->key() == Qt::Key_Alt ||
            key->key() == Qt::Key_Meta || key->key() == Qt::Key_CapsLock) {
            t_ModifiersChanged(t_QtModifierFlags(key->modifiers(), false, false));
            return true;
        }
        t_HandleQtKeyPress(Window, key);
        return true;
    }
    case QEvent::KeyRelease: {
        auto *key = static_cast<QKeyEvent *>(event);
        t_ModifiersChanged(t_QtModifierFlags(key->modifiers(), false, false));
        t_KeyUp();
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        // The point in the picture's own host coordinates, whatever the
        // picture's scale and place in the window.
        QPointF inContent = widget == Content ? mouse->position() : widget->mapTo(Content, mouse->position());
        QPointF host = t_MousePoint(Window, inContent);
        double x = host.x(), y = host.y();
        int buttons = (mouse->buttons() & Qt::LeftButton ? 1 : 0) | (mouse->buttons() & Qt::RightButton ? 2 : 0);
        bool right = mouse->button() == Qt::RightButton;
        viewMouseDown(Window, x, y, buttons, t_QtModifierFlags(mouse->modifiers(), false, false), right);
        widget->setFocus();
        return true;
    }
    case QEvent::MouseButtonRelease: t_MouseUp(); return true;
    default: return false;
    }
}
