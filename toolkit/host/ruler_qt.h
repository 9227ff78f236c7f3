// The ruler field above the printer's and the console's text view.
#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

// A strip of one text line that holds the ruler field.  The field is as
// wide as its whole text and moves inside the strip, which shows the part
// that lies over the text view.
QWidget *t_MakeRulerStrip(QWidget *parent, const QFont &font, QLineEdit **ruler);
// Keeps the ruler's columns over the text view's columns: its first
// character over the view's first text column, moving along when the view
// scrolls sideways or the ruler's text changes.
void t_FollowTextView(QLineEdit *ruler, QPlainTextEdit *view);
