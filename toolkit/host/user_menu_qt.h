// The User menu: the user areas 0 to 15 of CP/M volumes, the one the
// program shows checked.  Main thread only.
#pragma once

#include <QMenu>

// The menu's title, as the program's menu choices name it.
extern const char *const t_UserMenuTitle;
// Builds the menu: items "0" to "15", 0 checked; 0 to 9 have the keys
// Ctrl+Alt+digit (main row only: the keypad digits stay the program's).
// A choice is queued for the program's prompt like a key.
QMenu *t_BuildUserMenu();
