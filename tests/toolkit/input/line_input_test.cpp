// The line editor on a headless text window: modes, limits, editing keys,
// the clipboard.
#include <gtest/gtest.h>

#include "display.h"
#include "events.h"
#include "line_input.h"
#include "log_capture.h"
#include "text.h"
#include "text_window.h"

namespace {

// A text window of 80 x 25 cells with a tiny grey font.
class LineInput : public ::testing::Test {
protected:
    void SetUp() override {
        test_InitTextWindow0();
        t_ClearEventQueues();
        t_Vtab(0, 5);
        t_Htab(0, 1);
    }

    // Starts a field without waiting, then applies the keys.
    void edit(const char *prompt, const char *start, int mode, int max, std::initializer_list<int> keys) {
        t_InputForm(0, prompt, start, true, mode, max);
        for (int k : keys) t_InputEdit(0, k);
    }
};

TEST_F(LineInput, DefaultAndTypingAreCutToTheMaximum) {
    EXPECT_EQ(t_InputForm(0, "Name: ", "LONGFILENAME.TXT", true, 0, 8), "LONGFILE");
    EXPECT_EQ(t_InputGetMaxCharacters(0), 8);
    EXPECT_EQ(test_Screen(5, 1, 14), "Name: LONGFILE");
    EXPECT_EQ(t_InputForm(0, "", "abc", true, 0, 0), "");
    t_Vtab(0, 6);
    t_Htab(0, 1);
    edit("", "ab", 0, 5, {'c', 'd', 'e', 'f', 'g'});
    EXPECT_EQ(t_InputGetString(0), "abcde");
    EXPECT_EQ(test_Screen(6, 1, 6), "abcde ");
}

TEST_F(LineInput, ModesFilterCharacters) {
    const struct { const char *Name; int Mode; std::vector<int> Keys; const char *Expected; } cases[] = {
        {"integer refuses a late dash", 2, {'1', '-', '2'}, "12"},
        {"integer takes a leading dash", 2, {'-', '4', 'x'}, "-4"},
        {"decimal turns a point into a comma", 3, {'1', '.', '5', ',', '.'}, "1,5"},
        {"decimal exponent with sign", 3, {'1', 'E', '-', '5'}, "1e-5"},
        {"decimal dash after digit refused", 3, {'1', '-'}, "1"},
        {"range refuses a first dash", 4, {'-', '1', '-', '2', '-'}, "1-2"},
        {"free text takes anything but 0", 0, {'a', 0x80, 129, ' '}, "a\u0080\u0081 "},
    };
    for (const auto &c : cases) {
        t_InputForm(0, "", "", true, c.Mode, 20);
        for (int k : c.Keys) t_InputEdit(0, k);
        EXPECT_EQ(t_InputGetString(0), c.Expected) << c.Name;
    }
}

TEST_F(LineInput, FieldNeverReachesTheLastColumn) {
    t_Htab(0, 70);
    t_InputForm(0, "", "", true, 0, 40);
    EXPECT_EQ(t_WindowTable[0].InputHpos, 70);
    for (int i = 0; i < 20; i++) t_InputEdit(0, 'x');
    EXPECT_EQ(t_InputGetString(0), "xxxxxxxxxx");   // columns 70 to 79, never 80
    t_Area(0, 1, 1, 79, 25);
    t_Vtab(0, 5);
    t_Htab(0, 70);
    t_InputForm(0, "", "", true, 0, 40);
    for (int i = 0; i < 20; i++) t_InputEdit(0, 'x');
    EXPECT_EQ(t_InputGetString(0), "xxxxxxxxx");
    t_FullArea(0);
}

TEST_F(LineInput, EditingKeys) {
    edit("", "abc def", 0, 20, {0x01, 0x04});
    EXPECT_EQ(t_WindowTable[0].InputCursorPos, 4);   // after "abc "
    t_InputEdit(0, 0x13);
    EXPECT_EQ(t_WindowTable[0].InputCursorPos, 0);
    t_InputEdit(0, 0x07);   // forward delete at the start
    EXPECT_EQ(t_InputGetString(0), "bc def");
    t_InputEdit(0, 0x05);
    t_InputEdit(0, 0x07);   // forward delete at the end: nothing
    EXPECT_EQ(t_InputGetString(0), "bc def");
    t_InputEdit(0, 0x7F);
    EXPECT_EQ(t_InputGetString(0), "bc de");
    EXPECT_EQ(test_Screen(5, 1, 6), "bc de ");
    t_InputEdit(0, 0x08);
    t_InputEdit(0, 0x08);
    t_InputEdit(0, 0x18);   // delete left of the cursor
    EXPECT_EQ(t_InputGetString(0), "de");
    EXPECT_EQ(test_Screen(5, 1, 5), "de   ");
    t_InputEdit(0, 0x01);
    t_InputEdit(0, 0x7F);   // delete at the start: nothing
    EXPECT_EQ(t_InputGetString(0), "de");
    t_InputEdit(0, 'X');    // inserted, never overwritten
    EXPECT_EQ(t_InputGetString(0), "Xde");
}

// Escape clears the field and the form gives nothing; Return ends it with
// the text and a new line.
TEST_F(LineInput, EscapeAndReturnEndTheForm) {
    t_TypeString("ab\x1B");
    EXPECT_EQ(t_InputForm(0, "File: ", "x", false, 0, 13), "");
    EXPECT_EQ(test_Screen(5, 1, 9), "File:    ");
    EXPECT_FALSE(t_WindowTable[0].InputFinished);
    t_Vtab(0, 5);
    t_TypeString("12\r");
    EXPECT_EQ(t_InputForm(0, "Number: ", "", false, 2, 5), "12");
    EXPECT_TRUE(t_WindowTable[0].InputFinished);
    EXPECT_EQ(t_WindowTable[0].TextVpos, 6);
}

TEST_F(LineInput, CharacterByNumberAndPaste) {
    t_TypeString("65x");
    edit("", "", 0, 10, {0x1E});
    EXPECT_EQ(t_InputGetString(0), "A");
    EXPECT_EQ(t_PendingKeyEvents(), 0u);   // the ending key is taken
    t_TypeString("z");
    t_InputEdit(0, 0x1E);
    EXPECT_EQ(t_InputGetString(0), "A");
    // Paste types only the first line.
    std::string clip;
    t_SetClipboardServices({[&] { return clip; }, [&](const std::string &s) { clip = s; }});
    clip = "one\ntwo";
    edit("", "", 0, 20, {0x16});
    while (t_EventAvailable) t_InputEdit(0, t_GetEvent());
    EXPECT_EQ(t_InputGetString(0), "one");

    t_InputSetString(0, "A\x1B" "20AC\x1D");
    t_InputEdit(0, 0x0C);
    EXPECT_EQ(clip, "A€");
    t_SetClipboardServices({});
}

TEST(LineInputGuard, BadWindowsAreRefused) {
    test_LogCapture log;
    EXPECT_EQ(t_InputForm(9, "", "", true, 0, 5), "");
    EXPECT_EQ(t_InputGetMaxCharacters(6), 0);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"t_InputForm: Window is not a graphic window.",
                                                     "t_InputGetMaxCharacters: Window #6 not initialized."}));
}

}  // namespace
