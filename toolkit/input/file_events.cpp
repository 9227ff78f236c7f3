// The file-event queue.  The main thread (or any other) appends, the
// browser's polling loop on the program thread takes; a mutex keeps every
// append and take whole, and the flag is set after the change.
#include "file_events.h"

#include <deque>
#include <mutex>

#include "files.h"
#include "threads.h"
#include "video_memory.h"

std::atomic<bool> t_FileEventAvailable{false};

static std::mutex queueLock;
static std::deque<t_Event> fileQueue;

static t_Shared<std::function<void()>> fileEventHook{[] {}};

void t_SetFileEventHook(std::function<void()> hook) { fileEventHook.Set(hook ? std::move(hook) : [] {}); }

// Runs the file-event hook on the thread t_RunAsync gave it.
static void t_StartEventFile() {
    if (t_ThreadNumber() >= 3) t_NameThread("t_StartEventFile");
    fileEventHook.Get()();
}

void t_PostFileEvent(const std::string &path, int index) {
    t_Event e;
    e.Kind = t_EventFileOpen;
    e.Index = index;
    e.Description = path;
    e.Value = t_FileExists(path);
    e.Time = t_NowMs();
    {
        std::lock_guard<std::mutex> hold(queueLock);
        fileQueue.push_back(std::move(e));
        t_FileEventAvailable = true;
    }
    t_RunAsync(t_StartEventFile);
}

bool t_TakeFileEvent(t_Event &out) {
    std::lock_guard<std::mutex> hold(queueLock);
    if (fileQueue.empty()) {
        t_FileEventAvailable = false;
        return false;
    }
    out = std::move(fileQueue.front());
    fileQueue.pop_front();
    t_FileEventAvailable = !fileQueue.empty();
    return true;
}

size_t t_PendingFileEvents() {
    std::lock_guard<std::mutex> hold(queueLock);
    return fileQueue.size();
}

void t_ClearFileEvents() {
    std::lock_guard<std::mutex> hold(queueLock);
    fileQueue.clear();
    t_FileEventAvailable = false;
}
