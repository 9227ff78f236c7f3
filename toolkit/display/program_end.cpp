#include "program_end.h"

#include <string>

#include "log.h"
#include "rendering.h"
#include "text_area.h"
#include "text_output.h"
#include "threads.h"
#include "window_init.h"

[[noreturn]] void t_QuitProgram(uint8_t window) {
    t_LogPart("t_QuitProgram: Quitting current thread");
    if (t_GetNSWindow(window)) {
        // The end message goes in column 1 of the last line of the full window.
        t_FullArea(window);
        t_CursorEnd(window);
        t_Htab(window, 1);
        t_DisplayMode(window, t_DisplayNormal);
        t_Normal(window);
        t_Color(window, 1);
        t_Print(window, "(Programm Ende)");
        t_WindowUpdate(window, false);
        t_SleepMs(100);
        t_LogPart(" with message in window #" + std::to_string(window));
    }
    t_LogPart(".\n");
    t_ExitThread();
}
