// The containers read through libdsk: TeleDisk, CopyQM, CFI, ApriDisk, JV3,
// YAZE, MYZ80, LDBS, QRST, SAP, and a floppy drive.  They open read-only:
// libdsk writes into the file in place, which would bypass the locked,
// atomic save, so a disk of these is converted to be written.
#pragma once

#include <string>

#include "medium.h"

// The codec row: claims a file one of libdsk's drivers reads (and that no
// native row reads), decodes every sector of it into the medium.
bool cpm_LibdskClaims(const Text &file);
std::string cpm_LibdskDecode(Text file, cpm_Medium &medium);
// The sectors of the disk in a drive (a block device such as /dev/fd0),
// read through libdsk's floppy driver; "" or why not.
std::string cpm_ReadDrive(const std::string &device, cpm_Medium &medium);
