// The Format menu of the volume manager.
#pragma once

#include <string>

extern const char *const cpm_FormatMenu;   // "Format"
// Shows the definitions of the open image's size in the Format menu, the
// one it is read with checked; asks the host only when they changed.
void cpm_UpdateFormatMenu();
// A choice of the Format menu, taken at the prompt: reopens the image with
// that definition (asking about unsaved changes first, as V does) and
// remembers it for the file.  A choice made in the list of an image that is
// no longer open changes nothing.
void cpm_TakeFormatChoice(int item);
