// The progress of a long run over many files (index, scan), and Ctrl-C.
//
// The bar is one line on standard error, drawn only when standard error is a
// terminal: "[#####.....] 120/2000 disks/games/zork.dsk", redrawn at most ten
// times a second and erased at the end (and before any other line written to
// standard error through cli_Err).
#pragma once

#include <atomic>
#include <string>

// Shows `done` of `total` files (total 0: not known yet) and the file being
// read.  Costs a clock read when it does not draw.
void cli_ProgressShow(long done, long total, const std::string &path);
// Erases the bar, if one is drawn.
void cli_ProgressClear();

// From now on Ctrl-C (SIGINT) only sets a flag the run checks between files,
// so what is done is kept; a second Ctrl-C ends the run at once.
void cli_CatchInterrupt();
bool cli_Interrupted();
// Ends the run at the next file, as Ctrl-C does (a failure that makes the
// rest pointless).
void cli_StopRun();
// Set by Ctrl-C or cli_StopRun: the flag a pool of threads stops at.
const std::atomic<bool> *cli_StopFlag();
// The exit status of a run stopped by Ctrl-C.
constexpr int cli_InterruptedStatus = 130;
