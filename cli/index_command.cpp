// index [--db FILE] [--jobs N] PATH...: records every host file under the
// paths in the collection index, reading only those whose size or time
// changed since the index last saw them.
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>

#include "cli.h"
#include "collection_survey.h"
#include "index_answers.h"
#include "index_db.h"
#include "progress.h"
#include "volume.h"

namespace {

int64_t modifiedNs(const struct stat &st) { return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec; }

bool under(const std::string &path, const std::string &folder) {
    return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

// What a run did, for its summary line.
struct Counts {
    long Files = 0;
    long Added = 0, Changed = 0, Removed = 0, Unchanged = 0;
    long Indexed = 0;   // images committed by this run
};

}   // namespace

int cli_Index(const cli_Parsed &line) {
    const cli_Args &paths = line.Operands;
    if (paths.empty()) return cli_UsageOf("index");
    cli_CollectionOptions options = cli_CollectionOptionsOf(line);
    if (options.Jobs < 0) return cli_UsageOf("index");
    options.WithBytes = true;   // kept for --contains
    options.Stop = cli_StopFlag();
    std::string dbPath = cli_DefaultIndexPath();
    cli_Option(line, "--db", dbPath);
    bool verbose = cpm_Diagnostics();
    cpm_SetDiagnostics(false);   // -v lists what changed; the engine's own lines would come from every thread

    cli_Walk walk = cli_WalkPaths(paths, options.CrossDevices);
    if (cli_AnyProblem(walk) && walk.Files.empty()) {
        cli_ReportProblems(walk);
        return cli_Refused;
    }
    cli_IndexDb db;
    std::string error = cli_IndexOpen(db, dbPath, true);
    std::vector<std::string> roots;
    for (const std::string &p : paths) roots.push_back(cli_IndexKey(p));
    std::map<std::string, cli_IndexedFile> known;
    if (error.empty()) error = cli_IndexKnown(db, roots, known);
    if (!error.empty()) {
        cli_Err("diskwright-cli: " + error);
        cli_IndexClose(db);
        return cli_Refused;
    }
    cli_ReportProblems(walk);
    cli_CatchInterrupt();

    // What the index has at the same size and time is not read again (nor
    // the further slices recorded with it).
    Counts counts;
    counts.Files = long(walk.Files.size());
    cli_Walk toRead;
    std::map<std::string, struct stat> stats;
    std::set<std::string> present;
    for (const std::string &f : walk.Files) {
        std::string key = cli_IndexKey(f);
        present.insert(key);
        struct stat st;
        if (stat(f.c_str(), &st) != 0) continue;
        auto k = known.find(key);
        if (k != known.end() && k->second.Size == uint64_t(st.st_size) && k->second.ModifiedNs == modifiedNs(st)) {
            counts.Unchanged++;
            for (auto s = known.upper_bound(key + "@"); s != known.end() && s->first.rfind(key + "@", 0) == 0; ++s)
                present.insert(s->first);
            continue;
        }
        toRead.Files.push_back(f);
        stats[f] = st;
    }

    cli_SurveyCollection(toRead, options, nullptr, [&](cli_Surveyed &r) {
        if (!error.empty()) return;
        for (cpm_Survey &survey : r.Surveys) {
            std::string shown = survey.Path;
            const struct stat &st = stats[cli_SliceFile(shown)];
            if (!survey.IsImage) {   // what the index compares next time
                survey.FileSize = uint64_t(st.st_size);
                survey.ModifiedNs = modifiedNs(st);
            }
            survey.Path = cli_IndexKey(shown);
            present.insert(survey.Path);
            auto k = known.find(survey.Path);
            const char *what = nullptr;
            if (k != known.end() && !survey.ImageHash.empty() && k->second.Hash == survey.ImageHash) {
                error = cli_IndexTouch(db, survey.Path, survey.FileSize, survey.ModifiedNs);
            } else {
                error = cli_IndexStore(db, survey);
                what = k == known.end() ? "added" : "changed";
            }
            if (!error.empty()) return cli_StopRun();
            if (survey.Path != cli_IndexKey(cli_SliceFile(shown))) continue;   // a further slice: counted with its file
            if (!what) counts.Unchanged++;
            else (k == known.end() ? counts.Added : counts.Changed)++;
            if (what && survey.IsImage) counts.Indexed++;
            if (verbose && what) cli_Out(std::string(what) + " " + shown);
        }
    });

    // Gone: what the index has under the paths that the walk did not find,
    // except under a folder that could not be read this time.
    std::vector<std::string> gone;
    if (error.empty() && !cli_Interrupted()) {
        std::vector<cli_Skipped> skipped = walk.Skipped;
        std::vector<std::string> unreadable;
        for (cli_Skipped &k : skipped) {
            k.Path = cli_IndexKey(k.Path);
            if (k.Problem) unreadable.push_back(k.Path);
        }
        for (const auto &k : known) {
            bool kept = present.count(k.first) ||
                        std::any_of(unreadable.begin(), unreadable.end(), [&](const std::string &u) { return under(k.first, u); });
            if (!kept) gone.push_back(k.first);
        }
        if (!gone.empty()) error = cli_IndexDrop(db, gone);
        if (error.empty()) error = cli_IndexStoreSkipped(db, roots, skipped);
        for (const std::string &g : gone)
            if (g.find('@') == std::string::npos || !present.count(cli_SliceFile(g))) counts.Removed++;
    }
    cli_IndexClose(db);
    if (!error.empty()) {
        cli_Err("diskwright-cli: " + error);
        return cli_Refused;
    }
    if (cli_Interrupted()) {
        cli_Err("interrupted: " + std::to_string(counts.Indexed) + " images indexed");
        return cli_InterruptedStatus;
    }
    if (verbose)
        for (const std::string &g : gone) cli_Out("removed " + cli_ShownIndexPath(g, paths, roots));
    cli_Out("indexed " + std::to_string(counts.Files) + " files into " + dbPath + ": " + std::to_string(counts.Added) +
            " added, " + std::to_string(counts.Changed) + " changed, " + std::to_string(counts.Removed) +
            " removed, " + std::to_string(counts.Unchanged) + " unchanged");
    return cli_AnyProblem(walk) ? cli_Refused : cli_Ok;
}
