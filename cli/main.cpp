// diskwright-cli: command-line access to CP/M volume images through the
// same engine as the volume manager.  See cli_Commands for the commands.
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "volume.h"

void cli_Out(const std::string &line) {
    fwrite(line.data(), 1, line.size(), stdout);
    fputc('\n', stdout);
}

void cli_Err(const std::string &line) {
    fflush(stdout);
    fprintf(stderr, "%s\n", line.c_str());
}

static void usage(FILE *to) {
    fprintf(to, "usage: diskwright-cli [-v] COMMAND ARGUMENTS\n\ncommands:\n");
    for (int i = 0; i < cli_CommandCount; i++)
        fprintf(to, "  %-7s %s\n", cli_Commands[i].Name, cli_Commands[i].Synopsis);
    fprintf(to,
            "\n-v writes the engine's diagnostic lines to standard output.\n"
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
