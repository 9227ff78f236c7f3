// Documents from the desktop: launch paths, the hand-over from a second
// launch to the running program, and files dropped on a window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "file_events.h"
#include "file_events_qt.h"
#include "threads.h"

namespace {

// Runs the event loop until the condition holds or the time is up.
bool processUntil(const std::function<bool()> &done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        t_SleepMs(1);
    }
    return done();
}

std::vector<t_Event> takeFileEvents() {
    std::vector<t_Event> events;
    t_Event e;
    while (t_TakeFileEvent(e)) events.push_back(e);
    return events;
}

struct LaunchCase { QStringList Arguments; QStringList Paths; };

TEST(LaunchPaths, BecomeAbsoluteCleanPaths) {
    const LaunchCase cases[] = {
        {{"diskwright"}, {}},
        {{"diskwright", "disk.dsk"}, {"/work/here/disk.dsk"}},
        {{"diskwright", "../up/a.dsk", "/abs//b.dsk"}, {"/work/up/a.dsk", "/abs/b.dsk"}},
        {{"diskwright", "", "file:///tmp/with%20space.dsk"}, {"/tmp/with space.dsk"}},
        {{"diskwright", "-not-an-option.dsk"}, {"/work/here/-not-an-option.dsk"}},
    };
    for (const LaunchCase &c : cases) EXPECT_EQ(t_LaunchPaths(c.Arguments, "/work/here"), c.Paths) << c.Arguments.join(" ").toStdString();
}

class HandOver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Folder.isValid());
        Name = Folder.path() + "/instance.socket";
        t_ClearFileEvents();
    }
    void TearDown() override { t_ClearFileEvents(); }
    // A second launch hands the paths over, blocking, beside the running
    // program's event loop, as a second process would; true when it worked.
    bool handOver(const QStringList &paths) {
        std::atomic<int> handed{-1};
        std::thread second([&] { handed = t_HandOverPaths(Name, paths, 3000) ? 1 : 0; });
        EXPECT_TRUE(processUntil([&] { return handed >= 0; }, 5000));
        second.join();
        return handed == 1;
    }
    QTemporaryDir Folder;
    QString Name;
};

TEST_F(HandOver, SecondLaunchHandsItsPathsToTheRunningProgram) {
    QString image = Folder.path() + "/image.dsk";
    QFile(image).open(QIODevice::WriteOnly);
    std::unique_ptr<QLocalServer> server(t_ListenForHandOver(Name, nullptr, t_ReceiveHandedPaths));
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(handOver({image, Folder.path()}));
    std::vector<t_Event> events = takeFileEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(std::tie(events[0].Kind, events[0].Description, events[0].Value), std::make_tuple(int(t_EventFileOpen), image.toStdString(), 1));
    EXPECT_EQ(std::tie(events[1].Description, events[1].Value), std::make_tuple(Folder.path().toStdString(), 2));
}

TEST_F(HandOver, NobodyListeningFailsAtOncePathsArriveWholeAndALeftBehindSocketIsReplaced) {
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(t_HandOverPaths(Name, {"/tmp/a.dsk"}, 300));
    EXPECT_LT(clock.elapsed(), 2000);
    // A socket file nobody listens on, as a crashed program leaves it.
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = Name.toStdString();
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    close(fd);
    QStringList received;
    std::unique_ptr<QLocalServer> server(t_ListenForHandOver(Name, nullptr, [&](const QStringList &p) { received = p; }));
    ASSERT_NE(server, nullptr);
    const QStringList sent = {"/tmp/line\nbreak.dsk", "/tmp/ümlaut ÿ.dsk", QString(3000, 'x')};
    EXPECT_TRUE(handOver(sent));
    EXPECT_EQ(received, sent);
}

TEST_F(HandOver, UnfinishedOrEndlessMessagesPostNothing) {
    const QByteArray messages[] = {QByteArray("\xff\xfe/tmp/a.dsk", 12), QByteArray(3 << 20, 'x')};
    for (const QByteArray &message : messages) {
        bool called = false;
        QLocalServer *server = t_ListenForHandOver(Name, nullptr, [&](const QStringList &) { called = true; });
        ASSERT_NE(server, nullptr);
        std::atomic<bool> sent{false};
        std::thread client([&] {
            QLocalSocket socket;
            socket.connectToServer(Name);
            if (socket.waitForConnected(2000)) {
                socket.write(message);
                while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(2000)) {}
                t_SleepMs(100);
                socket.disconnectFromServer();
            }
            sent = true;
        });
        processUntil([&] { return sent.load(); }, 10000);
        processUntil([] { return false; }, 100);
        client.join();
        EXPECT_FALSE(called) << message.size();
        delete server;
    }
    EXPECT_EQ(t_PendingFileEvents(), 0u);
}

TEST(FileDrops, DroppedLocalFilesBecomeFileEvents) {
    t_ClearFileEvents();
    QWidget window;
    t_AcceptFileDrops(&window);
    EXPECT_TRUE(window.acceptDrops());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/dropped.dsk"), QUrl("https://example.org/x.dsk"),
                  QUrl::fromLocalFile("/tmp/second.dsk")});
    // A drag enters the window first: the window takes it.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    std::vector<t_Event> events = takeFileEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Description, "/tmp/dropped.dsk");
    EXPECT_EQ(events[1].Description, "/tmp/second.dsk");
    // A drag without files is not taken.
    QMimeData text;
    text.setText("just text");
    QDragEnterEvent textEnter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &textEnter);
    EXPECT_FALSE(textEnter.isAccepted());
    QDropEvent textDrop(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &textDrop);
    EXPECT_EQ(t_PendingFileEvents(), 0u);
}

}  // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
