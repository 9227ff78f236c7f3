// The answers of find, dups and scan from the index (--db FILE): the surveys
// read back from the database instead of from the images, and a note when
// the images changed since they were indexed.
#include "index_answers.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>

#include "index_db.h"

std::string cli_ShownIndexPath(const std::string &key, const std::vector<std::string> &operands,
                               const std::vector<std::string> &roots) {
    for (size_t i = 0; i < roots.size() && i < operands.size(); i++) {
        const std::string &root = roots[i];
        if (key == root) return operands[i];
        bool under = root == "/" ? key.size() > 1
                                 : key.compare(0, root.size(), root) == 0 && key.size() > root.size() && key[root.size()] == '/';
        if (!under) continue;
        std::string rest = key.substr(root == "/" ? 1 : root.size() + 1);
        const std::string &operand = operands[i];
        return operand.back() == '/' ? operand + rest : operand + "/" + rest;
    }
    return key;
}

namespace {

std::string listed(const std::vector<std::string> &paths) {
    std::string out;
    for (size_t i = 0; i < paths.size() && i < 3; i++) out += (i ? ", " : "") + paths[i];
    if (paths.size() > 3) out += " and " + std::to_string(paths.size() - 3) + " more";
    return out;
}

// The indexed host files that are gone or changed since, said on standard
// error (a stat each: cheap next to reading them).  `files`: shown path, key,
// size and time recorded.
struct Recorded {
    std::string Shown, Key;
    uint64_t Size;
    int64_t ModifiedNs;
};
void noteOlder(const std::string &dbPath, const std::vector<Recorded> &files) {
    std::vector<std::string> changed, gone;
    for (const Recorded &r : files) {
        struct stat st;
        if (lstat(r.Key.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            gone.push_back(r.Shown);
            continue;
        }
        int64_t modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (uint64_t(st.st_size) != r.Size || modified != r.ModifiedNs) changed.push_back(r.Shown);
    }
    if (changed.empty() && gone.empty()) return;
    std::string line = "diskwright-cli: " + dbPath + ": the index is older than " +
                       std::to_string(changed.size() + gone.size()) + " of its " + std::to_string(files.size()) +
                       " files (";
    if (!changed.empty()) line += "changed: " + listed(changed);
    if (!gone.empty()) line += std::string(changed.empty() ? "" : "; ") + "gone: " + listed(gone);
    cli_Err(line + "); 'diskwright-cli index' brings it up to date");
}

// The index's surveys under the roots, one group per host file: the file,
// then its further slices ("FILE@1", ...).  Paths stay absolute.
std::vector<std::vector<cpm_Survey>> grouped(std::vector<cpm_Survey> surveys) {
    std::map<std::string, size_t> byPath;
    for (size_t i = 0; i < surveys.size(); i++) byPath[surveys[i].Path] = i;
    std::set<size_t> slices;
    for (const cpm_Survey &s : surveys)
        for (const std::string &p : cli_SlicePaths(s.Path, s.Slices))
            if (auto at = byPath.find(p); at != byPath.end()) slices.insert(at->second);
    std::vector<std::vector<cpm_Survey>> groups;
    for (size_t i = 0; i < surveys.size(); i++) {
        if (slices.count(i)) continue;
        std::vector<cpm_Survey> group;
        for (const std::string &p : cli_SlicePaths(surveys[i].Path, surveys[i].Slices))
            if (auto at = byPath.find(p); at != byPath.end()) group.push_back(std::move(surveys[at->second]));
        group.insert(group.begin(), std::move(surveys[i]));
        groups.push_back(std::move(group));
    }
    return groups;
}

}  // namespace

bool cli_OpenCollection(const cli_Parsed &line, const std::vector<std::string> &operands, cli_CollectionOptions &options,
                        cli_Walk &walk, const std::string &contains, const std::function<bool(const cpm_SurveyFile &)> &named) {
    std::string dbPath;
    if (!cli_Option(line, "--db", dbPath)) {
        walk = cli_WalkPaths(operands, options.CrossDevices);
        return true;
    }
    std::vector<std::string> roots;
    for (const std::string &p : operands) roots.push_back(cli_IndexKey(p));
    cli_IndexDb db;
    std::vector<cpm_Survey> surveys;
    std::set<std::string> holding;
    std::string error = cli_IndexOpen(db, dbPath, false);
    if (error.empty()) error = cli_IndexSurveys(db, roots, surveys, named);
    if (error.empty()) error = cli_IndexSkipped(db, roots, walk.Skipped);
    std::vector<std::string> skippedKeys;
    for (const cli_Skipped &k : walk.Skipped) skippedKeys.push_back(k.Path);
    if (error.empty() && !contains.empty()) error = cli_IndexContaining(db, contains, holding);
    for (cpm_Survey &s : surveys)
        for (cpm_SurveyFile &f : s.Files)
            if (error.empty() && holding.count(f.Hash)) error = cli_IndexBytes(db, f.Hash, f.Bytes);
    cli_IndexClose(db);
    if (!error.empty()) {
        cli_Err("diskwright-cli: " + error);
        return false;
    }

    std::vector<Recorded> recorded;
    for (cpm_Survey &s : surveys) {
        std::string shown = cli_ShownIndexPath(s.Path, operands, roots);
        recorded.push_back({shown, cli_SliceFile(s.Path), s.FileSize, s.ModifiedNs});
        s.Path = shown;
    }
    std::vector<Recorded> files;   // a file of several slices is looked at once
    std::set<std::string> keys;
    for (const Recorded &r : recorded)
        if (keys.insert(r.Key).second) files.push_back(r);
    noteOlder(dbPath, files);
    for (cli_Skipped &k : walk.Skipped) k.Path = cli_ShownIndexPath(k.Path, operands, roots);
    // An operand the index knows nothing under is a problem, as a missing one is to a walk.
    for (size_t i = 0; i < operands.size(); i++) {
        auto known = [&](const std::string &key) { return key == roots[i] || key.rfind(roots[i] == "/" ? "/" : roots[i] + "/", 0) == 0; };
        bool any = std::any_of(recorded.begin(), recorded.end(), [&](const Recorded &r) { return known(r.Key); }) ||
                   std::any_of(skippedKeys.begin(), skippedKeys.end(), known);
        if (!any) walk.Skipped.push_back({operands[i], "nothing under it in the index " + dbPath, true});
    }

    // In the walk's order: its paths sorted as text, a file named twice once.
    std::vector<std::vector<cpm_Survey>> groups = grouped(std::move(surveys));
    std::stable_sort(groups.begin(), groups.end(), [](const auto &a, const auto &b) { return a[0].Path < b[0].Path; });
    groups.erase(std::unique(groups.begin(), groups.end(), [](const auto &a, const auto &b) { return a[0].Path == b[0].Path; }),
                 groups.end());
    std::stable_sort(walk.Skipped.begin(), walk.Skipped.end(), [](const cli_Skipped &a, const cli_Skipped &b) { return a.Path < b.Path; });
    walk.Files.clear();
    for (const auto &g : groups) walk.Files.push_back(g[0].Path);
    options.Indexed = std::make_shared<std::vector<std::vector<cpm_Survey>>>(std::move(groups));
    return true;
}
