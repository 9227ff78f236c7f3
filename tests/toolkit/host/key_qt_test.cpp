// Key translation fed with real Qt key events: every row of the key table,
// the general rule, and the keys a person types most.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "events.h"
#include "key_qt.h"
#include "key_table.h"
#include "text.h"

namespace {

struct Typed {
    int Value = -1;
    bool CursorKey = false;
    bool FunctionKey = false;
    std::string Description;
    bool Made = false;
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
    Typed t;
    t.Made = r.Outcome == t_KeyOutcome::Event;
    t.Value = r.Value;
    t.CursorKey = r.CursorKey;
    t.FunctionKey = r.FunctionKey;
    t.Description = chars;
    return t;
}

struct KeyCase {
    const char *Name;
    int QtKey;
    Qt::KeyboardModifiers Mods;
    const char *Text;
    int Value;
    bool CursorKey;
};

const Qt::KeyboardModifiers None = Qt::NoModifier;
const Qt::KeyboardModifiers Alt = Qt::AltModifier;
const Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
const Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
const Qt::KeyboardModifiers Pad = Qt::KeypadModifier;

TEST(KeyTranslation, UsLayoutKeysGiveTheTableValues) {
    const KeyCase cases[] = {
        {"letter", Qt::Key_A, None, "a", 'a', false},
        {"capital", Qt::Key_A, Shift, "A", 'A', false},
        {"Return", Qt::Key_Return, None, "\r", 0x0D, false},
        {"keypad Enter", Qt::Key_Enter, Pad, "\r", 0x0D, false},
        {"Backspace is Delete", Qt::Key_Backspace, None, "\b", 0x7F, false},
        {"Forward Delete", Qt::Key_Delete, None, "\x7F", 0x07, false},
        {"Tab", Qt::Key_Tab, None, "\t", 0x09, false},
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
        {"Alt-S", Qt::Key_S, Alt, "s", 0xA8, false},
        {"Alt-D", Qt::Key_D, Alt, "d", 0xAD, false},
        {"Alt-F", Qt::Key_F, Alt, "f", 0x82, false},
        {"Alt-H", Qt::Key_H, Alt, "h", 0x83, false},
        {"Alt-X", Qt::Key_X, Alt, "x", 0x84, false},
        {"Alt-V", Qt::Key_V, Alt, "v", 0xFD, false},
        {"Alt-B", Qt::Key_B, Alt, "b", 0xDE, false},
        {"Alt-W", Qt::Key_W, Alt, "w", 0xDD, false},
        {"Alt-E", Qt::Key_E, Alt, "e", 0xA4, false},
        {"Alt-Y", Qt::Key_Y, Alt, "y", 0x80, false},
        {"Alt-T", Qt::Key_T, Alt, "t", 0xBD, false},
        {"Alt-2", Qt::Key_2, Alt, "2", 0xA3, false},
        {"Alt-equals dead key", Qt::Key_Equal, Alt, "=", 0xB4, false},
        {"Alt-Shift-equals dead key", Qt::Key_Plus, Alt | Shift, "+", 0x60, false},
        {"Alt-minus", Qt::Key_Minus, Alt, "-", 0xA6, false},
        {"Alt-0", Qt::Key_0, Alt, "0", 0xAC, false},
        {"Alt-U dead key", Qt::Key_U, Alt, "u", 0xAF, false},
        {"Alt-bracket", Qt::Key_BracketLeft, Alt, "[", 0xB8, false},
        {"Alt-I", Qt::Key_I, Alt, "i", 0x81, false},
        {"Alt-P", Qt::Key_P, Alt, "p", 0xF0, false},
        {"Alt-Shift-P", Qt::Key_P, Alt | Shift, "P", 0xD0, false},
        {"Ctrl-Alt-L", Qt::Key_L, Ctrl | Alt, "", 0x00, false},
        {"Alt-J", Qt::Key_J, Alt, "j", 0xB7, false},
        {"Alt-K", Qt::Key_K, Alt, "k", 0xFE, false},
        {"Alt-semicolon", Qt::Key_Semicolon, Alt, ";", 0xBE, false},
        {"Alt-backslash", Qt::Key_Backslash, Alt, "\\", 0xB4, false},
        {"Alt-comma", Qt::Key_Comma, Alt, ",", 0xFF, false},
        {"Alt-slash", Qt::Key_Slash, Alt, "/", 0x9A, false},
        {"Alt-N dead key", Qt::Key_N, Alt, "n", 0x7E, false},
        {"Alt-period", Qt::Key_Period, Alt, ".", 0xBF, false},
        {"Alt-grave", Qt::Key_QuoteLeft, Alt, "`", 0xC5, false},
        {"Alt-Shift-grave", Qt::Key_AsciiTilde, Alt | Shift, "~", 0xC6, false},
        {"Alt-Z", Qt::Key_Z, Alt, "z", 0xA5, false},
        {"Alt-keypad 0", Qt::Key_0, Alt | Pad, "0", 0xD8, false},
        {"Alt-keypad 1", Qt::Key_1, Alt | Pad, "1", 0xB9, false},
        {"Alt-keypad 5", Qt::Key_5, Alt | Pad, "5", 0xD7, false},
        {"Alt-keypad 7", Qt::Key_7, Alt | Pad, "7", 0xE5, false},
        {"Alt-keypad 8", Qt::Key_8, Alt | Pad, "8", 0xE6, false},
        {"Alt-keypad 9", Qt::Key_9, Alt | Pad, "9", 0xBC, false},
        {"keypad 7 plain", Qt::Key_7, Pad, "7", '7', false},
        {"keypad Clear", Qt::Key_Clear, Pad, "", 0x1B, false},
        {"Ctrl-S", Qt::Key_S, Ctrl, "\x13", 0x13, false},
        {"Ctrl-L", Qt::Key_L, Ctrl, "\x0C", 0x0C, false},
        {"F1", Qt::Key_F1, None, "", 129, false},
        {"F2", Qt::Key_F2, None, "", 130, false},
        {"F12", Qt::Key_F12, None, "", 140, false},
    };
    for (const KeyCase &c : cases) {
        Typed t = type(c.QtKey, c.Mods, QString::fromLatin1(c.Text));
        EXPECT_TRUE(t.Made) << c.Name;
        EXPECT_EQ(t.Value, c.Value) << c.Name;
        EXPECT_EQ(t.CursorKey, c.CursorKey) << c.Name;
    }
}

TEST(KeyTranslation, OptionCharactersKeepTheirDescription) {
    Typed t = type(Qt::Key_A, Alt, "a");
    EXPECT_EQ(t.Description, "å");
    EXPECT_EQ(t.Value, 0xB0);
}

TEST(KeyTranslation, FunctionKeysAreMarked) {
    EXPECT_TRUE(type(Qt::Key_F1, None).FunctionKey);
    EXPECT_FALSE(type(Qt::Key_Left, None).FunctionKey);
}

TEST(KeyTranslation, CharactersAboveLatin1WithoutARowMakeNoEvent) {
    // Alt-Shift-V gives a lozenge, Alt-Shift-2 the euro sign
    // on a key whose row wants another character.
    EXPECT_FALSE(type(Qt::Key_V, Alt | Shift, "V").Made);
    EXPECT_FALSE(type(Qt::Key_At, Alt | Shift, "@").Made);
    // A plain character between 0x100 and 0xF703 from another layout.
    EXPECT_FALSE(type(Qt::Key_unknown, None, QString(QChar(0x0416))).Made);
}

TEST(KeyTranslation, DeadKeyWithoutRowGivesControlZero) {
    Typed t = type(Qt::Key_E, Alt | Shift, "E");   // the acute accent, a Latin-1 character
    EXPECT_EQ(t.Value, 0xB4);
    t = type(Qt::Key_ydiaeresis, None, "");
    EXPECT_TRUE(t.Made);
    EXPECT_EQ(t.Value, 0);
}

TEST(KeyTranslation, ControlKeypadSwitchesRedirectionWithoutEvent) {
    struct Row {
        int QtKey;
        int Mode;
    } rows[] = {{Qt::Key_7, 0}, {Qt::Key_8, 2}, {Qt::Key_9, 1}, {Qt::Key_Up, 2}};
    for (const Row &r : rows) {
        int key = t_QtKeyPosition(r.QtKey, true, true);
        t_KeyResult res = t_TranslateKey(key, 0, t_ModControl | t_ModNumericPad);
        EXPECT_EQ(res.Outcome, t_KeyOutcome::RedirectOutput) << r.QtKey;
        EXPECT_EQ(res.Redirect, r.Mode) << r.QtKey;
    }
}

TEST(KeyTable, EveryRowIsReachableAndNamesAKeyPosition) {
    for (int i = 0; i < t_KeyTableSize; i++) {
        const t_KeyRow &row = t_KeyTable[i];
        EXPECT_GE(row.Key, 0);
        EXPECT_LE(row.Key, 126);
        // A row fires for its own key with its own character and modifiers.
        uint32_t mods = 0;
        if (row.Condition == t_KeyCondition::Option || row.Condition == t_KeyCondition::CharIsWithOption)
            mods = t_ModOption;
        if (row.Condition == t_KeyCondition::ControlWithoutOption) mods = t_ModControl;
        t_KeyResult r = t_TranslateKey(row.Key, row.Char, mods);
        if (row.Action == t_KeyAction::Redirect) {
            EXPECT_EQ(r.Outcome, t_KeyOutcome::RedirectOutput) << "row " << i;
        } else if (row.Action == t_KeyAction::ChangeChar) {
            EXPECT_EQ(r.Value, row.Value) << "row " << i;
        } else if (row.Key != t_KeyP || row.Char == 0x03C0) {
            EXPECT_EQ(r.Value, row.Value) << "row " << i;
        }
    }
}

}  // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
