// Qt key and mouse events of a toolkit window, handed to the event queues.
#pragma once

#include <QKeyEvent>
#include <QObject>
#include <cstdint>
#include <string>

// The key position of a Qt key (t_KeyUnknown when it has none).
int t_QtKeyPosition(int qtKey, bool keypad, bool controlOrAlt);
// Modifier flags from Qt modifiers.
uint32_t t_QtModifierFlags(Qt::KeyboardModifiers m, bool keypad, bool cursorKey);
// The characters a US layout gives for the key with these modifier flags.
std::string t_QtKeyCharacters(int key, int qtKey, const std::string &qtText, uint32_t flags);
// Translates and queues one key press in a toolkit window.
void t_HandleQtKeyPress(uint8_t window, const QKeyEvent *event);

// Watches a toolkit window's view and the border around it (Content) and
// turns their key and mouse events into toolkit events for window Window.
class t_InputFilter : public QObject {
    Q_OBJECT
public:
    t_InputFilter(uint8_t window, QWidget *content, QObject *parent)
        : QObject(parent), Window(window), Content(content) {}
    uint8_t Window;
    QWidget *Content;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
