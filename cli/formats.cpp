// The disk definitions on the command line: -f, --diskdefs, the formats
// command, new --format, and the candidate list of an unclear image.
#include <sys/stat.h>

#include <cstdio>
#include <limits>

#include "cli.h"
#include "codecs.h"
#include "definitions.h"
#include "files.h"
#include "image.h"
#include "listing.h"
#include "volume.h"

// What a command needs of the system's definitions: a command on an image
// those of its size (and the one -f names), new only the one -f names,
// formats all of them.  Reading only those keeps every run short.
static cpm_DiskdefsFilter systemFilter(const cli_Parsed &line) {
    const cli_Command &command = *line.Command;
    const cli_Args &operands = line.Operands;
    cpm_DiskdefsFilter filter;
    if (command.Run == cli_Formats || cli_OverCollection(command)) return filter;
    filter.All = false;
    filter.Name = cli_FormatName(line);
    // Every definition of a known size is smaller than this: none but the one named is read.
    if (command.Run == cli_New || operands.empty()) {
        filter.Bytes = std::numeric_limits<long long>::max();
        return filter;
    }
    struct stat st;
    // A path that names no file (a member of an archive) may hold any image.
    if (stat(operands[0].c_str(), &st) != 0) filter.All = true;
    if (stat(operands[0].c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return filter;
    // A container is known only once it is read: the engine then reads the
    // rest (cpm_WidenLibrary), so the image is read once.
    filter.Bytes = st.st_size;
    return filter;
}

bool cli_LoadFormats(const cli_Parsed &line) {
    std::string diskdefs;
    cli_Option(line, "--diskdefs", diskdefs);
    if (line.Command->Run == cli_Help) return true;
    std::string error = cpm_LoadLibrary(cpm_SystemDiskdefs, cpm_UserDiskdefs(), diskdefs, systemFilter(line));
    if (!error.empty()) {
        cli_Err("diskwright-cli: " + error);
        return false;
    }
    std::string format = cli_FormatName(line);
    if (!format.empty() && !cpm_FindDefinition(format)) {
        cli_Err("diskwright-cli: unknown format '" + format + "' (diskwright-cli formats lists them)");
        return false;
    }
    return true;
}

void cli_ErrCandidates(const cpm_Volume &volume) {
    if (!cpm_FormatUnclear(volume)) return;
    cli_Err("diskwright-cli: candidates (choose one with -f NAME):");
    for (const std::string &reading : volume.Readings) cli_Err("  " + reading);
}

// "143.360 bytes (140K)", or "any size" for the plain volume.
static std::string sizeText(const cpm_Geometry &g) {
    long long bytes = cpm_GeometryBytes(g);
    if (bytes == 0) return "any size";
    return t_NumberString(bytes, U' ', 1, true) + " bytes (" + t_NumberString(bytes / 1024, U' ', 1, true) + "K)";
}

int cli_Formats(const cli_Parsed &line) {
    if (!line.Operands.empty()) return cli_UsageOf("formats");
    for (const cpm_Definition &d : cpm_Library()) {
        std::string name = d.Name;
        name.resize(std::max<size_t>(name.size(), 16), ' ');
        std::string size = sizeText(d.Geometry);
        size.resize(std::max<size_t>(size.size(), 26), ' ');
        std::string source = d.Source + (d.Line > 0 && d.Source != "built-in" ? ":" + std::to_string(d.Line) : "");
        cli_Out(name + " " + size + " " + source + (d.SameAs.empty() ? "" : " (reads as " + d.SameAs + ")"));
    }
    return cli_Ok;
}

int cli_NewFormatted(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    bool force = cli_Flag(line, "--force");
    if (args.size() != 1) return cli_UsageOf("new");
    const cpm_Definition *definition = cpm_FindDefinition(cli_FormatName(line));
    long long bytes = cpm_GeometryBytes(definition->Geometry);
    if (bytes <= 0) {
        cli_Fail(args[0], definition->Name + " has no fixed size: give the size in KB.");
        return cli_Refused;
    }
    Text image = t_TextFill(cpm_ErasedUser, int(bytes));
    if (!cli_WriteNewImage(args[0], image, force)) return cli_Refused;
    cpm_Volume v = cpm_OpenImageAs(std::move(image), args[0], *definition);
    cli_Out("Volume " + definition->Name + " (" + std::to_string(v.VolumeKB) + "K) created: " + t_PathFileName(args[0]));
    return cli_Ok;
}
