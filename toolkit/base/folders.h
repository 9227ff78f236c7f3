// The host's standard folders and its mount folder, as plain strings.
//
// The host layer fills them at start-up (from its own standard-path service);
// until it does, or where it leaves one empty, a default made from the
// user's home folder is used.  Every folder returned ends in "/".
#pragma once

#include <string>
#include <string_view>

enum class f_Folder {
    Home,
    Desktop,
    Documents,
    Downloads,
    Pictures,
    Music,
    Movies,
    Mount,         // where removable volumes appear; listed with the volume rules
    Application,   // the folder that holds the program
};

// Sets one folder; an empty path brings back the default.
void f_SetStandardFolder(f_Folder which, std::string_view path);

// The folder as an existing path ending in "/".  A standard folder that does
// not exist falls back to the home folder; the mount folder falls back to
// /media/<user>/, /run/media/<user>/, then /mnt/.
std::string f_StandardFolder(f_Folder which);

// The browser's home folder: the folder that holds the downloads folder, or
// the home folder itself when there is no downloads folder of its own.
std::string f_HomePath();
