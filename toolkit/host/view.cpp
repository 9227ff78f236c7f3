// Drawing of a toolkit window's view.
#include "view.h"

#include <QPainter>

t_View::t_View(int number, QWidget *parent) : QWidget(parent), Number(number) {
    setObjectName(QString("View%1").arg(number, 2, 10, QChar('0')));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void t_View::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}
