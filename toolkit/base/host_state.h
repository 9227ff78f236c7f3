// Toolkit state that the host measures or the program sets, shared by the
// display and host layers.
#pragma once

#include <atomic>
#include <functional>

// Height in points of a standard window title bar, measured once at launch.
extern std::atomic<int> t_TitleBarHeight;
// Called when the application is about to end; empty unless the program sets it.
extern std::function<void()> t_TerminateHandler;

// One-time toolkit initialisation (the hex tables of the string functions).
void initvxtools();
