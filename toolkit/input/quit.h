// Quitting the application from the menu while the program may hold unsaved
// work.  The program's state belongs to the program thread, so the menu's
// Quit does not look at it: it leaves a request that the program answers at
// its next wait for input, on its own thread.
#pragma once

#include <functional>
#include <string>

// The program's answer to a quit request (program thread); it ends the
// application with t_QuitApplication or leaves it running.  An empty handler
// means the program cannot answer any more: a request then quits at once,
// and one left pending when the handler is taken away quits too.
void t_SetQuitHandler(std::function<void()> handler);
// Main thread: the user chose Quit.  Asks the program when it has a handler,
// otherwise ends the application at once.
void t_RequestQuit();
// Program thread, in every wait for input: runs the handler for a pending
// request.  Cheap when none is pending.
void t_ServeQuitRequest();
// Any thread: ends the application (its terminate callback runs, then the
// process ends).
void t_QuitApplication();

// The answers of the save-changes dialog.
enum class t_SaveChangesAnswer { Save, Discard, Cancel };
// Asks, in a standard dialog, whether to save the changes of the named file
// before quitting; Cancel without a host.
t_SaveChangesAnswer t_AskSaveChanges(const std::string &fileName);
// Tells the user something in a standard dialog and waits until it is closed.
void t_Alert(const std::string &message);

// What quitting needs of the host; the hooks run on the main thread.
struct t_QuitHostServices {
    std::function<void()> EndApplication;
    std::function<t_SaveChangesAnswer(const std::string &)> AskSaveChanges;
    std::function<void(const std::string &)> Alert;
};
void t_SetQuitHostServices(t_QuitHostServices services);
