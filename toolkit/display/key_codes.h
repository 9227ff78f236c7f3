// The key values the program sees (t_GetKey, t_GetEvent): printable codes 20
// to FF hex in the toolkit character set, the control values below, and the
// function keys from 129 up.  The key table makes them; the output pause, the
// line editor, the browser and the volume manager act on them.
#pragma once

enum : int {
    t_CodeNone = 0x00,           // no key: the line editor redraws its field
    t_CodeControlA = 0x01,
    t_CodeHome = 0x02,
    t_CodePageDown = 0x03,
    t_CodeControlC = 0x03,       // the same value as Page Down
    t_CodeControlD = 0x04,
    t_CodeEnd = 0x05,
    t_CodeControlF = 0x06,
    t_CodeForwardDelete = 0x07,
    t_CodeLeft = 0x08,
    t_CodeTab = 0x09,
    t_CodeDown = 0x0A,
    t_CodeUp = 0x0B,
    t_CodeControlL = 0x0C,
    t_CodeReturn = 0x0D,
    t_CodeControlN = 0x0E,
    t_CodeControlP = 0x10,
    t_CodePageUp = 0x12,
    t_CodeControlS = 0x13,
    t_CodeRight = 0x15,
    t_CodeControlV = 0x16,
    t_CodeControlX = 0x18,
    t_CodeControlZ = 0x1A,
    t_CodeEscape = 0x1B,
    t_CodeControlCaret = 0x1E,   // Control-^: a character typed by its number
    t_CodePlaceCursor = 0x1F,    // the line editor only places its cursor
    t_CodeDelete = 0x7F,
};
