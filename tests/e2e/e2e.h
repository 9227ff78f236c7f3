// End-to-end harness: the real application (offscreen), the main program on
// its program thread, keys sent as Qt key events to window 0's view, and the
// screen read back from the window's text.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "text.h"

// Runs the application with these arguments; the script runs on a thread of
// its own once the program is up, and the application quits when it returns
// (unless it has ended already).  Returns once the script has returned.
// With singleInstance, the program is the one running program that later
// launches hand over to.
void e2e_RunProgram(const std::vector<std::string> &args, const std::function<void()> &script,
                    bool singleInstance = false);
// Waits until the application ends (its terminate callback has run).
bool e2e_WaitForEnd(int timeoutMs = 5000);

// Chooses a menu item, as a click on it would.
void e2e_ChooseMenu(const std::string &menu, const std::string &item);
// Waits for a modal dialog, clicks its button with that text and returns the
// dialog's text; "" (and a failure) when no dialog came.
std::string e2e_AnswerDialog(const std::string &button, int timeoutMs = 5000);
// Whether the window with that toolkit number is shown.
bool e2e_WindowShown(int number);

// The screen of window 0, lines joined by carriage returns, trailing blanks cut.
std::string e2e_Screen();
// Line n (from 1) of window 0, trailing blanks cut.
std::string e2e_Line(int n);
// Waits until the screen shows the text; false after the timeout.
bool e2e_WaitFor(const std::string &text, int timeoutMs = 5000);
// Waits until the whole screen is the text.
bool e2e_WaitForScreen(const std::string &text, int timeoutMs = 5000);
// Waits until the screen stops changing for a moment.
void e2e_Settle();
// Presses keys as a person would: every character of the text, "\r" Return,
// "\x1B" Escape.
void e2e_Type(const std::string &text);
// Presses one key with modifiers (Qt::Key_..., Qt::KeyboardModifiers).
void e2e_Key(int qtKey, int modifiers = 0, const std::string &text = "");

// A folder of its own for one test, removed at the end of the process.
std::string e2e_TempFolder();
// Writes a plain volume of the size with the files (name, contents) at path.
void e2e_MakeImage(const std::string &path, int sizeKB,
                   const std::vector<std::pair<std::string, std::string>> &files);
