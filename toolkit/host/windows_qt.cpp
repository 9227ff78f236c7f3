// The window operations' host half: Qt windows, the clipboard, and the
// event filters that feed the toolkit views' keys and clicks to the queues.
#include "windows_qt.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>

#include "display.h"
#include "host_windows.h"
#include "key_qt.h"
#include "line_input.h"
#include "threads.h"
#include "window_zoom_qt.h"
#include "windows.h"

static QScreen *screenOf(QWidget *w) {
    QScreen *s = w ? w->screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}

// Host frames have their origin at the bottom left of the screen; Qt's at
// the top left.
static t_Frame toHostFrame(QWidget *w, QRect r) {
    QScreen *s = screenOf(w);
    int screenHeight = s ? s->geometry().height() : 0;
    return {double(r.x()), double(screenHeight - (r.y() + r.height())), double(r.width()), double(r.height())};
}

// Toolkit windows scale their picture to the frame; the other windows get
// the frame less the window system's decoration.
static void setHostFrame(uint8_t n, t_Frame f) {
    if (n < 8) {
        t_SetToolkitFrame(n, f);
        return;
    }
    QMainWindow *w = t_HostWindow(n);
    if (!w) return;
    QScreen *s = screenOf(w);
    int screenHeight = s ? s->geometry().height() : 0;
    int frameExtra = w->frameGeometry().height() - w->height();
    w->resize(int(f.Width), int(f.Height) - frameExtra);
    w->move(int(f.X), screenHeight - int(f.Y + f.Height));
}

void t_InstallWindowHost(QObject *owner) {
    t_WindowHostServices h;
    h.Exists = [](uint8_t n) { return t_HostWindow(n) != nullptr; };
    h.IsVisible = [](uint8_t n) { return t_HostWindow(n)->isVisible(); };
    h.Show = [](uint8_t n, bool visible) {
        QMainWindow *w = t_HostWindow(n);
        if (visible) {
            t_FitOnFirstShow(n);
            w->show();
            w->raise();
        } else {
            w->hide();
        }
    };
    h.MakeKey = [](uint8_t n) {
        QMainWindow *w = t_HostWindow(n);
        w->raise();
        w->activateWindow();
        if (t_View *v = t_HostView(n)) v->setFocus();
    };
    h.Center = t_CenterWindow;
    h.SetTitle = [](uint8_t n, const std::string &title) {
        if (QMainWindow *w = t_HostWindow(n)) w->setWindowTitle(QString::fromStdString(title));
    };
    h.SetTitleBarVisible = [](uint8_t n, bool visible) {
        QMainWindow *w = t_HostWindow(n);
        bool shown = w->isVisible();
        w->setWindowFlag(Qt::FramelessWindowHint, !visible);
        if (shown) w->show();
    };
    h.Frame = [](uint8_t n) {
        QMainWindow *w = t_HostWindow(n);
        QRect r = w->frameGeometry();
        // A toolkit window's frame is the one the toolkit gave it: drawing
        // area, borders and title below the top left corner.  The Qt window
        // also holds a menu bar and its own decoration, which would move the
        // lower edge, and every size kept with -1 would shift the window.
        const t_Window &tw = t_WindowTable[n < 8 ? n : 0];
        if (n < 8 && t_MemoryReady && tw.Initialized)
            r.setSize(QSize(tw.Width + 2 * tw.BorderWidth, tw.Height + 2 * tw.BorderHeight + tw.TitleHeight));
        return toHostFrame(w, r);
    };
    h.ScreenFrame = [](uint8_t n) {
        QScreen *s = screenOf(t_HostWindow(n));
        return s ? t_Frame{0, 0, double(s->geometry().width()), double(s->geometry().height())} : t_Frame{};
    };
    h.SetFrame = setHostFrame;
    // The view's place follows from the picture and the window's content.
    h.SetViewFrame = [](uint8_t n, t_Frame) { t_LayoutView(n); };
    h.HasTextView = [](uint8_t n) { return t_WindowTextView(n) != nullptr; };
    h.ScrollViewFrame = [](uint8_t n) {
        QPlainTextEdit *t = t_WindowTextView(n);
        return t ? t_Frame{double(t->x()), double(t->y()), double(t->width()), double(t->height())} : t_Frame{};
    };
    // The text windows lay their scroll view out themselves: it always gets
    // the frame less the margins, which is the size asked for here.
    h.SetScrollViewSize = [](uint8_t, double, double) {};
    h.ShowClipboardText = [](uint8_t n) {
        if (QPlainTextEdit *t = t_WindowTextView(n)) t->setPlainText(QGuiApplication::clipboard()->text());
    };
    h.RedisplayTextView = [](uint8_t n) {
        if (QPlainTextEdit *t = t_WindowTextView(n)) t->viewport()->update();
    };
    t_SetWindowHostServices(h);

    t_ClipboardServices clipboard;
    clipboard.GetText = [] {
        std::string text;
        t_OnMainThread([&] { text = QGuiApplication::clipboard()->text().toStdString(); });
        return text;
    };
    clipboard.SetText = [](const std::string &text) {
        t_OnMainThread([&] { QGuiApplication::clipboard()->setText(QString::fromStdString(text)); });
    };
    t_SetClipboardServices(clipboard);

    for (uint8_t n = 0; n < 8; n++) {
        QWidget *content = t_HostWindow(n)->centralWidget();
        auto *filter = new t_InputFilter(n, content, owner);
        t_HostView(n)->installEventFilter(filter);
        content->installEventFilter(filter);
        t_WatchViewLayout(n);
    }
}
