// Renaming files: a file's entries take another name or user area.
#pragma once

#include "volume.h"

struct cpm_RenameResult {
    cpm_Volume Volume;       // unchanged unless Message is ""
    bool Found = false;      // the user area has a listed file of that name
    std::string Message;     // "", "File exists." or the volume's refusal
};
// Gives every entry of the listed file `name` (a 12-byte display name as
// stored) of user area `user` the 12-byte display name `newName`, stored as
// it stands, and the user area `newUser` (0-15).  The attribute bits of the
// type bytes stay.  A listed file or a password entry of the new user area
// that carries the new name refuses it ("File exists."); erased entries of
// the new name are made unused first, so none can be unerased beside it.
cpm_RenameResult cpm_RenameFile(cpm_Volume volume, const Text &name, int user, const Text &newName, int newUser);
