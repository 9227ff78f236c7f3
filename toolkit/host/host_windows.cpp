// The host objects of the windows, kept by window number.
#include "host_windows.h"

#include "video_memory.h"
#include "windows.h"

// Windows 0-12: the toolkit windows, then the Pasteboard, Virtual Printer,
// System Console, Preferences and main window.
static const uint8_t windowCount = 13;
static t_HostWindowParts parts[windowCount];

void t_SetHostWindowParts(uint8_t n, const t_HostWindowParts &given) {
    if (n < windowCount) parts[n] = given;
}

QMainWindow *t_HostWindow(uint8_t n) { return n < windowCount ? parts[n].Window : nullptr; }

t_View *t_HostView(uint8_t n) { return n < 8 ? parts[n].View : nullptr; }

QPlainTextEdit *t_WindowTextView(uint8_t n) { return n < windowCount ? parts[n].TextView : nullptr; }

QLineEdit *t_WindowRuler(uint8_t n) { return n < windowCount ? parts[n].Ruler : nullptr; }

uint8_t t_WindowNumber(const QWidget *window) {
    if (!window) return t_NoWindow;
    for (uint8_t n : {t_PrinterWindow, t_ConsoleWindow, t_PasteboardWindow, t_PreferencesWindow, t_MainWindow})
        if (parts[n].Window == window) return n;
    for (uint8_t n = 0; n < 8; n++)
        if (parts[n].Window == window) return n;
    return t_NoWindow;
}
