// The real program on X screens of common sizes (Xvfb): the whole main
// window, with its menu bar and the border below the last line, is on the
// screen at start.  Skipped where Xvfb or the X tools are not installed.
#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

bool onPath(const std::string &tool) {
    return system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

pid_t start(const std::vector<std::string> &command, const std::string &display) {
    pid_t pid = fork();
    if (pid == 0) {
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
        unsetenv("QT_QPA_PLATFORM");
        std::vector<char *> argv;
        for (const std::string &s : command) argv.push_back(const_cast<char *>(s.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::string output(const std::string &command) {
    std::string out;
    if (FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

struct Window {
    int Width = 0, Height = 0, X = 0, Y = 0;
};

// The main window's geometry as the X server has it, once it is shown.
Window mainWindow(const std::string &display) {
    static const std::regex position(R"(Position: (-?\d+),(-?\d+))"), size(R"(Geometry: (\d+)x(\d+))");
    std::string text = output("DISPLAY=" + display +
                              " xdotool search --name '^Diskwright 1\\.4' getwindowgeometry 2>/dev/null");
    std::smatch p, g;
    if (!std::regex_search(text, p, position) || !std::regex_search(text, g, size)) return {};
    return {std::stoi(g[1]), std::stoi(g[2]), std::stoi(p[1]), std::stoi(p[2])};
}

TEST(Screens, TheMainWindowFitsAtStart) {
    for (const char *tool : {"Xvfb", "xdotool", "import"})
        if (!onPath(tool)) GTEST_SKIP() << tool << " is not installed";
    struct Case {
        int Width, Height;
        bool ActualSize;
    } cases[] = {{1366, 768, false}, {1920, 1080, true}, {1280, 720, false}};
    char folder[] = "/tmp/dw_screens_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    setenv("XDG_CONFIG_HOME", folder, 1);   // no remembered size from elsewhere
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.Width) + "x" + std::to_string(c.Height));
        int number = 140 + int(getpid() % 50);
        while (access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0) number++;
        std::string display = ":" + std::to_string(number);
        pid_t server = start({"Xvfb", display, "-screen", "0", std::to_string(c.Width) + "x" +
                              std::to_string(c.Height) + "x24", "-nolisten", "tcp"}, "");
        struct stat st;
        for (int i = 0; i < 200 && stat(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), &st) != 0; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pid_t program = start({DW_PROGRAM}, display);
        // Until the window is up and drawn (a loaded machine starts slowly).
        const QColor border(0x54, 0x54, 0x54);
        std::string shot = std::string(folder) + "/screen.png";
        Window w;
        QImage screen;
        auto drawn = [&] {
            return !screen.isNull() && w.Width > 0 && screen.pixelColor(w.X + w.Width / 2, w.Y + w.Height - 3) == border;
        };
        for (int i = 0; i < 100 && !drawn(); i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            w = mainWindow(display);
            if (w.Width == 0) continue;
            if (system(("import -display " + display + " -window root " + shot).c_str()) == 0)
                screen = QImage(QString::fromStdString(shot));
        }
        stop(program);
        stop(server);

        ASSERT_GT(w.Width, 0) << "no main window";
        EXPECT_GE(w.X, 0);
        EXPECT_GE(w.Y, 0);
        EXPECT_LE(w.X + w.Width, c.Width);
        EXPECT_LE(w.Y + w.Height, c.Height);
        EXPECT_EQ(c.ActualSize, w.Width == 1312) << w.Width;
        // On the picture of the screen: the border colour just above the
        // window's bottom edge (below line 25) and at its left and right.
        ASSERT_FALSE(screen.isNull());
        EXPECT_EQ(screen.pixelColor(w.X + w.Width / 2, w.Y + w.Height - 3), border);
        EXPECT_EQ(screen.pixelColor(w.X + 2, w.Y + w.Height / 2), border);
        EXPECT_EQ(screen.pixelColor(w.X + w.Width - 3, w.Y + w.Height / 2), border);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
