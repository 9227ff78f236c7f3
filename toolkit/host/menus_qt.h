// The menus in Qt: the menu layout, the shared menus of every window's menu
// bar, the menu handler and the host services of the menus (clipboard,
// panels, bell, menu items).
#pragma once

#include <QMainWindow>
#include <QMenu>
#include <string>
#include <vector>

// One menu item of the layout: the menu it is in, its title, its tag (the
// built-in action it selects; 0 goes to the program) and its key
// (Ctrl+Shift+key, 0 for none).  An empty title is a separator.
struct t_MenuItemLayout {
    const char *Menu;
    const char *Title;
    int Tag;
    char Key;
};
extern const std::vector<t_MenuItemLayout> t_MenuLayout;

// Builds the menus of the layout (File holds Quit, Help the key guide) and
// installs the menu services; the menus are shared by every window.
void t_BuildMenus();
// Puts the shared menus into a window's menu bar.
void t_AttachMenus(QMainWindow *window);
// The shared menus, in menu-bar order.
const std::vector<QMenu *> &t_MenuBarMenus();
// The menu with that title (asked on the main thread), or nullptr.
QMenu *t_MenuFind(const std::string &title);
// A menu item or button was chosen (main thread).
void t_MenuEventHandler(QObject *sender);
// The key guide of the Help menu.
extern const char *const t_KeyGuideText;
