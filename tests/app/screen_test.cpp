// The real program on X screens of common sizes (Xvfb): the whole main
// window, with its menu bar and the border below the last line, is on the
// screen at start.  Skipped where Xvfb or the X tools are not installed.
#include <gtest/gtest.h>

#include <QImage>
#include <regex>

#include <sys/stat.h>

#include "child_output.h"
#include "temp_folder.h"
#include "threads.h"

namespace {

// Starts a command line in the background; its process id.
pid_t start(const std::string &line) {
    std::string pid;
    test_Shell(line + " >/dev/null 2>&1 & echo $!", &pid);
    return pid_t(atoi(pid.c_str()));
}

// The main window's geometry (width, height, x, y) as the X server has it,
// once it is shown.
std::vector<int> mainWindow(const std::string &display) {
    static const std::regex geometry(R"(Position: (-?\d+),(-?\d+)[\s\S]*Geometry: (\d+)x(\d+))");
    std::string text;
    std::smatch m;
    test_Shell("DISPLAY=" + display + " xdotool search --name '^Diskwright 1\\.4' getwindowgeometry 2>/dev/null", &text);
    if (!std::regex_search(text, m, geometry)) return {0, 0, 0, 0};
    return {std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[1]), std::stoi(m[2])};
}

TEST(Screens, TheMainWindowFitsAtStart) {
    for (const char *tool : {"Xvfb", "xdotool", "import"})
        if (test_Shell(std::string("command -v ") + tool + " >/dev/null") != 0) GTEST_SKIP() << tool << " is not installed";
    const struct {
        int Width, Height;
        bool ActualSize;
    } cases[] = {{1366, 768, false}, {1920, 1080, true}, {1280, 720, false}};
    test_TempFolder folder;
    setenv("XDG_CONFIG_HOME", folder.Path.c_str(), 1);   // no remembered size from elsewhere, no other program
    const QColor border(0x54, 0x54, 0x54);
    // Each case has a display number of its own, free of lock and socket: the
    // server of the case before may still be going away, and a program
    // started against it would find no display and end.
    int number = 140 + int(getpid() % 50);
    auto taken = [](int n) {
        return access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0 ||
               access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0;
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.Width) + "x" + std::to_string(c.Height));
        for (number++; taken(number);) number++;
        std::string display = ":" + std::to_string(number);
        pid_t server = start("Xvfb " + display + " -screen 0 " + std::to_string(c.Width) + "x" + std::to_string(c.Height) +
                             "x24 -nolisten tcp");
        // Until the server answers, not merely until its socket exists.
        bool answers = false;
        for (int i = 0; i < 200 && !answers; i++) {
            answers = test_Shell("DISPLAY=" + display + " xdotool getdisplaygeometry >/dev/null 2>&1") == 0;
            if (!answers) t_SleepMs(50);
        }
        if (!answers) kill(server, SIGTERM);
        ASSERT_TRUE(answers) << "Xvfb did not start on " << display;
        // A runtime folder of its own: the program of the case before, killed
        // but not yet gone, would otherwise take this launch over.
        std::string runtime = folder.at("run-" + std::to_string(c.Width));
        mkdir(runtime.c_str(), 0700);
        pid_t program =
            start("DISPLAY=" + display + " XDG_RUNTIME_DIR=" + runtime + " env -u QT_QPA_PLATFORM '" DW_PROGRAM "'");
        // Until the window is up and drawn (a loaded machine starts slowly).
        std::vector<int> w = {0, 0, 0, 0};   // width, height, x, y
        QImage screen;
        auto drawn = [&] { return !screen.isNull() && screen.pixelColor(w[2] + w[0] / 2, w[3] + w[1] - 3) == border; };
        for (int i = 0; i < 200 && !drawn(); i++) {
            t_SleepMs(100);
            w = mainWindow(display);
            if (w[0] > 0 && test_Shell("import -display " + display + " -window root " + folder.at("screen.png")) == 0)
                screen = QImage(QString::fromStdString(folder.at("screen.png")));
        }
        kill(program, SIGKILL);
        kill(server, SIGTERM);   // it removes its lock file

        ASSERT_GT(w[0], 0) << "no main window";
        EXPECT_TRUE(w[2] >= 0 && w[3] >= 0 && w[2] + w[0] <= c.Width && w[3] + w[1] <= c.Height)
            << w[0] << "x" << w[1] << " at " << w[2] << "," << w[3];
        EXPECT_EQ(c.ActualSize, w[0] == 1312) << w[0];
        // On the picture of the screen: the border colour just above the
        // window's bottom edge (below line 25) and at its left and right.
        ASSERT_FALSE(screen.isNull());
        for (auto [x, y] : {std::pair{w[2] + w[0] / 2, w[3] + w[1] - 3}, {w[2] + 2, w[3] + w[1] / 2}, {w[2] + w[0] - 3, w[3] + w[1] / 2}})
            EXPECT_EQ(screen.pixelColor(x, y), border) << x << "," << y;
    }
}

}  // namespace
