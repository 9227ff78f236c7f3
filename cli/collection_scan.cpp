// scan: one line per image under the paths, with its health, then totals.
#include <cstdio>

#include "collection_survey.h"
#include "index_answers.h"

namespace {

struct Totals {
    long Images = 0, Ok = 0, Damaged = 0, Unclear = 0, NotCpm = 0, Unreadable = 0, Files = 0, Others = 0;

    void count(const cpm_Survey &s) {
        if (!s.IsImage) {
            Others++;
            return;
        }
        Images++;
        Files += s.FileCount;
        if (s.Health == "ok") Ok++;
        else if (s.Health.rfind("damaged", 0) == 0) Damaged++;
        else if (s.Health.rfind("unclear", 0) == 0) Unclear++;
        else if (s.Health == "not CP/M") NotCpm++;
        else Unreadable++;
    }
};

std::string plural(long n, const char *one, const char *many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

std::string skippedJson(const cli_Skipped &s) {
    return "{\"path\": " + cli_JsonString(s.Path) + ", \"why\": " + cli_JsonString(s.Why) + "}";
}

}  // namespace

int cli_Scan(const cli_Parsed &line) {
    bool asJson = cli_Flag(line, "--json"), asLines = cli_Flag(line, "--json-lines"), all = cli_Flag(line, "--all");
    if (line.Operands.empty() || (asJson && asLines)) return cli_UsageOf("scan");
    cli_CollectionOptions options = cli_CollectionOptionsOf(line);
    if (options.Jobs < 0) return cli_UsageOf("scan");
    options.Ordered = !asLines;
    options.Hashes = asJson || asLines;   // the lines show no hashes: nothing but the directory is read
    cli_Walk walk;
    if (!cli_OpenCollection(line, line.Operands, options, walk)) return cli_Refused;
    cli_ReportProblems(walk);
    Totals totals;
    std::vector<std::string> others;   // --json --all: the files that are no images
    bool first = true;
    if (asJson) cli_Out("{\"images\": [");
    cli_SurveyCollection(walk, options, nullptr, [&](cli_Surveyed &r) {
        for (cpm_Survey &s : r.Surveys) {
            totals.count(s);
            if (!s.IsImage) {
                if (!all) continue;
                if (asJson) others.push_back("{\"path\": " + cli_JsonString(s.Path) + ", \"why\": " + cli_JsonString(s.NotImage) + "}");
                else if (!asLines) cli_Out(s.Path + ": not an image (" + s.NotImage + ")");
                continue;
            }
            if (asJson) {
                cli_Out((first ? "  " : ", ") + cli_SurveyJson(s));
                first = false;
            } else if (asLines) {
                cli_Out(cli_SurveyJson(s));
                fflush(stdout);   // for the reader at the other end of the pipe, as each finishes
            } else {
                cli_Out(cli_SurveyLine(s));
            }
        }
    });
    if (asLines) return cli_AnyProblem(walk) ? cli_Refused : cli_Ok;
    if (asJson) {
        std::string skipped, otherList;
        for (const cli_Skipped &s : walk.Skipped) skipped += (skipped.empty() ? "" : ", ") + skippedJson(s);
        for (const std::string &o : others) otherList += (otherList.empty() ? "" : ", ") + o;
        cli_Out("], \"others\": [" + otherList + "], \"skipped\": [" + skipped + "],");
        cli_Out(" \"totals\": {\"images\": " + std::to_string(totals.Images) + ", \"ok\": " + std::to_string(totals.Ok) +
                ", \"damaged\": " + std::to_string(totals.Damaged) + ", \"unclear\": " + std::to_string(totals.Unclear) +
                ", \"notCpm\": " + std::to_string(totals.NotCpm) + ", \"unreadable\": " + std::to_string(totals.Unreadable) +
                ", \"files\": " + std::to_string(totals.Files) + ", \"others\": " + std::to_string(totals.Others) +
                ", \"skipped\": " + std::to_string(walk.Skipped.size()) + "}}");
    } else {
        if (all)
            for (const cli_Skipped &s : walk.Skipped) cli_Out(s.Path + ": skipped (" + s.Why + ")");
        cli_Out(plural(totals.Images, "image", "images") + ": " + std::to_string(totals.Ok) + " ok, " +
                std::to_string(totals.Damaged) + " damaged, " + std::to_string(totals.Unclear) + " unclear, " +
                std::to_string(totals.NotCpm) + " not CP/M, " + std::to_string(totals.Unreadable) + " unreadable; " +
                plural(totals.Files, "file", "files") + "; " + plural(totals.Others, "other file", "other files") + "; " +
                std::to_string(walk.Skipped.size()) + " skipped.");
    }
    return cli_AnyProblem(walk) ? cli_Refused : cli_Ok;
}
