// The host view of one toolkit window (View00 ... View07).
#pragma once

#include <QWidget>

#include "display_types.h"
#include "view_scale.h"

class t_View : public QWidget {
    Q_OBJECT
public:
    t_View(int number, QWidget *parent = nullptr);
    int Number;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawScaled(QPainter &painter, const QImage &image);
    // The window image, rebuilt into the same buffer on every draw.
    t_Image Image;
    // The scaled picture where it cannot be drawn into the target directly.
    std::vector<uint32_t> Scaled;
    t_PictureScaler Scaler;
};
