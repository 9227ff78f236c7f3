// The command loop of the volume manager.
#pragma once

#include <string>

// Runs until the user presses Q (and, with unsaved changes, does not cancel).
void cpm_CommandLoop();
// Q's question when the volume holds unsaved changes: "Save changes before
// quitting: S(ave  D(iscard  C(ancel ? ".  True when the loop may end: there
// were no changes, they were saved, or the user discarded them.
bool cpm_ConfirmQuit();
// The answer to the menu's Quit (program thread): ends the application at
// once without unsaved changes, otherwise after a save-changes dialog; a
// cancelled dialog or a failed save (reported in a dialog) keeps it running.
void cpm_AnswerQuitRequest();
// Prompt line 1, 2 or 3 as shown: the text, the version and "] ? ".
std::string cpm_PromptText(int line);
