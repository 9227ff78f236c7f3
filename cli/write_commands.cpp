// Commands that change an image: put, rm, unrm, sort, init, new.
// The image is locked from reading to saving; a changed image is saved once,
// at the end, atomically, and the lines that report changes are printed only
// once it is saved (a failed save prints its refusal instead).
#include <sys/stat.h>
#include <unistd.h>

#include "cli.h"
#include "files.h"
#include "patterns.h"
#include "screen_text.h"
#include "volume.h"

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
// volume cannot take it.  "" or the refusal line.
static std::string putOne(cpm_Volume &v, const std::string &host, const std::string &given, int user,
                          std::string &done) {
    int fd = -1;
    long long size = 0;
    int err = t_OpenRegularFile(host, fd, size);
    if (err != 0) return host + " could not be read: " + t_ErrorText(err) + ".";
    Text name(given);
    std::string refusal = cpm_SaveFileRefusal(v, name, size, user);
    if (!refusal.empty()) {
        close(fd);
        return refusalLine(given, cpm_MakeName(name), refusal);
    }
    Text data;
    err = t_ReadOpenFile(fd, size, data);
    if (err != 0) return host + " could not be read: " + t_ErrorText(err) + ".";
    cpm_SaveFileResult r = cpm_SaveFile(std::move(v), name, data, user);
    v = std::move(r.Volume);
    if (!r.Message.empty()) return refusalLine(given, r.Name, r.Message);
    done = shown(r.Name) + " saved on CP/M volume.";
    return "";
}

int cli_Put(const cli_Args &given) {
    cli_Args args = given;
    std::string as, userText;
    bool hasAs = false, hasUser = false;
    if (!cli_TakeOption(args, "--as", as, hasAs) || !cli_TakeOption(args, "--user", userText, hasUser) ||
        args.size() < 2 || (hasAs && args.size() != 2))
        return cli_UsageOf("put");
    // The user area: --user N, or the N: of --as N:NAME (the two must agree).
    int user = hasUser ? cli_ParseUser(userText) : 0;
    if (hasAs) {
        cli_Name name = cli_ParseName(as);
        if (name.Kind != cli_NameKind::File || (hasUser && as.find(':') != std::string::npos && name.User != user))
            return cli_UsageOf("put");
        if (as.find(':') != std::string::npos) user = name.User;
        as = name.Name;
    }
    if (user < 0) return cli_UsageOf("put");
    cpm_Volume v;
    if (!cli_OpenToChange(args[0], v)) return cli_Refused;
    int status = cli_Ok;
    std::vector<std::string> done;
    for (size_t i = 1; i < args.size(); i++) {
        std::string line;
        std::string refusal = putOne(v, args[i], hasAs ? as : t_PathFileName(args[i]), user, line);
        if (!refusal.empty()) {
            cli_Err(refusal);
            status = cli_Refused;
        } else {
            done.push_back(line);
        }
    }
    return saved(v, status, done);
}

// rm and unrm, as E(rase and U(nerase do: "N:NAME" erases the file of user
// area N, or unerases the erased entries of the name into user area N.
static int setUser(const cli_Args &args, bool erase, const char *command, const char *what) {
    if (args.size() < 2) return cli_UsageOf(command);
    std::vector<cli_Name> names;
    for (size_t i = 1; i < args.size(); i++) {
        names.push_back(cli_ParseName(args[i]));
        if (names.back().Kind == cli_NameKind::File) continue;
        cli_Err("diskwright-cli: " + args[i] + ": not a file name (NAME or N:NAME, N from 0 to 15)");
        return cli_UsageOf(command);
    }
    cpm_Volume v;
    if (!cli_OpenToChange(args[0], v)) return cli_Refused;
    int status = cli_Ok;
    std::vector<std::string> done;
    for (const cli_Name &given : names) {
        Text name = cpm_TypedFileName(v, Text(given.Name), given.User);
        uint8_t value = erase ? cpm_ErasedUser : uint8_t(given.User);
        cpm_SetUserResult r = cpm_SetFileUser(std::move(v), name, value, given.User);
        v = std::move(r.Volume);
        if (!r.Found) {
            cli_Err(shown(r.Name) + " not found");
            status = cli_Refused;
        } else if (!r.Message.empty()) {
            cli_Err(shown(r.Name) + " could not be " + what + ": " + r.Message);
            status = cli_Refused;
        } else {
            done.push_back(shown(r.Name) + " " + what);
        }
    }
    return saved(v, status, done);
}

int cli_Rm(const cli_Args &args) { return setUser(args, true, "rm", "erased"); }
int cli_Unrm(const cli_Args &args) { return setUser(args, false, "unrm", "unerased"); }

int cli_Sort(const cli_Args &args) {
    if (args.size() != 3 || (args[1] != "names" && args[1] != "size") || (args[2] != "asc" && args[2] != "desc"))
        return cli_UsageOf("sort");
    cpm_Volume v;
    if (!cli_OpenToChange(args[0], v)) return cli_Refused;
    v = cpm_Alphabetize(std::move(v), args[1] == "names", args[2] == "asc");
    return saved(v, cli_Ok, {"Volume alphabetized."});
}

int cli_Init(const cli_Args &args) {
    if (args.size() != 1) return cli_UsageOf("init");
    cpm_Volume v;
    if (!cli_OpenToChange(args[0], v)) return cli_Refused;
    v = cpm_InitVolume(std::move(v));
    return saved(v, cli_Ok, {"Volume initialized: " + t_PathFileName(v.Path)});
}

int cli_New(const cli_Args &given) {
    cli_Args args = given;
    bool force = cli_TakeFlag(args, "--force");
    if (args.size() != 2 || args[1].empty() || args[1].find_first_not_of("-0123456789") != std::string::npos)
        return cli_UsageOf("new");
    long long size = t_TextValue(Text(args[1]));
    std::string refusal = cpm_NewVolumeSizeMessage(size);
    if (!refusal.empty()) {
        cli_Err(refusal);
        return cli_Refused;
    }
    struct stat st;
    if (!force && lstat(args[0].c_str(), &st) == 0) {
        cli_Err("diskwright-cli: " + args[0] + ": exists (use --force to replace it)");
        return cli_Refused;
    }
    cpm_NewVolumeResult r = cpm_NewVolume(args[0], size);
    if (!r.Message.empty()) {
        cli_Err("diskwright-cli: " + args[0] + ": image could not be saved: " + r.Message);
        return cli_Refused;
    }
    cli_Out("Volume with " + t_NumberString(size, U' ', 1, true) + "K created: " + t_PathFileName(args[0]));
    return cli_Ok;
}
