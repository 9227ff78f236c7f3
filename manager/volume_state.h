// The open volume of the volume manager and the helpers its screens share.
#pragma once

#include <string>

#include "volume.h"

// The current volume; open exactly when its Path is not empty.  Owned by the
// program thread, replaced whole after every command that changes it.
extern cpm_Volume cpm_CurrentVolume;

// The window every screen of the volume manager is drawn in.
uint8_t cpm_Window();
// Shows the browser and loads the chosen image; the empty volume on cancel
// or refusal.  Leaves the screen below the prompt empty but for the refusal
// ("NAME: is empty") on line 3.
cpm_Volume cpm_OpenVolume(const std::string &startFolder);
// Asks a single-key question: prints it, reads keys until one of the letters
// comes (in capitals), echoes it and starts a new line.  With onEscape,
// Escape answers that letter.
char cpm_Ask(const std::string &question, const std::string &letters, char onEscape = 0);
// Reads a file name: "Please enter filename: " and a 13-character field.
std::string cpm_AskFileName();
// A typed name as the engine takes it: a stored name it names exactly,
// else bytes in capitals.
Text cpm_TypedName(const std::string &answer);
// Saves the current volume; "" when it was saved, otherwise why not
// ("Image file is read-only.", "Changes not saved: " and the reason).
std::string cpm_SaveCurrentVolume();
// Saves the current volume and prints the outcome; true when it was saved.
bool cpm_SaveAndReport();
// Before the volume is read again from its file (with another format, or
// another slice): asks whether to save its changes.  False when the user
// quits or the save fails: the volume stays as it is.
bool cpm_SaveBeforeReopening();
// Drops the changes: reads the image again as it was last saved, in the same
// user area.  U(ndo and every D(iscard answer take this one path, so nothing
// dropped can be saved later.
void cpm_RevertCurrentVolume();
// "Volume Name: NAME (128K)" and a new line; on the line after it, why the
// volume must not be changed, when it must not.
void cpm_PrintVolumeName(const cpm_Volume &volume);
