// The display core's host services on Qt: views, host windows, redraws,
// border colours and the bell; sizes and titles through the window operations.
#include "display_host.h"

#include <QCoreApplication>
#include <QMainWindow>

#include "bell_sound.h"
#include "host_hooks.h"
#include "host_windows.h"
#include "menus.h"
#include "rendering.h"
#include "threads.h"
#include "video_memory.h"
#include "windows.h"

// Window numbers 0-7 are the toolkit windows, the only ones with a view.
static t_View *viewOf(uint8_t window) { return t_HostView(window); }

static QMainWindow *hostWindowOf(uint8_t window) { return t_HostWindow(window); }

static void *getView(uint8_t window) {
    void *view = nullptr;
    t_OnMainThread([&] { view = viewOf(window); });
    return view;
}

static void *getHostWindow(uint8_t window) {
    void *host = nullptr;
    t_OnMainThread([&] { host = hostWindowOf(window); });
    return host;
}

static void redrawView(uint8_t window, bool deferred) {
    t_OnMainThread([&] {
        if (t_View *view = viewOf(window)) {
            if (deferred) view->update();
            else view->repaint();
        }
    });
}

// The border is the background of the frame widget that holds the view.
static void setBorderColor(uint8_t window, t_RGBColor colour) {
    t_OnMainThread([&] {
        QMainWindow *host = window <= 7 ? hostWindowOf(window) : nullptr;
        QWidget *frame = host ? host->centralWidget() : nullptr;
        if (!frame) return;
        QPalette palette = frame->palette();
        palette.setColor(QPalette::Window, QColor(colour.Red, colour.Green, colour.Blue));
        frame->setPalette(palette);
        frame->setAutoFillBackground(true);
    });
}

// Window sizes, titles and screen metrics go through the window operations,
// which do their own hand-over to the main thread.
static void sizeWindow(uint8_t window) {
    if (window > 7 || !t_MemoryReady) return;
    const t_Window &w = t_WindowTable[window];
    t_WindowSize(window, -1, -1, w.Width, w.Height);
}

static void setTitle(uint8_t window, const std::string &title) { t_WindowTitle(window, title); }

static void setTitleVisible(uint8_t window, bool visible) { t_WindowTitleVisible(window, visible); }

static std::pair<int, int> screenSize(uint8_t window) {
    return {t_WindowPos(window, t_PosScreenWidth), t_WindowPos(window, t_PosScreenHeight)};
}

static std::string applicationName() {
    std::string name;
    t_OnMainThread([&] { name = QCoreApplication::applicationName().toStdString(); });
    return name;
}

void t_InstallDisplayHost() {
    t_DisplayHost host;
    host.GetView = getView;
    host.GetHostWindow = getHostWindow;
    host.RedrawView = redrawView;
    host.SetBorderColor = setBorderColor;
    host.Bell = t_RingBell;
    host.SizeWindow = sizeWindow;
    host.SetTitle = setTitle;
    host.SetTitleVisible = setTitleVisible;
    host.ScreenSize = screenSize;
    host.ApplicationName = applicationName;
    // Once the window table exists: the menu action table, and the start-up
    // clean-up of the items the desktop adds to the Edit and Window menus.
    host.MemoryInitialized = [] {
        t_InitMenuActions();
        t_MenuCleanUp();
    };
    t_SetDisplayHost(std::move(host));
}

QImage t_WindowNSImage(uint8_t window) {
    if (window > 7 || !getView(window)) return QImage();
    t_Image image;
    if (!t_WindowImageInto(window, image)) return QImage();
    // The image owns the pixel buffer from here on; no copy is made.
    auto *pixels = new std::vector<uint32_t>(std::move(image.Pixels));
    return QImage(
        reinterpret_cast<uchar *>(pixels->data()), image.Width, image.Height, image.Width * 4, QImage::Format_RGB32,
        [](void *p) { delete static_cast<std::vector<uint32_t> *>(p); }, pixels);
}
