// The quit request between the menu (main thread) and the program.
#include "quit.h"

#include <atomic>
#include <mutex>

#include "threads.h"

static std::mutex quitLock;
static std::function<void()> quitHandler;
static t_QuitHostServices quitHost;
static std::atomic<bool> quitRequested{false};

static t_QuitHostServices currentHost() {
    std::lock_guard<std::mutex> hold(quitLock);
    return quitHost;
}

void t_SetQuitHostServices(t_QuitHostServices services) {
    std::lock_guard<std::mutex> hold(quitLock);
    quitHost = std::move(services);
}

void t_QuitApplication() {
    t_QuitHostServices h = currentHost();
    if (h.EndApplication) t_OnMainThreadAsync(h.EndApplication);
}

void t_SetQuitHandler(std::function<void()> handler) {
    bool pending;
    {
        std::lock_guard<std::mutex> hold(quitLock);
        quitHandler = std::move(handler);
        pending = !quitHandler && quitRequested.exchange(false);
    }
    if (pending) t_QuitApplication();
}

void t_RequestQuit() {
    {
        std::lock_guard<std::mutex> hold(quitLock);
        if (quitHandler) {
            quitRequested = true;
            return;
        }
    }
    t_QuitApplication();
}

void t_ServeQuitRequest() {
    if (!quitRequested.exchange(false)) return;
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> hold(quitLock);
        handler = quitHandler;
    }
    if (handler) handler();
    else t_QuitApplication();
}

t_SaveChangesAnswer t_AskSaveChanges(const std::string &fileName) {
    t_QuitHostServices h = currentHost();
    t_SaveChangesAnswer answer = t_SaveChangesAnswer::Cancel;
    if (h.AskSaveChanges) t_OnMainThread([&] { answer = h.AskSaveChanges(fileName); });
    return answer;
}

void t_Alert(const std::string &message) {
    t_QuitHostServices h = currentHost();
    if (h.Alert) t_OnMainThread([&] { h.Alert(message); });
}
