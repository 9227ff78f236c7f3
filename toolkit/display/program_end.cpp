#include "program_end.h"

#include <string>

#include "log.h"
#include "threads.h"

[[noreturn]] void t_QuitProgram(uint8_t window) {
    (void)window;
    t_LogPart("t_QuitProgram: Quitting current thread");
    t_LogPart(".\n");
    t_ExitThread();
}
