// The SQL of the collection index: the schema, the statements (prepared once
// per run), and the reading of a database that is damaged, cut short or held
// by another run as one line, never a crash.
#include "index_db.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace {

// "DWIX": marks a database as this tool's index.
constexpr int applicationId = 0x44574958;
constexpr int schemaVersion = 1;

const char *const schema = R"sql(
CREATE TABLE IF NOT EXISTS images (
    id          INTEGER PRIMARY KEY,
    path        TEXT NOT NULL UNIQUE,
    size        INTEGER NOT NULL,
    modified_ns INTEGER NOT NULL,
    hash        TEXT NOT NULL,
    is_image    INTEGER NOT NULL,
    not_image   TEXT NOT NULL,
    slices      INTEGER NOT NULL,
    container   TEXT NOT NULL,
    definition  TEXT NOT NULL,
    health      TEXT NOT NULL,
    file_count  INTEGER NOT NULL,
    used_kb     INTEGER NOT NULL,
    free_kb     INTEGER NOT NULL,
    indexed_at  INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS files (
    image       INTEGER NOT NULL REFERENCES images(id),
    position    INTEGER NOT NULL,
    user        INTEGER NOT NULL,
    name        TEXT NOT NULL,
    listed_name BLOB NOT NULL,
    size        INTEGER NOT NULL,
    attributes  TEXT NOT NULL,
    created     TEXT NOT NULL,
    updated     TEXT NOT NULL,
    accessed    TEXT NOT NULL,
    hash        TEXT NOT NULL,
    PRIMARY KEY (image, position)
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS files_by_hash ON files(hash);
CREATE TABLE IF NOT EXISTS skipped (
    path        TEXT PRIMARY KEY,
    why         TEXT NOT NULL,
    problem     INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS contents (
    hash        TEXT PRIMARY KEY,
    bytes       BLOB NOT NULL
);
)sql";

// The statements, by name.
struct Statement {
    const char *Name;
    const char *Sql;
};
const Statement statements[] = {
    {"begin", "BEGIN IMMEDIATE"},
    {"begin reading", "BEGIN"},
    {"end reading", "COMMIT"},
    {"commit", "COMMIT"},
    {"rollback", "ROLLBACK"},
    {"known", "SELECT path, size, modified_ns, hash FROM images WHERE path >= ?1 AND path < ?3"},
    {"image id", "SELECT id FROM images WHERE path = ?1"},
    {"drop files", "DELETE FROM files WHERE image = ?1"},
    {"drop image", "DELETE FROM images WHERE id = ?1"},
    {"add image",
     "INSERT INTO images (path, size, modified_ns, hash, is_image, container, definition, health, file_count, "
     "used_kb, free_kb, indexed_at, not_image, slices) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, "
     "?13, ?14)"},
    {"add file",
     "INSERT INTO files (image, position, user, name, size, attributes, created, updated, accessed, hash, "
     "listed_name) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)"},
    {"drop skipped", "DELETE FROM skipped WHERE path = ?1 OR (path > ?2 AND path < ?3)"},
    {"add skipped", "INSERT OR REPLACE INTO skipped (path, why, problem) VALUES (?1, ?2, ?3)"},
    {"skipped", "SELECT path, why, problem FROM skipped WHERE path >= ?1 AND path < ?3 ORDER BY path"},
    {"add contents", "INSERT OR IGNORE INTO contents (hash, bytes) VALUES (?1, ?2)"},
    {"touch", "UPDATE images SET size = ?2, modified_ns = ?3, indexed_at = ?4 WHERE path = ?1"},
    {"unused contents", "DELETE FROM contents WHERE hash NOT IN (SELECT hash FROM files)"},
    {"images",
     "SELECT id, path, size, modified_ns, hash, is_image, container, definition, health, file_count, used_kb, "
     "free_kb, not_image, slices FROM images WHERE path >= ?1 AND path < ?3 ORDER BY path"},
    {"files of image",
     "SELECT user, name, size, attributes, created, updated, accessed, hash, listed_name FROM files WHERE image = ?1 "
     "ORDER BY position"},
    {"bytes", "SELECT bytes FROM contents WHERE hash = ?1"},
    {"containing", "SELECT hash FROM contents WHERE instr(bytes, ?1) > 0"},
};

// The line of a failure of the database.
std::string failure(const cli_IndexDb &db, int code, const char *what = nullptr) {
    std::string message = what ? what : db.Db ? sqlite3_errmsg(db.Db) : sqlite3_errstr(code);
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return db.Path + ": index in use by another run: " + message;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return db.Path + ": damaged index: " + message;
    default: return db.Path + ": index: " + message;
    }
}

sqlite3_stmt *statement(cli_IndexDb &db, const char *name) {
    sqlite3_stmt *s = db.Statements.at(name);
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    return s;
}

void bind(sqlite3_stmt *s, int at, const std::string &text) {
    sqlite3_bind_text(s, at, text.data(), int(text.size()), SQLITE_TRANSIENT);
}
void bind(sqlite3_stmt *s, int at, int64_t number) { sqlite3_bind_int64(s, at, number); }

std::string column(sqlite3_stmt *s, int at) {
    const unsigned char *text = sqlite3_column_text(s, at);
    return text ? std::string(reinterpret_cast<const char *>(text), size_t(sqlite3_column_bytes(s, at))) : "";
}

// Runs a statement that returns no rows; "" or the failure.
std::string run(cli_IndexDb &db, sqlite3_stmt *s) {
    int code = sqlite3_step(s);
    return code == SQLITE_DONE || code == SQLITE_ROW ? "" : failure(db, code);
}

std::string exec(cli_IndexDb &db, const char *sql) {
    char *message = nullptr;
    int code = sqlite3_exec(db.Db, sql, nullptr, nullptr, &message);
    std::string out = code == SQLITE_OK ? "" : failure(db, code, message);
    sqlite3_free(message);
    return out;
}

int64_t pragmaNumber(cli_IndexDb &db, const char *sql, std::string &error) {
    sqlite3_stmt *s = nullptr;
    int64_t value = 0;
    int code = sqlite3_prepare_v2(db.Db, sql, -1, &s, nullptr);
    if (code == SQLITE_OK) code = sqlite3_step(s);
    if (code == SQLITE_ROW) value = sqlite3_column_int64(s, 0);
    else if (code != SQLITE_DONE && error.empty()) error = failure(db, code);
    sqlite3_finalize(s);
    return value;
}

// A database file shorter than its header says was cut short: SQLite would
// find the missing pages only when a query reaches them.
std::string cutShort(const std::string &path) {
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return "";
    unsigned char header[100];
    size_t got = fread(header, 1, sizeof header, f);
    fclose(f);
    struct stat st;
    if (got < sizeof header || stat(path.c_str(), &st) != 0 || memcmp(header, "SQLite format 3", 16) != 0) return "";
    // While a log of changes is pending, a checkpoint may be writing the file.
    struct stat log;
    if (stat((path + "-wal").c_str(), &log) == 0 && log.st_size > 0) return "";
    uint64_t pageSize = (uint64_t(header[16]) << 8) | header[17];
    if (pageSize == 1) pageSize = 65536;
    uint64_t pages = (uint64_t(header[28]) << 24) | (uint64_t(header[29]) << 16) | (uint64_t(header[30]) << 8) | header[31];
    bool countValid = memcmp(header + 24, header + 92, 4) == 0;   // the count is kept up to date by this writer
    if (!countValid || uint64_t(st.st_size) >= pages * pageSize) return "";
    return path + ": damaged index: the file is cut short (" + std::to_string(st.st_size) + " of " +
           std::to_string(pages * pageSize) + " bytes)";
}

// The bounds of the paths under a root: the root itself, and the range of
// paths that begin with "ROOT/" ('0' follows '/').  The statements read the
// one range from ROOT to "ROOT0" along the path index (no sorting) and
// `inRange` drops the neighbours in it ("ROOT-2", "ROOT.bak").
struct Range {
    std::string Exact, From, To;
};
Range under(const std::string &root) {
    std::string folder = root.size() > 1 && root.back() == '/' ? root.substr(0, root.size() - 1) : root;
    std::string slash = folder == "/" ? "/" : folder + "/";
    return {folder, slash, slash.substr(0, slash.size() - 1) + "0"};
}
bool inRange(const Range &r, const std::string &path) {
    return path == r.Exact || path.compare(0, r.From.size(), r.From) == 0;
}
void bindRange(sqlite3_stmt *s, const Range &r) {
    bind(s, 1, r.Exact);
    bind(s, 2, r.From);
    bind(s, 3, r.To);
}

int busyMilliseconds() {
    const char *wait = getenv("DW_TEST_BUSY_MS");   // the tests' short wait for a held database
    return wait && *wait ? atoi(wait) : 10000;
}

}   // namespace

std::string cli_DefaultIndexPath() {
    const char *cache = getenv("XDG_CACHE_HOME");
    const char *home = getenv("HOME");
    std::string folder = cache && *cache == '/' ? std::string(cache) : std::string(home ? home : ".") + "/.cache";
    return folder + "/diskwright/index.sqlite";
}

std::string cli_IndexKey(const std::string &path) {
    std::error_code ignored;
    std::string key = std::filesystem::absolute(path, ignored).lexically_normal().string();
    if (key.size() > 1 && key.back() == '/') key.pop_back();
    return key;
}

std::string cli_IndexOpen(cli_IndexDb &db, const std::string &path, bool toWrite) {
    db.Path = path;
    struct stat st;
    bool exists = stat(path.c_str(), &st) == 0;
    if (!exists && !toWrite) return path + ": no index here (make one with 'diskwright-cli index --db " + path + " PATH...')";
    if (exists && !S_ISREG(st.st_mode)) return path + ": index: not a regular file";
    if (!exists) {
        std::error_code error;
        std::filesystem::path folder = std::filesystem::path(path).parent_path();
        if (!folder.empty()) std::filesystem::create_directories(folder, error);
        if (error) return path + ": index: cannot make the folder: " + error.message();
    }
    if (std::string cut = cutShort(path); !cut.empty()) return cut;
    int flags = (toWrite ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
    int code = sqlite3_open_v2(path.c_str(), &db.Db, flags, nullptr);
    if (code != SQLITE_OK) return failure(db, code);
    sqlite3_busy_timeout(db.Db, busyMilliseconds());
    exec(db, "PRAGMA temp_store = MEMORY");
    sqlite3_extended_result_codes(db.Db, 0);
    // Another run may be making the same database at this moment: the
    // switch to WAL is retried while that run holds it, and the schema is
    // looked at and made inside one write transaction, so that neither run
    // sees the other's half-made database.
    if (toWrite) {
        std::string e = exec(db, "PRAGMA journal_mode = WAL");
        for (int waited = 0; !e.empty() && sqlite3_errcode(db.Db) == SQLITE_BUSY && waited < busyMilliseconds();
             waited += 20) {
            usleep(20000);
            e = exec(db, "PRAGMA journal_mode = WAL");
        }
        if (!e.empty()) return e;
        if (std::string e = exec(db, "PRAGMA synchronous = NORMAL"); !e.empty()) return e;
    }
    if (std::string e = exec(db, toWrite ? "BEGIN IMMEDIATE" : "BEGIN"); !e.empty()) return e;
    std::string error;
    int64_t id = pragmaNumber(db, "PRAGMA application_id", error);
    int64_t version = pragmaNumber(db, "PRAGMA user_version", error);
    int64_t tables = pragmaNumber(db, "SELECT count(*) FROM sqlite_master", error);
    if (error.empty() && ((id != 0 && id != applicationId) || (id == 0 && tables > 0)))
        error = path + ": not an index of diskwright-cli (another program's database)";
    if (error.empty() && version > schemaVersion)
        error = path + ": index of a newer diskwright-cli (version " + std::to_string(version) + ")";
    if (error.empty() && !toWrite && version < schemaVersion) error = path + ": index: empty (nothing indexed yet)";
    if (error.empty() && toWrite && version < schemaVersion)
        error = exec(db, (std::string(schema) + "PRAGMA application_id = " + std::to_string(applicationId) +
                          "; PRAGMA user_version = " + std::to_string(schemaVersion) + ";").c_str());
    if (error.empty()) error = exec(db, "COMMIT");
    if (!error.empty()) {
        exec(db, "ROLLBACK");
        return error;
    }
    for (const Statement &s : statements) {
        bool reads = strncmp(s.Sql, "SELECT", 6) == 0 || strcmp(s.Name, "begin reading") == 0 || strcmp(s.Name, "end reading") == 0;
        if (!toWrite && !reads) continue;
        sqlite3_stmt *prepared = nullptr;
        code = sqlite3_prepare_v3(db.Db, s.Sql, -1, SQLITE_PREPARE_PERSISTENT, &prepared, nullptr);
        if (code != SQLITE_OK) return failure(db, code);
        db.Statements[s.Name] = prepared;
    }
    return "";
}

void cli_IndexClose(cli_IndexDb &db) {
    for (auto &s : db.Statements) sqlite3_finalize(s.second);
    db.Statements.clear();
    if (db.Db) sqlite3_close(db.Db);
    db.Db = nullptr;
}

std::string cli_IndexKnown(cli_IndexDb &db, const std::vector<std::string> &roots,
                           std::map<std::string, cli_IndexedFile> &known) {
    for (const std::string &root : roots) {
        sqlite3_stmt *s = statement(db, "known");
        Range range = under(root);
        bindRange(s, range);
        int code;
        while ((code = sqlite3_step(s)) == SQLITE_ROW)
            if (std::string path = column(s, 0); inRange(range, path))
                known[path] = {uint64_t(sqlite3_column_int64(s, 1)), sqlite3_column_int64(s, 2), column(s, 3)};
        if (code != SQLITE_DONE) return failure(db, code);
    }
    return "";
}

// Runs `body` in one write transaction: all of it is committed, or none.
template <typename F> static std::string inTransaction(cli_IndexDb &db, F body) {
    if (std::string e = run(db, statement(db, "begin")); !e.empty()) return e;
    std::string error = body();
    if (error.empty()) error = run(db, statement(db, "commit"));
    if (!error.empty()) run(db, statement(db, "rollback"));
    return error;
}

// Removes a host file's rows (inside a transaction).
static std::string dropRows(cli_IndexDb &db, const std::string &path) {
    sqlite3_stmt *s = statement(db, "image id");
    bind(s, 1, path);
    int code = sqlite3_step(s);
    if (code == SQLITE_DONE) return "";
    if (code != SQLITE_ROW) return failure(db, code);
    int64_t id = sqlite3_column_int64(s, 0);
    sqlite3_reset(s);
    s = statement(db, "drop files");
    bind(s, 1, id);
    if (std::string e = run(db, s); !e.empty()) return e;
    s = statement(db, "drop image");
    bind(s, 1, id);
    return run(db, s);
}

std::string cli_IndexStore(cli_IndexDb &db, const cpm_Survey &v) {
    return inTransaction(db, [&]() -> std::string {
        if (std::string e = dropRows(db, v.Path); !e.empty()) return e;
        sqlite3_stmt *s = statement(db, "add image");
        bind(s, 1, v.Path);
        bind(s, 2, int64_t(v.FileSize));
        bind(s, 3, v.ModifiedNs);
        bind(s, 4, v.ImageHash);
        bind(s, 5, int64_t(v.IsImage));
        bind(s, 6, v.Container);
        bind(s, 7, v.Definition);
        bind(s, 8, v.Health);
        bind(s, 9, int64_t(v.FileCount));
        bind(s, 10, int64_t(v.UsedKB));
        bind(s, 11, int64_t(v.FreeKB));
        bind(s, 12, int64_t(time(nullptr)));
        bind(s, 13, v.NotImage);
        bind(s, 14, int64_t(v.Slices));
        if (std::string e = run(db, s); !e.empty()) return e;
        int64_t id = sqlite3_last_insert_rowid(db.Db);
        for (size_t i = 0; i < v.Files.size(); i++) {
            const cpm_SurveyFile &f = v.Files[i];
            s = statement(db, "add file");
            bind(s, 1, id);
            bind(s, 2, int64_t(i));
            bind(s, 3, int64_t(f.User));
            bind(s, 4, f.Name);
            bind(s, 5, int64_t(f.Size));
            bind(s, 6, f.Attributes);
            bind(s, 7, f.Created);
            bind(s, 8, f.Updated);
            bind(s, 9, f.Accessed);
            bind(s, 10, f.Hash);
            sqlite3_bind_blob64(s, 11, f.DisplayName.Elements.data(), f.DisplayName.Elements.size(), SQLITE_STATIC);
            if (std::string e = run(db, s); !e.empty()) return e;
            if (f.Hash.empty()) continue;   // bytes that could not be read
            s = statement(db, "add contents");
            bind(s, 1, f.Hash);
            sqlite3_bind_blob64(s, 2, f.Bytes.Elements.data(), f.Bytes.Elements.size(), SQLITE_STATIC);
            if (std::string e = run(db, s); !e.empty()) return e;
        }
        return "";
    });
}

std::string cli_IndexTouch(cli_IndexDb &db, const std::string &path, uint64_t size, int64_t modifiedNs) {
    return inTransaction(db, [&]() -> std::string {
        sqlite3_stmt *s = statement(db, "touch");
        bind(s, 1, path);
        bind(s, 2, int64_t(size));
        bind(s, 3, modifiedNs);
        bind(s, 4, int64_t(time(nullptr)));
        return run(db, s);
    });
}

std::string cli_IndexDrop(cli_IndexDb &db, const std::vector<std::string> &paths) {
    return inTransaction(db, [&]() -> std::string {
        for (const std::string &p : paths)
            if (std::string e = dropRows(db, p); !e.empty()) return e;
        return run(db, statement(db, "unused contents"));
    });
}

static std::string readSurveys(cli_IndexDb &db, const std::vector<std::string> &roots, std::vector<cpm_Survey> &surveys,
                               const cli_FileFilter &keep);

std::string cli_IndexSurveys(cli_IndexDb &db, const std::vector<std::string> &roots, std::vector<cpm_Survey> &surveys,
                             const cli_FileFilter &keep) {
    // One read transaction: one snapshot, and the database's locks taken once.
    if (std::string e = run(db, statement(db, "begin reading")); !e.empty()) return e;
    std::string error = readSurveys(db, roots, surveys, keep);
    run(db, statement(db, "end reading"));
    return error;
}

static std::string readSurveys(cli_IndexDb &db, const std::vector<std::string> &roots, std::vector<cpm_Survey> &surveys,
                               const cli_FileFilter &keep) {
    std::set<std::string> seen;   // roots inside one another list a file once
    for (const std::string &root : roots) {
        sqlite3_stmt *s = statement(db, "images");
        Range range = under(root);
        bindRange(s, range);
        std::vector<int64_t> ids;
        size_t first = surveys.size();
        int code;
        while ((code = sqlite3_step(s)) == SQLITE_ROW) {
            cpm_Survey v;
            v.Path = column(s, 1);
            if (!inRange(range, v.Path) || !seen.insert(v.Path).second) continue;
            ids.push_back(sqlite3_column_int64(s, 0));
            v.FileSize = uint64_t(sqlite3_column_int64(s, 2));
            v.ModifiedNs = sqlite3_column_int64(s, 3);
            v.ImageHash = column(s, 4);
            v.IsImage = sqlite3_column_int(s, 5) != 0;
            v.Container = column(s, 6);
            v.Definition = column(s, 7);
            v.Health = column(s, 8);
            v.FileCount = sqlite3_column_int(s, 9);
            v.UsedKB = long(sqlite3_column_int64(s, 10));
            v.FreeKB = long(sqlite3_column_int64(s, 11));
            v.NotImage = column(s, 12);
            v.Slices = sqlite3_column_int(s, 13);
            surveys.push_back(std::move(v));
        }
        if (code != SQLITE_DONE) return failure(db, code);
        for (size_t i = 0; i < ids.size(); i++) {
            s = statement(db, "files of image");
            bind(s, 1, ids[i]);
            std::vector<cpm_SurveyFile> &files = surveys[first + i].Files;
            while ((code = sqlite3_step(s)) == SQLITE_ROW) {
                cpm_SurveyFile f;
                f.User = sqlite3_column_int(s, 0);
                const uint8_t *listed = static_cast<const uint8_t *>(sqlite3_column_blob(s, 8));
                f.DisplayName = Text(std::vector<uint8_t>(listed, listed + sqlite3_column_bytes(s, 8)));
                if (keep && !keep(f)) continue;
                f.Name = column(s, 1);
                f.Size = uint64_t(sqlite3_column_int64(s, 2));
                f.Attributes = column(s, 3);
                f.Created = column(s, 4);
                f.Updated = column(s, 5);
                f.Accessed = column(s, 6);
                f.Hash = column(s, 7);
                files.push_back(std::move(f));
            }
            if (code != SQLITE_DONE) return failure(db, code);
        }
    }
    return "";
}

std::string cli_IndexContaining(cli_IndexDb &db, const std::string &needle, std::set<std::string> &hashes) {
    sqlite3_stmt *s = statement(db, "containing");
    sqlite3_bind_blob64(s, 1, needle.data(), needle.size(), SQLITE_TRANSIENT);
    int code;
    while ((code = sqlite3_step(s)) == SQLITE_ROW) hashes.insert(column(s, 0));
    return code == SQLITE_DONE ? "" : failure(db, code);
}

std::string cli_IndexStoreSkipped(cli_IndexDb &db, const std::vector<std::string> &roots,
                                  const std::vector<cli_Skipped> &skipped) {
    return inTransaction(db, [&]() -> std::string {
        for (const std::string &root : roots) {
            sqlite3_stmt *s = statement(db, "drop skipped");
            bindRange(s, under(root));
            if (std::string e = run(db, s); !e.empty()) return e;
        }
        for (const cli_Skipped &k : skipped) {
            sqlite3_stmt *s = statement(db, "add skipped");
            bind(s, 1, k.Path);
            bind(s, 2, k.Why);
            bind(s, 3, int64_t(k.Problem));
            if (std::string e = run(db, s); !e.empty()) return e;
        }
        return "";
    });
}

std::string cli_IndexSkipped(cli_IndexDb &db, const std::vector<std::string> &roots, std::vector<cli_Skipped> &skipped) {
    for (const std::string &root : roots) {
        sqlite3_stmt *s = statement(db, "skipped");
        Range range = under(root);
        bindRange(s, range);
        int code;
        while ((code = sqlite3_step(s)) == SQLITE_ROW)
            if (std::string path = column(s, 0); inRange(range, path))
                skipped.push_back({path, column(s, 1), sqlite3_column_int(s, 2) != 0});
        if (code != SQLITE_DONE) return failure(db, code);
    }
    return "";
}

std::string cli_IndexBytes(cli_IndexDb &db, const std::string &hash, Text &bytes) {
    sqlite3_stmt *s = statement(db, "bytes");
    bind(s, 1, hash);
    int code = sqlite3_step(s);
    if (code == SQLITE_ROW) {
        const uint8_t *b = static_cast<const uint8_t *>(sqlite3_column_blob(s, 0));
        bytes = Text(std::vector<uint8_t>(b, b + sqlite3_column_bytes(s, 0)));
        return "";
    }
    return code == SQLITE_DONE ? "" : failure(db, code);
}
