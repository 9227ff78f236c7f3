// The application delegate: the launch sequence, the interface objects of
// every window, and the end of the application.
#pragma once

#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QObject>
#include <QPlainTextEdit>
#include <functional>

#include "view.h"

class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(std::function<void()> program);

    // The host objects of the toolkit views and the auxiliary windows.
    t_View *t_Views[8] = {};
    QMainWindow *t_ViewWindows[8] = {};
    QMainWindow *VirtualPrinterWindow = nullptr;
    QPlainTextEdit *VirtualPrinterScrollView = nullptr;
    QPlainTextEdit *VirtualPrinterTextView = nullptr;
    QLineEdit *VirtualPrinterRuler = nullptr;
    QMainWindow *SystemConsoleWindow = nullptr;
    QPlainTextEdit *SystemConsoleScrollView = nullptr;
    QPlainTextEdit *SystemConsoleTextView = nullptr;
    QLineEdit *SystemConsoleRuler = nullptr;
    QMainWindow *PasteboardWindow = nullptr;
    QPlainTextEdit *PasteboardScrollView = nullptr;
    QPlainTextEdit *PasteboardTextView = nullptr;
    QMainWindow *MainWindow = nullptr;
    QMainWindow *PreferencesWindow = nullptr;
    QMenu *FileMenu = nullptr;

    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return false; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildInterface();
    QMainWindow *makeTextWindow(int number, const QString &title, QPlainTextEdit **text, QLineEdit **ruler);
    std::function<void()> Program;
};

// The delegate of the running application (nullptr before it exists).
AppDelegate *t_AppDelegate();
