// The ruler field above a text view.
#include "ruler_qt.h"

#include <QScrollBar>
#include <QTextDocument>

// A frameless QLineEdit draws its text this many pixels from its left edge.
static const int lineEditTextInset = 2;

QWidget *t_MakeRulerStrip(QWidget *parent, const QFont &font, QLineEdit **ruler) {
    auto *strip = new QWidget(parent);
    *ruler = new QLineEdit(strip);
    (*ruler)->setReadOnly(true);
    (*ruler)->setFont(font);
    (*ruler)->setFrame(false);
    (*ruler)->setFocusPolicy(Qt::NoFocus);
    strip->setFixedHeight((*ruler)->sizeHint().height());
    return strip;
}

// The field's place in its strip: its text starts where the view's text
// does, less what the view has scrolled.
static void placeRuler(QLineEdit *ruler, QPlainTextEdit *view) {
    QWidget *strip = ruler->parentWidget();
    int textLeft = view->x() - strip->x() + view->viewport()->x() + int(view->document()->documentMargin()) -
                   view->horizontalScrollBar()->value();
    // Wide enough for the whole text, so the field itself never scrolls and
    // always shows its text from the first character.
    int width = ruler->fontMetrics().horizontalAdvance(ruler->text()) + 2 * lineEditTextInset + 8;
    ruler->setGeometry(textLeft - lineEditTextInset, 0, width, strip->height());
}

void t_FollowTextView(QLineEdit *ruler, QPlainTextEdit *view) {
    auto place = [ruler, view] { placeRuler(ruler, view); };
    QObject::connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, ruler, place);
    QObject::connect(view->horizontalScrollBar(), &QScrollBar::rangeChanged, ruler, place);   // laid out anew
    QObject::connect(ruler, &QLineEdit::textChanged, ruler, place);
    place();
}
