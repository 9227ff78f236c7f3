// Key translation fed with real Qt key events: the keys a person types most,
// rows of each kind of the key table, and the general rule.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "events.h"
#include "key_qt.h"
#include "key_table.h"
#include "text.h"

namespace {

struct Typed {
    bool Made = false, CursorKey = false, FunctionKey = false;
    int Value = -1;
    std::string Description;
};

// Translates one key event as the view would; without a window table the
// event goes straight through the translation.
Typed type(int qtKey, Qt::KeyboardModifiers mods, const QString &text = QString()) {
    t_ClearEventQueues();
    QKeyEvent event(QEvent::KeyPress, qtKey, mods, text);
    Qt::KeyboardModifiers m = event.modifiers();
    bool keypad = m & Qt::KeypadModifier;
    int key = t_QtKeyPosition(qtKey, keypad, m & (Qt::ControlModifier | Qt::AltModifier));
    uint32_t flags = t_QtModifierFlags(m, keypad, false);
    std::string chars = t_QtKeyCharacters(key, qtKey, text.toStdString(), flags);
    t_KeyResult r = t_TranslateKey(key, t_Asc(chars), flags);
    return {r.Outcome == t_KeyOutcome::Event, r.CursorKey, r.FunctionKey, r.Value, chars};
}

struct KeyCase { const char *Name; int QtKey; Qt::KeyboardModifiers Mods; const char *Text; int Value; bool CursorKey; };

const Qt::KeyboardModifiers None = Qt::NoModifier;
const Qt::KeyboardModifiers Alt = Qt::AltModifier;
const Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
const Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
const Qt::KeyboardModifiers Pad = Qt::KeypadModifier;

TEST(KeyTranslation, UsLayoutKeysGiveTheTableValues) {
    const KeyCase cases[] = {
        {"letter", Qt::Key_A, None, "a", 'a', false},
        {"Return", Qt::Key_Return, None, "\r", 0x0D, false},
        {"keypad Enter", Qt::Key_Enter, Pad, "\r", 0x0D, false},
        {"Backspace is Delete", Qt::Key_Backspace, None, "\b", 0x7F, false},
        {"Forward Delete", Qt::Key_Delete, None, "\x7F", 0x07, false},
        {"Shift-Tab", Qt::Key_Backtab, Shift, "", 0x14, false},
        {"Escape", Qt::Key_Escape, None, "\x1B", 0x1B, false},
        {"Left", Qt::Key_Left, None, "", 0x08, true},
        {"Right", Qt::Key_Right, None, "", 0x15, true},
        {"Up", Qt::Key_Up, None, "", 0x0B, true},
        {"Down", Qt::Key_Down, None, "", 0x0A, true},
        {"Home", Qt::Key_Home, None, "", 0x02, true},
        {"End", Qt::Key_End, None, "", 0x05, true},
        {"Page Up", Qt::Key_PageUp, None, "", 0x12, true},
        {"Page Down", Qt::Key_PageDown, None, "", 0x03, true},
        {"Alt-A", Qt::Key_A, Alt, "a", 0xB0, false},
        {"Alt-equals dead key", Qt::Key_Equal, Alt, "=", 0xB4, false},
        {"Alt-Shift-P", Qt::Key_P, Alt | Shift, "P", 0xD0, false},
        {"Ctrl-Alt-L", Qt::Key_L, Ctrl | Alt, "", 0x00, false},
        {"Alt-keypad 0", Qt::Key_0, Alt | Pad, "0", 0xD8, false},
        {"keypad 7 plain", Qt::Key_7, Pad, "7", '7', false},
        {"keypad Clear", Qt::Key_Clear, Pad, "", 0x1B, false},
        {"Ctrl-S", Qt::Key_S, Ctrl, "\x13", 0x13, false},
        {"F1", Qt::Key_F1, None, "", 129, false},
        {"F12", Qt::Key_F12, None, "", 140, false},
    };
    for (const KeyCase &c : cases) {
        Typed t = type(c.QtKey, c.Mods, QString::fromLatin1(c.Text));
        EXPECT_EQ(std::make_tuple(t.Made, t.Value, t.CursorKey), std::make_tuple(true, c.Value, c.CursorKey)) << c.Name;
    }
}

TEST(KeyTranslation, OptionCharactersFunctionKeysAndCharactersWithoutARow) {
    EXPECT_EQ(type(Qt::Key_A, Alt, "a").Description, "å");
    EXPECT_TRUE(type(Qt::Key_F1, None).FunctionKey);
    EXPECT_FALSE(type(Qt::Key_Left, None).FunctionKey);
    // Characters above Latin-1 without a row make no event: Alt-Shift-V gives
    // a lozenge, Alt-Shift-2 the euro sign on a key whose row wants another
    // character, and a plain character between 0x100 and 0xF703 comes from
    // another layout.  A dead key without a row gives Control-@.
    EXPECT_FALSE(type(Qt::Key_V, Alt | Shift, "V").Made);
    EXPECT_FALSE(type(Qt::Key_At, Alt | Shift, "@").Made);
    EXPECT_FALSE(type(Qt::Key_unknown, None, QString(QChar(0x0416))).Made);
    EXPECT_EQ(type(Qt::Key_E, Alt | Shift, "E").Value, 0xB4);   // the acute accent, a Latin-1 character
    Typed dead = type(Qt::Key_ydiaeresis, None, "");
    EXPECT_EQ(std::make_pair(dead.Made, dead.Value), std::make_pair(true, 0));
}

TEST(KeyTranslation, ControlKeypadSwitchesRedirectionWithoutEvent) {
    struct Row { int QtKey; int Mode; } rows[] = {{Qt::Key_7, 0}, {Qt::Key_8, 2}, {Qt::Key_9, 1}, {Qt::Key_Up, 2}};
    for (const Row &r : rows) {
        int key = t_QtKeyPosition(r.QtKey, true, true);
        t_KeyResult res = t_TranslateKey(key, 0, t_ModControl | t_ModNumericPad);
        EXPECT_EQ(res.Outcome, t_KeyOutcome::RedirectOutput) << r.QtKey;
        EXPECT_EQ(res.Redirect, r.Mode) << r.QtKey;
    }
}

}  // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
