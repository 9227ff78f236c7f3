// diskwright-cli: the volume engine on the command line.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "patterns.h"

// Exit statuses.
constexpr int cli_Ok = 0;
constexpr int cli_Refused = 1;
constexpr int cli_Usage = 2;

// The operands after the command word: the parser has taken the options out
// (cli_Flag, cli_Option read them).
using cli_Args = std::vector<std::string>;

struct cli_Command;
// The command line taken apart: the command's row (nullptr when none was
// named), its operands, and the options given with their values.  Error is
// "" or the usage error ("unknown option '--text'").  Each command is run
// with it and reads its options from it.
struct cli_Parsed {
    const cli_Command *Command = nullptr;
    cli_Args Operands;
    std::vector<std::pair<std::string, std::string>> Options;
    std::string Error;
};

// One command.  Options lists the options it takes, separated by spaces;
// one that takes a value is written with "=" and a placeholder
// ("-l --json --as=NAME").  Options may stand anywhere after the command word.
struct cli_Command {
    const char *Name;
    const char *Synopsis;        // its operands and options, for usage lines
    bool Changes;                // it changes the image
    int (*Run)(const cli_Parsed &line);
    const char *Options = nullptr;   // nullptr: none
    const char *Summary = nullptr;   // what it does, for help COMMAND
    const char *Example = nullptr;   // one command line, for help COMMAND
    bool AttributeWords = false;     // "+R", "-SA" are operands, not options (attr)
};
extern const cli_Command cli_Commands[];
extern const int cli_CommandCount;
// Options of every command, before or after the command word.
extern const char *const cli_GlobalOptions;
// What each option does, for the help texts: option, description.
struct cli_OptionHelp {
    const char *Option;
    const char *Text;
};
extern const cli_OptionHelp cli_OptionHelps[];
extern const int cli_OptionHelpCount;
cli_Parsed cli_Parse(const std::vector<std::string> &words);
const cli_Command *cli_FindCommand(const std::string &name);
// True when the flag (like "-l") was given.
bool cli_Flag(const cli_Parsed &line, const char *flag);
// True when an option like "--as NAME" (or "--as=NAME") was given, with its
// value (the last one given counts).
bool cli_Option(const cli_Parsed &line, const char *option, std::string &value);
// The definition -f NAME / --format NAME names ("" for recognition).
std::string cli_FormatName(const cli_Parsed &line);

// Output helpers: results to standard output, refusals to standard error.
// Every write to standard output is checked: the first failure is kept, and
// the run ends with "diskwright-cli: standard output: REASON" and status 1.
void cli_Out(const std::string &line);
// Bytes to standard output as they are (get's copy of a file).
void cli_WriteOut(const void *bytes, size_t size);
void cli_Err(const std::string &line);
// "diskwright-cli: IMAGE: reason" on standard error.
void cli_Fail(const std::string &image, const std::string &reason);
int cli_UsageOf(const char *command);
// The help of one command: usage, summary, options, example.
void cli_CommandHelp(const cli_Command &command, FILE *to);

struct cpm_Volume;
// Loads the image with the definition the command line names, or recognises
// it; false (and a refusal line) when the path is no image file, or when a
// changing command meets a volume that must not be changed (the reason is
// written for every command).
bool cli_Open(const cli_Parsed &line, const std::string &path, cpm_Volume &volume);
// cli_Open under the image's lock: exclusive and held to the end of the run
// for a command that changes the image, shared while reading for one that
// only reads.  Images above the size limit are refused before either.
bool cli_OpenToChange(const cli_Parsed &line, const std::string &path, cpm_Volume &volume);
bool cli_OpenToRead(const cli_Parsed &line, const std::string &path, cpm_Volume &volume);
// Saves a changed image atomically; false (and a refusal line) when that failed.
bool cli_Save(cpm_Volume &volume);
// Under the exclusive lock of cli_OpenToChange: "" when the image may be
// saved, with `file` the file locked (its path resolved when it was locked);
// else the refusal ("NAME changed during the save: not saved." when the path
// names another file by now, "NAME: Image changed on disk: not saved." when
// the file's bytes changed since they were read).
std::string cli_HeldImageRefusal(const std::string &path, std::string &file);
// Takes -f, --format and --diskdefs of the command line and loads the library of definitions the command needs; false (and a line
// on standard error) when a user's diskdefs file is faulty or the format unknown.
bool cli_LoadFormats(const cli_Parsed &parsed);

// The candidate readings of an image whose format is unclear, on standard error.
void cli_ErrCandidates(const cpm_Volume &volume);
int cli_Formats(const cli_Parsed &line);
// Writes a new image's bytes; without `force` an existing name (even one
// made by a run racing this one) is refused: "... exists (use --force to
// replace it)".  False (and the refusal line) when it was not written.
bool cli_WriteNewImage(const std::string &path, const Text &bytes, bool force);
// new --format NAME IMAGE: an empty disk of that definition.
int cli_NewFormatted(const cli_Parsed &line);
int cli_Info(const cli_Parsed &line);
int cli_Ls(const cli_Parsed &line);
int cli_Map(const cli_Parsed &line);
int cli_Blocks(const cli_Parsed &line);
int cli_Dump(const cli_Parsed &line);
int cli_Type(const cli_Parsed &line);
int cli_Get(const cli_Parsed &line);
int cli_Put(const cli_Parsed &line);
int cli_Rm(const cli_Parsed &line);
int cli_Unrm(const cli_Parsed &line);
int cli_Sort(const cli_Parsed &line);
int cli_Init(const cli_Parsed &line);
int cli_New(const cli_Parsed &line);
int cli_Convert(const cli_Parsed &line);
int cli_Attr(const cli_Parsed &line);
int cli_Check(const cli_Parsed &line);
int cli_Help(const cli_Parsed &line);
int cli_Label(const cli_Parsed &line);
// mount IMAGE FOLDER: the files as a folder (mount_command.cpp).
int cli_Mount(const cli_Parsed &line);
// Commands over collections of images (collection.h): scan, find, diff, dups, index.
bool cli_OverCollection(const cli_Command &command);
int cli_Index(const cli_Parsed &line);

// --- labels, stamps and passwords (label_command.cpp) ------------------------------

// The lines info shows of the label and the stamps ("Label:        NAME", ...).
std::vector<std::string> cli_LabelLines(const cpm_Volume &volume);
enum class cpm_Change : uint8_t;
// "" when the change of a protected file may go ahead (no password needed,
// --force, or --password WORD its password), else the refusal line.
std::string cli_PasswordRefusal(const cli_Parsed &line, const cpm_Volume &volume, const Text &name, int user,
                                cpm_Change change, const std::string &shownName);
// Reading a read-protected file says so on standard error, once a file a run.
void cli_NoteReadProtected(const cpm_Volume &volume, const Text &name, int user);

// Standard output or error as the user sees it: on a terminal, control
// characters of stored names are shown in caret notation (^[, M-^[); to a
// pipe or file the bytes pass unchanged.
std::string cli_Shown(const std::string &line, int fd);

// --- slices (slices.cpp) ---------------------------------------------------------

// The image operand as the engine opens it: IMAGE@N with --slice N.
std::string cli_SlicePath(const cli_Parsed &line, const std::string &image);
// The file an image operand names: FILE of FILE@N (when the literal path does not exist).
std::string cli_SliceFile(const std::string &path);
// A --slice value that is no number is refused with a line; true when refused.
bool cli_BadSliceOption(const cli_Parsed &line);
// A file of several slices opened without naming one: a reading command
// goes on with slice 0 and says so, a changing command is refused (false).
bool cli_SliceOpened(const cli_Parsed &line, const std::string &image, const cpm_Volume &volume);
// info of a file of slices: its partitions and every slice.
int cli_SlicesInfo(const cli_Parsed &line, const std::string &image);
// new --format NAME --slices N IMAGE.
int cli_NewSliced(const cli_Parsed &line, const std::string &count);

// --- names and patterns (patterns.cpp) ---------------------------------------

// A CP/M name argument with its user area: "NAME" (user 0), "N:NAME"
// (N = 0-15), "*:NAME" (every user area); NAME may be a pattern ("5:*.COM",
// "*:*").  A prefix that is not a number or "*" leaves the whole argument a
// name of user 0.
constexpr int cli_EveryUser = -1;
struct cli_Name {
    bool Valid = false;      // false: "16:NAME", ":NAME", "N:" with nothing after it
    int User = 0;            // 0-15, or cli_EveryUser
    bool Prefixed = false;   // written with "N:" or "*:"
    std::string Name;        // the name or pattern without its user prefix
};
cli_Name cli_ParseName(const std::string &argument);
// Reads a user area option value "0".."15"; -1 when it is none.
int cli_ParseUser(const std::string &value);
// The value of --user as cli_ParseUser reads it; when it is none, the line
// saying so is written to standard error first.
int cli_UserOption(const std::string &value);
// The line refusing an argument that names no user area's files.
void cli_BadName(const std::string &argument);
// A typed name (not a pattern, not "#N", not a stored name as it stands)
// that is no CP/M file name: refused with "IMAGE: NAME: not a CP/M file
// name" instead of being cut to another file's name.  True when refused.
bool cli_RefuseNonCpmName(const std::string &image, const cpm_Volume &volume, const cli_Name &name);

// One file a name argument stands for, with its user area.
struct cli_Match {
    int User = 0;
    cpm_FileMatch File;
};
// The listed files a typed name or pattern stands for, user area by user
// area; none (and a refusal line) when it stands for no file.
std::vector<cli_Match> cli_Matches(const std::string &image, const cpm_Volume &volume, const cli_Name &name);
// The argument may stand for several files: a pattern (not the exact name
// of a stored file), or a name in every user area.
bool cli_IsPattern(const cpm_Volume &volume, const cli_Name &name);
// The line before each match of a pattern: "==> HELLO   .TXT <==", with
// "N:" before the name outside user area 0.
std::string cli_MatchHeading(const cli_Match &match);
// A name as the lines show it: "5:HELLO   .TXT" outside user area 0.
std::string cli_ShownName(int user, const Text &name);

// --- JSON (json.cpp) -------------------------------------------------------------

// A JSON string: quoted, with the characters JSON needs escaped.
std::string cli_JsonString(const std::string &text);
// The documents of info, ls and check --json.
std::string cli_InfoJson(const cpm_Volume &volume);
// ls --json lists the files of the given user areas in one document.
std::string cli_ListingJson(const cpm_Volume &volume, const std::vector<int> &users);
struct cpm_CheckReport;
std::string cli_CheckJson(const cpm_Volume &volume, const cpm_CheckReport &report);
