// Quitting in Qt: ending the event loop and the save-changes dialog.
#pragma once

// Installs the quit services of the toolkit (quit.h).
void t_InstallQuitHost();
