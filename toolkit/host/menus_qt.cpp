// The menus in Qt: the layout, the menu handler, and the clipboard, panels,
// bell and menu items that the menu actions use.
#include "menus_qt.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "bell_sound.h"
#include "display_host.h"
#include "events.h"
#include "host_windows.h"
#include "key_qt.h"
#include "menu_checks_qt.h"
#include "menus.h"
#include "quit.h"
#include "quit_qt.h"
#include "threads.h"
#include "user_menu_qt.h"
#include "video_memory.h"
#include "window_zoom_qt.h"

// clang-format off
const std::vector<t_MenuItemLayout> t_MenuLayout = {
    {"Edit", "Copy Picture", 110, 'P'},
    {"Edit", "Copy Text", 111, 'C'},
    {"Edit", "", 0, 0},
    {"Edit", "Clear Printer", 112, 0},
    {"Edit", "Clear Console", 114, 0},
    {"Window", "Show Screen 0", 213, 'S'}, {"Window", "Hide Screen 0", 214, 0},
    {"Window", "Show Screen 1", 215, 0},   {"Window", "Hide Screen 1", 216, 0},
    {"Window", "Show Screen 2", 217, 0},   {"Window", "Hide Screen 2", 218, 0},
    {"Window", "Show Screen 3", 219, 0},   {"Window", "Hide Screen 3", 220, 0},
    {"Window", "Show Screen 4", 221, 0},   {"Window", "Hide Screen 4", 222, 0},
    {"Window", "Show Screen 5", 223, 0},   {"Window", "Hide Screen 5", 224, 0},
    {"Window", "Show Screen 6", 225, 0},   {"Window", "Hide Screen 6", 226, 0},
    {"Window", "Show Screen 7", 227, 0},   {"Window", "Hide Screen 7", 228, 0},
    {"Window", "", 0, 0},
    {"Window", "Show Pasteboard", 211, 0},      {"Window", "Hide Pasteboard", 212, 0},
    {"Window", "Show Virtual Printer", 209, 0}, {"Window", "Hide Virtual Printer", 210, 0},
    {"Window", "Show System Console", 229, 0},  {"Window", "Hide System Console", 230, 0},
    {"Window", "Show Preferences", 207, 0},     {"Window", "Hide Preferences", 208, 0},
    {"Window", "Show Main Window", 205, 0},     {"Window", "Hide Main Window", 206, 0},
    {"Window", "", 0, 0},
    {"Window", "Hide All", 200, 0},
    {"Window", "Hide Front Window", 201, 'W'},
};

// A table in rich text, so that the columns stand straight in any font.
const char *const t_KeyGuideText =
    "<p>Press a letter of the prompt line; <b>?</b> shows the next prompt line,"
    " Return (or the space bar) clears the screen and shows the first one.</p>"
    "<table cellspacing='0' cellpadding='2'>"
    "<tr><td><b>V</b></td><td>open a volume image</td><td width='24'></td>"
    "<td><b>C</b></td><td>changes: save or undo</td></tr>"
    "<tr><td><b>D</b></td><td>directory</td><td></td><td><b>E</b></td><td>erase a file</td></tr>"
    "<tr><td><b>L</b></td><td>long directory</td><td></td><td><b>U</b></td><td>unerase a file</td></tr>"
    "<tr><td><b>S</b></td><td>sector map</td><td></td><td><b>A</b></td><td>alphabetize the directory</td></tr>"
    "<tr><td><b>N</b></td><td>new volume</td><td></td><td><b>I</b></td><td>initialise the volume</td></tr>"
    "<tr><td><b>Q</b></td><td>quit the program</td><td></td><td><b>B</b></td><td>blocks of a file</td></tr>"
    "<tr><td><b>P</b></td><td>print a file</td><td></td><td><b>M</b></td><td>copy host files into the volume</td></tr>"
    "<tr><td><b>H</b></td><td>hexdump a file</td><td></td><td><b>T</b></td><td>copy volume files to the host</td></tr>"
    "</table>"
    "<p>P and H show the file on the screen and in the virtual printer.</p>"
    "<p>E, U, A, I and M change the volume in memory at once: E and U without asking, A after the order,"
    " I after Y(es. The image file is written only by C, S(ave; C, U(ndo drops every change since."
    " V, N, Q and a Format menu choice ask first when the volume holds unsaved changes; D(iscard drops"
    " them as U(ndo does. N writes a new image file and T host files at once (asking before"
    " replacing one).</p>"
    "<p>In the file browser:</p>"
    "<table cellspacing='0' cellpadding='2'>"
    "<tr><td><b>Up</b>, <b>Down</b>, <b>Page Up</b>, <b>Page Down</b>, <b>Home</b>, <b>End</b></td>"
    "<td>move the selection</td></tr>"
    "<tr><td><b>a letter</b></td><td>the first name that starts with it or a later letter</td></tr>"
    "<tr><td><b>Return</b></td><td>open the file, or go into the folder</td></tr>"
    "<tr><td><b>Right</b> / <b>Left</b></td><td>into the selected folder / up to the parent folder</td></tr>"
    "<tr><td><b>Backspace</b> (Delete)</td><td>the home folder</td></tr>"
    "<tr><td><b>Tab</b></td><td>the folder of mounted disks (/media/USER, /run/media/USER or /mnt)</td></tr>"
    "<tr><td><b>Ctrl+D</b> or <b>Ctrl+N</b>, <b>Ctrl+F</b>, <b>Ctrl+L</b></td>"
    "<td>Desktop, Documents, Downloads</td></tr>"
    "<tr><td><b>Ctrl+P</b>, <b>Ctrl+S</b>, <b>Ctrl+V</b>, <b>Ctrl+A</b></td>"
    "<td>Pictures, Music, Videos, the folder that holds the program</td></tr>"
    "<tr><td><b>Escape</b></td><td>cancel</td></tr>"
    "</table>"
    "<p>A click selects, a double click opens; a click on the folder line goes up. In the browsers of N"
    " and T the keys go to the name field; with Alt held they work the list.</p>"
    "<p>The Format menu lists the disk definitions of the open image's size, the one in use checked;"
    " choosing one reopens the image with it and remembers it for that file in"
    " ~/.config/diskwright/formats. The definitions come from the program, /etc/cpmtools/diskdefs"
    " (cpmtools) and ~/.config/diskwright/diskdefs.</p>"
    "<p>Menu keys are Ctrl+Shift+letter:</p>"
    "<table cellspacing='0' cellpadding='2'>"
    "<tr><td><b>Ctrl+Shift+C</b></td><td>copy the screen text (lines end in line feeds)</td></tr>"
    "<tr><td><b>Ctrl+Shift+P</b></td><td>copy the screen picture</td></tr>"
    "<tr><td><b>Ctrl+Shift+S</b></td><td>show screen 0</td></tr>"
    "<tr><td><b>Ctrl+Shift+W</b></td><td>hide the front window</td></tr>"
    "<tr><td><b>Ctrl+Shift+Q</b></td><td>quit (asks first about unsaved changes)</td></tr>"
    "<tr><td><b>Ctrl+Alt+0</b> to <b>9</b></td><td>user area 0 to 9 (the User menu has 0 to 15)</td></tr>"
    "</table>"
    "<p>The User menu chooses the user area that D, L, E, U, B, P, H, M and T work in; it takes"
    " effect at the prompt. S and the free space count the whole volume.</p>";
// clang-format on

static std::vector<QMenu *> menus;

const std::vector<QMenu *> &t_MenuBarMenus() { return menus; }

static QMenu *menuNamed(const QString &title) {
    for (QMenu *m : menus)
        if (m->title() == title) return m;
    auto *m = new QMenu(title);
    menus.push_back(m);
    return m;
}

// The guide in a window of its own, as tall as its text where the screen
// allows, scrolling where it does not.
static void showKeyGuide() {
    auto *dialog = new QDialog();
    dialog->setWindowTitle("Keys");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(dialog);
    auto *text = new QTextBrowser(dialog);
    text->setFrameShape(QFrame::NoFrame);
    text->setHtml(t_KeyGuideText);
    layout->addWidget(text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(buttons);
    const int textWidth = 600;
    text->document()->setTextWidth(textWidth);
    QSize wanted(textWidth + 60, int(text->document()->size().height()) + buttons->sizeHint().height() + 60);
    QScreen *screen = QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect(0, 0, wanted.width(), wanted.height());
    dialog->resize(std::min(wanted.width(), area.width() - 40), std::min(wanted.height(), area.height() - 80));
    dialog->show();
}

static QKeySequence menuKey(char key) {
    return QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key(Qt::Key_A + (key - 'A'))));
}

// ---------------------------------------------------------------- host services

static bool copyPicture(uint8_t window) {
    QImage image = t_WindowNSImage(window);
    if (image.isNull()) return false;
    QGuiApplication::clipboard()->setImage(image);
    return true;
}

// The host's lines end in line feeds.
static void copyText(const std::string &text) {
    QString host = QString::fromStdString(text);
    host.replace('\r', '\n');
    QGuiApplication::clipboard()->setText(host);
}

static uint8_t frontWindow() {
    QWidget *active = QApplication::activeWindow();
    return active ? t_WindowNumber(active->window()) : t_NoWindow;
}

// The name filters of a ','-separated list of extensions; none for "".
static QStringList nameFilters(const std::string &types, bool othersAllowed) {
    QStringList patterns;
    for (const QString &t : QString::fromStdString(types).split(',', Qt::SkipEmptyParts)) {
        QString ext = t.trimmed();
        if (ext.startsWith('.')) ext.remove(0, 1);
        if (!ext.isEmpty()) patterns << "*." + ext;
    }
    QStringList filters;
    if (!patterns.isEmpty()) filters << patterns.join(' ');
    if (patterns.isEmpty() || othersAllowed) filters << "*";
    return filters;
}

// The panel's message sits below the file list.
static void addMessage(QFileDialog &panel, const std::string &message) {
    if (message.empty()) return;
    auto *grid = qobject_cast<QGridLayout *>(panel.layout());
    if (!grid) return;
    auto *label = new QLabel(QString::fromStdString(message), &panel);
    label->setWordWrap(true);
    grid->addWidget(label, grid->rowCount(), 0, 1, -1);
}

// The first chosen file as a path in precomposed form, "" when cancelled.
static std::string chosenPath(QFileDialog &panel) {
    if (panel.exec() != QDialog::Accepted) return "";
    QList<QUrl> urls = panel.selectedUrls();
    if (urls.isEmpty()) return "";
    return urls.first().toLocalFile().normalized(QString::NormalizationForm_C).toStdString();
}

static std::string openPanel(const std::string &title, const std::string &message, const std::string &types,
                             bool files, bool folders, bool several) {
    QFileDialog panel(QApplication::activeWindow());
    panel.setOption(QFileDialog::DontUseNativeDialog);
    panel.setAcceptMode(QFileDialog::AcceptOpen);
    if (folders && !files) panel.setFileMode(QFileDialog::Directory);
    else panel.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    panel.setLabelText(QFileDialog::Accept, folders ? "Wählen" : "Öffnen");
    panel.setWindowTitle(QString::fromStdString(title));
    panel.setNameFilters(nameFilters(types, false));
    addMessage(panel, message);
    return chosenPath(panel);
}

static std::string savePanel(const std::string &name, const std::string &title, const std::string &message,
                             const std::string &types) {
    QFileDialog panel(QApplication::activeWindow());
    panel.setOption(QFileDialog::DontUseNativeDialog);
    panel.setAcceptMode(QFileDialog::AcceptSave);
    panel.setFileMode(QFileDialog::AnyFile);
    panel.setLabelText(QFileDialog::Accept, "Sichern");
    panel.setLabelText(QFileDialog::FileName, "Sichern unter:");
    panel.setWindowTitle(QString::fromStdString(title));
    panel.setNameFilters(nameFilters(types, true));
    if (!name.empty()) panel.selectFile(QString::fromStdString(name));
    addMessage(panel, message);
    return chosenPath(panel);
}

static std::optional<std::vector<std::string>> menuItems(const std::string &title) {
    QMenu *menu = t_MenuFind(title);
    if (!menu) return std::nullopt;
    std::vector<std::string> titles;
    for (QAction *a : menu->actions()) titles.push_back(a->isSeparator() ? "" : a->text().toStdString());
    return titles;
}

static void deleteMenuItem(const std::string &title, int index) {
    QMenu *menu = t_MenuFind(title);
    if (!menu || index < 0 || index >= menu->actions().size()) return;
    QAction *a = menu->actions().at(index);
    menu->removeAction(a);
    a->deleteLater();
}

// The item at that position checked, every other item of the menu not.
static void checkMenuItem(const std::string &title, int position) {
    QMenu *menu = t_MenuFind(title);
    if (!menu) return;
    const QList<QAction *> items = menu->actions();
    for (int i = 0; i < items.size(); i++)
        if (items[i]->isCheckable()) t_SetProgramCheck(items[i], i == position);
}

// The items of a menu the program fills (Format): rebuilt whole.  A choice
// is only queued; the program takes it at its prompt and the check mark
// follows what it then shows.
static void setMenuItems(const std::string &title, const std::vector<std::string> &items, int checked) {
    QMenu *menu = t_MenuFind(title);
    if (!menu) return;
    menu->clear();
    for (int i = 0; i < int(items.size()); i++) {
        QAction *a = menu->addAction(QString::fromStdString(items[size_t(i)]));
        a->setCheckable(true);
        t_SetProgramCheck(a, i == checked);
        QObject::connect(a, &QAction::triggered, a, [a, title, i] {
            t_SetProgramCheck(a, t_ProgramCheck(a));
            t_PostMenuChoice(title, i);
        });
    }
    menu->setEnabled(!items.empty());
}

static void installMenuHost() {
    t_MenuHostServices h;
    h.Beep = t_RingBell;
    h.FrontWindow = frontWindow;
    h.CopyPicture = copyPicture;
    h.CopyText = copyText;
    h.HasTextView = [](uint8_t n) { return t_WindowTextView(n) != nullptr; };
    h.TextViewText = [](uint8_t n) {
        QPlainTextEdit *view = t_WindowTextView(n);
        return view ? view->toPlainText().toStdString() : std::string();
    };
    h.ClearTextView = [](uint8_t n) {
        if (QPlainTextEdit *view = t_WindowTextView(n)) {
            view->clear();
            view->viewport()->update();
        }
    };
    h.OpenPanel = openPanel;
    h.SavePanel = savePanel;
    h.MenuItems = menuItems;
    h.DeleteMenuItem = deleteMenuItem;
    h.CheckMenuItem = checkMenuItem;
    h.SetMenuItems = setMenuItems;
    t_SetMenuHostServices(h);
}

// ---------------------------------------------------------------- menus

void t_BuildMenus() {
    menus.clear();
    QAction *quit = menuNamed("File")->addAction("Quit");
    quit->setShortcut(menuKey('Q'));
    quit->setData(0);
    // Quit ends the application; the program asks first about unsaved changes.
    QObject::connect(quit, &QAction::triggered, qApp, t_RequestQuit);
    t_InstallQuitHost();

    for (const t_MenuItemLayout &item : t_MenuLayout) {
        QMenu *menu = menuNamed(item.Menu);
        if (!*item.Title) {
            menu->addSeparator();
            continue;
        }
        QAction *a = menu->addAction(item.Title);
        a->setData(item.Tag);
        if (item.Key) a->setShortcut(menuKey(item.Key));
        QObject::connect(a, &QAction::triggered, a, [a] { t_MenuEventHandler(a); });
    }
    // View (window sizes, full screen) stands between Edit and Window.
    auto windowMenu = std::find_if(menus.begin(), menus.end(), [](QMenu *m) { return m->title() == "Window"; });
    windowMenu = menus.insert(windowMenu, t_BuildViewMenu()) + 1;
    // Format (the program fills it with the definitions of the open image's
    // size), Slice (the slices of an image of several volumes) and User (the
    // user area the volume shows) stand before Window too.
    for (const char *filled : {"Format", "Slice"}) {
        auto *menu = new QMenu(filled);
        menu->setEnabled(false);
        windowMenu = menus.insert(windowMenu, menu) + 1;
    }
    menus.insert(windowMenu, t_BuildUserMenu());
    QAction *keys = menuNamed("Help")->addAction("Keys");
    QObject::connect(keys, &QAction::triggered, qApp, showKeyGuide);
    installMenuHost();
}

void t_AttachMenus(QMainWindow *window) {
    for (QMenu *m : menus) window->menuBar()->addMenu(m);
}

QMenu *t_MenuFind(const std::string &title) {
    QMenu *found = nullptr;
    QString wanted = QString::fromStdString(title);
    t_OnMainThread([&] {
        for (QMenu *m : menus)
            if (m->title() == wanted) found = m;
    });
    return found;
}

// The menu that holds the action, or nullptr (a button, a lone action).
static QMenu *menuOf(QAction *action) {
    for (QObject *o : action->associatedObjects())
        if (auto *m = qobject_cast<QMenu *>(o)) return m;
    return nullptr;
}

void t_MenuEventHandler(QObject *sender) {
    t_MenuEvent event;
    auto *action = qobject_cast<QAction *>(sender);
    QMenu *menu = action ? menuOf(action) : nullptr;
    if (menu) {
        event.Kind = t_EventMenu;
        event.MenuTitle = menu->title().toStdString();
        event.ItemTitle = action->text().toStdString();
        QKeySequence key = action->shortcut();
        if (!key.isEmpty()) {
            QKeyCombination combination = key[0];
            QString character = QKeySequence(combination.key()).toString().toLower();
            event.ItemKeyChar = character.toStdString();
            event.ItemKeyMods = t_QtModifierFlags(combination.keyboardModifiers(), false, false);
            event.ItemKeyAsc = character.isEmpty() ? 0 : int(character.at(0).unicode());
        }
        event.ItemAction = action->data().toInt();
        event.Time = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    }
    t_MenuEventDispatch(event);
}
