// The diagnostic log: single lines on standard output, written whole even
// when several threads log at once.
#pragma once

#include <functional>
#include <string_view>

// Writes the line and a line end.
void t_Log(std::string_view line);
// Writes without a line end (for a line assembled in several steps).
void t_LogPart(std::string_view part);
// Receives every write as well (the system console window listens here).
void t_SetLogTee(std::function<void(std::string_view)> tee);
