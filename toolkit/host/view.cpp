// Drawing of a toolkit window's view.
#include "view.h"

#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>

#include "rendering.h"
#include "video_memory.h"

t_View::t_View(int number, QWidget *parent) : QWidget(parent), Number(number) {
    setObjectName(QString("View%1").arg(number, 2, 10, QChar('0')));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// The image Qt paints on when it is 32-bit pixels that can be written
// directly, else nullptr.  A view draws into its window's backing store, an
// image of the window's size in device pixels.
static QImage *writableTarget(QPainter &painter) {
    QPaintEngine *engine = painter.paintEngine();
    QPaintDevice *device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image) return nullptr;
    auto *image = static_cast<QImage *>(device);
    QImage::Format f = image->format();
    if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32_Premultiplied && f != QImage::Format_ARGB32)
        return nullptr;
    return image;
}

// Draws the picture scaled to the view's size in device pixels, made row by
// row from the graphic block as the scaler needs them.  Where the painter's
// target allows it the pixels are scaled straight into it, which saves a
// copy of the whole scaled picture; otherwise they are scaled into a buffer
// that is then drawn at one device pixel per pixel.  false when no picture
// could be made.
bool t_View::drawScaled(QPainter &painter, QSize size) {
    const t_PictureRows rows{[](void *context, int y, uint32_t *row) {
                                 return t_WindowRow(*static_cast<t_WindowRows *>(context), y, row);
                             },
                             &Rows};
    const int width = size.width(), height = size.height();
    const QTransform &toDevice = painter.deviceTransform();
    if (QImage *target = writableTarget(painter); target && toDevice.type() <= QTransform::TxScale) {
        QRect r = toDevice.mapRect(QRectF(rect())).toRect();
        if (r.size() == size && target->rect().contains(r)) {
            auto *pixels = reinterpret_cast<uint32_t *>(target->scanLine(r.y())) + r.x();
            if (!t_ScalePictureRows(Scaler, rows, Rows.Width, Rows.Height, pixels, width, height,
                                    int(target->bytesPerLine() / 4)))
                return false;
            t_WindowRowsDone(Rows);
            return true;
        }
    }
    Scaled.resize(size_t(width) * size_t(height));
    if (!t_ScalePictureRows(Scaler, rows, Rows.Width, Rows.Height, Scaled.data(), width, height, width)) return false;
    t_WindowRowsDone(Rows);
    QImage scaled(reinterpret_cast<const uchar *>(Scaled.data()), width, height, width * 4, QImage::Format_RGB32);
    scaled.setDevicePixelRatio(devicePixelRatioF());
    painter.drawImage(QPoint(0, 0), scaled);
    return true;
}

// Draws the window image (from the open rows) at one device pixel per picture pixel.  With
// QuickUpdate the whole picture is replaced, whatever part was exposed (the
// cheapest path for the refresh thread's full-frame redraws); without it
// only the exposed part is drawn.
bool t_View::drawWhole(QPainter &painter, const QRect &exposed) {
    if (!t_WindowRowsInto(Rows, Image)) return false;
    // The image's pixels are 0xAARRGGBB words with opaque alpha: Qt's own
    // 32-bit layout, wrapped without a copy.
    QImage image(reinterpret_cast<const uchar *>(Image.Pixels.data()), Image.Width, Image.Height, Image.Width * 4,
                 QImage::Format_RGB32);
    const double dpr = devicePixelRatioF();
    image.setDevicePixelRatio(dpr);
    if (t_WantsQuickUpdate(uint8_t(Number))) {
        painter.drawImage(QPoint(0, 0), image);
    } else {
        painter.fillRect(exposed, Qt::black);
        painter.drawImage(QRectF(exposed), image, QRectF(exposed.topLeft() * dpr, exposed.size() * dpr));
    }
    return true;
}

// Draws the window's picture, scaled to the view's size.  Only the view of
// window 0 clears VerticalBlank while it draws, so the refresh thread never
// queues draws behind a slow one.
void t_View::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    if (!t_MemoryReady) {
        painter.fillRect(event->rect(), Qt::black);
        return;
    }
    const uint8_t window = uint8_t(Number);
    if (window == 0) t_SetVerticalBlank(window, false);
    const double dpr = devicePixelRatioF();
    const QSize device(int(std::lround(width() * dpr)), int(std::lround(height() * dpr)));
    bool drawn = false;
    if (t_WindowRowsOpen(window, Rows)) {
        drawn = device == QSize(Rows.Width, Rows.Height) ? drawWhole(painter, event->rect()) : drawScaled(painter, device);
        t_WindowRowsRelease(Rows);
    }
    if (!drawn) painter.fillRect(event->rect(), Qt::black);
    if (window == 0) t_SetVerticalBlank(window, true);
}
