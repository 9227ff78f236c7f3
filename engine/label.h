// The CP/M 3 directory label: one entry of user 0x20.
//
//   bytes 1-11   the label's name
//   byte 12      flags: bit 0 the label exists, bit 4 create stamps, bit 5
//                update stamps, bit 6 access stamps (instead of create),
//                bit 7 passwords on (cpm_PasswordsBit)
//   byte 13      the key of the label's password (passwords.h)
//   bytes 16-23  the label's password, encoded
//   bytes 24-27  when the label was made, bytes 28-31 when it last changed
//                (stamps.h)
//
// `cpm_SetLabel` makes or changes it; with InitStamps it first prepares the
// directory for date stamps as CP/M 3's INITDIR does.
#pragma once

#include <string>

#include "stamps.h"
#include "volume.h"

struct cpm_Label {
    bool Found = false;
    int Entry = -1;
    Text Name;               // 12-byte display name, "MYLABEL .   "
    uint8_t Flags = 0;
    bool HasPassword = false;     // an encoded password is stored
    cpm_Stamp Created, Updated;
};
// The first label entry of the directory.
cpm_Label cpm_LabelOf(const cpm_Volume &volume);
// The label's name as a person writes it: "WORK", "BACKUP.2", and a name
// that fills all eleven places as one word ("UNLABELED").
std::string cpm_LabelName(const cpm_Label &label);
// "passwords, create stamps, update stamps"; "none".
std::string cpm_LabelFlagsText(uint8_t flags);

// What label changes: each part only when asked.
enum class cpm_StampChoice : uint8_t { Keep, None, Create, Access };
struct cpm_LabelChange {
    bool SetName = false;
    Text Name;
    cpm_StampChoice Stamps = cpm_StampChoice::Keep;
    int UpdateStamps = -1;           // -1 keep, 0 off, 1 on
    bool InitStamps = false;
    bool SetPassword = false;
    std::string Password;            // turns passwords on
};
struct cpm_LabelResult {
    cpm_Volume Volume;       // unchanged unless Message is ""
    std::string Message;     // "", "Directory full.", the too-full refusal, or the volume's refusal
};
cpm_LabelResult cpm_SetLabel(cpm_Volume volume, const cpm_LabelChange &change);
// The refusal of --init-stamps on a directory too full: how many entries to free.
std::string cpm_TooFullForStampsMessage(int entries);
