// The Format menu of the volume manager.
#pragma once

#include <string>

// Shows the definitions of the open image's size in the Format menu, the
// one it is read with ticked; cheap when nothing changed.
void cpm_UpdateFormatMenu();
// The key a menu choice arrives as.
bool cpm_IsMenuChoiceKey(const std::string &key);
// Carries out the menu choices made since the last prompt.
void cpm_ServeMenuChoices();
