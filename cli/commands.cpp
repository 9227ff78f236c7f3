// The command table, the parser over it, and the helpers every command uses.
#include <algorithm>
#include <cstring>

#include "cli.h"
#include "collection.h"
#include "image.h"
#include "volume.h"

const cli_Command cli_Commands[] = {
    {"info", "IMAGE [--json | --diskdef]", false, cli_Info, "--json --diskdef",
     "Shows the format, how it was recognised, the container (its creator, shape and unreadable sectors), the "
     "geometry and the space used; of an image of several slices, its partitions and every slice; --diskdef "
     "prints the definition it was read with in diskdefs form (an inferred one to keep in "
     "~/.config/diskwright/diskdefs).",
     "diskwright-cli info games.dsk"},
    {"ls", "IMAGE [-l] [--json] [--user N | --all]", false, cli_Ls, "-l --json --user=N --all",
     "Lists the directory of user area 0 (or N) as the D(irectory screen does; -l as L(ong Dir.; --all lists "
     "every user area that holds files.",
     "diskwright-cli ls -l --user 3 games.dsk"},
    {"formats", "", false, cli_Formats, nullptr,
     "Lists every known disk definition with its size and where it comes from.", "diskwright-cli formats"},
    {"get", "IMAGE [N:|*:]NAME|PATTERN [HOSTFILE|FOLDER] [--text] [--blocks] [-n]", false, cli_Get,
     "--text --blocks --trim -n --no-clobber",
     "Copies files out of the image, each as long as the directory says it is: one file to HOSTFILE or standard "
     "output, every match of a pattern into FOLDER; '*:PATTERN' into one subfolder per user area.",
     "diskwright-cli get games.dsk '*.BAS' basic/"},
    {"put", "IMAGE HOSTFILE... [--user N] [--as [N:]NAME] [--text] [--force]", true, cli_Put,
     "--user=N --as=NAME --text --force",
     "Copies host files into the image (user area 0, or N) under their names in CP/M form, or one under NAME; "
     "with --force a file of the name is replaced, and erased files of the name can no longer be unerased.",
     "diskwright-cli put --text games.dsk notes.txt"},
    {"rm", "IMAGE [N:]NAME|PATTERN|#N... [--force] [--password WORD]", true, cli_Rm, "--force --password=WORD",
     "Erases files: every entry of the file gets the user byte 0xE5 and its date stamps are cleared; #N erases "
     "directory entry N. A file marked read-only (R) is erased only with --force; a password-protected one "
     "with its --password or --force.",
     "diskwright-cli rm games.dsk '*.BAK'"},
    {"unrm", "IMAGE [N:]NAME|PATTERN|#N...", true, cli_Unrm, nullptr,
     "Unerases erased files whose blocks no other file has taken since, into user area N (0 when not given).", "diskwright-cli unrm games.dsk 'ZORK?.DAT'"},
    {"attr", "IMAGE [N:]NAME|PATTERN... [+R|-R] [+S|-S] [+A|-A] [--password WORD] [--force]", true, cli_Attr,
     "--password=WORD --force",
     "Sets (+) or clears (-) the read-only (R), system (S) and archived (A) attributes of files; a file "
     "protected against writing needs its --password or --force.",
     "diskwright-cli attr games.dsk '*.COM' +R -A", true},
    {"check", "IMAGE [--json]", false, cli_Check, "--json",
     "Checks the directory for damage; exit status 1 when it finds any.", "diskwright-cli check games.dsk"},
    {"sort", "IMAGE names|size asc|desc", true, cli_Sort, nullptr,
     "Sorts the directory as A(lphabetize does; erased files can no longer be unerased.",
     "diskwright-cli sort games.dsk names asc"},
    {"init", "IMAGE", true, cli_Init, nullptr, "Empties the volume: every file is gone.", "diskwright-cli init scratch.vol"},
    {"new", "IMAGE SIZE_KB [--force]   (64 to 2048, even)  |  new --format NAME [--slices N] IMAGE [--force]", false,
     cli_New, "--force --slices=N",
     "Makes a new, empty plain volume, or with --format an empty disk of that definition (0xE5 throughout), "
     "with --slices N a card image of N empty slices (hd1k: behind a partition table); "
     "an existing file is replaced only with --force.",
     "diskwright-cli new scratch.vol 1024"},
    {"convert", "[--to KIND] [--fill-unreadable] [--force] IN OUT", false, cli_Convert, "--to=KIND --fill-unreadable --force",
     "Writes the image IN again as OUT, a new image of another kind: raw (.img), do, po, 2mg, edsk, dsk (CPCEMU) or "
     "imd; the kind comes from OUT's extension unless --to names it (.dsk needs --to). Sectors that could not be "
     "read are refused for raw, do, po and 2mg unless --fill-unreadable fills them with 0xE5 (listed on standard "
     "error). An existing OUT is replaced only with --force.",
     "diskwright-cli convert games.imd games.edsk"},
    {"map", "IMAGE", false, cli_Map, nullptr, "Shows the block map as the S(ector Map screen does.",
     "diskwright-cli map games.dsk"},
    {"blocks", "IMAGE [N:]NAME|PATTERN", false, cli_Blocks, nullptr, "Shows the blocks of files.",
     "diskwright-cli blocks games.dsk ZORK1.DAT"},
    {"dump", "IMAGE [N:]NAME|PATTERN", false, cli_Dump, nullptr, "Shows files as a hexadecimal dump.",
     "diskwright-cli dump games.dsk ZORK1.COM"},
    {"type", "IMAGE [N:]NAME|PATTERN", false, cli_Type, nullptr, "Shows text files.", "diskwright-cli type games.dsk '*.DOC'"},
    {"label", "IMAGE [NAME] [--stamps create|access|none] [--update-stamps|--no-update-stamps] [--init-stamps] "
              "[--password WORD]",
     true, cli_Label, "--stamps=KIND --update-stamps --no-update-stamps --init-stamps --password=WORD",
     "Makes or changes the directory label: its name, which date stamps new and rewritten files get, and its "
     "password (which turns password protection on). --init-stamps first makes every fourth directory entry a "
     "date stamp entry, moving files out of those slots.",
     "diskwright-cli label --init-stamps --stamps create --update-stamps work.dsk WORK"},
    {"mount", "IMAGE FOLDER [--read-only] [--user N | --all] [-F|--foreground]", false, cli_Mount,
     "--read-only --user=N --all -F --foreground",
     "Shows the image's files in FOLDER (empty) until 'fusermount3 -u FOLDER': user areas as folders 0 to 15 "
     "(--all, the default when files lie in more than one), else user area N; names as CP/M stores them, a "
     "byte no host name holds as %XX; attributes and date stamps as user.cpm.* extended attributes. Changes are "
     "saved 2 seconds after the last write (at most 10 after the first), when a written file is closed and at "
     "unmount. Runs in the background unless -F.",
     "diskwright-cli mount games.dsk ~/games"},
    {"scan", "PATH... [--json | --json-lines] [--jobs N] [--all] [--cross-devices] [--db FILE]", false, cli_Scan,
     "--json --json-lines --jobs=N --all --cross-devices --db=FILE",
     "Walks the folders (symbolic links not followed, other file systems not entered unless --cross-devices) "
     "and shows every file that is a disk image, whatever its name: container, definition, files, space used "
     "and free, and its health (ok, damaged: N findings, not CP/M, unclear: A, B, unreadable: reason); then "
     "totals. Files that are no images are counted (--all lists them). --json-lines writes one object per image "
     "as each is read, in no set order; everything else comes in path order.",
     "diskwright-cli scan ~/disks"},
    {"find", "PATH... [N:|*:]NAME|PATTERN [--contains TEXT | --contains-hex HEX] [--json] [--jobs N] [--db FILE]", false, cli_Find,
     "--json --contains=TEXT --contains-hex=HEX --jobs=N --cross-devices --db=FILE",
     "Finds the files of that name or pattern in every image under the paths: image, user, name, size and the "
     "disk's date stamps where it keeps them; --contains only files whose bytes hold the text. Exit status 1 "
     "when none is found.",
     "diskwright-cli find ~/disks 'WS.COM'"},
    {"diff", "IMAGE_A IMAGE_B", false, cli_Diff, nullptr,
     "Compares the files of two images: only in A, only in B, same name with other bytes, identical. Exit "
     "status 0 when the files are the same, 1 when they differ, 2 when an image cannot be read.",
     "diskwright-cli diff old.dsk new.dsk"},
    {"dups", "PATH... [--json] [--jobs N] [--db FILE]", false, cli_Dups, "--json --jobs=N --cross-devices --db=FILE",
     "Groups the files that are the same bytes across every image under the paths, and the images that hold "
     "the same files.",
     "diskwright-cli dups ~/disks"},
    {"index", "[--db FILE] [--jobs N] [--cross-devices] PATH...", false, cli_Index, "--db=FILE --jobs=N --cross-devices",
     "Records every image under the paths, with its files, their hashes and their bytes, in an index (an SQLite "
     "database, by default ~/.cache/diskwright/index.sqlite) that find, dups and scan --json answer from with "
     "--db FILE. Again, it reads only images whose size or time changed and forgets those that are gone; -v lists "
     "what was added, changed and removed. Ctrl-C stops it, keeping every image indexed so far.",
     "diskwright-cli index --db ~/disks.sqlite ~/disks"},
    {"help", "[COMMAND]", false, cli_Help, nullptr, "Describes every command, or one.", "diskwright-cli help get"},
};
const int cli_CommandCount = int(sizeof cli_Commands / sizeof cli_Commands[0]);
const char *const cli_GlobalOptions =
    "-v --verbose -h --help --version -f=NAME --format=NAME --diskdefs=FILE --slice=N";

const cli_OptionHelp cli_OptionHelps[] = {
    {"-v, --verbose", "write the engine's diagnostic lines to standard output"},
    {"-f, --format NAME", "read the image with the named disk definition (see formats) instead of recognising it"},
    {"--diskdefs FILE", "add the definitions of a file in cpmtools' diskdefs format"},
    {"--slice N", "open slice N (from 0) of an image of several, as IMAGE@N does"},
    {"--slices N", "new: a card image of N empty slices of the definition (hd1k, hd512)"},
    {"-h, --help", "show the help (of the command, after its name)"},
    {"--version", "show the version"},
    {"-l", "long listing: size, bytes, entry, attributes, extensions; protection and dates where the disk keeps them"},
    {"--json", "one JSON document for scripts instead of the text"},
    {"--text", "text file: CR LF to LF up to the first Control-Z (get), LF to CR LF (put)"},
    {"--blocks", "copy the file's whole blocks, as T(ransfer does, instead of its size"},
    {"--trim", "copy the file's size (the default; kept for scripts)"},
    {"-n, --no-clobber", "skip host files that exist"},
    {"--as NAME", "store the one host file under NAME (N:NAME: in user area N)"},
    {"--user N", "the user area (0 to 15): ls lists it, put writes into it"},
    {"--all", "list every user area that holds files (mount: a folder for each)"},
    {"--read-only", "mount: refuse every change"},
    {"-F, --foreground", "mount: stay in the foreground, the log on standard error"},
    {"--all", "ls: list every user area that holds files; scan: list the files that are no images too"},
    {"--json-lines", "scan: one JSON object a line per image, written as each is read"},
    {"--jobs N", "scan, find, dups, index: images read at once, by that many threads (default: the number of cores)"},
    {"--cross-devices", "scan, find, dups, index: enter folders on other file systems too"},
    {"--contains TEXT", "find: only files whose bytes hold the text"},
    {"--contains-hex HEX", "find: only files whose bytes hold these bytes, in hexadecimal"},
    {"--diskdef", "info: the definition the image is read with, in diskdefs form"},
    {"--to KIND", "convert: the kind of image to write (raw, do, po, 2mg, edsk, dsk, imd, woz, nib)"},
    {"--fill-unreadable", "convert: fill sectors that could not be read with 0xE5 where the kind cannot mark them"},
    {"--force", "new, convert, put: replace an existing file (put: also beside an erased file of the name); rm: erase read-only files too; rm, attr: change password-protected files without their password"},
    {"--password WORD", "rm, attr: the password of protected files; label: the label's new password (turns passwords on)"},
    {"--stamps KIND", "label: the first date stamp of new files: create, access or none"},
    {"--update-stamps", "label: new and rewritten files get an update stamp"},
    {"--no-update-stamps", "label: no update stamps"},
    {"--db FILE", "index: the index to write; find, dups, scan: answer from it instead of reading the images"},
    {"--init-stamps", "label: make every fourth directory entry a date stamp entry (files move out of those slots)"},
};
const int cli_OptionHelpCount = int(sizeof cli_OptionHelps / sizeof cli_OptionHelps[0]);
const cli_Command *cli_FindCommand(const std::string &name) {
    for (int i = 0; i < cli_CommandCount; i++)
        if (name == cli_Commands[i].Name) return &cli_Commands[i];
    return nullptr;
}

// The spelling of `option` in the space-separated list, with "=PLACEHOLDER"
// when it takes a value; "" when the list does not have it.
static std::string optionSpec(const char *list, const std::string &option) {
    if (!list) return "";
    std::string all = list;
    for (size_t at = 0; at < all.size();) {
        size_t end = all.find(' ', at);
        if (end == std::string::npos) end = all.size();
        std::string entry = all.substr(at, end - at);
        if (entry.substr(0, entry.find('=')) == option) return entry;
        at = end + 1;
    }
    return "";
}

// "+R", "-RS", "+a": an attribute change of attr.
static bool attributeWord(const std::string &w) {
    return w.size() >= 2 && (w[0] == '+' || w[0] == '-') &&
           w.find_first_not_of("RSArsa", 1) == std::string::npos;
}

cli_Parsed cli_Parse(const std::vector<std::string> &words) {
    cli_Parsed p;
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); i++) {
        const std::string &w = words[i];
        bool optionShaped = w.size() > 1 && w[0] == '-' && !(p.Command && p.Command->AttributeWords && attributeWord(w));
        if (!optionsEnded && w == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !optionShaped) {
            if (p.Command) {
                p.Operands.push_back(w);
                continue;
            }
            p.Command = cli_FindCommand(w);
            if (!p.Command) {
                p.Error = "unknown command '" + w + "'";
                return p;
            }
            optionsEnded = false;   // "--" before the command word ends only the global options
            continue;
        }
        size_t eq = w.rfind("--", 0) == 0 ? w.find('=') : std::string::npos;
        std::string name = w.substr(0, eq);
        std::string entry = optionSpec(cli_GlobalOptions, name);
        if (entry.empty() && p.Command) entry = optionSpec(p.Command->Options, name);
        if (entry.empty()) {
            p.Error = "unknown option '" + name + "'" + (p.Command ? std::string(" for ") + p.Command->Name : "");
            return p;
        }
        bool takesValue = entry.find('=') != std::string::npos;
        std::string value;
        if (takesValue && eq != std::string::npos) {
            value = w.substr(eq + 1);
        } else if (takesValue) {
            if (i + 1 >= words.size()) {
                p.Error = "option '" + name + "' needs a value";
                return p;
            }
            value = words[++i];
        } else if (eq != std::string::npos) {
            p.Error = "option '" + name + "' takes no value";
            return p;
        }
        p.Options.emplace_back(name, value);
    }
    return p;
}

bool cli_Flag(const cli_Parsed &line, const char *flag) {
    return std::any_of(line.Options.begin(), line.Options.end(), [&](const auto &o) { return o.first == flag; });
}

bool cli_Option(const cli_Parsed &line, const char *option, std::string &value) {
    bool present = false;
    for (const auto &o : line.Options)
        if (o.first == option) {
            value = o.second;   // the last one given counts
            present = true;
        }
    return present;
}

std::string cli_FormatName(const cli_Parsed &line) {
    std::string name;
    for (const auto &[option, value] : line.Options)   // the last one given counts
        if (option == "-f" || option == "--format") name = value;
    return name;
}

void cli_Fail(const std::string &image, const std::string &reason) { cli_Err("diskwright-cli: " + image + ": " + reason); }

bool cli_Open(const cli_Parsed &line, const std::string &path, cpm_Volume &volume) {
    if (cli_BadSliceOption(line)) return false;
    volume = cpm_LoadVolume(cli_SlicePath(line, path), cli_FormatName(line));
    if (volume.Path.empty()) {
        cli_Fail(path, "no such image file");
        return false;
    }
    if (!volume.Notice.empty()) cli_Err("diskwright-cli: " + volume.Notice);
    if (!cli_SliceOpened(line, path, volume)) return false;
    if (volume.Refusal.empty()) return true;
    cli_Fail(path, volume.Refusal);
    // Nothing in it to read.
    if (volume.RefusalKind == cpm_RefusalKind::TooShort || volume.RefusalKind == cpm_RefusalKind::Uninflated) return false;
    cli_ErrCandidates(volume);
    return !(line.Command && line.Command->Changes);
}

bool cli_Save(cpm_Volume &volume) {
    if (!volume.Changed) return true;
    if (!volume.Refusal.empty()) return false;   // never written: refused when it was opened
    std::string given = volume.Path, file;
    std::string refusal = cli_HeldImageRefusal(given, file);
    if (!refusal.empty()) {
        cli_Err("diskwright-cli: " + refusal);
        return false;
    }
    volume.Path = file;   // the file locked, not what a link names by now
    cpm_SaveVolumeResult saved = cpm_SaveVolume(std::move(volume));
    volume = std::move(saved.Volume);
    volume.Path = given;
    if (saved.Message.empty()) return true;
    // Not written at all, or written with its folder not flushed.
    cli_Fail(given, volume.Changed ? "image could not be saved: " + saved.Message : saved.Message);
    return false;
}
