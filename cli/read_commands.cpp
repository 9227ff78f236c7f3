// Commands that read an image: info, ls, map, blocks, dump, type, get.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "cli.h"
#include "files.h"
#include "patterns.h"
#include "screen_text.h"
#include "volume.h"

static void printLines(const std::vector<std::string> &lines) {
    for (const std::string &line : lines) cli_Out(line);
}

// A typed CP/M name as the volume manager takes it: a stored name of the
// user area it names exactly, else in capitals.
static Text typedName(const cpm_Volume &v, const cli_Name &name) {
    return cpm_TypedFileName(v, Text(name.Name), name.User);
}

// One file's name argument ("NAME" or "N:NAME"); false, after a line saying
// why, when it names no single file.
static bool oneFile(const std::string &argument, cli_Name &name) {
    name = cli_ParseName(argument);
    if (name.Kind == cli_NameKind::File) return true;
    cli_Err("diskwright-cli: " + argument + ": not a file name (NAME or N:NAME, N from 0 to 15)");
    return false;
}

int cli_Info(const cli_Args &args) {
    if (args.size() != 1) return cli_UsageOf("info");
    cpm_Volume v;
    if (!cli_OpenToRead(args[0], v)) return cli_Refused;
    cli_Out(std::string("Format:       ") + cpm_GeometryOf(v.Format).Name);
    cli_Out("Container:    " + cpm_ContainerName(v.Container));
    cli_Out(std::string("Order:        ") + cpm_SectorOrderOf(v.Order).Name);
    cli_Out("Decided by:   " + v.Decision);
    if (!v.Refusal.empty()) cli_Out("Refused:      " + v.Refusal);
    cli_Out("DataStart:    " + std::to_string(v.DataStart));
    cli_Out("BlockSize:    " + std::to_string(v.BlockSize));
    cli_Out("DirBlocks:    " + std::to_string(v.DirBlocks));
    cli_Out("DirEntries:   " + std::to_string(v.DirEntries));
    cli_Out("VolumeKB:     " + std::to_string(v.VolumeKB));
    cli_Out("UsedKB:       " + std::to_string(v.UsedKB));
    cli_Out("FreeKB:       " + std::to_string(v.VolumeKB - v.UsedKB));
    cli_Out("Blocks:       " + std::to_string(cpm_BlockCount(v)));
    cli_Out(std::string("BlockNumbers: ") + (cpm_WideBlocks(v) ? "16-bit" : "8-bit"));
    return cli_Ok;
}

int cli_Ls(const cli_Args &given) {
    cli_Args args = given;
    bool longList = cli_TakeFlag(args, "-l");
    bool all = cli_TakeFlag(args, "--all");
    std::string userText;
    bool hasUser = false;
    if (!cli_TakeOption(args, "--user", userText, hasUser) || args.size() != 1 || (all && hasUser))
        return cli_UsageOf("ls");
    int user = hasUser ? cli_ParseUser(userText) : 0;
    if (user < 0) return cli_UsageOf("ls");
    cpm_Volume v;
    if (!cli_OpenToRead(args[0], v)) return cli_Refused;
    std::vector<int> users = all ? cpm_UsersWithFiles(v) : std::vector<int>{user};
    if (users.empty()) users.push_back(0);   // nothing anywhere: user 0's empty listing
    for (size_t k = 0; k < users.size(); k++) {
        if (all) {
            if (k > 0) cli_Out("");
            cli_Out("User " + std::to_string(users[k]) + ":");
        }
        if (users[k] != v.User) v = cpm_SelectUser(std::move(v), users[k]);
        printLines(cpm_DirectoryLines(v, longList ? cpm_LongListing : cpm_ShortListing));
    }
    return cli_Ok;
}

int cli_Map(const cli_Args &args) {
    if (args.size() != 1) return cli_UsageOf("map");
    cpm_Volume v;
    if (!cli_OpenToRead(args[0], v)) return cli_Refused;
    printLines(cpm_SectorMapLines(v));
    return cli_Ok;
}

int cli_Blocks(const cli_Args &args) {
    if (args.size() != 2) return cli_UsageOf("blocks");
    cli_Name given;
    if (!oneFile(args[1], given)) return cli_Usage;
    cpm_Volume v;
    if (!cli_OpenToRead(args[0], v)) return cli_Refused;
    Text name = typedName(v, given);
    std::vector<std::string> lines = cpm_BlocksLines(v, name, 80, given.User);
    std::string notFound = cpm_DisplayString(cpm_MakeName(name)) + " not found";
    if (lines.empty() || lines.back() == notFound) {
        cli_Err(lines.empty() ? "diskwright-cli: empty name" : notFound);
        return cli_Refused;
    }
    printLines(lines);
    return cli_Ok;
}

// The file's data, or a refusal line when it is not on the volume.
static int loadFile(const std::string &image, const std::string &argument, cpm_Volume &v, cli_Name &name,
                    cpm_FileData &file) {
    if (!oneFile(argument, name)) return cli_Usage;
    if (!cli_OpenToRead(image, v)) return cli_Refused;
    file = cpm_LoadFile(v, typedName(v, name), name.User);
    if (file.Found) return cli_Ok;
    cli_Err(cpm_DisplayString(file.Name) + " not found.");
    return cli_Refused;
}

int cli_Dump(const cli_Args &args) {
    if (args.size() != 2) return cli_UsageOf("dump");
    cpm_Volume v;
    cli_Name name;
    cpm_FileData file;
    if (int status = loadFile(args[0], args[1], v, name, file); status != cli_Ok) return status;
    printLines(cpm_HexdumpLines(file.Data));
    return cli_Ok;
}

int cli_Type(const cli_Args &args) {
    if (args.size() != 2) return cli_UsageOf("type");
    cpm_Volume v;
    cli_Name name;
    cpm_FileData file;
    if (int status = loadFile(args[0], args[1], v, name, file); status != cli_Ok) return status;
    printLines(cpm_TypeLines(file.Data));
    return cli_Ok;
}

// The data cut to the size the directory records, when asked for.
static Text trimmed(const cpm_Volume &v, const cpm_FileData &file, int user, bool trim) {
    long long size = trim ? cpm_RecordedSize(v, file.Name, user) : -1;
    if (size < 0 || size >= (long long)file.Data.size()) return file.Data;
    return Text(std::vector<uint8_t>(file.Data.Elements.begin(), file.Data.Elements.begin() + size));
}

// Writes one host copy: a temporary file renamed into place, never through a
// link or into a pipe or device at the name; with noClobber an existing name
// is skipped.  False when it could not be written.
static bool writeHost(const std::string &path, const Text &data, const Text &name, bool noClobber) {
    int err = t_WriteFile(path, data, t_WriteHostCopy | (noClobber ? t_WriteNoReplace : 0));
    if (err == EEXIST && noClobber) {
        cli_Out(cpm_DisplayString(name) + " exists: skipped.");
        return true;
    }
    if (err == 0) {
        cli_Out(cpm_DisplayString(name) + " saved as " + path);
        return true;
    }
    cli_Err(cpm_DisplayString(name) + " could not be saved as " + path + ": " + t_ErrorText(err));
    return false;
}

// Copies every listed file of the user area into the folder (ending in
// "/"), as T(ransfer "*" does; names that meet on the host get "~1", "~2",
// ... within the copy.
static int copyUserArea(const cpm_Volume &v, int user, const std::string &target, bool trim, bool noClobber) {
    cpm_DirectoryLists lists = cpm_LoadDirectory(v, user);
    std::vector<std::string> used;
    int status = cli_Ok;
    for (size_t i = 0; i < lists.Sizes.size(); i++) {
        if (lists.Sizes[i] < 0) continue;
        cpm_FileData file = cpm_LoadFile(v, lists.Names[i], user);
        if (!file.Found) {
            cli_Err(cpm_DisplayString(file.Name) + " not found.");
            status = cli_Refused;
            continue;
        }
        std::string host = cpm_UniqueHostName(cpm_HostName(file.Name), used);
        if (!writeHost(target + host, trimmed(v, file, user, trim), file.Name, noClobber)) status = cli_Refused;
    }
    return status;
}

// The number of listed files in the user area.
static int filesIn(const cpm_Volume &v, int user) {
    int files = 0;
    for (int size : cpm_LoadDirectory(v, user).Sizes) files += size >= 0;
    return files;
}

// get IMAGE 'N:*' | '*:*' | '*' FOLDER: the files of one user area, or of
// every user area each into a subfolder named by its number ("0", "5").
static int getAll(const std::string &image, const cli_Name &which, const std::string &folder, bool trim,
                  bool noClobber) {
    if (t_FileExists(folder) != 2) {
        cli_Err("diskwright-cli: " + folder + ": no such folder");
        return cli_Refused;
    }
    cpm_Volume v;
    if (!cli_OpenToRead(image, v)) return cli_Refused;
    std::string target = folder.back() == '/' ? folder : folder + "/";
    if (which.Kind == cli_NameKind::AllOfUser) return copyUserArea(v, which.User, target, trim, noClobber);
    if (which.Kind == cli_NameKind::AllOfUserZero) {
        int status = copyUserArea(v, 0, target, trim, noClobber);
        int others = 0;
        for (int user : cpm_UsersWithFiles(v)) others += user == 0 ? 0 : filesIn(v, user);
        if (others > 0) cli_Err(std::to_string(others) + " files in other user areas not copied (use '*:*').");
        return status;
    }
    int status = cli_Ok;
    for (int user : cpm_UsersWithFiles(v)) {
        std::string sub = target + std::to_string(user);
        if (mkdir(sub.c_str(), 0777) != 0 && (errno != EEXIST || t_FileExists(sub) != 2)) {
            cli_Err("diskwright-cli: " + sub + ": folder could not be made: " + t_ErrorText(errno));
            status = cli_Refused;
            continue;
        }
        if (copyUserArea(v, user, sub + "/", trim, noClobber) != cli_Ok) status = cli_Refused;
    }
    return status;
}

int cli_Get(const cli_Args &given) {
    cli_Args args = given;
    bool trim = cli_TakeFlag(args, "--trim");
    bool noClobber = cli_TakeFlag(args, "-n");
    noClobber = cli_TakeFlag(args, "--no-clobber") || noClobber;
    if (args.size() < 2) return cli_UsageOf("get");
    cli_Name which = cli_ParseName(args[1]);
    bool many = which.Kind == cli_NameKind::AllOfUser || which.Kind == cli_NameKind::AllUsers ||
                which.Kind == cli_NameKind::AllOfUserZero;
    if (many && args.size() == 3) return getAll(args[0], which, args[2], trim, noClobber);
    if ((args.size() != 2 && args.size() != 3) || many) return cli_UsageOf("get");
    cpm_Volume v;
    cli_Name name;
    cpm_FileData file;
    if (int status = loadFile(args[0], args[1], v, name, file); status != cli_Ok) return status;
    Text data = trimmed(v, file, name.User, trim);
    if (args.size() == 3) return writeHost(args[2], data, file.Name, noClobber) ? cli_Ok : cli_Refused;
    fwrite(data.data(), 1, data.size(), stdout);
    return cli_Ok;
}
