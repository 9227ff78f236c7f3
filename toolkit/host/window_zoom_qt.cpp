// Window sizes on the screen: layout of the picture, first size, zoom,
// remembered size, full screen and the View menu.
#include "window_zoom_qt.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "host_state.h"
#include "host_windows.h"
#include "menus.h"
#include "video_memory.h"
#include "view_scale.h"

// The zoom a toolkit window was given and the content size it gave; a
// content of another size has been resized by the user since.
struct ZoomState {
    double Zoom = 0;
    QSize Content;
    // Set when the size and position came from the last run: the program's
    // centring at start leaves that position alone.
    bool KeepPosition = false;
    // Set once the size has been checked against the frame the window
    // system really drew (which may be larger than the estimate).
    bool FrameChecked = false;
};
static ZoomState zoomStates[8];
// Off until the application switches it on: code that builds the windows
// without running the application (tests) never reads or writes it.
static bool rememberWindows = false;

static const char *const settingsOrganization = "Diskwright";
static const char *const settingsApplication = "Diskwright";

static QScreen *screenOf(QWidget *w) {
    QScreen *s = w ? w->screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}

static bool isInitialized(uint8_t n) { return n < 8 && t_MemoryReady && t_WindowTable[n].Initialized; }

static t_PictureGeometry pictureOf(uint8_t n) {
    const t_Window &r = t_WindowTable[n];
    return {r.Width, r.Height, r.BorderWidth, r.BorderHeight};
}

// The picture and its border at one pixel per point.
static QSize unitOf(uint8_t n) {
    const t_Window &r = t_WindowTable[n];
    return {r.Width + 2 * r.BorderWidth, r.Height + 2 * r.BorderHeight};
}

static int menuHeight(QMainWindow *w) {
    QWidget *menu = w->menuWidget();
    return menu && !menu->isHidden() ? menu->sizeHint().height() : 0;
}

// The frame the window system drew around the window, once it has framed it.
static bool frameMeasured(QMainWindow *w, QSize &known) {
    known = w->frameGeometry().size() - w->geometry().size();
    return known.height() > known.width();
}

// The window system's frame around a window's content.  Once the window is
// shown and framed it is measured; before that it is taken as the title bar
// the toolkit counts with and a few pixels of frame.
static QSize decoration(QMainWindow *w, uint8_t n) {
    QSize known;
    if (frameMeasured(w, known)) return known;
    int title = n < 8 ? t_WindowTable[n].TitleHeight : int(t_TitleBarHeight);
    return {std::max(known.width(), 8), title + std::max(known.height(), 8)};
}

// The largest zoom at which window n with content of unit size, its menu
// bar and frame fit the available area of its screen.
static double largestZoom(uint8_t n, QSize unit) {
    QMainWindow *w = t_HostWindow(n);
    QRect area = screenOf(w)->availableGeometry();
    QSize extra = decoration(w, n) + QSize(0, menuHeight(w));
    return t_LargestZoom(unit.width(), unit.height(), extra.width(), extra.height(), area.width(), area.height());
}

static double fillingZoom(QSize content, QSize unit) {
    if (unit.isEmpty()) return 1;
    return std::min(double(content.width()) / unit.width(), double(content.height()) / unit.height());
}

// The zoom of window n as it stands, 0 before it was first sized.
static double currentZoom(uint8_t n) {
    const ZoomState &s = zoomStates[n];
    QMainWindow *w = t_HostWindow(n);
    if (s.Zoom <= 0 || !w || w->isFullScreen()) return s.Zoom;
    QSize content = w->centralWidget()->size();
    return content == s.Content ? s.Zoom : fillingZoom(content, unitOf(n));
}

double t_WindowZoom(uint8_t n) {
    double zoom = n < 8 ? currentZoom(n) : 0;
    return zoom > 0 ? zoom : 1;
}

void t_LayoutView(uint8_t n) {
    QMainWindow *w = t_HostWindow(n);
    t_View *view = t_HostView(n);
    if (!w || !view || !isInitialized(n)) return;
    QWidget *content = w->centralWidget();
    t_PictureRect r = t_FitPicture(pictureOf(n), content->width(), content->height(), content->devicePixelRatioF(),
                                   !w->isFullScreen());
    view->setGeometry(r.X, r.Y, r.Width, r.Height);
}

QPointF t_MousePoint(uint8_t n, QPointF p) {
    QMainWindow *w = t_HostWindow(n);
    t_View *view = t_HostView(n);
    if (!w || !view || !isInitialized(n)) return {p.x(), w ? w->centralWidget()->height() - p.y() : 0};
    QRect g = view->geometry();
    const t_Window &r = t_WindowTable[n];
    t_PicturePixel pixel = t_PixelAt({g.x(), g.y(), g.width(), g.height()}, pictureOf(n), p.x(), p.y());
    return {double(r.BorderWidth + pixel.X), double(r.BorderHeight + r.Height - pixel.Y)};
}

static void keepOnScreen(uint8_t n);
static void applyZoom(uint8_t n, QSize unit, double zoom);

// The first size was chosen with an estimate of the frame.  Once the window
// system has framed the shown window, a window whose real frame does not fit
// the available area is made smaller and moved onto it; checked once.
static void fitMeasuredFrame(uint8_t n) {
    ZoomState &s = zoomStates[n];
    QMainWindow *w = t_HostWindow(n);
    QSize known;
    if (s.FrameChecked || !w || !w->isVisible() || w->isFullScreen() || !isInitialized(n) || !frameMeasured(w, known))
        return;
    s.FrameChecked = true;
    QSize unit = unitOf(n);
    double largest = largestZoom(n, unit);
    if (largest < t_WindowZoom(n)) applyZoom(n, unit, t_FirstZoom(largest));
    keepOnScreen(n);
}

namespace {
// Lays the picture out again when the content is resized or the window
// enters or leaves full screen; checks the first frame the window gets.
class ViewLayoutFilter : public QObject {
public:
    ViewLayoutFilter(uint8_t n, QObject *parent) : QObject(parent), Window(n) {}
    uint8_t Window;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::WindowStateChange)
            t_LayoutView(Window);
        if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && !zoomStates[Window].FrameChecked) {
            uint8_t n = Window;
            QTimer::singleShot(0, parent(), [n] { fitMeasuredFrame(n); });
        }
        return false;
    }
};
}  // namespace

void t_WatchViewLayout(uint8_t n) {
    QMainWindow *w = t_HostWindow(n);
    if (!w) return;
    auto *filter = new ViewLayoutFilter(n, w);
    w->installEventFilter(filter);
    w->centralWidget()->installEventFilter(filter);
}

// Gives window n's content the unit size times the zoom.  The window stays
// freely resizable down to a quarter of the unit.
static void applyZoom(uint8_t n, QSize unit, double zoom) {
    QMainWindow *w = t_HostWindow(n);
    QWidget *content = w->centralWidget();
    QSize size(std::max(1, int(std::lround(unit.width() * zoom))), std::max(1, int(std::lround(unit.height() * zoom))));
    content->setMinimumSize(std::min(size.width(), std::max(1, unit.width() / 4)),
                            std::min(size.height(), std::max(1, unit.height() / 4)));
    content->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    w->setMinimumSize(0, 0);
    w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    zoomStates[n].Zoom = zoom;
    zoomStates[n].Content = size;
    if (!w->isFullScreen()) {
        content->resize(size);
        w->resize(size.width(), size.height() + menuHeight(w));
    }
    t_LayoutView(n);
}

// Moves the window so that its frame lies inside the available area.
static void keepOnScreen(uint8_t n) {
    QMainWindow *w = t_HostWindow(n);
    if (w->isFullScreen()) return;
    QRect area = screenOf(w)->availableGeometry();
    QSize outer = w->size() + decoration(w, n);
    int x = std::max(area.left(), std::min(w->x(), area.left() + area.width() - outer.width()));
    int y = std::max(area.top(), std::min(w->y(), area.top() + area.height() - outer.height()));
    if (QPoint(x, y) != w->pos()) w->move(x, y);
}

// Window 0's size and position of the last run, when they still fit the
// screen they were on.
static bool restoreGeometry(QSize unit) {
    if (!rememberWindows) return false;
    QSettings settings(settingsOrganization, settingsApplication);
    QRect frame = settings.value("Screen0/Frame").toRect();
    QSize size = settings.value("Screen0/Size").toSize();
    QMainWindow *w = t_HostWindow(0);
    if (!frame.isValid() || size.isEmpty()) return false;
    QScreen *screen = QGuiApplication::screenAt(frame.center());
    if (!screen || !screen->availableGeometry().contains(frame)) return false;
    QSize content(size.width(), size.height() - menuHeight(w));
    if (content.width() < unit.width() / 4 || content.height() < unit.height() / 4) return false;
    applyZoom(0, unit, fillingZoom(content, unit));
    w->resize(size);
    w->centralWidget()->resize(content);
    zoomStates[0].Content = content;
    zoomStates[0].KeepPosition = true;
    w->move(frame.topLeft());
    return true;
}

void t_SetToolkitFrame(uint8_t n, t_Frame f) {
    QMainWindow *w = t_HostWindow(n);
    if (!w || n >= 8) return;
    QSize unit(int(f.Width), int(f.Height) - t_WindowTable[n].TitleHeight);
    double zoom = currentZoom(n);
    if (zoom <= 0) {
        if (n == 0 && restoreGeometry(unit)) return;
        zoom = t_FirstZoom(largestZoom(n, unit));
    }
    applyZoom(n, unit, zoom);
    // Host frames have their origin at the bottom left of the screen; the
    // frame's height is the toolkit's, so that the top stays where the
    // toolkit put it.
    QScreen *s = screenOf(w);
    int screenHeight = s ? s->geometry().height() : 0;
    if (!w->isFullScreen()) w->move(int(f.X), screenHeight - int(f.Y + f.Height));
}

void t_CenterWindow(uint8_t n) {
    QMainWindow *w = t_HostWindow(n);
    if (!w || w->isFullScreen()) return;
    if (n < 8 && zoomStates[n].KeepPosition) {
        zoomStates[n].KeepPosition = false;
        return;
    }
    QRect area = screenOf(w)->availableGeometry();
    QSize outer = w->size() + decoration(w, n);
    w->move(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
}

void t_FitOnFirstShow(uint8_t n) {
    QMainWindow *w = t_HostWindow(n);
    if (!w || w->property("t_Shown").toBool()) return;
    w->setProperty("t_Shown", true);
    if (w->isFullScreen()) return;
    QRect area = screenOf(w)->availableGeometry();
    QSize most = area.size() - decoration(w, n);
    if (n < 8) {
        if (isInitialized(n) && largestZoom(n, unitOf(n)) < t_WindowZoom(n))
            applyZoom(n, unitOf(n), t_FirstZoom(largestZoom(n, unitOf(n))));
    } else if (w->width() > most.width() || w->height() > most.height()) {
        w->resize(std::min(w->width(), most.width()), std::min(w->height(), most.height()));
    }
    keepOnScreen(n);
}

void t_RunViewAction(t_ViewAction action, uint8_t n) {
    QMainWindow *w = isInitialized(n) ? t_HostWindow(n) : nullptr;
    if (!w) {
        t_Beep();
        return;
    }
    if (action == t_ViewAction::FullScreen) {
        if (w->isFullScreen()) w->showNormal();
        else w->showFullScreen();
        return;
    }
    QSize unit = unitOf(n);
    double largest = largestZoom(n, unit), now = t_WindowZoom(n), dpr = w->devicePixelRatioF();
    double zoom = 0;
    switch (action) {
    case t_ViewAction::ActualSize: zoom = t_FirstZoom(largest); break;
    case t_ViewAction::ZoomIn: zoom = t_ZoomIn(now, largest, dpr); break;
    case t_ViewAction::ZoomOut: zoom = t_ZoomOut(now, dpr); break;
    case t_ViewAction::FullScreen: break;
    }
    if (zoom <= 0) {
        t_Beep();
        return;
    }
    if (w->isFullScreen()) w->showNormal();
    applyZoom(n, unit, zoom);
    keepOnScreen(n);
}

// ---------------------------------------------------------------- the View menu

struct ViewMenuItem {
    const char *Title;   // "" is a separator
    t_ViewAction Action;
    char Key;            // Ctrl+Shift+key, 0 for none
};

// Only letters are given keys: digits and punctuation with Ctrl+Shift give
// other keys on other keyboard layouts.
static const ViewMenuItem viewMenu[] = {
    {"Full Screen", t_ViewAction::FullScreen, 'F'},
    {"", t_ViewAction::FullScreen, 0},
    {"Actual Size", t_ViewAction::ActualSize, 0},
    {"Zoom In", t_ViewAction::ZoomIn, 0},
    {"Zoom Out", t_ViewAction::ZoomOut, 0},
};

static uint8_t frontWindow() {
    QWidget *active = QApplication::activeWindow();
    return active ? t_WindowNumber(active->window()) : t_NoWindow;
}

QMenu *t_BuildViewMenu() {
    auto *menu = new QMenu("View");
    for (const ViewMenuItem &item : viewMenu) {
        if (!*item.Title) {
            menu->addSeparator();
            continue;
        }
        QAction *a = menu->addAction(item.Title);
        if (item.Key)
            a->setShortcut(QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier,
                                                        Qt::Key(Qt::Key_A + (item.Key - 'A')))));
        t_ViewAction action = item.Action;
        QObject::connect(a, &QAction::triggered, a, [action] { t_RunViewAction(action, frontWindow()); });
    }
    return menu;
}

// ---------------------------------------------------------------- remembered size

void t_SetRememberWindows(bool remember) { rememberWindows = remember; }

void t_SaveWindowGeometry() {
    QMainWindow *w = t_HostWindow(0);
    if (!rememberWindows || !w || !isInitialized(0) || !w->property("t_Shown").toBool() || w->isFullScreen())
        return;
    QSettings settings(settingsOrganization, settingsApplication);
    settings.setValue("Screen0/Frame", w->frameGeometry());
    settings.setValue("Screen0/Size", w->size());
}
