// The virtual printer's text view and ruler in Qt.
#include "printer_qt.h"

#include <QFont>
#include <QFontDatabase>

#include "app_delegate.h"
#include "printer.h"

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

void t_InstallPrinterHost(AppDelegate *d) {
    t_PrinterHostServices h;
    h.Exists = [d] { return d->VirtualPrinterTextView != nullptr; };
    h.Setup = [d] {
        QPlainTextEdit *view = d->VirtualPrinterTextView;
        view->setFont(printerFont());
        view->clear();
        view->viewport()->update();
        shownText = view->toPlainText();
        givenText.clear();
    };
    h.SetRuler = [d](const std::string &text) {
        if (d->VirtualPrinterRuler) d->VirtualPrinterRuler->setText(QString::fromStdString(text));
    };
    h.SetText = [d](const std::string &text) {
        d->VirtualPrinterTextView->setPlainText(QString::fromStdString(text));
        d->VirtualPrinterTextView->viewport()->update();
        shownText = d->VirtualPrinterTextView->toPlainText();
        givenText = text;
    };
    // The view turns carriage returns into its own line ends: the text as it
    // was given comes back while the view still shows it.
    h.GetText = [d] {
        QString shown = d->VirtualPrinterTextView->toPlainText();
        return shown == shownText ? givenText : shown.toStdString();
    };
    t_SetPrinterHostServices(h);
}
