// The user area the volume manager works in: chosen in the User menu, taken
// at the prompt, and shown by the menu's check mark.
#pragma once

#include <string>

// A choice of the program's own menus, taken at the prompt: an item of the
// User menu makes the current volume show that user area and prints its
// "Volume Name: ..." line as V does.  Without a volume it changes nothing.
void cpm_TakeMenuChoice(const std::string &menu, int item);
// Keeps the User menu's check on the user area the current volume shows
// (0 after another volume was opened); asks the host only on a change.
void cpm_ShowUserAreaInMenu();
