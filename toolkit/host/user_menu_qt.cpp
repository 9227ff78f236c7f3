// The User menu.  Choosing an item only queues it (t_PostMenuChoice): the
// program takes it on its own thread at the prompt and checks the item of
// the user area it then shows (t_MenuItemCheck).
#include "user_menu_qt.h"

#include "events.h"
#include "menu_checks_qt.h"

const char *const t_UserMenuTitle = "User";

QMenu *t_BuildUserMenu() {
    auto *menu = new QMenu(t_UserMenuTitle);
    for (int user = 0; user < 16; user++) {
        QAction *a = menu->addAction(QString::number(user));
        a->setCheckable(true);
        t_SetProgramCheck(a, user == 0);
        if (user < 10)
            a->setShortcut(QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key(Qt::Key_0 + user))));
        QObject::connect(a, &QAction::triggered, a, [a, user] {
            t_SetProgramCheck(a, t_ProgramCheck(a));   // the check follows the program, not the click
            t_PostMenuChoice(t_UserMenuTitle, user);
        });
    }
    return menu;
}
