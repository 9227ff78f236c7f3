// Text output: control codes, display modes, escape sequences, attributes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "text.h"

// Prints every Unicode character of the UTF-8 text.
void t_Print(uint8_t window, const std::string &text);
// A string literal is UTF-8 text too.
inline void t_Print(uint8_t window, const char *text) { t_Print(window, std::string(text ? text : "")); }

// Result of the byte form of t_Print.
struct t_PrintResult {
    bool Paused = false;   // the final pause check paused the output
    int Key = 0;           // the key that ended the pause, 0 for a menu event
};
// Prints every byte of the byte string.
t_PrintResult t_Print(uint8_t window, const Text &bytes);

// Draws one code at the cursor through the display mode, without
// interpreting control codes, and moves the cursor right.
void t_PrintChar(uint8_t window, uint8_t code);
// Performs one control code.
void t_PrintControl(uint8_t window, uint8_t code);
// Prints fill until the cursor reaches the absolute column.
void t_PrintTab(uint8_t window, int column, uint8_t fill);
void t_PrintSpc(uint8_t window, int count);

// The display-mode translation of one character.
struct t_DisplayResult {
    int Code;        // glyph to draw; negative: nothing
    bool Inverse;    // TextInverse after the character
    uint8_t Color;   // TextColor after the character
};
t_DisplayResult t_ApplyDisplayMode(uint8_t window, int code);

// 0 nowhere, 1 the window, 2 the console.
void t_RedirectOutput(uint8_t window, int mode);
void t_Normal(uint8_t window);
void t_Inverse(uint8_t window);
void t_Reverse(uint8_t window);
// Ink nibble of TextColor = colour's low four bits.
void t_Color(uint8_t window, int colour);
// How t_Print shows characters; modes 1 to 4 stay until changed, the escape
// mode lasts one character.
enum : int {
    t_DisplayNormal = 0,            // codes 0-31 act as control codes
    t_DisplayHigh = 1,              // codes 32-127 drawn as 160-255
    t_DisplayMouseText = 2,         // 64-95 drawn as 0-31, 96-127 as 128-159
    t_DisplayInverseControls = 3,   // codes 0-31 drawn inverse as their letters
    t_DisplayRedControls = 4,       // codes 0-31 drawn red as their letters
    t_DisplayEscape = 99,           // the next character is an escape command
};
void t_DisplayMode(uint8_t window, int mode);

// The output pause of Control-S.  The key-event layer installs the real
// check; until then output never pauses.
struct t_PauseResult {
    bool Paused = false;
    int Key = 0;
};
using t_PauseOnKeyHook = std::function<t_PauseResult(int key, bool wait)>;
void t_SetPauseOnKey(t_PauseOnKeyHook hook);
