// The virtual printer's text view and ruler in Qt.
#include "printer_qt.h"

#include <QFont>
#include <QFontDatabase>

#include "host_windows.h"
#include "printer.h"
#include "windows.h"

// The printer's text as last given and as the view showed it then (main
// thread only).
static std::string givenText;
static QString shownText;

// The printer and console use a fixed-pitch font of 12 points.
static QFont printerFont() {
    QFont font("DejaVu Sans Mono");
    font.setStyleHint(QFont::Monospace);
    font.setPointSize(12);
    return font;
}

static QPlainTextEdit *textView() { return t_WindowTextView(t_PrinterWindow); }

void t_InstallPrinterHost() {
    t_PrinterHostServices h;
    h.Exists = [] { return textView() != nullptr; };
    h.Setup = [] {
        QPlainTextEdit *view = textView();
        view->setFont(printerFont());
        view->clear();
        view->viewport()->update();
        shownText = view->toPlainText();
        givenText.clear();
    };
    h.SetRuler = [](const std::string &text) {
        if (QLineEdit *ruler = t_WindowRuler(t_PrinterWindow)) ruler->setText(QString::fromStdString(text));
    };
    h.SetText = [](const std::string &text) {
        QPlainTextEdit *view = textView();
        view->setPlainText(QString::fromStdString(text));
        view->viewport()->update();
        shownText = view->toPlainText();
        givenText = text;
    };
    // The view turns carriage returns into its own line ends: the text as it
    // was given comes back while the view still shows it.
    h.GetText = [] {
        QString shown = textView()->toPlainText();
        return shown == shownText ? givenText : shown.toStdString();
    };
    t_SetPrinterHostServices(h);
}
