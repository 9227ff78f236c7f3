// Commands that read an image: info, ls, map, blocks, dump, type, get.
// dump, type and get to standard output give out what they read a piece at
// a time instead of building the whole output first.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "attributes.h"
#include "cli.h"
#include "codecs.h"
#include "definitions.h"
#include "directory.h"
#include "diskdef_text.h"
#include "files.h"
#include "hexdump.h"
#include "host_batch.h"
#include "listing.h"
#include "read.h"
#include "sector_map.h"
#include "sector_orders.h"
#include "shape.h"
#include "slices.h"
#include "user_areas.h"
#include "volume.h"

// The output pieces: whole 16-byte rows of the dump, whole blocks of files.
constexpr size_t pieceBytes = 1 << 16;

static void printLines(const std::vector<std::string> &lines) {
    for (const std::string &line : lines) cli_Out(line);
}

int cli_Info(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    bool asJson = cli_Flag(line, "--json");
    if (args.size() != 1) return cli_UsageOf("info");
    // A file of several slices, none named: the partitions and every slice.
    std::string path = cli_SlicePath(line, args[0]);
    if (cli_FormatName(line).empty() && t_FileExists(path) == 1 && cpm_SlicedPath(path)) return cli_SlicesInfo(line, path);
    cpm_Volume v;
    if (!cli_OpenToRead(line, args[0], v)) return cli_Refused;
    if (asJson) {
        cli_Out(cli_InfoJson(v));
        return cli_Ok;
    }
    if (cli_Flag(line, "--diskdef")) {
        std::string text = cpm_DiskdefText(v.Geometry, v.Definition);
        if (text.empty()) {
            cli_Fail(args[0], "read as the built-in format " + v.Definition + ", which has no diskdefs form");
            return cli_Refused;
        }
        cli_Out(text.substr(0, text.size() - 1));
        return cli_Ok;
    }
    cli_Out("Format:       " + v.Geometry.Name);
    const cpm_Definition *definition = cpm_FindDefinition(v.Definition);
    cli_Out("Definition:   " + v.Definition + (definition ? " (" + definition->Source + ")" : ""));
    cli_Out("Container:    " + cpm_ContainerName(v.Medium));
    // What the container says of the disk, one "Key: value" note a line, aligned.
    for (const std::string &note : v.Medium.Notes) {
        size_t colon = note.find(": ");
        std::string key = note.substr(0, std::min(colon, note.size())) + ":";
        cli_Out("  " + key + std::string(key.size() < 12 ? 12 - key.size() : 1, ' ') + (colon == std::string::npos ? "" : note.substr(colon + 2)));
    }
    for (const std::string &medium : cpm_MediumLines(v.Medium)) cli_Out(medium);
    if (v.Medium.Members.size() > 1)
        for (const std::string &member : v.Medium.Members)
            cli_Out("Image:        " + member + (member == v.Medium.Member ? " (opened)" : ""));
    cli_Out(std::string("Order:        ") + cpm_SectorOrderOf(v.Order).Name);
    cli_Out("Decided by:   " + v.Decision);
    if (v.SliceCount > 0)
        cli_Out("Slice:        " + std::to_string(v.Slice) + " of " + std::to_string(v.SliceCount) + " at byte " +
                std::to_string(v.SliceOffset));
    if (!v.Refusal.empty()) cli_Out("Refused:      " + v.Refusal);
    cli_Out("DataStart:    " + std::to_string(v.Geometry.DataStart));
    cli_Out("BlockSize:    " + std::to_string(v.Geometry.BlockSize));
    cli_Out("DirBlocks:    " + std::to_string(v.Geometry.DirBlocks));
    cli_Out("DirEntries:   " + std::to_string(v.Geometry.DirEntries));
    cli_Out("VolumeKB:     " + std::to_string(v.VolumeKB));
    cli_Out("UsedKB:       " + std::to_string(v.UsedKB));
    cli_Out("FreeKB:       " + std::to_string(v.VolumeKB - v.UsedKB));
    cli_Out("Blocks:       " + std::to_string(cpm_BlockCount(v)));
    cli_Out(std::string("BlockNumbers: ") + (cpm_WideBlocks(v) ? "16-bit" : "8-bit"));
    printLines(cli_LabelLines(v));
    for (const std::string &reading : v.Readings) cli_Out("Candidate:    " + reading);
    return cli_Ok;
}

int cli_Ls(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    bool longList = cli_Flag(line, "-l");
    bool asJson = cli_Flag(line, "--json");
    bool all = cli_Flag(line, "--all");
    std::string userText;
    bool hasUser = cli_Option(line, "--user", userText);
    if (args.size() != 1 || (all && hasUser)) return cli_UsageOf("ls");
    int user = hasUser ? cli_UserOption(userText) : 0;
    if (user < 0) return cli_UsageOf("ls");
    cpm_Volume v;
    if (!cli_OpenToRead(line, args[0], v)) return cli_Refused;
    std::vector<int> users = all ? cpm_UsersWithFiles(v) : std::vector<int>{user};
    if (users.empty()) users.push_back(0);   // nothing anywhere: user 0's empty listing
    if (asJson) {
        cli_Out(cli_ListingJson(v, users));
        return cli_Ok;
    }
    for (size_t k = 0; k < users.size(); k++) {
        if (users[k] != v.User) v = cpm_SelectUser(std::move(v), users[k]);
        if (all) {
            if (k > 0) cli_Out("");
            cli_Out("User " + std::to_string(users[k]) + ":");
        }
        printLines(cpm_DirectoryLines(v, longList ? cpm_ExactLongListing : cpm_ShortListing));
    }
    return cli_Ok;
}

int cli_Map(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    if (args.size() != 1) return cli_UsageOf("map");
    cpm_Volume v;
    if (!cli_OpenToRead(line, args[0], v)) return cli_Refused;
    printLines(cpm_SectorMapLines(v));
    return cli_Ok;
}

// The files of one typed name or pattern ("N:" for user area N, "*:" for
// every one), each given to `show` with its user area in turn; a pattern
// puts a line with the name before each.
template <typename Show> static int eachFile(const cli_Parsed &line, const char *command, Show show) {
    const cli_Args &args = line.Operands;
    if (args.size() != 2) return cli_UsageOf(command);
    cli_Name name = cli_ParseName(args[1]);
    if (!name.Valid) {
        cli_BadName(args[1]);
        return cli_Usage;
    }
    cpm_Volume v;
    if (!cli_OpenToRead(line, args[0], v)) return cli_Refused;
    std::vector<cli_Match> matches = cli_Matches(args[0], v, name);
    if (matches.empty()) return cli_Refused;
    bool headings = cli_IsPattern(v, name);
    for (const cli_Match &m : matches) {
        if (headings) cli_Out(cli_MatchHeading(m));
        show(v, m.File.Name, m.User);
    }
    return cli_Ok;
}

int cli_Blocks(const cli_Parsed &line) {
    // The B(locks screen finds names as stored: a file with attribute bits in
    // its type bytes is not found there, and is refused here the same way.
    bool refused = false;
    int status = eachFile(line, "blocks", [&](const cpm_Volume &v, const Text &name, int user) {
        std::vector<std::string> lines = cpm_BlocksLines(v, name, 80, user);
        if (!lines.empty() && lines.back() == cpm_DisplayString(name) + " not found") {
            cli_Fail(line.Operands[0], lines.back());
            refused = true;
        } else {
            printLines(lines);
        }
    });
    return refused ? cli_Refused : status;
}

// The dump of a piece at `offset` in the file: the engine's lines with the
// offset of the piece added to each line's own.
static void dumpPiece(const Text &piece, size_t offset) {
    for (std::string line : cpm_HexdumpLines(piece)) {
        char at[16];
        snprintf(at, sizeof at, "%08llX", (unsigned long long)(std::stoull(line.substr(0, 8), nullptr, 16) + offset) & 0xFFFFFFFFull);
        cli_Out(at + line.substr(8));
    }
}

static Text slice(const Text &data, size_t from, size_t to) {
    return Text(std::vector<uint8_t>(data.Elements.begin() + long(from), data.Elements.begin() + long(to)));
}

int cli_Dump(const cli_Parsed &line) {
    return eachFile(line, "dump", [](const cpm_Volume &v, const Text &name, int user) {
        cli_NoteReadProtected(v, name, user);
        Text data = cpm_LoadFile(v, name, user).Data;
        for (size_t at = 0; at < data.size(); at += pieceBytes) dumpPiece(slice(data, at, std::min(data.size(), at + pieceBytes)), at);
    });
}

// The text of the data up to the file's size or the first Control-Z, shown
// a piece at a time: each piece ends after a line end (never between CR and
// LF), so that the engine's text lines come out as they would for the whole.
static void typePieces(const Text &data, long long size) {
    size_t end = 0, length = size_t(std::clamp<long long>(size, 0, (long long)data.size()));
    while (end < length && data[end] != 0x1A) end++;
    auto lineEnd = [&](size_t k) {
        uint8_t b = data[k] & 0x7F;
        return b == 0x0A || (b == 0x0D && k + 1 < end && (data[k + 1] & 0x7F) != 0x0A);
    };
    size_t start = 0;
    while (start < end) {
        size_t cut = end;
        if (end - start > pieceBytes) {
            cut = start + pieceBytes;
            while (cut > start && !lineEnd(cut - 1)) cut--;
            if (cut == start) {   // one line longer than a piece: up to its end
                cut = start + pieceBytes;
                while (cut < end && !lineEnd(cut - 1)) cut++;
            }
        }
        printLines(cpm_TypeLines(slice(data, start, cut)));
        start = cut;
    }
}

int cli_Type(const cli_Parsed &line) {
    return eachFile(line, "type", [](const cpm_Volume &v, const Text &name, int user) {
        cli_NoteReadProtected(v, name, user);
        cpm_FileData file = cpm_LoadFile(v, name, user);
        typePieces(file.Data, file.Size);
    });
}

// Says which blocks of the file could not be read (the rest is still
// copied); true when there were any.
static bool unreadable(const std::string &image, const cpm_FileData &file) {
    for (int b : file.Unreadable) cli_Fail(image, cpm_DisplayString(file.Name) + ": block " + std::to_string(b) + " unreadable.");
    return !file.Unreadable.empty();
}

// The file's data cut to its size, or its whole blocks.
static Text trimmed(const cpm_FileData &file, bool wholeBlocks) {
    if (wholeBlocks || file.Size >= (long long)file.Data.size()) return file.Data;
    return slice(file.Data, 0, size_t(file.Size));
}

// The host form of a file's data: its size (or whole blocks), and as host
// text with --text, which always stops at the size.
static Text hostData(const cpm_FileData &file, bool wholeBlocks, bool text) {
    Text data = trimmed(file, wholeBlocks && !text);
    if (!text) return data;
    cpm_TextReading reading;
    return cpm_HostText(reading, data.data(), data.size(), true);
}

// Says how one host copy went: err is what the write gave (0: saved).  With
// noClobber an existing name is skipped.  False when it could not be written.
static bool saidHost(const std::string &image, const std::string &path, int err, const Text &name, bool noClobber) {
    if (err == EEXIST && noClobber) {
        cli_Out(cpm_DisplayString(name) + " exists: skipped.");
        return true;
    }
    if (err == 0) {
        cli_Out(cpm_DisplayString(name) + " saved as " + path);
        return true;
    }
    if (t_SavedButNotFlushed(err)) {
        cli_Fail(image, path + ": " + t_ErrorText(err));
        return false;
    }
    cli_Fail(image, cpm_DisplayString(name) + " could not be saved as " + path + ": " + t_ErrorText(err));
    return false;
}

// Writes one host copy: a temporary file renamed into place, never through a
// link or into a pipe or device at the name.
static bool writeHost(const std::string &image, const std::string &path, const Text &data, const Text &name, bool noClobber) {
    int err = t_WriteFile(path, data, t_WriteHostCopy | (noClobber ? t_WriteNoReplace : 0));
    return saidHost(image, path, err, name, noClobber);
}

struct GetOptions {
    bool Blocks = false, NoClobber = false, Text = false;
};

// One match of a copy into a folder, told once the batch is finished.
struct FolderCopy {
    std::string FolderFailure;   // a user area's subfolder that could not be made, before this file
    bool Skipped = false;        // its subfolder is missing
    int User = 0;
    Text Matched;                // the name as matched
    cpm_FileData Read;           // its name and unreadable blocks (the data is in the batch)
    size_t Index = 0;            // in the batch
};

// Every match into the folder, as T(ransfer "*" does: names that meet on the
// host get "~1", "~2", ... within the copy.  With perUser each user area's
// files go into a subfolder named by its number ("0", "5").  The files are
// written as one batch, then the lines are given in the order of the matches.
static int getInto(const std::string &image, const cpm_Volume &v, const std::vector<cli_Match> &matches,
                   const std::string &folder, bool perUser, GetOptions o) {
    std::string target = folder.back() == '/' ? folder : folder + "/";
    std::vector<std::string> used;
    int madeFor = -1;   // the user area whose subfolder files go into now
    bool subfolderMissing = false;
    t_HostBatch batch;
    std::vector<FolderCopy> copies;
    for (const cli_Match &m : matches) {
        FolderCopy c;
        std::string into = target;
        if (perUser) {
            into = target + std::to_string(m.User) + "/";
            if (m.User != madeFor) {
                madeFor = m.User;
                used.clear();
                std::string sub = target + std::to_string(m.User);
                subfolderMissing = mkdir(sub.c_str(), 0777) != 0 && (errno != EEXIST || t_FileExists(sub) != 2);
                if (subfolderMissing) c.FolderFailure = sub + ": folder could not be made: " + t_ErrorText(errno);
            }
            c.Skipped = subfolderMissing;
        }
        c.User = m.User;
        c.Matched = m.File.Name;
        if (!c.Skipped) {
            c.Read = cpm_LoadFile(v, m.File.Name, m.User);
            std::string host = cpm_UniqueHostName(cpm_HostName(c.Read.Name), used);
            c.Index = t_BatchAdd(batch, into + host, hostData(c.Read, o.Blocks, o.Text),
                                 t_WriteHostCopy | (o.NoClobber ? t_WriteNoReplace : 0));
            c.Read.Data = Text();
        }
        copies.push_back(std::move(c));
    }
    t_BatchFinish(batch);
    int status = cli_Ok;
    for (const FolderCopy &c : copies) {
        if (!c.FolderFailure.empty()) {
            cli_Fail(image, c.FolderFailure);
            status = cli_Refused;
        }
        if (c.Skipped) continue;
        cli_NoteReadProtected(v, c.Matched, c.User);
        const t_BatchFile &f = batch.Files[c.Index];
        if (!saidHost(image, f.Path, f.Result, c.Read.Name, o.NoClobber) || unreadable(image, c.Read)) status = cli_Refused;
    }
    return status;
}

// The number of listed files outside user area 0.
static int filesBeyondUserZero(const cpm_Volume &v) {
    int files = 0;
    for (int user : cpm_UsersWithFiles(v))
        if (user != 0)
            for (int size : cpm_LoadDirectory(v, user).Sizes) files += size >= 0;
    return files;
}

// One file to standard output, a block at a time.
static void getToOutput(const cpm_FileData &file, GetOptions o) {
    Text data = trimmed(file, o.Blocks && !o.Text);
    cpm_TextReading reading;
    for (size_t at = 0; at < data.size() && !reading.Ended; at += pieceBytes) {
        size_t n = std::min(pieceBytes, data.size() - at);
        if (!o.Text) {
            cli_WriteOut(data.data() + at, n);
            continue;
        }
        Text text = cpm_HostText(reading, data.data() + at, n, at + n == data.size());
        cli_WriteOut(text.data(), text.size());
    }
}

int cli_Get(const cli_Parsed &line) {
    cli_Args args = line.Operands;
    GetOptions o;
    // --trim asks for the file's size, which is what get copies anyway.
    bool trim = cli_Flag(line, "--trim");
    o.Blocks = cli_Flag(line, "--blocks");
    o.Text = cli_Flag(line, "--text");
    o.NoClobber = cli_Flag(line, "-n") || cli_Flag(line, "--no-clobber");
    if (args.size() == 3 && args[2] == "-") args.pop_back();   // "-" is standard output
    if ((args.size() != 2 && args.size() != 3) || (trim && o.Blocks)) return cli_UsageOf("get");
    const std::string &image = args[0];
    bool intoFolder = args.size() == 3 && t_FileExists(args[2]) == 2;
    cli_Name name = cli_ParseName(args[1]);
    if (!name.Valid) {
        cli_BadName(args[1]);
        return cli_UsageOf("get");
    }
    cpm_Volume v;
    if (!cli_OpenToRead(line, image, v)) return cli_Refused;
    bool pattern = cli_IsPattern(v, name);
    if (pattern && args.size() == 3 && !intoFolder) {
        cli_Fail(image, args[2] + ": no such folder");
        return cli_Refused;
    }
    std::vector<cli_Match> matches = cli_Matches(image, v, name);
    if (matches.empty()) return cli_Refused;
    if (intoFolder) {
        int status = getInto(image, v, matches, args[2], name.User == cli_EveryUser, o);
        // "*" copies user area 0's files only: say what it leaves behind.
        int others = args[1] == "*" ? filesBeyondUserZero(v) : 0;
        if (others > 0) cli_Err(std::to_string(others) + " files in other user areas not copied (use '*:*').");
        return status;
    }
    if (matches.size() > 1) {
        cli_Fail(image, args[1] + " matches " + std::to_string(matches.size()) + " files: name a FOLDER to copy them into");
        return cli_Refused;
    }
    cli_NoteReadProtected(v, matches[0].File.Name, matches[0].User);
    cpm_FileData file = cpm_LoadFile(v, matches[0].File.Name, matches[0].User);
    if (args.size() == 3) {
        bool written = writeHost(image, args[2], hostData(file, o.Blocks, o.Text), file.Name, o.NoClobber);
        return written && !unreadable(image, file) ? cli_Ok : cli_Refused;
    }
    getToOutput(file, o);
    return unreadable(image, file) ? cli_Refused : cli_Ok;
}
