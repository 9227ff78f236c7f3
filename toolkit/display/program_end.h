// The end of the program thread.
#pragma once

#include <cstdint>

// Ends the calling program thread, leaving "(Programm Ende)" in the given
// toolkit window when it has a host window.  Never returns.
[[noreturn]] void t_QuitProgram(uint8_t window);
