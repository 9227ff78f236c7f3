// The check marks the program sets on menu items.  A click on a checkable
// item toggles Qt's own mark; the program's choice is kept beside it, so
// that the mark can be put back until the program has taken the choice.
#pragma once

#include <QAction>

// The check mark the program set on an item (t_MenuItemCheck), and setting it.
bool t_ProgramCheck(const QAction *action);
void t_SetProgramCheck(QAction *action, bool checked);
