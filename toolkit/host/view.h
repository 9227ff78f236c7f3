// The host view of one toolkit window (View00 ... View07).
#pragma once

#include <QWidget>

#include "display_types.h"

class t_View : public QWidget {
    Q_OBJECT
public:
    t_View(int number, QWidget *parent = nullptr);
    int Number;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The window image, rebuilt into the same buffer on every draw.
    t_Image Image;
};
