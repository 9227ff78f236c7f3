// The virtual printer's text view and ruler in Qt.
#include "printer_qt.h"

#include <QFont>
#include <QFontDatabase>

#include "app_delegate.h"
#include "printer.h"

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
    };
    h.SetRuler = [d](const std::string &text) {
        if (d->VirtualPrinterRuler) d->VirtualPrinterRuler->setText(QString::fromStdString(text));
    };
    h.SetText = [d](const std::string &text) {
        d->VirtualPrinterTextView->setPlainText(QString::fromStdString(text));
        d->VirtualPrinterTextView->viewport()->update();
    };
    h.GetText = [d] { return d->VirtualPrinterTextView->toPlainText().toStdString(); };
    t_SetPrinterHostServices(h);
}
