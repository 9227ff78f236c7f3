// The answers of find, dups and scan --json from the index (--db FILE): the
// surveys read back from the database instead of from the images, and a
// note when the images changed since they were indexed.
#include <sys/stat.h>

#include <algorithm>
#include <thread>

#include "index_db.h"
#include "index_paths.h"

int cli_JobsOption(const cli_Parsed &line) {
    std::string value;
    if (!cli_Option(line, "--jobs", value)) return std::max(1, int(std::thread::hardware_concurrency()));
    char *end = nullptr;
    long jobs = strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || jobs < 1 || jobs > 1024) {
        cli_Err("diskwright-cli: --jobs " + value + ": not a number of threads (1 to 1024)");
        return 0;
    }
    return int(jobs);
}

std::string cli_ShownIndexPath(const std::string &key, const std::vector<std::string> &operands,
                               const std::vector<std::string> &roots) {
    for (size_t i = 0; i < roots.size() && i < operands.size(); i++) {
        const std::string &root = roots[i];
        if (key == root) return operands[i];
        bool under = root == "/" ? key.size() > 1 : key.compare(0, root.size(), root) == 0 && key.size() > root.size() && key[root.size()] == '/';
        if (!under) continue;
        std::string rest = key.substr(root == "/" ? 1 : root.size() + 1);
        const std::string &operand = operands[i];
        return operand.back() == '/' ? operand + rest : operand + "/" + rest;
    }
    return key;
}

// Path order as a walk gives it: folder by folder, names in byte order
// (so "a/b/c" before "a/b.c").
static bool walkOrder(const std::string &a, const std::string &b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return (x == '/' ? 0 : uint8_t(x) + 1) < (y == '/' ? 0 : uint8_t(y) + 1);
    });
}

static std::string listed(const std::vector<std::string> &paths) {
    std::string out;
    for (size_t i = 0; i < paths.size() && i < 3; i++) out += (i ? ", " : "") + paths[i];
    if (paths.size() > 3) out += " and " + std::to_string(paths.size() - 3) + " more";
    return out;
}

// The indexed files that are gone or changed since, said on standard error.
static void noteOlder(const std::string &dbPath, const std::vector<cpm_Survey> &surveys,
                      const std::vector<std::string> &keys) {
    std::vector<std::string> changed, gone;
    for (size_t i = 0; i < surveys.size(); i++) {
        struct stat st;
        if (lstat(keys[i].c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            gone.push_back(surveys[i].Path);
            continue;
        }
        int64_t modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (uint64_t(st.st_size) != surveys[i].FileSize || modified != surveys[i].ModifiedNs)
            changed.push_back(surveys[i].Path);
    }
    if (changed.empty() && gone.empty()) return;
    std::string line = "diskwright-cli: " + dbPath + ": the index is older than " +
                       std::to_string(changed.size() + gone.size()) + " of its " + std::to_string(surveys.size()) +
                       " files (";
    if (!changed.empty()) line += "changed: " + listed(changed);
    if (!gone.empty()) line += std::string(changed.empty() ? "" : "; ") + "gone: " + listed(gone);
    cli_Err(line + "); 'diskwright-cli index' brings it up to date");
}

static bool openIndex(const cli_Parsed &line, cli_IndexDb &db) {
    std::string dbPath;
    cli_Option(line, "--db", dbPath);
    std::string error = cli_IndexOpen(db, dbPath, false);
    if (error.empty()) return true;
    cli_Err("diskwright-cli: " + error);
    cli_IndexClose(db);
    return false;
}

int cli_IndexedSurveys(const cli_Parsed &line, const std::vector<std::string> &operands, std::vector<cpm_Survey> &surveys) {
    cli_IndexDb db;
    if (!openIndex(line, db)) return cli_Refused;
    std::vector<std::string> roots;
    for (const std::string &p : operands) roots.push_back(cli_IndexKey(p));
    std::string error = cli_IndexSurveys(db, roots, surveys);
    std::string dbPath = db.Path;
    cli_IndexClose(db);
    if (!error.empty()) {
        cli_Err("diskwright-cli: " + error);
        return cli_Refused;
    }
    std::vector<std::string> keys;
    for (cpm_Survey &s : surveys) {
        keys.push_back(s.Path);
        s.Path = cli_ShownIndexPath(s.Path, operands, roots);
    }
    noteOlder(dbPath, surveys, keys);
    std::vector<size_t> order(surveys.size());
    for (size_t i = 0; i < order.size(); i++) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return walkOrder(surveys[a].Path, surveys[b].Path); });
    std::vector<cpm_Survey> sorted;
    sorted.reserve(surveys.size());
    for (size_t i : order) sorted.push_back(std::move(surveys[i]));
    surveys = std::move(sorted);
    return cli_Ok;
}

int cli_IndexedContaining(const cli_Parsed &line, const std::string &needle, std::set<std::string> &hashes) {
    cli_IndexDb db;
    if (!openIndex(line, db)) return cli_Refused;
    std::string error = cli_IndexContaining(db, needle, hashes);
    cli_IndexClose(db);
    if (error.empty()) return cli_Ok;
    cli_Err("diskwright-cli: " + error);
    return cli_Refused;
}
