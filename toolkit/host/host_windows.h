// The host objects of the toolkit's windows by window number: the Qt
// window, the view of a toolkit window (0-7), the text view and ruler of a
// text window.  The interface is built once at launch and handed in here;
// every other host file finds the objects it works on through these
// lookups.  Main thread only.
#pragma once

#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <cstdint>

#include "view.h"

// What window n is made of; the parts it has not are null.
struct t_HostWindowParts {
    QMainWindow *Window = nullptr;
    t_View *View = nullptr;            // toolkit windows 0-7
    QPlainTextEdit *TextView = nullptr;   // Pasteboard, Virtual Printer, System Console
    QLineEdit *Ruler = nullptr;           // Virtual Printer, System Console
};
// Records the parts of window n (0-12).
void t_SetHostWindowParts(uint8_t n, const t_HostWindowParts &parts);

// The host window of number n, or nullptr.
QMainWindow *t_HostWindow(uint8_t n);
// The view of toolkit window n, or nullptr.
t_View *t_HostView(uint8_t n);
// The text view of window n, or nullptr.
QPlainTextEdit *t_WindowTextView(uint8_t n);
// The ruler above window n's text view, or nullptr.
QLineEdit *t_WindowRuler(uint8_t n);
// The number of a host window (255 when it is none of ours).
uint8_t t_WindowNumber(const QWidget *window);
