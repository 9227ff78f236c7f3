// The one-line input editor of a toolkit window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Asks for a line at the cursor: prompt, default text, input mode (2 signed
// integer, 3 decimal number, 4 digits with one dash, else free text) and the
// maximum length.  With noWait it only shows the field and returns.
std::string t_InputForm(uint8_t window, const std::string &prompt, const std::string &defaultText, bool noWait,
                        int mode, int maxCharacters);
// Applies one key value to the window's input.
void t_InputEdit(uint8_t window, int key);
// Inserts one character at the cursor, subject to the mode and the limits.
void t_InputInsert(uint8_t window, int code);
std::string t_InputGetString(uint8_t window);
void t_InputSetString(uint8_t window, const std::string &text);
int t_InputGetMaxCharacters(uint8_t window);

// The host clipboard (plain text), supplied by the host.
struct t_ClipboardServices {
    std::function<std::string()> GetText;
    std::function<void(const std::string &)> SetText;
};
void t_SetClipboardServices(t_ClipboardServices services);
