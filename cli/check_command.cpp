// check: the engine's consistency report, as lines or as JSON.
#include "check.h"
#include "cli.h"
#include "directory.h"
#include "listing.h"

int cli_Check(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    bool asJson = cli_Flag(line, "--json");
    if (args.size() != 1) return cli_UsageOf("check");
    cpm_Volume v;
    if (!cli_OpenToRead(line, args[0], v)) return cli_Refused;
    cpm_CheckReport report = cpm_CheckVolume(v);
    if (asJson) {
        cli_Out(cli_CheckJson(v, report));
    } else {
        for (const cpm_Finding &f : report.Findings)
            cli_Out("#" + std::to_string(f.Entry) + " " + cpm_DisplayString(cpm_EntryName(v, f.Entry)) + ": " + f.Message);
        size_t n = report.Findings.size();
        std::string counted = std::to_string(report.Files) + " files in " + std::to_string(report.Entries) + " directory entries.";
        cli_Out(n == 0 ? "No problems found: " + counted
                       : std::to_string(n) + (n == 1 ? " problem" : " problems") + " found: " + counted);
    }
    return report.Findings.empty() ? cli_Ok : cli_Refused;
}
