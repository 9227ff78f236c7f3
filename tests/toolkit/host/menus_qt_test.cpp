// The Qt menus under the offscreen platform: the layout, the menu actions on
// real windows, the clipboard, the panels and the start-up clean-up.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <set>

#include "app_delegate.h"
#include "display.h"
#include "host_windows.h"
#include "key_table.h"
#include "log_capture.h"
#include "menus.h"
#include "menus_qt.h"
#include "printer.h"
#include "text.h"
#include "threads.h"
#include "windows.h"

namespace {

std::string startUpLog;

int logCount(const std::string &log, const std::string &text) {
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) n++;
    return n;
}

// Processes events until the condition holds or a second has passed.
template <typename Condition> bool settle(Condition condition) {
    for (int i = 0; i < 100 && !condition(); i++) {
        QApplication::processEvents();
        t_SleepMs(10);
    }
    return condition();
}

QAction *actionWithTag(int tag) {
    for (QMenu *m : t_MenuBarMenus())
        for (QAction *a : m->actions())
            if (!a->isSeparator() && a->data().toInt() == tag) return a;
    return nullptr;
}

void makeFront(uint8_t n) {
    t_WindowFront(n);
    settle([n] { return t_FrontWindow() == n; });
}

class QtMenus : public testing::Test {
protected:
    void SetUp() override {
        t_MenuEventQueueClear();
        t_SetProgramMenuHandler(nullptr);
    }
};

TEST_F(QtMenus, EveryWindowShowsTheSameMenus) {
    std::vector<QString> titles;
    for (QMenu *m : t_MenuBarMenus()) titles.push_back(m->title());
    EXPECT_EQ(titles, (std::vector<QString>{"File", "Edit", "View", "Format", "Slice", "User", "Window", "Help"}));
    for (uint8_t n : {0, 1, 7, 8, 9, 10, 12}) {
        QList<QAction *> bar = t_HostWindow(n)->menuBar()->actions();
        ASSERT_EQ(bar.size(), 8) << int(n);
        for (int i = 0; i < 8; i++) EXPECT_EQ(bar[i]->menu(), t_MenuBarMenus()[size_t(i)]) << int(n);
    }
}

TEST_F(QtMenus, KeyEquivalentsAreControlShiftLetters) {
    QAction *copyText = actionWithTag(111);
    ASSERT_NE(copyText, nullptr);
    EXPECT_EQ(copyText->shortcut(), QKeySequence("Ctrl+Shift+C"));
    QAction *quit = t_MenuFind("File")->actions().first();
    EXPECT_EQ(quit->text(), "Quit");
    EXPECT_EQ(quit->shortcut(), QKeySequence("Ctrl+Shift+Q"));
    for (QMenu *m : t_MenuBarMenus())
        for (QAction *a : m->actions()) {
            if (a->shortcut().isEmpty()) continue;
            QKeyCombination k = a->shortcut()[0];
            if (m->title() == "User") {   // user areas 0-9: Ctrl+Alt+digit
                EXPECT_EQ(k.keyboardModifiers(), Qt::ControlModifier | Qt::AltModifier) << a->text().toStdString();
                EXPECT_EQ(k.key(), Qt::Key_0 + a->text().toInt()) << a->text().toStdString();
                continue;
            }
            EXPECT_EQ(k.keyboardModifiers(), Qt::ControlModifier | Qt::ShiftModifier) << a->text().toStdString();
            EXPECT_TRUE(k.key() >= Qt::Key_A && k.key() <= Qt::Key_Z) << a->text().toStdString();
        }
}

TEST_F(QtMenus, StartUpCleanUpRanWithoutAskingForMenusThatDoNotExist) {
    EXPECT_EQ(t_MenuActions().size() >= 37, true);
    EXPECT_EQ(logCount(startUpLog, "Menu not found."), 0);
    EXPECT_EQ(logCount(startUpLog, "*** Found"), 0);
    EXPECT_EQ(t_MenuItemTitle("Edit", t_LastMenuItem), "Clear Console");   // our own items stay
}

TEST_F(QtMenus, ShowAndHideWindowOneWithoutTheProgramHandler) {
    std::atomic<bool> ran{false};
    t_SetProgramMenuHandler([&] { ran = true; });
    t_WindowVisible(1, false);
    QAction *show = actionWithTag(215);
    ASSERT_NE(show, nullptr);
    show->trigger();
    EXPECT_TRUE(t_HostWindow(1)->isVisible());
    actionWithTag(216)->trigger();
    EXPECT_FALSE(t_HostWindow(1)->isVisible());
    settle([] { return false; });
    EXPECT_FALSE(ran);
    std::vector<t_MenuEvent> queue = t_MenuEventQueue();
    ASSERT_EQ(queue.size(), 2u);
    EXPECT_EQ(std::tie(queue[0].Kind, queue[0].MenuTitle, queue[0].ItemTitle, queue[0].ItemAction),
              std::make_tuple(int(t_EventMenu), "Window", "Show Screen 1", 215));
    EXPECT_GT(queue[0].Time, 0);
    EXPECT_EQ(queue[1].ItemAction, 216);
}

TEST_F(QtMenus, AnItemWithTagZeroQueuesAndStartsTheProgramHandler) {
    std::atomic<bool> ran{false};
    t_SetProgramMenuHandler([&] { ran = true; });
    QMenu menu("Program");
    QAction *run = menu.addAction("Run");
    run->setData(0);
    run->setShortcut(QKeySequence("Ctrl+Shift+R"));
    QObject::connect(run, &QAction::triggered, run, [run] { t_MenuEventHandler(run); });
    run->trigger();
    EXPECT_TRUE(settle([&] { return ran.load(); }));
    ASSERT_EQ(t_MenuEventQueueSize(), 1u);
    t_MenuEvent e = t_MenuEventQueue()[0];
    EXPECT_EQ(std::tie(e.Kind, e.MenuTitle, e.ItemTitle, e.ItemAction, e.ItemKeyChar, e.ItemKeyAsc),
              std::make_tuple(int(t_EventMenu), "Program", "Run", 0, "r", int('r')));
    EXPECT_EQ(e.ItemKeyMods, uint32_t(t_ModShift | t_ModControl));
}

TEST_F(QtMenus, HideFrontWindowAndHideAll) {
    makeFront(1);
    ASSERT_EQ(t_FrontWindow(), 1);
    actionWithTag(201)->trigger();
    EXPECT_FALSE(t_HostWindow(1)->isVisible());
    for (uint8_t n : {0, 1, 8, 9, 10, 11, 12}) t_WindowVisible(n, true);
    actionWithTag(200)->trigger();
    for (uint8_t n = 0; n <= 12; n++) EXPECT_FALSE(t_HostWindow(n)->isVisible()) << int(n);
}

TEST_F(QtMenus, CopyTextAndPictureOfTheFrontWindow) {
    makeFront(0);
    ASSERT_EQ(t_FrontWindow(), 0);
    actionWithTag(111)->trigger();   // line drawing becomes ASCII
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "+--+  +\n|Hi|  \xC3\xA4\n+--+  #");
    QGuiApplication::clipboard()->clear();
    actionWithTag(110)->trigger();
    QImage image = QGuiApplication::clipboard()->image();
    EXPECT_EQ(image.size(), QSize(t_WindowTable[0].Width, t_WindowTable[0].Height));
    p_SetPrinter("printed line\nsecond line");
    makeFront(9);
    ASSERT_EQ(t_FrontWindow(), 9);
    actionWithTag(111)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "printed line\nsecond line");
}

// Answers the next modal file panel: checks its texts, then accepts the
// given file or cancels.
struct PanelAnswer { QString AcceptLabel, NameLabel, Title; bool Seen = false; };
void answerPanel(PanelAnswer *seen, QString file) {
    QTimer::singleShot(50, [seen, file] {
        auto *panel = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!panel) return;
        seen->Seen = true;
        seen->AcceptLabel = panel->labelText(QFileDialog::Accept);
        seen->NameLabel = panel->labelText(QFileDialog::FileName);
        seen->Title = panel->windowTitle();
        if (file.isEmpty()) {
            panel->reject();
        } else {
            // Typed into the name field, as a user would.
            panel->setDirectory(QFileInfo(file).absolutePath());
            if (auto *name = panel->findChild<QLineEdit *>("fileNameEdit")) name->setText(QFileInfo(file).fileName());
            static_cast<QDialog *>(panel)->accept();   // QFileDialog::accept checks the name
        }
    });
}

TEST_F(QtMenus, SavePanelChoosesAndACancelEmptiesPathAndName) {
    t_MenuActionAdd(101);
    int index = t_MenuActionIndex(101);
    t_MenuActionSetTexts(index, "Volume sichern", "Wohin?", "copy.dsk", "dsk,po");
    QString target = QDir::tempPath() + "/dw-menus-save-test.dsk";
    PanelAnswer seen;
    answerPanel(&seen, target);
    t_RunMenuAction(index);
    ASSERT_TRUE(seen.Seen);
    EXPECT_EQ(std::tie(seen.AcceptLabel, seen.NameLabel, seen.Title), std::make_tuple("Sichern", "Sichern unter:", "Volume sichern"));
    EXPECT_EQ(t_MenuActionAt(index).FilePath, target.toStdString());
    EXPECT_EQ(t_MenuActionAt(index).FileName, "dw-menus-save-test.dsk");

    PanelAnswer cancelled;
    answerPanel(&cancelled, "");
    t_RunMenuAction(index);
    ASSERT_TRUE(cancelled.Seen);
    EXPECT_EQ(t_MenuActionAt(index).FilePath + t_MenuActionAt(index).FileName, "");
}

// The open panel says "Öffnen" for files and "Wählen" for folders, and
// returns the chosen file to the program thread.
TEST_F(QtMenus, OpenPanelsForFilesAndFolders) {
    PanelAnswer folders;
    answerPanel(&folders, "");
    EXPECT_EQ(t_OpenFileDialog("Ordner", "", "", false, true, false), "");
    ASSERT_TRUE(folders.Seen);
    EXPECT_EQ(folders.AcceptLabel, "Wählen");

    QString file = QDir::tempPath() + "/dw-menus-open-test.dsk";
    QFile(file).open(QIODevice::WriteOnly);
    PanelAnswer files;
    answerPanel(&files, file);
    std::string chosen;
    std::atomic<bool> done{false};
    t_RunAsync([&] {
        chosen = t_OpenFileDialog("CP/M Volume öffnen", "", "dsk", true, false, false);
        done = true;
    });
    EXPECT_TRUE(settle([&] { return done.load(); }));
    EXPECT_EQ(std::tie(files.AcceptLabel, files.Title), std::make_tuple("Öffnen", "CP/M Volume öffnen"));
    EXPECT_EQ(chosen, file.toStdString());
    QFile::remove(file);
}

// The windows of the tests: window 0 with a framed text, window 1 empty.
void makeWindows() {
    t_Font font = t_LoadFontResource("MenloRegular 16x32.font");
    t_InitWindow(0, 24, false, 8 * font.Width, 3 * font.Height, 8, 8, font, true);
    t_InitWindow(1, 24, false, 8 * font.Width, 3 * font.Height, 8, 8, font, true);
    t_Print(0, Text(std::vector<uint8_t>{134, 140, 156, 135, ' ', ' ', 158}));
    t_Cr(0);
    t_Print(0, Text(std::vector<uint8_t>{138, 'H', 'i', 139, ' ', ' ', 0xE4}));
    t_Cr(0);
    t_Print(0, Text(std::vector<uint8_t>{136, 141, 154, 137, ' ', ' ', 127}));
}

}   // namespace

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    t_MarkMainThread();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    t_MainThreadRunner runner;
    runner.Sync = [](const std::function<void()> &work) {
        QMetaObject::invokeMethod(qApp, [&work] { work(); }, Qt::BlockingQueuedConnection);
    };
    runner.Async = [](std::function<void()> work) { QMetaObject::invokeMethod(qApp, std::move(work)); };
    t_SetMainThreadRunner(runner);
    AppDelegate delegate([] {});
    {
        test_LogCapture log;
        t_InitMemory();
        startUpLog = log.text();
    }
    makeWindows();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
