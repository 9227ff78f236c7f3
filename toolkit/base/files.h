// Whole-file reads and writes and the path test used before reading.
#pragma once

#include <string>
#include <string_view>

#include "text.h"

// -1 for an empty path, 0 when nothing is there, 1 a file, 2 a folder.
int t_FileExists(std::string_view path);
// The whole file; an empty Text (and a log line) when it cannot be read.
Text gettextfromfile(std::string_view path);
Text getbinaryfromfile(std::string_view path);
// Replaces the whole file atomically: a temporary file in the same folder is
// written, flushed and renamed over the target, so a failure leaves the old
// file as it was.  0 on success, else the error number (and a log line).
int setbinarytofile(std::string_view path, const Text &bytes);
// The description of an error number returned by setbinarytofile.
std::string t_ErrorText(int code);
