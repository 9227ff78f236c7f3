// The Slice menu of the volume manager: the slices of an image of several
// CP/M volumes ("0: 12 files", "1: empty", ...), the one open checked.
#pragma once

extern const char *const cpm_SliceMenu;   // "Slice"
// Lists the slices of the open image in the Slice menu (empty and disabled
// for an image of one volume); asks the host only when they changed.
void cpm_UpdateSliceMenu();
// A choice of the Slice menu, taken at the prompt: opens that slice of the
// image (asking about unsaved changes first, as V does).  A choice made in
// the list of an image that is no longer open changes nothing.
void cpm_TakeSliceChoice(int item);
