// P(rint and H(exdump: a file shown on screen and appended to the virtual
// printer.
#include "commands.h"

#include "display.h"
#include "hexdump.h"
#include "line_input.h"
#include "printer.h"
#include "read.h"
#include "text.h"
#include "volume_state.h"

// Appends the collected text to the printer's contents in one piece.
static void appendToPrinter(const Text &collected) { p_SetPrinter(p_GetPrinter() + t_BytesToString(collected)); }

// Loads the file or reports that it is missing.
static bool loadFile(const cpm_Volume &volume, const Text &name, cpm_FileData &file) {
    file = cpm_LoadFile(volume, name);
    if (file.Found) return true;
    uint8_t w = cpm_Window();
    t_Print(w, file.Name);
    t_Print(w, " not found");
    return false;
}

void cpm_PrintFile(cpm_Volume volume, const Text &name) {
    cpm_FileData file;
    if (!loadFile(volume, name, file)) return;
    uint8_t w = cpm_Window();
    Text printer;
    for (uint8_t b : file.Data.Elements) {
        if (b >= 32) {
            t_PrintChar(w, b);
            printer.push_back(b & 0x7F);
            continue;
        }
        t_Color(w, 1);
        t_PrintChar(w, uint8_t(b + 64));
        t_Color(w, 12);
        if (b == 13) {
            t_Cr(w);
            printer.push_back(13);
        } else if (b == 26) {
            break;
        }
    }
    appendToPrinter(printer);
}

void cpm_HexdumpFile(cpm_Volume volume, const Text &name) {
    cpm_FileData file;
    if (!loadFile(volume, name, file)) return;
    uint8_t w = cpm_Window();
    // Every line ends with a carriage return but a last, partial one, which
    // stays open on the screen; the printer's dump ends with one more.
    const bool lastLineFull = file.Data.size() % 16 == 0;
    std::vector<std::string> lines = cpm_HexdumpLines(file.Data);
    std::string printer;
    for (size_t i = 0; i < lines.size(); i++) {
        t_Print(w, lines[i]);
        if (i + 1 < lines.size() || lastLineFull) t_Cr(w);
        printer += lines[i] + "\r";
    }
    if (lastLineFull) printer += "\r";
    p_SetPrinter(p_GetPrinter() + printer);
}

// Asks for the name the way P and H do.
static Text askName() {
    uint8_t w = cpm_Window();
    std::string answer = t_InputForm(w, "Please enter filename: ", "", false, 0, 13);
    t_ClearEndOfWindow(w);
    t_Cr(w);
    return cpm_TypedName(answer);
}

void cpm_CommandPrint() { cpm_PrintFile(cpm_CurrentVolume, askName()); }

void cpm_CommandHexdump() { cpm_HexdumpFile(cpm_CurrentVolume, askName()); }
