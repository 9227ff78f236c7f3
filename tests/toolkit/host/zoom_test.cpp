// Window sizes on real Qt windows, each case in a child process of its own
// with an offscreen screen of the size it needs: the picture scaled to any
// window size and clicks mapped at every scale, full screen, the zoom steps,
// the remembered size and the other windows on small screens.  (The first
// size of the main window is checked on real X screens in the app tests.)
#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "application.h"
#include "display.h"
#include "events.h"
#include "host_windows.h"
#include "temp_folder.h"
#include "threads.h"
#include "window_zoom_qt.h"
#include "windows.h"

namespace {

struct Screen { int Width, Height; };

// Runs the application in a child process on an offscreen screen; the
// program is body, whose text comes back as the result.  With a config
// folder, the window sizes are remembered there.
std::string inChild(Screen screen, const std::function<std::string()> &body, const std::string &configHome = "") {
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    fflush(stdout);
    test_TempFolder folder;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        folder.write("screen.json", "{\"screens\":[{\"name\":\"test\",\"x\":0,\"y\":0,\"width\":" +
                                        std::to_string(screen.Width) + ",\"height\":" + std::to_string(screen.Height) +
                                        ",\"logicalDpi\":96}]}");
        setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + folder.at("screen.json")).c_str(), 1);
        setenv("XDG_CONFIG_HOME", configHome.empty() ? folder.Path.c_str() : configHome.c_str(), 1);
        // The toolkit's log goes nowhere; the result goes through the pipe.
        freopen("/dev/null", "w", stdout);
        static char name[] = "zoom_test";
        char *argv[] = {name, nullptr};
        int argc = 1;
        t_ApplicationOptions options;
        options.SingleInstance = false;
        options.RememberWindows = !configHome.empty();
        std::string result;
        t_RunApplication(argc, argv, [&] {
            result = body();
            t_OnMainThreadAsync([] { QApplication::quit(); });
        }, options);
        _exit(write(fds[1], result.data(), result.size()) < 0 ? 2 : 0);
    }
    close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return out;
}

// The main window as the program opens it: 80 x 25 cells of 16 x 32 pixels
// with a border of 16, centred and shown.
void openMainWindow() {
    t_InitWindow(0, 24, 80, 25, 16, "MenloBold 16x32.font");
    t_WindowCenter(0);
    t_WindowFront(0);
}

// Paints each of the 25 text lines of window 0 in a colour of its own.
QColor lineColour(int line) { return QColor(line * 10, 255 - line * 10, (line * 37) % 256); }
void paintLines() {
    const t_Window &w = t_WindowTable[0];
    for (int y = 0; y < w.Height; y++) {
        QColor c = lineColour(y / 32 + 1);
        uint8_t *row = t_VideoMemory.data() + w.MemoryStart + size_t(y) * size_t(w.Width) * 3;
        for (int x = 0; x < w.Width; x++) {
            row[3 * x] = uint8_t(c.red());
            row[3 * x + 1] = uint8_t(c.green());
            row[3 * x + 2] = uint8_t(c.blue());
        }
    }
}

QMainWindow *mainWindow() { return t_HostWindow(0); }

void settle() {
    for (int i = 0; i < 5; i++) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
}

// The geometry of window 0: outer frame, available area, content and zoom;
// the child's result holds the record's bytes.
struct Geometry {
    QRect Frame, Area;
    QSize Content;
    double Zoom = 0;
};

std::string geometry() {
    Geometry g;
    t_OnMainThread([&] {
        settle();
        QMainWindow *w = mainWindow();
        g = {w->frameGeometry(), w->screen()->availableGeometry(), w->centralWidget()->size(), t_WindowZoom(0)};
    });
    return std::string(reinterpret_cast<const char *>(&g), sizeof g);
}

Geometry parse(const std::string &bytes) {
    Geometry g;
    if (bytes.size() == sizeof g) std::memcpy(static_cast<void *>(&g), bytes.data(), sizeof g);
    return g;
}

// The picture as shown in window 0's content, in device pixels.
QImage shownPicture() {
    QImage shot;
    t_OnMainThread([&] {
        settle();
        shot = mainWindow()->centralWidget()->grab().toImage();
    });
    return shot;
}

// Content sizes: 1x, 2x, 1.37x, and two that are too wide or too tall.  The
// picture is scaled, not cut; clicks in cells and in the margin land where
// they land at 1x: on the same cell, or in the border.
TEST(Scaling, ThePictureIsScaledNotCutAndClicksMapToIt) {
    const QSize sizes[] = {{1312, 832}, {2624, 1664}, {1797, 1140}, {1400, 560}, {700, 900}};
    // Picture pixels clicked (the middle of each): cells, the left and right
    // border, above and below the picture.
    const QPoint clicks[] = {{8, 16}, {1272, 784}, {644, 408}, {-8, 336}, {1288, 336}, {632, -10}, {632, 810}};
    std::string result = inChild({3000, 2000}, [&] {
        openMainWindow();
        paintLines();
        std::ostringstream out;
        for (QSize size : sizes) {
            t_OnMainThread([&] {
                QMainWindow *w = mainWindow();
                w->resize(size.width(), size.height() + (w->height() - w->centralWidget()->height()));
            });
            QImage shot = shownPicture();
            // Drawn into an image the picture is scaled straight into it; it
            // must look the same.
            QImage direct;
            QRect view;
            t_OnMainThread([&] {
                QWidget *content = mainWindow()->centralWidget();
                direct = QImage(content->size(), QImage::Format_RGB32);
                content->render(&direct);
                view = t_HostView(0)->geometry();
            });
            out << size.width() << 'x' << size.height() << ": ";
            if (direct != shot.convertToFormat(QImage::Format_RGB32)) out << "drawn directly differs; ";
            // Aspect kept, picture inside, every line's colour at its middle.
            double aspect = double(view.width()) / view.height();
            if (std::fabs(aspect - 1.6) > 0.01) out << "aspect " << aspect << "; ";
            if (!QRect(QPoint(0, 0), size).contains(view)) out << "picture outside; ";
            for (int line = 1; line <= 25; line++) {
                QPoint middle(view.x() + view.width() / 2, view.y() + int((line - 0.5) * view.height() / 25));
                if (shot.pixelColor(middle) != lineColour(line)) out << "line " << line << " missing; ";
            }
            // Whole factors are sharp: the last device row of a line has its
            // colour, the next one the next line's.
            for (int k = view.height() / 800, line = 1; view.height() == 800 * k && line < 25; line++) {
                int edge = view.y() + line * 32 * k;
                if (shot.pixelColor(view.x() + 5, edge - 1) != lineColour(line) ||
                    shot.pixelColor(view.x() + 5, edge) != lineColour(line + 1))
                    out << "edge " << line << " not sharp; ";
            }
            for (QPoint c : clicks) {
                t_OnMainThread([&] {
                    QWidget *content = mainWindow()->centralWidget();
                    QPointF at(view.x() + (c.x() + 0.5) * view.width() / 1280.0,
                               view.y() + (c.y() + 0.5) * view.height() / 800.0);
                    // Inside the picture the view gets the click, else the
                    // border around it.
                    bool inView = view.contains(at.toPoint());
                    QWidget *target = inView ? static_cast<QWidget *>(t_HostView(0)) : content;
                    QPointF local = inView ? at - view.topLeft() : at;
                    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                        QMouseEvent e(type, local, content->mapToGlobal(at), Qt::LeftButton,
                                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
                        QApplication::sendEvent(target, &e);
                    }
                });
                t_CellPosition cell = t_GetMouseText(0);
                out << t_CurrentMouseEvent.ClickX << ',' << t_CurrentMouseEvent.ClickY << ',' << cell.Column << ','
                    << cell.Line << ' ';
            }
            out << "\n";
        }
        return out.str();
    });
    std::ostringstream expected;
    for (QSize size : sizes) {
        expected << size.width() << 'x' << size.height() << ": ";
        for (QPoint c : clicks) {
            int x = c.x() < 0 ? -1 : c.x() >= 1280 ? -2 : c.x(), y = c.y() < 0 ? -1 : c.y() >= 800 ? -2 : c.y();
            expected << x << ',' << y << ',' << (x < 0 ? 1 : x / 16 + 1) << ',' << (y < 0 ? 1 : y / 32 + 1) << ' ';
        }
        expected << "\n";
    }
    EXPECT_EQ(result, expected.str());
}

TEST(FullScreen, ControlShiftFTogglesItAndLeavesEscapeAndFunctionKeysToTheProgram) {
    std::string result = inChild({1366, 768}, [] {
        openMainWindow();
        std::ostringstream out;
        QRect before;
        auto press = [](Qt::Key key, Qt::KeyboardModifiers mods) {
            t_OnMainThread([&] {
                QMainWindow *w = mainWindow();
                w->activateWindow();
                QApplication::setActiveWindow(w);
                t_HostView(0)->setFocus();
                QTest::keyClick(t_HostView(0), key, mods);
                settle();
            });
        };
        t_OnMainThread([&] { before = mainWindow()->geometry(); });
        press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        t_OnMainThread([&] {
            QMainWindow *w = mainWindow();
            QRect view = t_HostView(0)->geometry();
            QWidget *content = w->centralWidget();
            out << "full " << w->isFullScreen() << ' ' << (w->geometry() == w->screen()->geometry());
            // Scaled to the whole content without the border, centred.
            out << ' ' << (view.height() == content->height() || view.width() == content->width());
            out << ' ' << (std::abs(view.center().x() - content->width() / 2) <= 1) << '\n';
        });
        while (t_GetEvent() >= 0) {
        }
        press(Qt::Key_Escape, Qt::NoModifier);
        press(Qt::Key_F11, Qt::NoModifier);
        out << "keys " << t_GetEvent() << ' ' << t_GetEvent() << '\n';
        press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        t_OnMainThread([&] {
            out << "normal " << mainWindow()->isFullScreen() << ' ' << (mainWindow()->geometry() == before) << '\n';
        });
        return out.str();
    });
    // Escape is 1B, F11 the eleventh function key (129 up).
    EXPECT_EQ(result, "full 1 1 1 1\nkeys 27 139\nnormal 0 1\n");
}

TEST(ViewMenu, ZoomStepsThroughWholeFactorsThatFit) {
    std::string result = inChild({2800, 1800}, [] {
        openMainWindow();
        std::ostringstream out;
        using A = t_ViewAction;
        for (A a : {A::ZoomIn, A::ZoomIn, A::ZoomOut, A::ZoomOut, A::ActualSize}) {
            t_OnMainThread([&] { t_RunViewAction(a, 0); });
            out << parse(geometry()).Zoom << ' ';
        }
        return out.str();
    });
    // 3x does not fit 2800 x 1800, so the second Zoom In stays at 2x (and
    // beeps); below 1x there is no whole factor.
    EXPECT_EQ(result, "2 2 1 1 1 ");
}

TEST(RememberedSize, ComesBackWhileItFits) {
    test_TempFolder configFolder;
    const std::string &config = configFolder.Path;
    inChild({1920, 1080}, [] {
        openMainWindow();
        t_OnMainThread([] {
            mainWindow()->resize(1000, 700);
            mainWindow()->move(120, 90);
            settle();
        });
        return std::string();
    }, config);
    Geometry again = parse(inChild({1920, 1080}, [] {
        openMainWindow();
        return geometry();
    }, config));
    EXPECT_EQ(again.Frame.topLeft(), QPoint(120, 90));
    EXPECT_EQ(again.Content.width(), 1000);
    // A smaller screen than the one it was kept on: the first size instead.
    Geometry small = parse(inChild({900, 600}, [] {
        openMainWindow();
        return geometry();
    }, config));
    EXPECT_TRUE(small.Area.contains(small.Frame));
    EXPECT_LT(small.Content.width(), 1000);
}

TEST(OtherWindows, FitASmallScreenOnFirstShow) {
    std::string result = inChild({640, 360}, [] {
        std::ostringstream out;
        t_InitWindow(1, 4, false, 640, 400, 16, 16, t_EmptyFont(), true);
        for (uint8_t n : {uint8_t(1), uint8_t(t_PrinterWindow), uint8_t(t_ConsoleWindow), uint8_t(t_PasteboardWindow)}) {
            t_WindowFront(n);
            t_OnMainThread([&] {
                settle();
                QMainWindow *w = t_HostWindow(n);
                out << (w->screen()->availableGeometry().contains(w->frameGeometry()) ? "fits " : "too large ");
            });
            // Hidden again, so that nothing keeps the application from quitting.
            t_WindowVisible(n, false);
        }
        return out.str();
    });
    EXPECT_EQ(result, "fits fits fits fits ");
}

}  // namespace
