// The fuzz target's input format, shared with the seed maker.
//
// Byte 0 chooses: bit 7 clear, the rest of the input is an image file as it
// is; bit 7 set, bits 0-2 choose one of eight geometries (plain, Apple II
// 140K CP/M 2.2 and 3.0, Apple II 800K short and whole, plain 514K with
// 16-bit block numbers; see fuzz_image.cpp) and the rest of the input is laid
// over the directory of a blank volume of that geometry.  Bit 6 turns the
// diagnostic lines on; bits 3-5 and bytes 1-13 steer the operations.
#pragma once

#include "volume.h"

// The image file bytes an input stands for.
Text fuzz_ImageOf(const uint8_t *data, size_t size);

// The volume with its refusal lifted: the fuzz target and the seed maker
// change every image, whatever it reads as, so that each operation runs.
inline cpm_Volume fuzz_Unrefused(cpm_Volume v) {
    v.RefusalKind = cpm_RefusalKind::None;
    v.Refusal.clear();
    return v;
}
