// diskwright-cli: command-line access to CP/M volume images through the
// same engine as the volume manager.  See cli_Commands for the commands.
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "cli.h"
#include "progress.h"
#include "volume.h"

std::string cli_Shown(const std::string &line, int fd) {
    static const bool terminal[3] = {false, isatty(1) == 1, isatty(2) == 1};
    if (fd < 1 || fd > 2 || !terminal[fd]) return line;
    std::string out;
    for (size_t i = 0; i < line.size(); i++) {
        unsigned char c = (unsigned char)line[i];
        unsigned char next = i + 1 < line.size() ? (unsigned char)line[i + 1] : 0;
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            out += '^';
            out += char(c ^ 0x40);
        } else if (c == 0xC2 && next >= 0x80 && next < 0xA0) {   // U+0080..U+009F, the C1 controls
            out += "M-^";
            out += char((next - 0x80) ^ 0x40);
            i++;
        } else {
            out += char(c);
        }
    }
    return out;
}

// The first error of a write to standard output (0: none yet); nothing more
// is written after it.
static int outError = 0;

static void noteOutError() {
    if (outError == 0) outError = errno != 0 ? errno : EIO;
}

void cli_WriteOut(const void *bytes, size_t size) {
    if (outError == 0 && fwrite(bytes, 1, size, stdout) != size) noteOutError();
}

void cli_Out(const std::string &line) {
    cli_ProgressClear();
    std::string shown = cli_Shown(line, 1) + "\n";
    cli_WriteOut(shown.data(), shown.size());
}

void cli_Err(const std::string &line) {
    cli_ProgressClear();
    if (outError == 0 && fflush(stdout) != 0) noteOutError();
    fprintf(stderr, "%s\n", cli_Shown(line, 2).c_str());
}

// Standard output flushed and closed: a write that failed (a full disk,
// /dev/full) fails the run, never a cut copy with status 0.
static int finished(int status) {
    if (outError == 0 && fflush(stdout) != 0) noteOutError();
    if (fclose(stdout) != 0 && outError == 0) noteOutError();
    if (outError == 0) return status;
    fprintf(stderr, "diskwright-cli: standard output: %s\n", strerror(outError));
    return cli_Refused;
}

// The image operand of a command that reads or changes an image is looked at
// before anything opens it: a pipe, socket or device is refused at once
// instead of waited on.
static bool notRegularImage(const cli_Parsed &parsed) {
    const cli_Command &c = *parsed.Command;
    if (c.Run == cli_Help || c.Run == cli_Formats || c.Run == cli_New || cli_OverCollection(c) || parsed.Operands.empty())
        return false;
    struct stat st;
    const std::string &image = parsed.Operands[0];
    if (stat(image.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return false;
    cli_Fail(image, "not a regular file");
    return true;
}

static void usage(FILE *to) {
    fprintf(to, "usage: diskwright-cli [-v] [-f FORMAT] [--diskdefs FILE] COMMAND [OPTIONS] ARGUMENTS\n\ncommands:\n");
    for (int i = 0; i < cli_CommandCount; i++)
        fprintf(to, "  %-7s %s\n", cli_Commands[i].Name, cli_Commands[i].Synopsis);
    fprintf(to,
            "\nOptions may stand before or after the arguments; -- ends the options (a CP/M\n"
            "name may begin with -).  NAME is a CP/M name; a PATTERN holds * or ? (quote it\n"
            "for the shell): *.COM, PIP.*, ???.TXT; without a point it matches any type.\n"
            "N:NAME and N:PATTERN name files of user area N (0 to 15); a bare NAME is user 0's;\n"
            "*:PATTERN matches in every user area.\n"
            "get '*' copies user 0's files, 'N:*' user N's, '*:*' every user's into folders 0, 1, ...\n"
            "-v writes the engine's diagnostic lines to standard output.\n"
            "get replaces host files as cp does; -n (--no-clobber) skips those that exist.\n"
            "A HOSTFILE of - is standard output for get, standard input for put (with --as NAME).\n"
            "new refuses an existing file unless --force is given.\n"
            "-f (--format) reads the image with that disk definition (see formats) instead of\n"
            "recognising it; --diskdefs adds the definitions of a file in cpmtools' diskdefs format.\n"
            "Exit status: 0 success, 1 refused or failed (check: damage found), 2 usage.\n"
            "'diskwright-cli help COMMAND' describes one command; man diskwright-cli, all.\n");
}

// The help text of one option, "" when there is none.
static const char *optionText(const std::string &option) {
    for (int i = 0; i < cli_OptionHelpCount; i++) {
        std::string names = cli_OptionHelps[i].Option;
        for (size_t at = 0; at < names.size();) {
            size_t end = names.find_first_of(", ", at);
            if (end == std::string::npos) end = names.size();
            if (names.substr(at, end - at) == option) return cli_OptionHelps[i].Text;
            at = names.find('-', end);
            if (at == std::string::npos) break;
        }
    }
    return "";
}

void cli_CommandHelp(const cli_Command &c, FILE *to) {
    fprintf(to, "usage: diskwright-cli %s %s\n", c.Name, c.Synopsis);
    if (c.Summary) fprintf(to, "\n%s\n", c.Summary);
    if (c.Options) {
        fprintf(to, "\noptions:\n");
        std::string all = c.Options;
        for (size_t at = 0; at < all.size();) {
            size_t end = all.find(' ', at);
            if (end == std::string::npos) end = all.size();
            std::string entry = all.substr(at, end - at);
            size_t eq = entry.find('=');
            std::string shown = eq == std::string::npos ? entry : entry.substr(0, eq) + " " + entry.substr(eq + 1);
            fprintf(to, "  %-16s %s\n", shown.c_str(), optionText(entry.substr(0, eq)));
            at = end + 1;
        }
    }
    if (c.Example) fprintf(to, "\nexample:\n  %s\n", c.Example);
}

int cli_UsageOf(const char *command) {
    if (const cli_Command *c = cli_FindCommand(command))
        fprintf(stderr, "usage: diskwright-cli %s %s\n", command, c->Synopsis);
    return cli_Usage;
}

int cli_Help(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    if (args.empty()) {
        usage(stdout);
        return cli_Ok;
    }
    const cli_Command *c = args.size() == 1 ? cli_FindCommand(args[0]) : nullptr;
    if (!c) {
        fprintf(stderr, "diskwright-cli: help: unknown command '%s'\n", args[0].c_str());
        return cli_Usage;
    }
    cli_CommandHelp(*c, stdout);
    return cli_Ok;
}

static bool hasOption(const cli_Parsed &p, const char *a, const char *b) {
    for (const auto &o : p.Options)
        if (o.first == a || o.first == b) return true;
    return false;
}

static int run(int argc, char **argv) {
    cli_Parsed parsed = cli_Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.Error.empty()) {
        fprintf(stderr, "diskwright-cli: %s\n", parsed.Error.c_str());
        if (parsed.Command) cli_UsageOf(parsed.Command->Name);
        else fprintf(stderr, "Try 'diskwright-cli --help'.\n");
        return cli_Usage;
    }
    if (hasOption(parsed, "--version", "--version")) {
        printf("diskwright-cli %s\n", DW_VERSION);
        return cli_Ok;
    }
    if (hasOption(parsed, "-h", "--help")) {
        if (parsed.Command && parsed.Command->Run != cli_Help) cli_CommandHelp(*parsed.Command, stdout);
        else usage(stdout);
        return cli_Ok;
    }
    if (!parsed.Command) {
        usage(stderr);
        return cli_Usage;
    }
    cpm_SetDiagnostics(hasOption(parsed, "-v", "--verbose"));
    if (notRegularImage(parsed)) return cli_Refused;
    if (!cli_LoadFormats(parsed)) return cli_Usage;
    return parsed.Command->Run(parsed);
}

int main(int argc, char **argv) {
    static char outBuffer[1 << 16];
    setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
    // A file size limit (ulimit -f) makes a write fail instead of killing
    // the run half-way through a save.
    signal(SIGXFSZ, SIG_IGN);
    return finished(run(argc, argv));
}
