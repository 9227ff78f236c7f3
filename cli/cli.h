// diskwright-cli: the volume engine on the command line.
#pragma once

#include <string>
#include <vector>

// Exit statuses.
constexpr int cli_Ok = 0;
constexpr int cli_Refused = 1;
constexpr int cli_Usage = 2;

// The words after the command, options taken out by the caller where global.
using cli_Args = std::vector<std::string>;

// One command: its name, its argument synopsis, whether it changes the
// image, and its function.
struct cli_Command {
    const char *Name;
    const char *Synopsis;
    bool Changes;
    int (*Run)(const cli_Args &args);
};
extern const cli_Command cli_Commands[];
extern const int cli_CommandCount;
// The command being run changes its image (set from its row before it runs).
extern bool cli_Changing;

// Output helpers: results to standard output, refusals to standard error.
void cli_Out(const std::string &line);
void cli_Err(const std::string &line);
int cli_UsageOf(const char *command);

struct cpm_Volume;
// Loads the image; false (and a refusal line) when the path is no image file,
// or when a changing command meets a volume that must not be changed (the
// reason is written for every command).
bool cli_Open(const std::string &path, cpm_Volume &volume);
// cli_Open under the image's lock: exclusive and held to the end of the run
// for a command that changes the image, shared while reading for one that
// only reads.  Images above the size limit are refused before either.
bool cli_OpenToChange(const std::string &path, cpm_Volume &volume);
bool cli_OpenToRead(const std::string &path, cpm_Volume &volume);
// Saves a changed image atomically; false (and a refusal line) when that failed.
bool cli_Save(cpm_Volume &volume);
// Takes a flag (like "-l") out of the arguments; true when it was there.
bool cli_TakeFlag(cli_Args &args, const char *flag);
// Takes "--as VALUE" style options out; false when the value is missing.
bool cli_TakeOption(cli_Args &args, const char *option, std::string &value, bool &present);

int cli_Info(const cli_Args &args);
int cli_Ls(const cli_Args &args);
int cli_Map(const cli_Args &args);
int cli_Blocks(const cli_Args &args);
int cli_Dump(const cli_Args &args);
int cli_Type(const cli_Args &args);
int cli_Get(const cli_Args &args);
int cli_Put(const cli_Args &args);
int cli_Rm(const cli_Args &args);
int cli_Unrm(const cli_Args &args);
int cli_Sort(const cli_Args &args);
int cli_Init(const cli_Args &args);
int cli_New(const cli_Args &args);

// Standard output or error as the user sees it: on a terminal, control
// characters of stored names are shown in caret notation (^[, M-^[); to a
// pipe or file the bytes pass unchanged.
std::string cli_Shown(const std::string &line, int fd);
