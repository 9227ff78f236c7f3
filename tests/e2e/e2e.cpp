// The end-to-end harness.
#include "e2e.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

#include "application.h"
#include "display.h"
#include "files.h"
#include "host_state.h"
#include "host_windows.h"
#include "image.h"
#include "main_program.h"
#include "menus_qt.h"
#include "printer.h"
#include "threads.h"
#include "volume.h"
#include "write.h"

// Slow builds (the race checker runs the program many times slower) stretch
// every wait by DW_E2E_TIME_SCALE.
static int scaled(int timeoutMs) {
    static const int scale = [] {
        const char *s = getenv("DW_E2E_TIME_SCALE");
        int v = s ? atoi(s) : 1;
        return v < 1 ? 1 : v;
    }();
    return timeoutMs * scale;
}

static std::atomic<bool> applicationEnded{false};

void e2e_RunProgram(const std::vector<std::string> &args, const std::function<void()> &script,
                    bool singleInstance) {
    std::vector<std::string> storage = {"diskwright"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    int argc = int(storage.size());
    t_ApplicationOptions options;
    options.SingleInstance = singleInstance;
    options.RememberWindows = false;
    applicationEnded = false;
    t_TerminateHandler = [] { applicationEnded = true; };
    auto scriptDone = std::make_shared<std::atomic<bool>>(false);
    t_RunApplication(argc, argv.data(), [&script, scriptDone] {
        std::thread driver([&script, scriptDone] {
            // Wait for the program's first screen before the script begins.
            for (int i = 0; i < scaled(500) && !(t_MemoryReady && t_Load(t_WindowTable[0].Initialized)); i++) t_SleepMs(10);
            script();
            *scriptDone = true;
            t_OnMainThreadAsync([] { QCoreApplication::exit(0); });
        });
        driver.detach();
        cpm_MainProgram();
    }, options);
    // The application may end before the script does (a script that quits
    // it): the script still uses what the caller gave.
    for (int waited = 0; !*scriptDone && waited < scaled(60000); waited += 10) t_SleepMs(10);
}

bool e2e_WaitForEnd(int timeoutMs) {
    timeoutMs = scaled(timeoutMs);
    for (int waited = 0; !applicationEnded && waited < timeoutMs; waited += 10) t_SleepMs(10);
    return applicationEnded;
}

void e2e_ChooseMenu(const std::string &menu, const std::string &item) {
    bool found = false;
    t_OnMainThread([&] {
        for (QMenu *m : t_MenuBarMenus()) {
            if (m->title().toStdString() != menu) continue;
            for (QAction *a : m->actions()) {
                if (a->text().toStdString() != item) continue;
                found = true;
                a->trigger();
                return;
            }
        }
    });
    if (!applicationEnded) { EXPECT_TRUE(found) << menu << " > " << item; }
}

std::string e2e_AnswerDialog(const std::string &button, int timeoutMs) {
    timeoutMs = scaled(timeoutMs);
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        std::string text;
        bool clicked = false;
        t_OnMainThread([&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) return;
            for (QAbstractButton *b : box->buttons()) {
                if (b->text().remove('&').toStdString() != button) continue;
                text = box->text().toStdString();
                clicked = true;
                // Clicked once this call has returned: the dialog's own
                // event loop ends then.
                QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
                return;
            }
        });
        if (clicked) return text;
        t_SleepMs(10);
    }
    ADD_FAILURE() << "no dialog with the button " << button;
    return "";
}

bool e2e_WindowShown(int number) {
    bool shown = false;
    t_OnMainThread([&] {
        QWidget *window = t_HostWindow(uint8_t(number));
        shown = window && window->isVisible();
    });
    return shown;
}

std::string e2e_Screen() { return t_GetScreen(0, "\r"); }

bool e2e_OnScreen(const std::string &text) { return e2e_Screen().find(text) != std::string::npos; }

std::string e2e_Line(int n) {
    std::string screen = t_GetScreen(0, "");
    std::u32string all = t_Decode(screen);
    int width = t_WindowTable[0].TextWidth;
    if (n < 1 || size_t(n * width) > all.size()) return "";
    std::u32string line = all.substr(size_t((n - 1) * width), size_t(width));
    while (!line.empty() && line.back() == U' ') line.pop_back();
    return t_Encode(line);
}

// Waits until the screen passes the check; shows the screen in the failure
// message when it never does.
static bool waitUntil(const std::function<bool(const std::string &)> &check, const std::string &wanted, int timeoutMs) {
    for (int waited = 0; waited < scaled(timeoutMs); waited += 10) {
        if (check(e2e_Screen())) return true;
        t_SleepMs(10);
    }
    std::string screen = e2e_Screen();
    std::replace(screen.begin(), screen.end(), '\r', '\n');
    ADD_FAILURE() << "screen while waiting for \"" << wanted << "\":\n" << screen;
    return false;
}

bool e2e_WaitFor(const std::string &wanted, int timeoutMs) {
    // The screen text has no blanks at line ends, so neither may the text.
    std::string text = wanted.substr(0, wanted.find_last_not_of(' ') + 1);
    return waitUntil([&](const std::string &s) { return s.find(text) != std::string::npos; }, text, timeoutMs);
}

bool e2e_WaitForScreen(const std::string &text, int timeoutMs) {
    return waitUntil([&](const std::string &s) { return s == text; }, text, timeoutMs);
}

std::string e2e_Settled(const std::function<std::string()> &read) {
    std::string last = read();
    for (int stable = 0, i = 0; stable < 5 && i < 300; i++) {
        t_SleepMs(10);
        std::string now = read();
        stable = now == last ? stable + 1 : 0;
        last = now;
    }
    return last;
}

void e2e_Settle() { e2e_Settled(e2e_Screen); }

// Presses one key with modifiers on window 0's view.
static void pressKey(int qtKey, int modifiers, const std::string &text) {
    t_OnMainThread([&] {
        QWidget *view = t_HostView(0);
        QKeyEvent press(QEvent::KeyPress, qtKey, Qt::KeyboardModifiers(modifiers), QString::fromStdString(text));
        QApplication::sendEvent(view, &press);
        QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::KeyboardModifiers(modifiers), QString::fromStdString(text));
        QApplication::sendEvent(view, &release);
    });
    t_SleepMs(5);
}

// The Qt key of a character on a US keyboard.
static int qtKeyOf(char c) {
    if (c >= 'a' && c <= 'z') return Qt::Key_A + (c - 'a');
    switch (c) {
    case '\r': return Qt::Key_Return;
    case '\x1B': return Qt::Key_Escape;
    case '\t': return Qt::Key_Tab;
    case '\b': return Qt::Key_Backspace;
    default: return c;   // Qt keys of capitals, digits and punctuation are their ASCII codes
    }
}

void e2e_Type(const std::string &text) {
    for (char c : text) {
        int modifiers = (c >= 'A' && c <= 'Z') ? int(Qt::ShiftModifier) : 0;
        pressKey(qtKeyOf(c), modifiers, std::string(1, c));
    }
}

void e2e_TypeControl(char letter) {
    pressKey(Qt::Key_A + (letter - 'a'), int(Qt::ControlModifier), std::string(1, char(letter & 0x1F)));
}

void e2e_Command(const std::string &keys, const std::string &shows) {
    e2e_Type(keys);
    EXPECT_TRUE(e2e_WaitFor(shows)) << keys;
    e2e_Settle();
}

void e2e_OpenLaunchImage(const std::string &name) {
    ASSERT_TRUE(e2e_WaitFor("CP/M Volume öffnen"));
    ASSERT_TRUE(e2e_WaitFor(name));
    e2e_Type("\r");
    ASSERT_TRUE(e2e_WaitFor("Volume Name: " + name));
}

std::string e2e_MakeImage(const std::string &path, int sizeKB,
                          const std::vector<std::pair<std::string, std::string>> &files) {
    cpm_SetDiagnostics(false);
    cpm_Volume v = cpm_MakeVolume(path, sizeKB);
    for (const auto &[name, contents] : files) v = cpm_SaveFile(std::move(v), Text(name), Text(contents)).Volume;
    cpm_SaveVolumeResult saved = cpm_SaveVolume(std::move(v));
    cpm_SetDiagnostics(true);
    EXPECT_EQ(saved.Message, "");
    return path;
}

void e2e_PatchEntry(const std::string &image, int entry, uint8_t user, const std::string &nameAndType) {
    ASSERT_EQ(nameAndType.size(), 11u);
    Text bytes = gettextfromfile(image);
    bytes[size_t(entry) * 32] = user;
    std::copy(nameAndType.begin(), nameAndType.end(), bytes.data() + entry * 32 + 1);
    ASSERT_EQ(setbinarytofile(image, bytes), 0);
}

std::string e2e_CheckedItem(const std::string &menu) {
    std::string checked;
    t_OnMainThread([&] {
        if (QMenu *m = t_MenuFind(menu))
            for (QAction *a : m->actions())
                if (a->isChecked()) checked = a->text().toStdString();
    });
    return checked;
}

std::vector<std::string> e2e_Files(const std::string &image) {
    cpm_SetDiagnostics(false);
    cpm_Volume v = cpm_LoadVolume(image);
    cpm_SetDiagnostics(true);
    std::vector<std::string> names;
    for (size_t i = 0; i < v.Names.size(); i++)
        if (v.Sizes[i] >= 0) names.push_back(v.Names[i].bytes());
    return names;
}

std::string e2e_UseOwnDesktop(const test_TempFolder &folder) {
    std::string home = folder.folder("home");
    std::string desktop = folder.folder("home/Desktop");
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    return desktop;
}

// Runs the scenarios offscreen; each test runs in a process of its own (ctest
// starts one per test), so each has a fresh application.
int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    // The program thread may still wait for a key: end without tearing down.
    fflush(stdout);
    _exit(result);
}
