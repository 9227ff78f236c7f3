// Documents from the desktop: paths given at launch, files dropped on a
// toolkit window, and paths that a second launch hands to the running
// program.  Each becomes one file-open event.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

// The documents named on the command line (every argument after the
// program's own name), as absolute clean paths; "file:" URLs become local
// paths, empty arguments are skipped.
QStringList t_LaunchPaths(const QStringList &arguments, const QString &workingFolder);

// The per-user name of the running program's hand-over socket.
QString t_InstanceServerName();

// Second launch: sends the paths to the program listening at name and waits
// for its confirmation.  True when the running program took them.
bool t_HandOverPaths(const QString &name, const QStringList &paths, int timeoutMs);

// Running program: listens at name (only the same user may connect) and
// passes the paths of each hand-over to received, on the main thread.
// Null when it cannot listen.
QLocalServer *t_ListenForHandOver(const QString &name, QObject *parent,
                                  std::function<void(const QStringList &)> received);

// What the running program does with handed-over paths: one file-open
// event each, then its window comes to the front (shown again when hidden;
// a launch without paths does only that).
void t_ReceiveHandedPaths(const QStringList &paths);

// The start-up of the document events, after the QApplication exists.
// True when this launch handed its paths (perhaps none) to a running
// program and should exit.  Otherwise this launch becomes the running program (when no other
// is): it listens for later launches, and its own paths become file events.
bool t_StartDocumentEvents(const QStringList &arguments, bool singleInstance = true);

// Lets the window take local files dropped on it, one file-open event each.
void t_AcceptFileDrops(QWidget *window);
// The same for every toolkit window.
void t_InstallFileDrops();
