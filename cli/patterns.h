// CP/M name arguments with their user area: "NAME" (user 0), "N:NAME"
// (N = 0-15), and for get "N:*", "*:*" and "*".  One function reads them
// all, so that wildcard patterns can extend it in one place.
#pragma once

#include <string>

// What a name argument names.
enum class cli_NameKind {
    Invalid,       // "16:NAME", ":NAME", "N:" with nothing after it
    File,          // one file (or "#n") of User
    AllOfUser,     // "N:*": every file of User
    AllUsers,      // "*:*": every file of every user area
    AllOfUserZero, // "*": every file of user 0 (get says what it leaves out)
};

struct cli_Name {
    cli_NameKind Kind = cli_NameKind::Invalid;
    int User = 0;
    std::string Name;   // the name without its user prefix
};

// Reads a name argument.  A prefix that is not a number 0-15 or "*" leaves
// the whole argument a name of user 0.
cli_Name cli_ParseName(const std::string &argument);
// Reads a user area option value "0".."15"; -1 when it is none.
int cli_ParseUser(const std::string &value);
