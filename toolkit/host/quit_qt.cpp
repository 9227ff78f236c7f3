// Quitting in Qt.
#include "quit_qt.h"

#include <QApplication>
#include <QMessageBox>

#include "quit.h"

// Ends the event loop directly: QApplication::quit would first ask every
// window to close, and our windows only hide when asked.
static void endApplication() { QCoreApplication::exit(0); }

static t_SaveChangesAnswer askSaveChanges(const std::string &fileName) {
    QString question = "Do you want to save the changes to “" + QString::fromStdString(fileName) + "” before quitting?";
    QMessageBox box(QMessageBox::Warning, "Diskwright", question,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QApplication::activeWindow());
    box.setInformativeText("Without saving, the changes since the last save are lost.");
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return t_SaveChangesAnswer::Save;
    case QMessageBox::Discard: return t_SaveChangesAnswer::Discard;
    default: return t_SaveChangesAnswer::Cancel;
    }
}

static void alert(const std::string &message) {
    QMessageBox box(QMessageBox::Warning, "Diskwright", QString::fromStdString(message), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void t_InstallQuitHost() {
    t_QuitHostServices h;
    h.EndApplication = endApplication;
    h.AskSaveChanges = askSaveChanges;
    h.Alert = alert;
    t_SetQuitHostServices(h);
}
