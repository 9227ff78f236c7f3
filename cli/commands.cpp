// The command table and the helpers every command uses.
#include <algorithm>
#include <cstring>

#include "cli.h"
#include "volume.h"

const cli_Command cli_Commands[] = {
    {"info", "IMAGE", false, cli_Info},
    {"ls", "[-l] [--user N | --all] IMAGE", false, cli_Ls},
    {"get", "IMAGE [N:]NAME [HOSTFILE] [--trim] [-n]  |  get IMAGE '*'|'N:*'|'*:*' FOLDER [--trim] [-n]", false,
     cli_Get},
    {"put", "IMAGE HOSTFILE... [--user N] [--as [N:]NAME]", true, cli_Put},
    {"rm", "IMAGE [N:]NAME...   (NAME as typed, or #n for directory entry n)", true, cli_Rm},
    {"unrm", "IMAGE [N:]NAME...   (restores into user area N; NAME as typed, or #n)", true, cli_Unrm},
    {"sort", "IMAGE names|size asc|desc", true, cli_Sort},
    {"init", "IMAGE", true, cli_Init},
    {"new", "IMAGE SIZE_KB [--force]   (64 to 2048, even)", false, cli_New},
    {"map", "IMAGE", false, cli_Map},
    {"blocks", "IMAGE [N:]NAME", false, cli_Blocks},
    {"dump", "IMAGE [N:]NAME", false, cli_Dump},
    {"type", "IMAGE [N:]NAME", false, cli_Type},
};
const int cli_CommandCount = int(sizeof cli_Commands / sizeof cli_Commands[0]);
bool cli_Changing = false;

bool cli_Open(const std::string &path, cpm_Volume &volume) {
    volume = cpm_LoadVolume(path);
    if (volume.Path.empty()) {
        cli_Err("diskwright-cli: " + path + ": no such image file");
        return false;
    }
    if (volume.Refusal.empty()) return true;
    cli_Err("diskwright-cli: " + path + ": " + volume.Refusal);
    return !cli_Changing;
}

bool cli_Save(cpm_Volume &volume) {
    if (!volume.Changed) return true;
    if (!volume.Refusal.empty()) return false;   // never written: refused when it was opened
    cpm_SaveVolumeResult saved = cpm_SaveVolume(std::move(volume));
    volume = std::move(saved.Volume);
    if (saved.Message.empty()) return true;
    cli_Err("diskwright-cli: " + volume.Path + ": image could not be saved: " + saved.Message);
    return false;
}

bool cli_TakeFlag(cli_Args &args, const char *flag) {
    auto at = std::find(args.begin(), args.end(), flag);
    if (at == args.end()) return false;
    args.erase(at);
    return true;
}

bool cli_TakeOption(cli_Args &args, const char *option, std::string &value, bool &present) {
    auto at = std::find(args.begin(), args.end(), option);
    present = at != args.end();
    if (!present) return true;
    if (at + 1 == args.end()) return false;
    value = *(at + 1);
    args.erase(at, at + 2);
    return true;
}
