// Runs the Qt application with the given main program on its program thread.
#pragma once

#include <functional>

// Builds the interface, runs the launch sequence (which starts the program
// on its own thread) and the event loop; returns the loop's exit status once
// the user has quit.
struct t_ApplicationOptions {
    // A launch with files hands them to a program already running and ends;
    // tests that run several programs at once switch this off.
    bool SingleInstance = true;
    // Window 0 starts at the size and place it had when the last run ended
    // (Qt settings); tests that run the application switch this off.
    bool RememberWindows = true;
};
int t_RunApplication(int &argc, char **argv, std::function<void()> program, t_ApplicationOptions options = {});
