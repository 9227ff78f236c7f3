// The index of a collection: an SQLite database of every host file found
// under the paths indexed (images and the files in them, and which are no
// image), so find, dups and scan --json answer without reading the images.
//
// Paths in the database are absolute.  Each image's rows are written in one
// transaction, so a run that stops keeps every image it committed, and two
// runs at once take turns through the database's own locking.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "collection.h"
#include "survey.h"

struct sqlite3;
struct sqlite3_stmt;

struct cli_IndexDb {
    sqlite3 *Db = nullptr;
    std::string Path;
    // The statements of the index, prepared once when the database is opened.
    std::map<std::string, sqlite3_stmt *> Statements;
};

// Where an index lives when --db names none: ~/.cache/diskwright/index.sqlite.
std::string cli_DefaultIndexPath();

// Opens the index (to write: made with its folders when missing).  "" when
// open, else the line to show ("FILE: ...").
std::string cli_IndexOpen(cli_IndexDb &db, const std::string &path, bool toWrite);
void cli_IndexClose(cli_IndexDb &db);

// What the index knows of a host file without reading it.
struct cli_IndexedFile {
    uint64_t Size = 0;
    int64_t ModifiedNs = 0;
    std::string Hash;
};
// The absolute path of a host path as the index keys it (not resolving links).
std::string cli_IndexKey(const std::string &path);
// The host files recorded under the absolute folders or files `roots`.
std::string cli_IndexKnown(cli_IndexDb &db, const std::vector<std::string> &roots,
                           std::map<std::string, cli_IndexedFile> &known);
// Records a surveyed host file (its Path absolute), replacing what the index
// had of it; the file's contents are kept once per hash.
std::string cli_IndexStore(cli_IndexDb &db, const cpm_Survey &survey);
// A host file whose bytes are the same as recorded: only its size and time change.
std::string cli_IndexTouch(cli_IndexDb &db, const std::string &path, uint64_t size, int64_t modifiedNs);
// Forgets host files that are gone.
std::string cli_IndexDrop(cli_IndexDb &db, const std::vector<std::string> &paths);

// The host files under `roots` as surveys, in path order (Path absolute;
// files without their bytes).  Only the files `keep` takes (given a file's
// User and DisplayName) are read, when `keep` is given.
using cli_FileFilter = std::function<bool(const cpm_SurveyFile &)>;
std::string cli_IndexSurveys(cli_IndexDb &db, const std::vector<std::string> &roots, std::vector<cpm_Survey> &surveys,
                             const cli_FileFilter &keep = nullptr);
// The hashes of the files whose bytes contain `needle`.
std::string cli_IndexContaining(cli_IndexDb &db, const std::string &needle, std::set<std::string> &hashes);
// Records what the walk under `roots` passed over (Path absolute), in place
// of what the index had under them.
std::string cli_IndexStoreSkipped(cli_IndexDb &db, const std::vector<std::string> &roots,
                                  const std::vector<cli_Skipped> &skipped);
std::string cli_IndexSkipped(cli_IndexDb &db, const std::vector<std::string> &roots, std::vector<cli_Skipped> &skipped);
// The bytes of a file by its hash (none when the index has none).
std::string cli_IndexBytes(cli_IndexDb &db, const std::string &hash, Text &bytes);
