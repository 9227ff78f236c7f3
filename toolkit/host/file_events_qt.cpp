// Document paths from the desktop turned into file-open events.
#include "file_events_qt.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QMimeData>
#include <QStandardPaths>
#include <QUrl>
#include <memory>
#include <unistd.h>

#include "display.h"
#include "file_events.h"
#include "host_windows.h"
#include "log.h"
#include "threads.h"
#include "windows.h"

namespace {

constexpr int handOverTimeoutMs = 3000;
constexpr int retryMs = 50;
const char confirmation = '1';

// Posts one file-open event per path.
void postPaths(const QStringList &paths) {
    for (const QString &path : paths)
        if (!path.isEmpty()) t_PostFileEvent(path.toStdString(), 0);
}

// Brings the program's window to the front once it has one, hidden or not.
void raiseProgramWindow() {
    uint8_t n = t_DefaultWindow;
    if (n < 8 && t_MemoryReady && t_WindowTable[n].Initialized) t_WindowFront(n);
}

// A hand-over message: each path in UTF-8 followed by a zero byte (a byte
// no Linux path holds), and one more zero byte at the end.
constexpr qsizetype maxMessageBytes = 1 << 20;

QByteArray encodePaths(const QStringList &paths) {
    QByteArray message;
    for (const QString &path : paths) {
        if (path.isEmpty()) continue;
        message += path.toUtf8();
        message += '\0';
    }
    message += '\0';
    return message;
}

// True when the buffer holds a whole message; its paths go to paths.
bool decodePaths(const QByteArray &buffer, QStringList &paths) {
    paths.clear();
    qsizetype start = 0;
    for (;;) {
        qsizetype end = buffer.indexOf('\0', start);
        if (end < 0) return false;
        if (end == start) return true;
        paths << QString::fromUtf8(buffer.mid(start, end - start));
        start = end + 1;
    }
}

// Holds the running program's lock and server for the application's life.
class InstanceHolder : public QObject {
public:
    InstanceHolder(const QString &lockPath, QObject *parent) : QObject(parent), Lock(lockPath) {}
    QLockFile Lock;
};

// Takes the file URLs out of a drag; empty when it carries no local file.
QStringList droppedPaths(const QMimeData *data) {
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) paths << QDir::cleanPath(url.toLocalFile());
    return paths;
}

// Accepts local files dropped on a toolkit window.
class DropFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDragMoveEvent *>(event);
            if (droppedPaths(drag->mimeData()).isEmpty()) return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            QStringList paths = droppedPaths(drop->mimeData());
            if (paths.isEmpty()) return false;
            postPaths(paths);
            drop->acceptProposedAction();
            return true;
        }
        default: return QObject::eventFilter(watched, event);
        }
    }
};

}  // namespace

QStringList t_LaunchPaths(const QStringList &arguments, const QString &workingFolder) {
    QStringList paths;
    const QDir base(workingFolder);
    for (qsizetype i = 1; i < arguments.size(); i++) {
        QString arg = arguments[i];
        if (arg.isEmpty()) continue;
        if (arg.startsWith("file:")) arg = QUrl(arg).toLocalFile();
        if (arg.isEmpty()) continue;
        paths << QDir::cleanPath(base.absoluteFilePath(arg));
    }
    return paths;
}

QString t_InstanceServerName() {
    // The user's private runtime folder where there is one, so no other
    // user can listen in our place; the temporary folder otherwise.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return folder + "/diskwright-" + QString::number(getuid()) + ".socket";
}

bool t_HandOverPaths(const QString &name, const QStringList &paths, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QLocalSocket socket;
    // The running program may be starting and not listen yet.
    for (;;) {
        socket.connectToServer(name);
        if (socket.waitForConnected(std::max(1, int(timeoutMs - clock.elapsed())))) break;
        if (clock.elapsed() >= timeoutMs) return false;
        t_SleepMs(retryMs);
    }
    socket.write(encodePaths(paths));
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(std::max(1, int(timeoutMs - clock.elapsed())))) return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(std::max(1, int(timeoutMs - clock.elapsed())))) return false;
    char answer = 0;
    return socket.getChar(&answer) && answer == confirmation;
}

QLocalServer *t_ListenForHandOver(const QString &name, QObject *parent,
                                  std::function<void(const QStringList &)> received) {
    auto *server = new QLocalServer(parent);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name)) {
        // A socket left behind by a program that ended without closing it.
        QLocalServer::removeServer(name);
        if (!server->listen(name)) {
            t_Log("t_ListenForHandOver: " + server->errorString().toStdString());
            delete server;
            return nullptr;
        }
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server, received] {
        while (QLocalSocket *socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, received, buffer] {
                buffer->append(socket->readAll());
                QStringList paths;
                if (!decodePaths(*buffer, paths)) {
                    if (buffer->size() > maxMessageBytes) socket->abort();
                    return;   // wait for the rest
                }
                buffer->clear();
                socket->putChar(confirmation);
                socket->flush();
                received(paths);
            });
        }
    });
    return server;
}

void t_ReceiveHandedPaths(const QStringList &paths) {
    postPaths(paths);
    raiseProgramWindow();
}

bool t_StartDocumentEvents(const QStringList &arguments, bool singleInstance) {
    const QStringList paths = t_LaunchPaths(arguments, QDir::currentPath());
    if (!singleInstance) {
        postPaths(paths);
        return false;
    }
    const QString name = t_InstanceServerName();
    auto *holder = new InstanceHolder(name + ".lock", QCoreApplication::instance());
    holder->Lock.setStaleLockTime(0);   // stale only when its process is gone
    if (holder->Lock.tryLock(0)) {
        t_ListenForHandOver(name, holder, t_ReceiveHandedPaths);
    } else {
        delete holder;
        // Another program runs: the launch hands its documents over (none
        // from a launcher without a path, which brings the running program's
        // window back) and ends; one whose hand-over failed runs on its own.
        if (t_HandOverPaths(name, paths, handOverTimeoutMs)) return true;
    }
    postPaths(paths);
    return false;
}

void t_AcceptFileDrops(QWidget *window) {
    if (!window) return;
    window->setAcceptDrops(true);
    window->installEventFilter(new DropFilter(window));
}

void t_InstallFileDrops() {
    for (uint8_t n = 0; n < 8; n++)
        if (QMainWindow *window = t_HostWindow(n)) t_AcceptFileDrops(window);
}
