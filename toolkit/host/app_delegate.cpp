// The launch sequence and the interface objects of the application.
#include "app_delegate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>

#include "display_host.h"
#include "host_state.h"
#include "host_windows.h"
#include "log.h"
#include "menus_qt.h"
#include "printer_qt.h"
#include "ruler_qt.h"
#include "text.h"
#include "threads.h"
#include "view.h"
#include "window_zoom_qt.h"
#include "windows.h"
#include "windows_qt.h"

static AppDelegate *theDelegate = nullptr;

AppDelegate *t_AppDelegate() { return theDelegate; }

// Title-bar height used where the window system does not report one (the
// offscreen platform, or X servers without a window manager).
static const int defaultTitleBarHeight = 28;

AppDelegate::AppDelegate(std::function<void()> program) : Program(std::move(program)) {
    theDelegate = this;
    buildInterface();
}

QMainWindow *AppDelegate::makeTextWindow(int number, const QString &title, QPlainTextEdit **text,
                                         QLineEdit **ruler) {
    auto *window = new QMainWindow();
    window->setWindowTitle(title);
    window->setProperty("t_WindowNumber", number);
    auto *content = new QWidget(window);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(20, 10, 20, 10);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setFamily("DejaVu Sans Mono");
    mono.setPointSize(12);
    if (ruler) layout->addWidget(t_MakeRulerStrip(content, mono, ruler));
    *text = new QPlainTextEdit(content);
    (*text)->setReadOnly(true);
    (*text)->setFont(mono);
    (*text)->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(*text);
    if (ruler) t_FollowTextView(*ruler, *text);
    window->setCentralWidget(content);
    window->resize(800, 500);
    window->installEventFilter(this);
    return window;
}

void AppDelegate::buildInterface() {
    // File (Quit), Edit, View, Window and Help, shared by every window's menu bar.
    t_BuildMenus();

    for (int n = 0; n < 8; n++) {
        auto *window = new QMainWindow();
        window->setProperty("t_WindowNumber", n);
        t_AttachMenus(window);
        auto *frame = new QWidget(window);   // the border around the view
        frame->setAutoFillBackground(true);
        auto *view = new t_View(n, frame);
        window->setCentralWidget(frame);
        window->installEventFilter(this);
        t_SetHostWindowParts(uint8_t(n), {window, view, nullptr, nullptr});
    }
    // The text windows: the Virtual Printer and System Console with a ruler.
    struct TextWindow {
        uint8_t Number;
        const char *Title;
        bool Ruler;
    };
    for (TextWindow w : {TextWindow{t_PrinterWindow, "Virtual Printer", true},
                         TextWindow{t_ConsoleWindow, "System Console", true},
                         TextWindow{t_PasteboardWindow, "Pasteboard", false}}) {
        t_HostWindowParts parts;
        parts.Window = makeTextWindow(w.Number, w.Title, &parts.TextView, w.Ruler ? &parts.Ruler : nullptr);
        t_AttachMenus(parts.Window);
        t_SetHostWindowParts(w.Number, parts);
    }

    auto *main = new QMainWindow();
    main->setWindowTitle("Diskwright");
    main->setProperty("t_WindowNumber", 12);
    t_AttachMenus(main);
    main->installEventFilter(this);
    t_SetHostWindowParts(t_MainWindow, {main, nullptr, nullptr, nullptr});
    auto *preferences = new QMainWindow();
    preferences->setWindowTitle("Preferences");
    preferences->setProperty("t_WindowNumber", 11);
    preferences->installEventFilter(this);
    t_SetHostWindowParts(t_PreferencesWindow, {preferences, nullptr, nullptr, nullptr});
    t_InstallWindowHost(this);
    t_InstallPrinterHost();
    t_InstallDisplayHost();
}

// A window's close box only hides the window.
bool AppDelegate::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Close) {
        auto *window = qobject_cast<QWidget *>(watched);
        if (window && window->isWindow()) {
            event->ignore();
            t_MouseEventPostCloseBoxClick(t_WindowNumber(window));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::applicationWillFinishLaunching() {
    t_Log("applicationWillFinishLaunching: Called.");
    if (t_ThreadNumber() == 1) t_NameThread("AppDelegate");
}

// Title bar = window frame − scroll view − the 10-point margins above and
// below it; where the window system reports no frame, a standard height.
static int measureTitleBarHeight(QMainWindow *window, QWidget *scrollView) {
    int measured = window->frameGeometry().height() - scrollView->height() - 20;
    int contentOnly = window->geometry().height() - scrollView->height() - 20;
    if (measured > contentOnly) return measured;
    return defaultTitleBarHeight;
}

void AppDelegate::applicationDidFinishLaunching() {
    t_Log("applicationDidFinishLaunching: Start.");
    initvxtools();
    t_TitleBarHeight =
        measureTitleBarHeight(t_HostWindow(t_PasteboardWindow), t_WindowTextView(t_PasteboardWindow));
    t_Log("Program: Start.");
    startprocess(Program, 0x40000000);
    t_Log("applicationDidFinishLaunching: End.");
}

void AppDelegate::applicationWillTerminate() {
    t_Log("applicationWillTerminate: Called.");
    t_SaveWindowGeometry();
    t_TerminateHandler();
}
