// Volume maintenance: erasing and unerasing, sorting, initialising.
#pragma once

#include "volume.h"

struct cpm_SetUserResult {
    cpm_Volume Volume;       // unchanged unless Found and Message is ""
    Text Name;               // for the message: display form, or Names[n] for "#n"
    bool Found = false;
    std::string Message;     // "" or why a found file was not changed (unerase onto used blocks), or the refusal
};
// Erases (value 0xE5) the entries of the named file of the user area, or
// unerases (value = a user number 0-15) the erased entries of that name into
// user area `value`; "#n" names directory entry n, which must be erased or
// belong to that user area.  Entries of other user areas, users 16-31,
// labels and date stamps are never touched.  Unerasing beside a live file
// of the same name is refused ("File exists.").
cpm_SetUserResult cpm_SetFileUser(cpm_Volume volume, const Text &name, uint8_t value, int user = cpm_ListedUser);
// Sorts the whole directory by the names and sizes of user area 0's lists,
// whatever user area the volume shows.
cpm_Volume cpm_Alphabetize(cpm_Volume volume, bool byNames, bool ascending);
// Empties the directory and the label: every entry 0xE5.
cpm_Volume cpm_InitVolume(cpm_Volume volume);
