// The virtual printer (window 9), the screen-text export of a toolkit window
// and the printer's ruler.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "text.h"

// Pending printer text for the update loop, and its flags.
extern Text p_PrinterBuffer;
extern std::atomic<bool> p_PrinterChanged;
extern std::atomic<long long> p_PrinterLastUpdate;
extern std::atomic<bool> p_PrinterUpdateRunning;
// Pending console text; emptied by the clear-console action.
extern Text t_ConsoleBuffer;

void p_InitPrinter();
void p_SetRuler(const std::string &text);
void p_SetPrinter(const std::string &text);
std::string p_GetPrinter();
void p_PrinterAutoUpdateProcess();

// The text of a toolkit window's text block, each line followed by the
// separator; with a separator the lines lose their trailing blanks and the
// empty lines at the end.
std::string t_GetScreen(uint8_t window, const std::string &separator);
// The ruler: a dot pattern with "!" every fifth and the decade digit every
// tenth column; with margins "L" and "R" at the ends.
std::string t_PrinterRuler(int width, bool twoDigit, bool margins);

// What the printer needs of the host's text view; each hook runs on the main
// thread.  Without a host the printer has no view.
struct t_PrinterHostServices {
    std::function<bool()> Exists;
    std::function<void()> Setup;   // fixed font, no automatic substitutions, empty text
    std::function<void(const std::string &)> SetRuler;
    std::function<void(const std::string &)> SetText;
    std::function<std::string()> GetText;
};
void t_SetPrinterHostServices(t_PrinterHostServices services);
