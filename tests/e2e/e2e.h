// End-to-end harness: the real application (offscreen), the main program on
// its program thread, keys sent as Qt key events to window 0's view, and the
// screen read back from the window's text.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "temp_folder.h"
#include "text.h"

inline const char *const e2e_Prompt1 = "Diskwright: V(olume  D(irectory  L(ong Dir  S(ector Map  N(ew  Q(uit  [1.4] ?";
inline const char *const e2e_Prompt2 = "Diskwright: C(hanges  E(rase  U(nerase  A(lphabetize  I(nit  B(locks  [1.4] ?";
inline const char *const e2e_Prompt3 = "Diskwright: P(rint  H(exdump  M(ac --> CP/M  T(ransfer CP/M --> Mac   [1.4] ?";

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
bool e2e_OnScreen(const std::string &text);
// Waits until the screen shows the text; false after the timeout.
bool e2e_WaitFor(const std::string &text, int timeoutMs = 5000);
// Waits until the whole screen is the text.
bool e2e_WaitForScreen(const std::string &text, int timeoutMs = 5000);
// Waits until the screen (or what read gives) stops changing for a moment.
void e2e_Settle();
std::string e2e_Settled(const std::function<std::string()> &read);
// Presses keys as a person would: every character of the text, "\r" Return,
// "\x1B" Escape, "\b" Backspace.
void e2e_Type(const std::string &text);
// Presses Control and the letter, as for Control-S.
void e2e_TypeControl(char letter);
// Types the keys, waits until the screen shows the text, and until it stops
// changing.
void e2e_Command(const std::string &keys, const std::string &shows);
// Opens the image given at launch from the start-up browser.
void e2e_OpenLaunchImage(const std::string &name);

// Writes a plain volume of the size with the files (name, contents) at path
// and gives the path.
std::string e2e_MakeImage(const std::string &path, int sizeKB,
                          const std::vector<std::pair<std::string, std::string>> &files);
// Rewrites the user byte and the eleven name bytes of an entry of a plain
// image file, as a real disk may hold them.
void e2e_PatchEntry(const std::string &image, int entry, uint8_t user, const std::string &nameAndType);
// The title of the checked item of a menu ("" when none is).
std::string e2e_CheckedItem(const std::string &menu);
// The names of the files an image file lists, in directory order.
std::vector<std::string> e2e_Files(const std::string &image);
// A home folder in the folder whose Desktop folder, which it gives, is where
// the browsers start; set before the program reads its standard folders.
std::string e2e_UseOwnDesktop(const test_TempFolder &folder);
