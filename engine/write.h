// Writing files: a new file's entries and blocks.
#pragma once

#include "volume.h"

struct cpm_SaveFileResult {
    cpm_Volume Volume;       // unchanged unless Message is ""
    Text Name;               // the 12-byte display name
    std::string Message;     // "", "File exists.", "Directory full.", "Not enough free space on volume." or the refusal
};
// Stores the data as a new file of the user area.  The name is refused when
// an entry of that user area, an erased entry, or a password entry of that
// user area carries it; files of other user areas may have the same name.
cpm_SaveFileResult cpm_SaveFile(cpm_Volume volume, const Text &name, const Text &data, int user = cpm_ListedUser);
// The name (converted as cpm_SaveFile converts it) is refused only because
// erased entries carry it: neither a file of the user area nor its
// password entry does.
bool cpm_NameOnlyErased(const cpm_Volume &volume, const Text &name, int user = cpm_ListedUser);
// The volume with the name free for a new file of the user area: its file
// of that name, its password entry, and every erased entry of the name made unused (0xE5
// throughout, as sorting leaves erased entries), so that nothing of them
// can be unerased into or beside the new file.  Unchanged when nothing
// carries the name.
cpm_Volume cpm_FreeName(cpm_Volume volume, const Text &name, int user = cpm_ListedUser);
// "File exists.": the refusal of a name that an entry carries.
extern const char *const cpm_FileExistsMessage;
// Refused names: no name characters left after conversion ("*.*").
extern const char *const cpm_InvalidNameMessage;   // "not a valid CP/M name."
// What cpm_SaveFile would answer for data of that length, without the data:
// "" or its message.  Lets a caller refuse a host file before reading it.
std::string cpm_SaveFileRefusal(const cpm_Volume &volume, const Text &name, long long length,
                                int user = cpm_ListedUser);

