// The names of a mounted image's files on the host: a stored CP/M name and
// the host name it shows as, both ways.
#pragma once

#include <string>

#include "text.h"

// The host name of a 12-byte display name: the padding blanks dropped, "."
// before a type that is not empty.  A byte a host name cannot hold ("/",
// control characters, bytes above 0x7E), "%" itself, a blank inside the
// name and a "." of the name part are shown as %XX, so the name reads back
// to the same bytes.
std::string cli_MountHostName(const Text &displayName);
// The 12-byte display name a host name asks for: %XX gives the byte as it
// stands, letters are stored in capitals.  0, or why it is refused:
// ENAMETOOLONG for more than 8 characters before the point or 3 after it
// (never cut to another name), EINVAL for no CP/M name (empty, a second
// point, a broken %XX, a character that CP/M names cannot hold).
int cli_MountCpmName(const std::string &hostName, Text &displayName);
// Two host names that name the same file: ASCII letters of either case.
bool cli_MountSameName(const std::string &a, const std::string &b);
