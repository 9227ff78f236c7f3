// The program's check marks, kept in a property of the action.
#include "menu_checks_qt.h"

#include <QVariant>

bool t_ProgramCheck(const QAction *action) { return action->property("t_ProgramCheck").toBool(); }

void t_SetProgramCheck(QAction *action, bool checked) {
    action->setProperty("t_ProgramCheck", checked);
    action->setChecked(checked);
}
