// Commands that read an image: info, ls, map, blocks, dump, type, get.
#include <cerrno>
#include <cstdio>

#include "cli.h"
#include "files.h"
#include "screen_text.h"
#include "volume.h"

static void printLines(const std::vector<std::string> &lines) {
    for (const std::string &line : lines) cli_Out(line);
}

// A typed CP/M name as the volume manager takes it: a stored name it names
// exactly, else in capitals.
static Text typedName(const cpm_Volume &v, const std::string &name) { return cpm_TypedFileName(v, Text(name)); }

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
    if (args.size() != 1) return cli_UsageOf("ls");
    cpm_Volume v;
    if (!cli_OpenToRead(args[0], v)) return cli_Refused;
    printLines(cpm_DirectoryLines(v, longList ? 2 : 1));
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
    cpm_Volume v;
    if (!cli_OpenToRead(args[0], v)) return cli_Refused;
    Text name = typedName(v, args[1]);
    std::vector<std::string> lines = cpm_BlocksLines(v, name);
    std::string notFound = cpm_DisplayString(cpm_MakeName(name)) + " not found";
    if (lines.empty() || lines.back() == notFound) {
        cli_Err(lines.empty() ? "diskwright-cli: empty name" : notFound);
        return cli_Refused;
    }
    printLines(lines);
    return cli_Ok;
}

// The file's data, or a refusal line when it is not on the volume.
static bool loadFile(const std::string &image, const std::string &name, cpm_Volume &v, cpm_FileData &file) {
    if (!cli_OpenToRead(image, v)) return false;
    file = cpm_LoadFile(v, typedName(v, name));
    if (file.Found) return true;
    cli_Err(cpm_DisplayString(file.Name) + " not found.");
    return false;
}

int cli_Dump(const cli_Args &args) {
    if (args.size() != 2) return cli_UsageOf("dump");
    cpm_Volume v;
    cpm_FileData file;
    if (!loadFile(args[0], args[1], v, file)) return cli_Refused;
    printLines(cpm_HexdumpLines(file.Data));
    return cli_Ok;
}

int cli_Type(const cli_Args &args) {
    if (args.size() != 2) return cli_UsageOf("type");
    cpm_Volume v;
    cpm_FileData file;
    if (!loadFile(args[0], args[1], v, file)) return cli_Refused;
    printLines(cpm_TypeLines(file.Data));
    return cli_Ok;
}

// The data cut to the size the directory records, when asked for.
static Text trimmed(const cpm_Volume &v, const cpm_FileData &file, bool trim) {
    long long size = trim ? cpm_RecordedSize(v, file.Name) : -1;
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

// get IMAGE '*' FOLDER: every listed file's first entry, as T(ransfer "*" does;
// names that meet on the host get "~1", "~2", ... within the copy.
static int getAll(const std::string &image, const std::string &folder, bool trim, bool noClobber) {
    if (t_FileExists(folder) != 2) {
        cli_Err("diskwright-cli: " + folder + ": no such folder");
        return cli_Refused;
    }
    cpm_Volume v;
    if (!cli_OpenToRead(image, v)) return cli_Refused;
    std::string target = folder.back() == '/' ? folder : folder + "/";
    std::vector<std::string> used;
    int status = cli_Ok;
    for (size_t i = 0; i < v.Sizes.size(); i++) {
        if (v.Sizes[i] < 0) continue;
        cpm_FileData file = cpm_LoadFile(v, v.Names[i]);
        if (!file.Found) {
            cli_Err(cpm_DisplayString(file.Name) + " not found.");
            status = cli_Refused;
            continue;
        }
        std::string host = cpm_UniqueHostName(cpm_HostName(file.Name), used);
        if (!writeHost(target + host, trimmed(v, file, trim), file.Name, noClobber)) status = cli_Refused;
    }
    return status;
}

int cli_Get(const cli_Args &given) {
    cli_Args args = given;
    bool trim = cli_TakeFlag(args, "--trim");
    bool noClobber = cli_TakeFlag(args, "-n");
    noClobber = cli_TakeFlag(args, "--no-clobber") || noClobber;
    if (args.size() == 3 && args[1] == "*") return getAll(args[0], args[2], trim, noClobber);
    if ((args.size() != 2 && args.size() != 3) || args[1] == "*") return cli_UsageOf("get");
    cpm_Volume v;
    cpm_FileData file;
    if (!loadFile(args[0], args[1], v, file)) return cli_Refused;
    Text data = trimmed(v, file, trim);
    if (args.size() == 3) return writeHost(args[2], data, file.Name, noClobber) ? cli_Ok : cli_Refused;
    fwrite(data.data(), 1, data.size(), stdout);
    return cli_Ok;
}
