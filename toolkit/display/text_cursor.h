// The block cursor: the cell at the cursor with ink and paper exchanged,
// shown while the nesting level is above 0.
#pragma once

#include <cstdint>

void t_CursorDraw(uint8_t window);
void t_CursorOn(uint8_t window);
void t_CursorOff(uint8_t window);
