// Commands that change an image: put, rm, unrm, attr, sort, init, new.
// The image is locked from reading to saving; a changed image is saved once,
// at the end, atomically, and the lines that report changes are printed only
// once it is saved (a failed save prints its refusal instead).
#include <algorithm>
#include <unistd.h>

#include <cerrno>

#include "attributes.h"
#include "cli.h"
#include "directory.h"
#include "files.h"
#include "image.h"
#include "listing.h"
#include "maintenance.h"
#include "passwords.h"
#include "read.h"
#include "stamps.h"
#include "user_areas.h"
#include "volume.h"
#include "write.h"

static std::string shown(const Text &name) { return cpm_DisplayString(name); }

// Saves and then prints what was done; a failed save turns any result into a refusal.
static int saved(cpm_Volume &v, int status, const std::vector<std::string> &done) {
    if (!cli_Save(v)) return cli_Refused;
    for (const std::string &line : done) cli_Out(line);
    return status;
}

// The refusal line of a file the engine would not take.
static std::string refusalLine(const std::string &given, const Text &cpmName, const std::string &message) {
    if (message == cpm_InvalidNameMessage) return given + ": " + message;
    return shown(cpmName) + " could not be saved: " + message;
}

// Stores one host file: only a regular file, refused before reading when the
// volume cannot take it; "-" is standard input, whose size is known only
// once it is read.  With force, the file of the name and the erased entries
// of the name give way, in the same change as the new file: a refused file
// leaves them as they were.  "" or the refusal line.
static std::string putOne(cpm_Volume &v, const std::string &host, const std::string &given, int user, bool text,
                          bool force, std::string &done) {
    bool fromInput = host == "-";
    int fd = -1;
    long long size = 0;
    Text data;
    int err = fromInput ? t_ReadOpenFile(STDIN_FILENO, 0, data) : t_OpenRegularFile(host, fd, size);
    if (err != 0) return (fromInput ? "standard input" : host) + " could not be read: " + t_ErrorText(err) + ".";
    if (fromInput) size = (long long)data.size();
    Text name(given);
    // A file replaced keeps the date it was made; its update stamp is now.
    cpm_Stamp created = force ? cpm_CreateStampOf(v, cpm_MakeName(name), user) : cpm_Stamp();
    cpm_Volume target = force ? cpm_FreeName(v, name, user) : cpm_Volume();
    cpm_Volume &into = force ? target : v;
    std::string refusal = cpm_SaveFileRefusal(into, name, size, user);
    if (!refusal.empty()) {
        if (fd >= 0) close(fd);
        if (refusal == cpm_FileExistsMessage && cpm_NameOnlyErased(into, name, user))
            return shown(cpm_MakeName(name)) +
                   ": an erased file of this name is still in the directory (unrm it, or sort to drop erased "
                   "entries, or use --force)";
        return refusalLine(given, cpm_MakeName(name), refusal);
    }
    if (!fromInput) err = t_ReadOpenFile(fd, size, data);
    if (err != 0) return host + " could not be read: " + t_ErrorText(err) + ".";
    if (text) data = cpm_CpmText(data);
    cpm_SaveFileResult r = cpm_SaveFile(std::move(into), name, data, user);
    if (!r.Message.empty() && force) return refusalLine(given, r.Name, r.Message);   // v as it was
    v = std::move(r.Volume);
    if (!r.Message.empty()) return refusalLine(given, r.Name, r.Message);
    cpm_KeepCreateStamp(v, r.Name, user, created);
    done = shown(r.Name) + " saved on CP/M volume.";
    return "";
}

int cli_Put(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    std::string as, userText;
    bool hasAs = cli_Option(line, "--as", as), hasUser = cli_Option(line, "--user", userText);
    bool text = cli_Flag(line, "--text");
    bool force = cli_Flag(line, "--force");
    if (args.size() < 2 || (hasAs && args.size() != 2)) return cli_UsageOf("put");
    // A name typed for the disk is stored as typed or refused, never cut to another.
    if (hasAs && !cpm_IsPattern(Text(cli_ParseName(as).Name)) && !cpm_IsCpmName(Text(cli_ParseName(as).Name))) {
        cli_Fail(args[0], cli_ParseName(as).Name + ": not a CP/M file name");
        return cli_Refused;
    }
    // The user area: --user N, or the N: of --as N:NAME (the two must agree).
    int user = hasUser ? cli_UserOption(userText) : 0;
    if (hasAs) {
        cli_Name name = cli_ParseName(as);
        if (!name.Valid || name.User == cli_EveryUser || (hasUser && name.Prefixed && name.User != user))
            return cli_UsageOf("put");
        if (name.Prefixed) user = name.User;
        as = name.Name;
    }
    if (user < 0) return cli_UsageOf("put");
    if (!hasAs && std::find(args.begin() + 1, args.end(), "-") != args.end()) {
        cli_Err("diskwright-cli: put: standard input needs --as NAME");
        return cli_UsageOf("put");
    }
    cpm_Volume v;
    if (!cli_OpenToChange(line, args[0], v)) return cli_Refused;
    int status = cli_Ok;
    std::vector<std::string> done;
    for (size_t i = 1; i < args.size(); i++) {
        std::string said;
        std::string refusal = putOne(v, args[i], hasAs ? as : t_PathFileName(args[i]), user, text, force, said);
        if (!refusal.empty()) {
            cli_Fail(args[0], refusal);
            status = cli_Refused;
        } else {
            done.push_back(said);
        }
    }
    return saved(v, status, done);
}

// rm and unrm, as E(rase and U(nerase do: the user byte 0xE5 for every entry
// of every file named ("N:NAME" in user area N, "*:NAME" in every one), or
// the erased entries of the name brought back into user area N.  A pattern
// names every file it matches (erased files for unrm); a file of several
// entries changes whole or not at all.
static int setUser(const cli_Parsed &line, bool erase, const char *command, const char *what) {
    const cli_Args &args = line.Operands;
    // A file marked read-only is erased only when the user insists.
    bool force = erase && cli_Flag(line, "--force");
    if (args.size() < 2) return cli_UsageOf(command);
    std::vector<cli_Name> names;
    for (size_t i = 1; i < args.size(); i++) {
        names.push_back(cli_ParseName(args[i]));
        // Erased entries belong to no user area: unrm names the one they go
        // back to; an entry number names one entry of one user area.
        const cli_Name &n = names.back();
        if (n.Valid && !(n.User == cli_EveryUser && (!erase || n.Name[0] == '#'))) continue;
        cli_BadName(args[i]);
        return cli_UsageOf(command);
    }
    const std::string &image = args[0];
    cpm_Volume v;
    if (!cli_OpenToChange(line, image, v)) return cli_Refused;
    int status = cli_Ok;
    std::vector<std::string> done;
    auto refuse = [&](const std::string &reason) {
        cli_Fail(image, reason);
        status = cli_Refused;
    };
    auto readOnly = [&](int entry) { return erase && !force && (cpm_EntryAttributes(v, entry) & cpm_ReadOnlyBit); };
    for (size_t i = 0; i < names.size(); i++) {
        const cli_Name &given = names[i];
        Text typed(given.Name);
        bool byNumber = given.Name[0] == '#';
        if (cli_RefuseNonCpmName(image, v, given)) {
            status = cli_Refused;
            continue;
        }
        bool pattern = !byNumber && cli_IsPattern(v, given);
        // The files named: live ones of each user area for rm, erased ones for unrm.
        std::vector<cli_Match> matches;
        if (!byNumber && erase) {
            std::vector<int> users = given.User == cli_EveryUser ? cpm_UsersWithFiles(v) : std::vector<int>{given.User};
            for (int user : users)
                for (cpm_FileMatch &m : cpm_MatchFiles(v, typed, user)) matches.push_back({user, std::move(m)});
        } else if (!byNumber) {
            for (cpm_FileMatch &m : cpm_MatchErasedFiles(v, typed)) matches.push_back({given.User, std::move(m)});
        }
        if (matches.empty() && pattern) refuse("no file matches " + args[i + 1]);
        if (matches.empty() && !pattern) {
            // An entry number, or a name no file carries: as the volume manager takes it.
            Text name = cpm_TypedFileName(v, typed, given.User);
            if (long long n = byNumber ? t_TextValue(Text(given.Name.substr(1))) : -1;
                n >= 0 && n < v.Geometry.DirEntries && readOnly(int(n)) && cpm_EntryUser(v, int(n)) == given.User) {
                refuse(shown(cpm_EntryName(v, int(n))) + " is read-only; use --force");
                continue;
            }
            // The file the entry or name stands for, when it has a password.
            Text file = name.size() == 12 ? name : cpm_MakeName(name);
            if (long long n = byNumber ? t_TextValue(Text(given.Name.substr(1))) : -1; byNumber)
                file = n >= 0 && n < v.Geometry.DirEntries && cpm_EntryUser(v, int(n)) == given.User ? cpm_EntryName(v, int(n)) : Text();
            if (std::string refused = erase && !file.empty() ? cli_PasswordRefusal(line, v, file, given.User, cpm_Change::Erase, shown(file)) : "";
                !refused.empty()) {
                refuse(refused);
                continue;
            }
            cpm_SetUserResult r =
                cpm_SetFileUser(std::move(v), name, erase ? cpm_ErasedUser : uint8_t(given.User), given.User);
            v = std::move(r.Volume);
            if (!r.Found) refuse(shown(r.Name) + " not found");
            else if (!r.Message.empty()) refuse(shown(r.Name) + " could not be " + what + ": " + r.Message);
            else done.push_back(shown(r.Name) + " " + what);
            continue;
        }
        for (const cli_Match &m : matches) {
            std::string name = given.User == cli_EveryUser ? cli_ShownName(m.User, m.File.Name) : shown(m.File.Name);
            if (readOnly(m.File.Entries.front())) {
                refuse(name + " is read-only; use --force");
                continue;
            }
            if (std::string refused = erase ? cli_PasswordRefusal(line, v, m.File.Name, m.User, cpm_Change::Erase, name) : "";
                !refused.empty()) {
                refuse(refused);
                continue;
            }
            cpm_Volume before = v;
            std::string message;
            if (erase) {
                for (int entry : m.File.Entries) {
                    cpm_SetUserResult r =
                        cpm_SetFileUser(std::move(v), Text("#" + std::to_string(entry)), cpm_ErasedUser, m.User);
                    v = std::move(r.Volume);
                    message = r.Message;
                    if (!message.empty()) break;
                }
            } else {
                // By name, so that the engine refuses joining a live file of the
                // name or a second erased file of it.
                cpm_SetUserResult r = cpm_SetFileUser(std::move(v), m.File.Name, uint8_t(m.User), m.User);
                v = std::move(r.Volume);
                message = r.Found ? r.Message : "not found";
            }
            if (message.empty()) {
                done.push_back(name + " " + what);
                continue;
            }
            v = std::move(before);
            refuse(name + " could not be " + what + ": " + message);
        }
    }
    return saved(v, status, done);
}

int cli_Rm(const cli_Parsed &line) { return setUser(line, true, "rm", "erased"); }
int cli_Unrm(const cli_Parsed &line) { return setUser(line, false, "unrm", "unerased"); }

// "+R", "-SA": the bits to set or clear; false for a word that is none.
static bool attributeChange(const std::string &word, uint8_t &set, uint8_t &clear) {
    if (word.size() < 2 || (word[0] != '+' && word[0] != '-')) return false;
    uint8_t bits = 0;
    for (size_t k = 1; k < word.size(); k++) {
        uint8_t bit = cpm_AttributeBit(word[k]);
        if (!bit) return false;
        bits |= bit;
    }
    uint8_t &to = word[0] == '+' ? set : clear;
    uint8_t &from = word[0] == '+' ? clear : set;
    to |= bits;
    from &= uint8_t(~bits);
    return true;
}

int cli_Attr(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    uint8_t set = 0, clear = 0;
    std::vector<std::string> names;
    for (size_t i = 1; i < args.size(); i++)
        if (!attributeChange(args[i], set, clear)) names.push_back(args[i]);
    if (args.size() >= 2 && !names.empty() && set == 0 && clear == 0) cli_Err("diskwright-cli: attr: no attribute given");
    if (args.empty() || names.empty() || (set == 0 && clear == 0)) return cli_UsageOf("attr");
    const std::string &image = args[0];
    cpm_Volume v;
    if (!cli_OpenToChange(line, image, v)) return cli_Refused;
    int status = cli_Ok;
    std::vector<std::string> done;
    for (const std::string &typed : names) {
        cli_Name name = cli_ParseName(typed);
        if (!name.Valid) {
            cli_BadName(typed);
            return cli_UsageOf("attr");
        }
        std::vector<cli_Match> matches = cli_Matches(image, v, name);
        if (matches.empty()) status = cli_Refused;
        for (const cli_Match &m : matches) {
            std::string shownName = name.User == cli_EveryUser ? cli_ShownName(m.User, m.File.Name) : shown(m.File.Name);
            std::string refused = cli_PasswordRefusal(line, v, m.File.Name, m.User, cpm_Change::Attributes, shownName);
            if (!refused.empty()) {
                cli_Fail(image, refused);
                status = cli_Refused;
                continue;
            }
            cpm_SetAttributesResult r = cpm_SetAttributes(std::move(v), m.File.Entries, set, clear);
            v = std::move(r.Volume);
            if (!r.Message.empty()) {
                cli_Fail(image, shownName + " could not be changed: " + r.Message);
                status = cli_Refused;
                continue;
            }
            std::string letters = cpm_LoadDirectory(v, m.User).Attributes[size_t(m.File.Entries[0])].bytes();
            done.push_back(shownName + " attributes: " + (letters.empty() ? "none" : letters));
        }
    }
    return saved(v, status, done);
}

int cli_Sort(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    if (args.size() != 3 || (args[1] != "names" && args[1] != "size") || (args[2] != "asc" && args[2] != "desc"))
        return cli_UsageOf("sort");
    cpm_Volume v;
    if (!cli_OpenToChange(line, args[0], v)) return cli_Refused;
    v = cpm_Alphabetize(std::move(v), args[1] == "names", args[2] == "asc");
    return saved(v, cli_Ok, {"Volume alphabetized."});
}

int cli_Init(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    if (args.size() != 1) return cli_UsageOf("init");
    cpm_Volume v;
    if (!cli_OpenToChange(line, args[0], v)) return cli_Refused;
    v = cpm_InitVolume(std::move(v));
    return saved(v, cli_Ok, {"Volume initialized: " + t_PathFileName(v.Path)});
}

bool cli_WriteNewImage(const std::string &path, const Text &bytes, bool force) {
    // Without --force the name is taken by the rename itself: of runs that
    // race for it exactly one creates the file.
    int err = t_WriteFile(path, bytes, t_WriteImage | (force ? 0 : t_WriteNoReplace));
    if (err == 0) return true;
    if (err == EEXIST && !force) cli_Fail(path, "exists (use --force to replace it)");
    else if (t_SavedButNotFlushed(err)) cli_Fail(path, t_ErrorText(err));
    else cli_Fail(path, "image could not be saved: " + t_ErrorText(err));
    return false;
}

int cli_New(const cli_Parsed &line) {
    std::string slices;
    if (cli_Option(line, "--slices", slices)) return cli_NewSliced(line, slices);
    if (!cli_FormatName(line).empty()) return cli_NewFormatted(line);
    const cli_Args &args = line.Operands;
    bool force = cli_Flag(line, "--force");
    if (args.size() != 2 || args[1].empty() || args[1].find_first_not_of("-0123456789") != std::string::npos)
        return cli_UsageOf("new");
    long long size = t_TextValue(Text(args[1]));
    std::string refusal = cpm_NewVolumeSizeMessage(size);
    if (!refusal.empty()) {
        cli_Fail(args[0], refusal);
        return cli_Refused;
    }
    if (!cli_WriteNewImage(args[0], cpm_FileImage(cpm_MakeVolume(args[0], int(size))), force)) return cli_Refused;
    cli_Out("Volume with " + t_NumberString(size, U' ', 1, true) + "K created: " + t_PathFileName(args[0]));
    return cli_Ok;
}
