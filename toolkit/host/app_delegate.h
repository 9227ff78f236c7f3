// The application delegate: the launch sequence, the interface it builds
// (every window handed to host_windows.h), and the end of the application.
#pragma once

#include <QLineEdit>
#include <QMainWindow>
#include <QObject>
#include <QPlainTextEdit>
#include <QString>
#include <functional>

class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(std::function<void()> program);

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
