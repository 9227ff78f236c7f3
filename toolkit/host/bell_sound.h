// The bell: the "sysbeep.aif" resource played through the sound output,
// the system beep where that is not possible.
#pragma once

// Rings the bell from any thread; a bell that is still sounding is not
// started again.
void t_RingBell();
