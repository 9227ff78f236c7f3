// Start-up of the volume manager: the windows, the header, the first volume,
// the command loop, and the end of the program thread.
#include "main_program.h"

#include "command_loop.h"
#include "definitions.h"
#include "display.h"
#include "identity.h"
#include "printer.h"
#include "quit.h"
#include "text.h"
#include "volume_state.h"
#include "windows.h"

std::string cpm_ProgramName;
std::string cpm_Version;
std::string cpm_Notice;

void cpm_MainProgram() {
    cpm_Version = "1.4";
    cpm_ProgramName = "Diskwright ";
    cpm_Notice = "CP/M volumes for the Apple II and beyond";
    // The menu's Quit asks about unsaved changes for as long as the program runs.
    t_SetQuitHandler(cpm_AnswerQuitRequest);

    t_InitWindow(0, 24, 80, 25, 16, "MenloBold 16x32.font");
    t_InitWindow(1, 4, false, 640, 400, 16, 16, t_EmptyFont(), true);
    uint8_t w = cpm_Window();
    t_WindowCenter(w);
    t_WindowFront(w);
    std::string title = cpm_ProgramName + cpm_Version;
    t_Header(w, title, cpm_Notice);
    t_WindowFont(w, t_LoadFontResource("MenloRegular 16x32.font"));
    t_TextLine(w);
    t_Print(w, "");
    t_Cr(w);
    p_InitPrinter();
    t_WindowTitle(w, title + " " + cpm_Notice);

    // The disk definitions: built-in, the system's and the user's.  A fault in
    // the user's file is shown once the first volume is open; the others are used.
    std::string diskdefsError = cpm_LoadLibrary(cpm_SystemDiskdefs, cpm_UserDiskdefs(), "");
    if (!diskdefsError.empty()) cpm_LoadLibrary(cpm_SystemDiskdefs, "", "");

    cpm_CurrentVolume = cpm_OpenVolume("");
    if (!cpm_CurrentVolume.Path.empty()) {
        t_Cr(w);
        cpm_PrintVolumeName(cpm_CurrentVolume);
    }
    if (!diskdefsError.empty()) {
        t_Print(w, diskdefsError);
        t_Cr(w);
    }
    cpm_CommandLoop();
    t_SetQuitHandler(nullptr);
    t_QuitProgram(0);
}
