// diskwright-cli: command-line access to CP/M volume images through the
// same engine as the volume manager.  See cli_Commands for the commands.
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "cli.h"
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

void cli_Out(const std::string &line) {
    std::string shown = cli_Shown(line, 1);
    fwrite(shown.data(), 1, shown.size(), stdout);
    fputc('\n', stdout);
}

void cli_Err(const std::string &line) {
    fflush(stdout);
    fprintf(stderr, "%s\n", cli_Shown(line, 2).c_str());
}

static void usage(FILE *to) {
    fprintf(to, "usage: diskwright-cli [-v] COMMAND ARGUMENTS\n\ncommands:\n");
    for (int i = 0; i < cli_CommandCount; i++)
        fprintf(to, "  %-7s %s\n", cli_Commands[i].Name, cli_Commands[i].Synopsis);
    fprintf(to,
            "\n-v writes the engine's diagnostic lines to standard output.\n"
            "N:NAME names a file of user area N (0 to 15); a bare NAME is user 0's.\n"
            "get '*' copies user 0's files, 'N:*' user N's, '*:*' every user's into folders 0, 1, ...\n"
            "get replaces host files as cp does; -n (--no-clobber) skips those that exist.\n"
            "new refuses an existing file unless --force is given.\n"
            "Exit status: 0 success, 1 refused or failed, 2 usage.\n");
}

int cli_UsageOf(const char *command) {
    for (int i = 0; i < cli_CommandCount; i++)
        if (strcmp(cli_Commands[i].Name, command) == 0)
            fprintf(stderr, "usage: diskwright-cli %s %s\n", command, cli_Commands[i].Synopsis);
    return cli_Usage;
}

int main(int argc, char **argv) {
    static char outBuffer[1 << 16];
    setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
    bool verbose = false;
    cli_Args words;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-v") == 0 || strcmp(argv[i], "--verbose") == 0) verbose = true;
        else if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0) {
            usage(stdout);
            return cli_Ok;
        } else words.push_back(argv[i]);
    }
    cpm_SetDiagnostics(verbose);
    if (words.empty()) {
        usage(stderr);
        return cli_Usage;
    }
    for (int i = 0; i < cli_CommandCount; i++) {
        if (words[0] != cli_Commands[i].Name) continue;
        cli_Changing = cli_Commands[i].Changes;
        int status = cli_Commands[i].Run(cli_Args(words.begin() + 1, words.end()));
        fflush(stdout);
        return status;
    }
    fprintf(stderr, "diskwright-cli: unknown command '%s'\n", words[0].c_str());
    usage(stderr);
    return cli_Usage;
}
