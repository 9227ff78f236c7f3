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

// Draws the picture scaled to the view's size in device pixels.  Where the
// painter's target allows it the pixels are scaled straight into it, which
// saves a copy of the whole scaled picture; otherwise they are scaled into a
// buffer that is then drawn at one device pixel per pixel.
void t_View::drawScaled(QPainter &painter, const QImage &image) {
    const double dpr = devicePixelRatioF();
    const int width = int(std::lround(this->width() * dpr)), height = int(std::lround(this->height() * dpr));
    const auto *source = reinterpret_cast<const uint32_t *>(image.constBits());
    const QTransform &toDevice = painter.deviceTransform();
    if (QImage *target = writableTarget(painter); target && toDevice.type() <= QTransform::TxScale) {
        QRect r = toDevice.mapRect(QRectF(rect())).toRect();
        if (r.size() == QSize(width, height) && target->rect().contains(r)) {
            auto *pixels = reinterpret_cast<uint32_t *>(target->scanLine(r.y())) + r.x();
            t_ScalePicture(Scaler, source, image.width(), image.height(), image.width(), pixels, width, height,
                           int(target->bytesPerLine() / 4));
            return;
        }
    }
    Scaled.resize(size_t(width) * size_t(height));
    t_ScalePicture(Scaler, source, image.width(), image.height(), image.width(), Scaled.data(), width, height, width);
    QImage scaled(reinterpret_cast<const uchar *>(Scaled.data()), width, height, width * 4, QImage::Format_RGB32);
    scaled.setDevicePixelRatio(dpr);
    painter.drawImage(QPoint(0, 0), scaled);
}

// Draws the window image, scaled to the view's size.  At one device pixel
// per picture pixel and with QuickUpdate the whole picture is replaced,
// whatever part was exposed (the cheapest path for the refresh thread's
// full-frame redraws); without QuickUpdate only the exposed part is drawn.
// Only the view of window 0 clears VerticalBlank while it draws, so the
// refresh thread never queues draws behind a slow one.
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
        const double dpr = devicePixelRatioF();
        if (QSize(int(std::lround(width() * dpr)), int(std::lround(height() * dpr))) != image.size()) {
            drawScaled(painter, image);
        } else if (t_WantsQuickUpdate(window)) {
            image.setDevicePixelRatio(dpr);
            painter.drawImage(QPoint(0, 0), image);
        } else {
            painter.fillRect(event->rect(), Qt::black);
            image.setDevicePixelRatio(dpr);
            painter.drawImage(QRectF(event->rect()), image,
                              QRectF(event->rect().topLeft() * dpr, event->rect().size() * dpr));
        }
    } else {
        painter.fillRect(event->rect(), Qt::black);
    }
    if (window == 0) t_SetVerticalBlank(window, true);
}
