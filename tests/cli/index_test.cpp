// The collection index (index, and find/dups/scan --db) run as the tool:
// a generated collection of images made by the tool and by cpmtools,
// indexed, changed and indexed again; databases that are damaged, cut short
// or held by another run; two runs at once; Ctrl-C; the progress bar.
#include <sqlite3.h>

#include "cli_run.h"
#include "peer_tools.h"

namespace {

// A question to an index database, answered as text: the rows' columns
// joined by "|", one row a line; "error: ..." when the query failed.
std::string query(const std::string &db, const std::string &sql) {
    sqlite3 *h = nullptr;
    std::string out;
    if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(h);
        return "error: cannot open";
    }
    sqlite3_busy_timeout(h, 20000);
    char *message = nullptr;
    auto row = [](void *to, int n, char **values, char **) {
        std::string &text = *static_cast<std::string *>(to);
        for (int i = 0; i < n; i++) text += (i ? "|" : "") + std::string(values[i] ? values[i] : "");
        text += "\n";
        return 0;
    };
    if (sqlite3_exec(h, sql.c_str(), row, &out, &message) != SQLITE_OK) out = "error: " + std::string(message);
    sqlite3_free(message);
    sqlite3_close(h);
    return out;
}

class Index : public test_CliTest {
  protected:
    void SetUp() override {
        test_CliTest::SetUp();
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS);
        // Images of cpmtools (8-inch and the PCW), images of the tool (its
        // plain volume and a definition), a text file that is no image, in
        // nested folders.
        Folder.folder("coll");
        Folder.folder("coll/cpm");
        Folder.folder("coll/cpm/deep");
        Folder.folder("coll/ours");
        Folder.write("hello.com", std::string(300, 'H'));
        Folder.write("notes.txt", "The quick brown fox.\r\n");
        Folder.write("coll/readme.txt", "not a disk image\n");
        ASSERT_EQ(run("mkfs.cpm -f ibm-3740 coll/cpm/a.img && cpmcp -f ibm-3740 coll/cpm/a.img hello.com notes.txt 0: && "
                      "mkfs.cpm -f ibm-3740 coll/cpm/deep/b.img && cpmcp -f ibm-3740 coll/cpm/deep/b.img notes.txt 3:B.TXT && "
                      "mkfs.cpm -f pcw coll/cpm/c.img && cpmcp -f pcw coll/cpm/c.img hello.com 0:ZAP.COM && "
                      "truncate -s 184320 coll/cpm/c.img && "
                      "$CLI new coll/ours/p.vol 256 >/dev/null && $CLI put coll/ours/p.vol hello.com notes.txt >/dev/null && "
                      "$CLI new --format ibm-3740 coll/ours/e.img >/dev/null && "
                      "$CLI -f ibm-3740 put coll/ours/e.img notes.txt --as 2:E.TXT >/dev/null"),
                  "");
    }
    // The line of counts an index run ends with, after "into DB: ".
    static std::string counts(const std::string &out) {
        size_t at = out.find(": ", out.rfind("indexed "));
        return at == std::string::npos ? out : out.substr(at + 2, out.find('\n', at) - at - 2);
    }
};

}  // namespace

TEST_F(Index, ASecondRunReadsOnlyWhatWasAddedChangedOrRemoved) {
    test_CliRun first = sh("$CLI index --db ix.sqlite coll");
    ASSERT_EQ(first.Status, 0) << first.Err;
    EXPECT_EQ(first.Err, "");
    EXPECT_EQ(counts(first.Out), "6 added, 0 changed, 0 removed, 0 unchanged");
    EXPECT_EQ(query(at("ix.sqlite"), "PRAGMA journal_mode"), "wal\n");
    // The rows hold what cpmtools put into the images.
    EXPECT_EQ(query(at("ix.sqlite"), "SELECT f.user, f.name FROM files f JOIN images i ON i.id = f.image "
                                     "WHERE i.path LIKE '%/deep/b.img'"),
              "3|B.TXT\n");
    EXPECT_EQ(query(at("ix.sqlite"), "SELECT is_image FROM images WHERE path LIKE '%/readme.txt'"), "0\n");

    // One image changed, one removed, one added, one touched with the same bytes.
    ASSERT_EQ(run("sleep 0.01 && cpmcp -f ibm-3740 coll/cpm/a.img notes.txt 0:MORE.TXT && rm coll/ours/p.vol && "
                  "cp coll/cpm/deep/b.img coll/cpm/new.img && touch coll/ours/e.img"),
              "");
    test_CliRun second = sh("$CLI -v index --db ix.sqlite coll");
    ASSERT_EQ(second.Status, 0) << second.Err;
    // (after the engine's lines -v asks for)
    EXPECT_EQ(second.Out.substr(second.Out.find("changed ")), "changed coll/cpm/a.img\nadded coll/cpm/new.img\nremoved coll/ours/p.vol\n"
                          "indexed 6 files into ix.sqlite: 1 added, 1 changed, 1 removed, 4 unchanged\n");
    EXPECT_EQ(query(at("ix.sqlite"), "SELECT f.name FROM files f JOIN images i ON i.id = f.image "
                                     "WHERE i.path LIKE '%/cpm/a.img' ORDER BY f.position"),
              "HELLO.COM\nMORE.TXT\nNOTES.TXT\n");
    EXPECT_EQ(query(at("ix.sqlite"), "SELECT count(*) FROM images WHERE path LIKE '%/p.vol'"), "0\n");
    // The files of the removed image are gone with it; bytes no file has any more too.
    EXPECT_EQ(query(at("ix.sqlite"), "SELECT count(*) FROM files WHERE image NOT IN (SELECT id FROM images)"), "0\n");
    EXPECT_EQ(query(at("ix.sqlite"), "SELECT count(*) FROM contents WHERE hash NOT IN (SELECT hash FROM files)"), "0\n");

    // Nothing changed: nothing read.
    EXPECT_EQ(counts(sh("$CLI index --db ix.sqlite coll").Out), "0 added, 0 changed, 0 removed, 6 unchanged");
    // Indexing a folder inside leaves the rest of the index alone.
    ASSERT_EQ(run("rm coll/cpm/deep/b.img"), "");
    EXPECT_EQ(counts(sh("$CLI index --db ix.sqlite coll/cpm/deep").Out), "0 added, 0 changed, 1 removed, 0 unchanged");
    EXPECT_EQ(query(at("ix.sqlite"), "SELECT count(*) FROM images"), "5\n");
}

TEST_F(Index, FindFromTheIndexPrintsWhatFindPrints) {
    // What a walk passes over is recorded too: a link loop, a pipe; a copy
    // for dups; a folder whose name begins with another's, which a question
    // about the other leaves out.
    ASSERT_EQ(run("ln -s ../coll coll/cpm/loop && mkfifo coll/pipe && cp coll/cpm/a.img coll/ours/copy.img && "
                  "mkdir coll/cpm-old && cp coll/cpm/a.img coll/cpm-old/"),
              "");
    ASSERT_EQ(sh("$CLI index --db ix.sqlite coll").Status, 0);
    for (std::string question : {"find coll '*.COM'", "find coll '*:*.TXT'", "find --json coll '*:*'",
                                 "find coll/cpm 'NOTES.*'", "find coll '*:*' --contains 'brown fox'", "dups coll",
                                 "dups --json coll", "scan --json coll", "scan --all coll/", "find coll/ours/e.img '2:E.*'"}) {
        SCOPED_TRACE(question);
        test_CliRun read = sh("$CLI " + question);
        test_CliRun indexed = sh("$CLI " + question + " --db ix.sqlite");
        EXPECT_EQ(indexed.Status, read.Status);
        EXPECT_EQ(indexed.Out, read.Out);
        EXPECT_EQ(indexed.Err, "");
        EXPECT_FALSE(read.Out.empty());
    }
}

TEST_F(Index, AnswersSayWhenTheImagesChangedSinceTheyWereIndexed) {
    ASSERT_EQ(sh("$CLI index --db ix.sqlite coll").Status, 0);
    ASSERT_EQ(run("sleep 0.01 && cpmcp -f ibm-3740 coll/cpm/a.img notes.txt 0:MORE.TXT && rm coll/cpm/c.img"), "");
    test_CliRun r = sh("$CLI find --db ix.sqlite coll '*.COM'");
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Err, "diskwright-cli: ix.sqlite: the index is older than 2 of its 6 files (changed: coll/cpm/a.img; "
                     "gone: coll/cpm/c.img); 'diskwright-cli index' brings it up to date\n");
    // What it answers is what it indexed.
    EXPECT_TRUE(test_Has(r.Out, "coll/cpm/c.img")) << r.Out;
    // A path the index knows nothing of is said, as a missing one is.
    ASSERT_EQ(run("mkdir elsewhere"), "");
    test_CliRun none = sh("$CLI dups --db ix.sqlite elsewhere");
    EXPECT_EQ(none.Status, 1);
    EXPECT_TRUE(test_Has(none.Err, "diskwright-cli: elsewhere: nothing under it in the index ix.sqlite\n")) << none.Err;
}

TEST_F(Index, ADamagedOrHeldDatabaseIsOneLineAndStatusOne) {
    ASSERT_EQ(sh("$CLI index --db ix.sqlite coll").Status, 0);
    ASSERT_EQ(run("mkdir folder.sqlite && echo 'not a database at all, but long enough to be read as one' > text.sqlite && "
                  "head -c 60 ix.sqlite > header.sqlite && head -c 8192 ix.sqlite > cut.sqlite"),
              "");
    {
        sqlite3 *other = nullptr;
        ASSERT_EQ(sqlite3_open(at("other.sqlite").c_str(), &other), SQLITE_OK);
        sqlite3_exec(other, "CREATE TABLE songs (title TEXT)", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    }
    struct Case {
        const char *Db, *Line;
    };
    for (Case c : {Case{"cut.sqlite", "cut.sqlite: damaged index: the file is cut short (8192 of "},
                   Case{"text.sqlite", "text.sqlite: damaged index: file is not a database"},
                   Case{"header.sqlite", "header.sqlite: damaged index: "},
                   Case{"other.sqlite", "other.sqlite: not an index of diskwright-cli (another program's database)"},
                   Case{"folder.sqlite", "folder.sqlite: index: not a regular file"}}) {
        for (std::string command : {"index --db DB coll", "find --db DB coll '*.COM'", "dups --db DB coll",
                                    "scan --json --db DB coll"}) {
            command.replace(command.find("DB"), 2, c.Db);
            SCOPED_TRACE(command);
            test_CliRun r = sh("$CLI " + command);
            EXPECT_EQ(r.Status, 1);
            EXPECT_EQ(r.Out, "");
            EXPECT_EQ(r.Err.rfind(std::string("diskwright-cli: ") + c.Line, 0), 0u) << r.Err;
            EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
        }
    }
    test_CliRun none = sh("$CLI find --db none.sqlite coll '*.COM'");
    EXPECT_EQ(none.Status, 1);
    EXPECT_EQ(none.Err, "diskwright-cli: none.sqlite: no index here (make one with 'diskwright-cli index --db "
                        "none.sqlite PATH...')\n");
    EXPECT_FALSE(Folder.names().count("none.sqlite"));

    // Held by another writer: index waits, then gives up with one line;
    // answers still read what was committed.
    sqlite3 *holder = nullptr;
    ASSERT_EQ(sqlite3_open(at("ix.sqlite").c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(run("touch coll/readme.txt"), "");
    test_CliRun held = sh("DW_TEST_BUSY_MS=200 $CLI index --db ix.sqlite coll");
    EXPECT_EQ(held.Status, 1);
    EXPECT_EQ(held.Err, "diskwright-cli: ix.sqlite: index in use by another run: database is locked\n");
    test_CliRun answer = sh("DW_TEST_BUSY_MS=200 $CLI find --db ix.sqlite coll 'ZAP.COM'");
    EXPECT_EQ(answer.Status, 0) << answer.Err;
    EXPECT_TRUE(test_Has(answer.Out, "c.img")) << answer.Out;
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
}

TEST_F(Index, UsageErrorsAreStatusTwo) {
    for (const char *args : {"index", "index --jobs 0 coll", "index --jobs many coll", "index --db"}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(sh(std::string("$CLI ") + args).Status, 2);
    }
    EXPECT_EQ(sh("$CLI index --db ix.sqlite missing").Status, 1);
    EXPECT_FALSE(Folder.names().count("ix.sqlite"));
}

// A collection of many images (hard links: no space) for the runs that race.
class BigIndex : public Index {
  protected:
    void SetUp() override {
        Index::SetUp();
        if (HasFatalFailure() || IsSkipped()) return;
        ASSERT_EQ(run("mkdir -p big && for i in $(seq 1 400); do ln coll/cpm/a.img big/$i.img; done"), "");
    }
};

TEST_F(BigIndex, TwoRunsAtOnceLeaveASoundDatabase) {
    test_CliRun r = sh("$CLI index --db ix.sqlite --jobs 1 big coll >one.out 2>&1 & "
                       "$CLI index --db ix.sqlite --jobs 2 coll big >two.out 2>&1 & "
                       "wait %1; echo $?; wait %2; echo $?");
    EXPECT_EQ(r.Out, "0\n0\n") << file("one.out") << file("two.out");
    EXPECT_EQ(query(at("ix.sqlite"), "PRAGMA integrity_check"), "ok\n");
    EXPECT_EQ(query(at("ix.sqlite"), "SELECT count(*), count(DISTINCT path) FROM images"), "406|406\n");
    EXPECT_EQ(query(at("ix.sqlite"), "SELECT count(*) FROM files"), "807\n");
}

TEST_F(BigIndex, CtrlCKeepsWhatWasCommitted) {
    // The run is stopped once some images are in; it ends at the next image.
    test_CliRun r = sh("$CLI index --db ix.sqlite --jobs 1 big >out 2>err & pid=$!; "
                       "for i in $(seq 1 2000); do "
                       "  [ -e ix.sqlite ] && [ \"$(sqlite3 ix.sqlite 'SELECT count(*) FROM images' 2>/dev/null)\" -gt 3 ] "
                       "  2>/dev/null && break; sleep 0.005; done; "
                       "kill -INT $pid; wait $pid; echo $?");
    std::string committed = query(at("ix.sqlite"), "SELECT count(*) FROM images");
    ASSERT_EQ(r.Out, "130\n") << file("out") << file("err");
    EXPECT_EQ(file("err"), "interrupted: " + committed.substr(0, committed.size() - 1) + " images indexed\n");
    EXPECT_EQ(file("out"), "");
    EXPECT_EQ(query(at("ix.sqlite"), "PRAGMA integrity_check"), "ok\n");
    int kept = std::stoi(committed);
    EXPECT_GT(kept, 3);
    EXPECT_LT(kept, 400);
    // The next run adds the rest.
    EXPECT_EQ(counts(sh("$CLI index --db ix.sqlite big").Out),
              std::to_string(400 - kept) + " added, 0 changed, 0 removed, " + std::to_string(kept) + " unchanged");
}

TEST_F(Index, ProgressOnlyOnATerminal) {
    // script(1) gives the run a terminal; its output is the terminal's.
    test_CliRun r = sh("script -qec \"$CLI index --db ix.sqlite coll >/dev/null\" /dev/null");
    EXPECT_EQ(r.Status, 0);
    EXPECT_TRUE(test_Has(r.Out, "\r[")) << r.Out;
    EXPECT_TRUE(test_Has(r.Out, "/6 coll/")) << r.Out;
    EXPECT_EQ(r.Out.substr(r.Out.rfind('\r')), "\r\033[K") << r.Out;   // erased at the end
    EXPECT_EQ(sh("$CLI index --db ix2.sqlite coll").Err, "");
}

TEST_F(BigIndex, CtrlCOfAScanOnATerminalErasesTheBar) {
    // Enough images that the scan is still running when the signal comes.
    ASSERT_EQ(run("for n in 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16; do cp -al big big$n || exit 1; done"), "");
    test_CliRun r = sh("script -qec \"sh -c '$CLI scan --json --jobs 1 . >/dev/null & p=\\$!; sleep 0.3; kill -INT \\$p; "
                       "wait \\$p; echo status \\$?'\" /dev/null");
    ASSERT_TRUE(test_Has(r.Out, "status 130")) << r.Out;
    std::string before = r.Out.substr(0, r.Out.find("status"));
    EXPECT_TRUE(test_Has(before, "\r[")) << before;   // a bar was drawn ...
    EXPECT_EQ(before.substr(before.rfind('\r')), "\r\033[K") << before;   // ... and erased
}

TEST_F(Index, ADatabaseScribbledOverAnywhereIsNeverACrash) {
    ASSERT_EQ(sh("$CLI index --db ix.sqlite coll").Status, 0);
    size_t size = file("ix.sqlite").size();
    for (size_t at = 0; at < size; at += 4096 + 512) {
        SCOPED_TRACE(at);
        std::string bytes = file("ix.sqlite");
        bytes.replace(at, std::min<size_t>(700, size - at), std::min<size_t>(700, size - at), '\xA5');
        Folder.write("bad.sqlite", bytes);
        for (const char *command : {"find --db bad.sqlite coll '*:*'", "dups --db bad.sqlite coll", "index --db bad.sqlite coll"}) {
            test_CliRun r = sh(std::string("$CLI ") + command);
            EXPECT_TRUE(r.Status == 0 || r.Status == 1) << command << ": " << r.Status;
            if (r.Status == 1) {
                EXPECT_EQ(r.Err.rfind("diskwright-cli: bad.sqlite: ", 0), 0u) << command << ": " << r.Err;
                EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << command << ": " << r.Err;
            }
        }
    }
}
