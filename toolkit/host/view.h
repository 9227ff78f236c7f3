// The host view of one toolkit window (View00 ... View07).
#pragma once

#include <QWidget>

#include "display_types.h"
#include "rendering.h"
#include "view_scale.h"

class t_View : public QWidget {
    Q_OBJECT
public:
    t_View(int number, QWidget *parent = nullptr);
    int Number;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool drawScaled(QPainter &painter, QSize size);
    bool drawWhole(QPainter &painter, const QRect &exposed);
    // The window image at one device pixel per pixel, rebuilt into the same
    // buffer on every draw; scaled, the picture's rows are made one by one.
    t_Image Image;
    t_WindowRows Rows;
    // The scaled picture where it cannot be drawn into the target directly.
    std::vector<uint32_t> Scaled;
    t_PictureScaler Scaler;
};
