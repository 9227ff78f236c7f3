// Surveying a collection: every file the walk found, each by one thread of
// the pool, the further slices of a file of several with it; and the lines
// and JSON objects that show one survey.
#include "collection_survey.h"

#include <malloc.h>

#include <cstdio>

#include "progress.h"

cli_CollectionOptions cli_CollectionOptionsOf(const cli_Parsed &line) {
    cli_CollectionOptions o;
    o.Jobs = cli_JobsOption(line);
    o.CrossDevices = cli_Flag(line, "--cross-devices");
    return o;
}

void cli_SurveyCollection(const cli_Walk &walk, const cli_CollectionOptions &options,
                          const std::function<void(cli_Surveyed &)> &reduce, const std::function<void(cli_Surveyed &)> &each) {
    if (options.Indexed) {
        for (std::vector<cpm_Survey> &group : *options.Indexed) {
            cli_Surveyed r;
            r.Surveys = std::move(group);
            if (reduce) reduce(r);
            each(r);
        }
        return;
    }
    // Image after image allocates and frees blocks of the same few sizes:
    // kept by the allocator instead of given back to the system and faulted
    // in (and zeroed) again for the next image.  The pool bounds how many.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    std::vector<cli_Surveyed> results(walk.Files.size());
    size_t shown = 0;
    cpm_SurveyOptions surveyOptions;
    surveyOptions.WithBytes = options.WithBytes;
    surveyOptions.Hashes = options.Hashes;
    t_PoolRun run;
    run.Count = walk.Files.size();
    run.Jobs = options.Jobs;
    run.Ordered = options.Ordered;
    run.Stop = options.Stop;
    t_RunPool(
        run,
        [&](size_t k) {
            cli_Surveyed &r = results[k];
            r.Surveys.push_back(cpm_SurveyImage(walk.Files[k], surveyOptions));
            for (const std::string &slice : cli_SlicePaths(walk.Files[k], r.Surveys[0].Slices))
                r.Surveys.push_back(cpm_SurveyImage(slice, surveyOptions));
            if (reduce) reduce(r);
        },
        [&](size_t k) {
            cli_ProgressShow(long(++shown), long(walk.Files.size()), walk.Files[k]);
            each(results[k]);
            results[k] = cli_Surveyed();   // done with: its memory goes back
        });
    cli_ProgressClear();
}

std::string cli_SurveyLine(const cpm_Survey &s) {
    std::string line = s.Path + ": ";
    if (!s.Container.empty()) line += s.Container + ", ";
    bool read = s.Health == "ok" || s.Health.rfind("damaged", 0) == 0 || s.Health.rfind("unclear", 0) == 0;
    if (read) {
        if (!s.Definition.empty()) line += s.Definition + ", ";
        line += std::to_string(s.FileCount) + (s.FileCount == 1 ? " file, " : " files, ");
        line += std::to_string(s.UsedKB) + "K used, " + std::to_string(s.FreeKB) + "K free, ";
    }
    return line + s.Health;
}

std::string cli_SurveyFileName(const cpm_SurveyFile &f) { return std::to_string(f.User) + ":" + f.Name; }

std::string cli_SurveyFileJson(const cpm_SurveyFile &f) {
    auto stamp = [](const std::string &text) { return text.empty() ? std::string("null") : cli_JsonString(text); };
    return "{\"user\": " + std::to_string(f.User) + ", \"name\": " + cli_JsonString(f.Name) +
           ", \"size\": " + std::to_string(f.Size) + ", \"attributes\": " + cli_JsonString(f.Attributes) +
           ", \"created\": " + stamp(f.Created) + ", \"updated\": " + stamp(f.Updated) + ", \"accessed\": " +
           stamp(f.Accessed) + ", \"hash\": " + cli_JsonString(f.Hash) + "}";
}

std::string cli_SurveyJson(const cpm_Survey &s) {
    std::string files;
    for (const cpm_SurveyFile &f : s.Files) files += (files.empty() ? "" : ", ") + cli_SurveyFileJson(f);
    std::string out = "{\"path\": " + cli_JsonString(s.Path) + ", \"container\": " + cli_JsonString(s.Container) +
                      ", \"definition\": " + cli_JsonString(s.Definition) + ", \"health\": " + cli_JsonString(s.Health) +
                      ", \"fileCount\": " + std::to_string(s.FileCount) + ", \"usedKB\": " + std::to_string(s.UsedKB) +
                      ", \"freeKB\": " + std::to_string(s.FreeKB) + ", \"size\": " + std::to_string(s.FileSize) +
                      ", \"modifiedNs\": " + std::to_string(s.ModifiedNs) + ", \"hash\": " + cli_JsonString(s.ImageHash);
    if (s.Slices > 0) out += ", \"slices\": " + std::to_string(s.Slices);
    return out + ", \"files\": [" + files + "]}";
}

void cli_ReportProblems(const cli_Walk &walk) {
    for (const cli_Skipped &s : walk.Skipped)
        if (s.Problem) cli_Fail(s.Path, s.Why);
}

bool cli_AnyProblem(const cli_Walk &walk) {
    for (const cli_Skipped &s : walk.Skipped)
        if (s.Problem) return true;
    return false;
}
