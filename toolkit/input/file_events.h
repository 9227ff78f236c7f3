// File-open events: paths that the desktop hands to the program (a file
// given at launch, dropped on a window, or opened while the program runs)
// wait here until a catalogue browser takes them.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

#include "events.h"

// True while the file-event queue holds events.
extern std::atomic<bool> t_FileEventAvailable;

// Appends a file-open event for the path (t_EventFileOpen, Value from t_FileExists,
// Time now) and runs the file-event hook asynchronously.  Any thread.
void t_PostFileEvent(const std::string &path, int index);
// Takes the oldest file-open event; false when there is none.
bool t_TakeFileEvent(t_Event &out);
size_t t_PendingFileEvents();
void t_ClearFileEvents();

// The closure run once for every posted event (on a thread of its own);
// an empty function restores the default, which does nothing.
void t_SetFileEventHook(std::function<void()> hook);
