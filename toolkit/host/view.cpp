// Drawing of a toolkit window's view.
#include "view.h"

#include <QPaintEvent>
#include <QPainter>

#include "rendering.h"
#include "video_memory.h"

t_View::t_View(int number, QWidget *parent) : QWidget(parent), Number(number) {
    setObjectName(QString("View%1").arg(number, 2, 10, QChar('0')));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// Draws the window image.  With QuickUpdate the whole picture is replaced
// at its pixel size, whatever part was exposed (the cheapest path for the
// refresh thread's full-frame redraws); without it only the exposed part of
// the image is drawn.  Only the view of window 0 clears VerticalBlank while
// it draws, so the refresh thread never queues draws behind a slow one.
void t_View::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    if (!t_MemoryReady) {
        painter.fillRect(event->rect(), Qt::black);
        return;
    }
    const uint8_t window = uint8_t(Number);
    if (window == 0) t_SetVerticalBlank(window, false);
    if (t_WindowImageInto(window, Image)) {
        // The image's pixels are 0xAARRGGBB words with opaque alpha: Qt's own
        // 32-bit layout, wrapped without a copy.
        QImage image(reinterpret_cast<const uchar *>(Image.Pixels.data()), Image.Width, Image.Height,
                     Image.Width * 4, QImage::Format_RGB32);
        if (t_WantsQuickUpdate(window)) {
            painter.drawImage(QPoint(0, 0), image);
        } else {
            painter.fillRect(event->rect(), Qt::black);
            painter.drawImage(event->rect(), image, event->rect());
        }
    } else {
        painter.fillRect(event->rect(), Qt::black);
    }
    if (window == 0) t_SetVerticalBlank(window, true);
}
