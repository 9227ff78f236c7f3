// Images of many CP/M volumes: naming a slice (IMAGE@N, --slice N), info of
// the whole file, and new card images of empty slices.
#include <unistd.h>

#include "cli.h"
#include "files.h"
#include "slices.h"
#include "volume.h"

std::string cli_SlicePath(const cli_Parsed &line, const std::string &image) {
    std::string number;
    if (!cli_Option(line, "--slice", number)) return image;
    return image + "@" + number;
}

std::string cli_SliceFile(const std::string &path) {
    std::string file;
    int slice = 0;
    return cpm_SplitSlicePath(path, file, slice) ? file : path;
}

bool cli_BadSliceOption(const cli_Parsed &line) {
    std::string number;
    if (!cli_Option(line, "--slice", number)) return false;
    if (!number.empty() && number.size() <= 6 && number.find_first_not_of("0123456789") == std::string::npos) return false;
    cli_Err("diskwright-cli: --slice: not a slice number: " + number);
    return true;
}

bool cli_SliceOpened(const cli_Parsed &line, const std::string &image, const cpm_Volume &volume) {
    if (volume.SliceCount <= 1 || volume.SliceNamed) return true;
    std::string count = std::to_string(volume.SliceCount);
    if (line.Command && line.Command->Changes) {
        cli_Fail(image, count + " slices: name one as IMAGE@N");
        return false;
    }
    cli_Fail(image, "slice 0 of " + count + " (use IMAGE@N)");
    return true;
}

namespace {

std::string hex(int type) {
    const char *digits = "0123456789ABCDEF";
    return std::string("0x") + digits[(type >> 4) & 15] + digits[type & 15];
}

std::string padded(std::string text, size_t width) {
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

}  // namespace

int cli_SlicesInfo(const cli_Parsed &line, const std::string &image) {
    bool asJson = cli_Flag(line, "--json");
    int fd = t_LockFile(image, false);
    int file = -1;
    long long size = 0;
    if (t_OpenRegularFile(image, file, size) != 0) {
        t_UnlockFile(fd);
        cli_Fail(image, "no such image file");
        return cli_Refused;
    }
    cpm_SliceTable table = cpm_FindSlicesIn(file, size);
    std::vector<cpm_SliceSummary> summaries;
    if (table.Error.empty())
        for (const cpm_Slice &s : table.Slices) summaries.push_back(cpm_SummariseSlice(file, s));
    close(file);
    t_UnlockFile(fd);
    if (!table.Error.empty()) {
        cli_Fail(image, table.Error);
        return cli_Refused;
    }
    if (asJson) {
        std::string partitions, slices;
        for (const cpm_Partition &p : table.Partitions)
            partitions += std::string(partitions.empty() ? "" : ", ") + "{\"entry\": " + std::to_string(p.Entry + 1) +
                          ", \"type\": " + std::to_string(p.Type) + ", \"offset\": " + std::to_string(p.Offset) +
                          ", \"bytes\": " + std::to_string(p.Bytes) + "}";
        for (size_t i = 0; i < table.Slices.size(); i++) {
            const cpm_Slice &s = table.Slices[i];
            const cpm_SliceSummary &m = summaries[i];
            slices += std::string(i ? ",\n  " : "\n  ") + "{\"slice\": " + std::to_string(i) +
                      ", \"offset\": " + std::to_string(s.Offset) + ", \"partition\": " + std::to_string(s.Partition + 1) +
                      ", \"definition\": " + cli_JsonString(m.Definition) + ", \"state\": " + cli_JsonString(cpm_SliceLabel(m)) +
                      ", \"files\": " + std::to_string(m.Files) + ", \"volumeKB\": " + std::to_string(m.VolumeKB) +
                      ", \"usedKB\": " + std::to_string(m.UsedKB) + ", \"freeKB\": " + std::to_string(m.VolumeKB - m.UsedKB) + "}";
        }
        cli_Out("{\"image\": " + cli_JsonString(image) + ", \"bytes\": " + std::to_string(size) +
                ", \"partitions\": [" + partitions + "], \"slices\": [" + slices + (slices.empty() ? "" : "\n") + "]}");
        return cli_Ok;
    }
    cli_Out("Image:        " + image + " (" + std::to_string(size) + " bytes)");
    if (!table.Table) cli_Out("Partitions:   none");
    for (const cpm_Partition &p : table.Partitions)
        cli_Out("Partition " + std::to_string(p.Entry + 1) + ":  type " + hex(p.Type) + ", sectors " +
                std::to_string(p.Offset / 512) + "-" + std::to_string((p.Offset + p.Bytes) / 512 - 1) + " (" +
                std::to_string(p.Bytes / 1024) + "K)");
    cli_Out("Slices:       " + std::to_string(table.Slices.size()) + " (use IMAGE@N)");
    for (size_t i = 0; i < table.Slices.size(); i++) {
        const cpm_SliceSummary &m = summaries[i];
        std::string used = m.State == cpm_SliceState::Files ? ", " + std::to_string(m.UsedKB) + "K used, " +
                                                                  std::to_string(m.VolumeKB - m.UsedKB) + "K free"
                                                            : "";
        cli_Out(padded("  " + std::to_string(i) + ":", 7) + padded(m.Definition.empty() ? "?" : m.Definition, 8) +
                " at " + std::to_string(table.Slices[i].Offset) + ": " + cpm_SliceLabel(m) + used +
                (m.VolumeKB > 0 ? " (" + std::to_string(m.VolumeKB) + "K)" : ""));
    }
    return cli_Ok;
}

int cli_NewSliced(const cli_Parsed &line, const std::string &count) {
    const cli_Args &args = line.Operands;
    std::string name = cli_FormatName(line);
    if (args.size() != 1 || count.empty() || count.size() > 5 || count.find_first_not_of("0123456789") != std::string::npos)
        return cli_UsageOf("new");
    Text image = cpm_NewSlicedImage(name, std::stoi(count));
    if (image.size() == 0) {
        cli_Fail(args[0], name + " cannot make " + count + " slices (a slice definition, 1 slice or more, at most 1 GiB in all)");
        return cli_Refused;
    }
    if (!cli_WriteNewImage(args[0], image, cli_Flag(line, "--force"))) return cli_Refused;
    cli_Out("Image of " + count + " " + name + " slices created: " + t_PathFileName(args[0]));
    return cli_Ok;
}
