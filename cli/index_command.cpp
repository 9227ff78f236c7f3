// index [--db FILE] [--jobs N] PATH...: records every host file under the
// paths in the collection index, reading only those whose size or time
// changed since the index last saw them.
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <dirent.h>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "cli.h"
#include "index_db.h"
#include "index_paths.h"
#include "progress.h"
#include "survey.h"
#include "volume.h"

namespace {

// The regular files under the paths, in path order: folders entered
// recursively, symbolic links not followed, other file systems not entered.
void walkFolder(const std::string &folder, dev_t device, std::vector<std::string> &files) {
    DIR *d = opendir(folder.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    std::string prefix = folder.back() == '/' ? folder : folder + "/";
    for (const std::string &name : names) {
        std::string path = prefix + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) continue;
        if (S_ISREG(st.st_mode)) files.push_back(path);
        else if (S_ISDIR(st.st_mode) && st.st_dev == device) walkFolder(path, device, files);
    }
}

std::vector<std::string> walk(const std::vector<std::string> &paths) {
    std::vector<std::string> files;
    for (const std::string &p : paths) {
        struct stat st;
        if (stat(p.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) walkFolder(p, st.st_dev, files);
        else if (S_ISREG(st.st_mode)) files.push_back(p);
    }
    return files;
}

// Surveys the paths with `jobs` threads and hands each survey to `take` on
// this thread, in path order.  Each thread holds one image at a time and runs
// at most a few images ahead of `take`, so memory stays bounded.  Stops when
// `take` says so or on Ctrl-C.
void surveyInOrder(const std::vector<std::string> &paths, int jobs, const std::function<bool(cpm_Survey &)> &take) {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::optional<cpm_Survey>> done(paths.size());
    size_t next = 0, taken = 0;
    bool stop = false;
    const size_t ahead = size_t(jobs) * 2;
    auto worker = [&] {
        for (;;) {
            std::unique_lock<std::mutex> held(lock);
            changed.wait(held, [&] { return stop || next >= paths.size() || next < taken + ahead; });
            if (stop || next >= paths.size()) return;
            size_t i = next++;
            held.unlock();
            cpm_Survey survey = cpm_SurveyImage(paths[i], {true});
            held.lock();
            done[i] = std::move(survey);
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < jobs && t < int(paths.size()); t++) threads.emplace_back(worker);
    for (size_t i = 0; i < paths.size() && !cli_Interrupted(); i++) {
        std::optional<cpm_Survey> survey;
        {
            std::unique_lock<std::mutex> held(lock);
            changed.wait(held, [&] { return done[i].has_value(); });
            survey = std::move(done[i]);
            done[i].reset();
            taken = i + 1;
            changed.notify_all();
        }
        if (!take(*survey)) break;
    }
    {
        std::lock_guard<std::mutex> held(lock);
        stop = true;
    }
    changed.notify_all();
    for (std::thread &t : threads) t.join();
}

// What a run did, for its summary line.
struct Counts {
    long Files = 0, Indexed = 0;   // Indexed: images committed by this run
    long Added = 0, Changed = 0, Removed = 0, Unchanged = 0;
};

}   // namespace

int cli_Index(const cli_Parsed &line) {
    const cli_Args &paths = line.Operands;
    if (paths.empty()) return cli_UsageOf("index");
    int jobs = cli_JobsOption(line);
    if (jobs <= 0) return cli_Usage;
    std::string dbPath = cli_DefaultIndexPath();
    cli_Option(line, "--db", dbPath);
    bool verbose = cpm_Diagnostics();
    cpm_SetDiagnostics(false);   // -v lists what changed; the engine's own lines would come from every thread
    for (const std::string &p : paths) {
        struct stat st;
        if (stat(p.c_str(), &st) != 0) {
            cli_Fail(p, "No such file or folder");
            return cli_Refused;
        }
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
    cli_CatchInterrupt();

    // What the index has at the same size and time is not read again.
    std::vector<std::string> files = walk(paths);
    std::vector<std::string> toRead;
    std::map<std::string, struct stat> stats;
    std::set<std::string> present;
    Counts counts;
    counts.Files = long(files.size());
    for (const std::string &f : files) {
        std::string key = cli_IndexKey(f);
        if (!present.insert(key).second) continue;
        struct stat st;
        if (lstat(f.c_str(), &st) != 0) continue;
        auto k = known.find(key);
        if (k != known.end() && k->second.Size == uint64_t(st.st_size) &&
            k->second.ModifiedNs == int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec) {
            counts.Unchanged++;
            continue;
        }
        toRead.push_back(f);
        stats[f] = st;
    }

    long seen = counts.Unchanged;
    surveyInOrder(toRead, jobs, [&](cpm_Survey &survey) {
        cli_ProgressShow(++seen, counts.Files, survey.Path);
        std::string shown = survey.Path;
        const struct stat &st = stats[shown];
        if (!survey.IsImage || (survey.FileSize == 0 && survey.ModifiedNs == 0)) {
            survey.FileSize = uint64_t(st.st_size);
            survey.ModifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        }
        survey.Path = cli_IndexKey(shown);
        auto k = known.find(survey.Path);
        const char *what = nullptr;
        if (k != known.end() && !survey.ImageHash.empty() && k->second.Hash == survey.ImageHash) {
            error = cli_IndexTouch(db, survey.Path, survey.FileSize, survey.ModifiedNs);
            counts.Unchanged++;
        } else {
            error = cli_IndexStore(db, survey);
            what = k == known.end() ? "added" : "changed";
            (k == known.end() ? counts.Added : counts.Changed)++;
        }
        if (!error.empty()) return false;
        if (survey.IsImage && what) counts.Indexed++;
        if (verbose && what) {
            cli_ProgressClear();
            cli_Out(std::string(what) + " " + shown);
        }
        return true;
    });
    cli_ProgressClear();

    std::vector<std::string> gone;
    if (error.empty() && !cli_Interrupted()) {
        for (const auto &k : known)
            if (!present.count(k.first)) gone.push_back(k.first);
        if (!gone.empty()) error = cli_IndexDrop(db, gone);
        if (error.empty()) counts.Removed = long(gone.size());
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
    return cli_Ok;
}
