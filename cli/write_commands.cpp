// Commands that change an image: put, rm, unrm, sort, init, new.
// A changed image is saved once, at the end, atomically.
#include <unistd.h>

#include "cli.h"
#include "files.h"
#include "screen_text.h"
#include "volume.h"

static std::string shown(const Text &name) { return cpm_DisplayString(name); }

// The status after saving: a failed save turns any result into a refusal.
static int saved(cpm_Volume &v, int status) { return cli_Save(v) ? status : cli_Refused; }

int cli_Put(const cli_Args &given) {
    cli_Args args = given;
    std::string as;
    bool hasAs = false;
    if (!cli_TakeOption(args, "--as", as, hasAs) || args.size() < 2 || (hasAs && args.size() != 2))
        return cli_UsageOf("put");
    cpm_Volume v;
    if (!cli_Open(args[0], v)) return cli_Refused;
    int status = cli_Ok;
    for (size_t i = 1; i < args.size(); i++) {
        const std::string &host = args[i];
        if (t_FileExists(host) != 1 || access(host.c_str(), R_OK) != 0) {
            cli_Err("diskwright-cli: " + host + ": no readable file");
            status = cli_Refused;
            continue;
        }
        Text name(hasAs ? as : t_PathFileName(host));
        cpm_SaveFileResult r = cpm_SaveFile(std::move(v), name, gettextfromfile(host));
        v = std::move(r.Volume);
        if (r.Message.empty()) {
            cli_Out(shown(r.Name) + " saved on CP/M volume.");
        } else {
            cli_Err(shown(r.Name) + " could not be saved: " + r.Message);
            status = cli_Refused;
        }
    }
    return saved(v, status);
}

// rm and unrm: the user byte 0xE5 or 0 for every name, as E(rase and U(nerase do.
static int setUser(const cli_Args &args, uint8_t user, const char *command, const char *done) {
    if (args.size() < 2) return cli_UsageOf(command);
    cpm_Volume v;
    if (!cli_Open(args[0], v)) return cli_Refused;
    int status = cli_Ok;
    for (size_t i = 1; i < args.size(); i++) {
        cpm_SetUserResult r = cpm_SetFileUser(std::move(v), t_TextUpperCase(Text(args[i])), user);
        v = std::move(r.Volume);
        if (!r.Found) {
            cli_Err(shown(r.Name) + " not found");
            status = cli_Refused;
        } else if (!r.Message.empty()) {
            cli_Err(shown(r.Name) + " could not be " + done + ": " + r.Message);
            status = cli_Refused;
        } else {
            cli_Out(shown(r.Name) + " " + done);
        }
    }
    return saved(v, status);
}

int cli_Rm(const cli_Args &args) { return setUser(args, cpm_ErasedUser, "rm", "erased"); }
int cli_Unrm(const cli_Args &args) { return setUser(args, cpm_UserNumber, "unrm", "unerased"); }

int cli_Sort(const cli_Args &args) {
    if (args.size() != 3 || (args[1] != "names" && args[1] != "size") || (args[2] != "asc" && args[2] != "desc"))
        return cli_UsageOf("sort");
    cpm_Volume v;
    if (!cli_Open(args[0], v)) return cli_Refused;
    v = cpm_Alphabetize(std::move(v), args[1] == "names", args[2] == "asc");
    cli_Out("Volume alphabetized.");
    return saved(v, cli_Ok);
}

int cli_Init(const cli_Args &args) {
    if (args.size() != 1) return cli_UsageOf("init");
    cpm_Volume v;
    if (!cli_Open(args[0], v)) return cli_Refused;
    v = cpm_InitVolume(std::move(v));
    int status = saved(v, cli_Ok);
    if (status == cli_Ok) cli_Out("Volume initialized: " + t_PathFileName(v.Path));
    return status;
}

int cli_New(const cli_Args &args) {
    if (args.size() != 2 || args[1].empty() || args[1].find_first_not_of("-0123456789") != std::string::npos)
        return cli_UsageOf("new");
    long long size = t_TextValue(Text(args[1]));
    cpm_NewVolumeResult r = cpm_NewVolume(args[0], size);
    if (!r.Message.empty()) {
        bool sizeRefused = r.Volume.Path.empty();
        cli_Err(sizeRefused ? r.Message : "diskwright-cli: " + args[0] + ": image could not be saved: " + r.Message);
        return cli_Refused;
    }
    cli_Out("Volume with " + t_NumberString(size, U' ', 1, true) + "K created: " + t_PathFileName(args[0]));
    return cli_Ok;
}
