// Date stamps, labels and passwords against cpmtools: disks mkfs.cpm makes
// for a CP/M 3 and a P2DOS definition, stamps cpmcp sets or the test writes
// by hand, read by both sides; stamps put sets read back by cpmls; a
// directory prepared for stamps that cpmtools reads whole; password entries
// written by hand as CP/M 3 lays them out.  Every run in UTC, a zone without
// daylight saving, since cpmls converts stamps with the current offset.
#include <ctime>
#include <map>
#include <regex>

#include "cli_run.h"
#include "peer_tools.h"

namespace {

// Two definitions alike but for the system that keeps the stamps.
const char *const diskdefs =
    "diskdef os3\n  seclen 128\n  tracks 77\n  sectrk 26\n  blocksize 1024\n  maxdir 64\n  skew 1\n  boottrk 2\n  os 3\nend\n"
    "diskdef p2\n  seclen 128\n  tracks 77\n  sectrk 26\n  blocksize 1024\n  maxdir 64\n  skew 1\n  boottrk 2\n  os p2dos\nend\n";
constexpr size_t directoryAt = 2 * 26 * 128;   // the boot tracks

struct Stamp {
    int Year, Month, Day, Hour, Minute;
};

// Days since 31 December 1977, counted here without the engine.
int cpmDays(const Stamp &s) {
    struct tm t = {};
    t.tm_year = s.Year - 1900;
    t.tm_mon = s.Month - 1;
    t.tm_mday = s.Day;
    t.tm_hour = 12;
    time_t then = timegm(&t);
    t = {};
    t.tm_year = 77;
    t.tm_mon = 11;
    t.tm_mday = 31;
    t.tm_hour = 12;
    return int((then - timegm(&t)) / 86400);
}

std::string iso(const Stamp &s) {
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d", s.Year, s.Month, s.Day, s.Hour, s.Minute);
    return text;
}

void putStamp(std::string &image, size_t at, const Stamp &s) {
    int days = cpmDays(s);
    image[at] = char(days & 0xFF);
    image[at + 1] = char(days >> 8);
    image[at + 2] = char((s.Hour / 10) << 4 | (s.Hour % 10));
    image[at + 3] = char((s.Minute / 10) << 4 | (s.Minute % 10));
}

class StampInterop : public test_CliTest {
  protected:
    void SetUp() override {
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS);
        Folder.write("diskdefs", diskdefs);
    }
    // Runs a line in UTC with $DW the tool reading the definition.
    std::string utc(const std::string &line, const std::string &format, int *status = nullptr) {
        return run("export TZ=UTC; DW=\"$CLI --diskdefs diskdefs -f " + format + "\"; " + line, status);
    }
    // Byte offset of directory entry i's stamps (CP/M 3 and P2DOS alike).
    static size_t stampAt(int entry) { return directoryAt + size_t(entry | 3) * 32 + 1 + 10 * size_t(entry % 4); }
    // cpmls -D: per file ("BIG.BIN") its update and create stamps as ISO
    // times, "" for blanks.
    std::map<std::string, std::pair<std::string, std::string>> cpmlsDates(const std::string &format, const std::string &image) {
        static const char *months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        std::map<std::string, std::pair<std::string, std::string>> out;
        std::istringstream lines(utc("cpmls -f " + format + " -D " + image, format));
        std::regex row(R"(^(\S+) *\.(\S*) +\d+K)"), date(R"((\d\d)-(\w\w\w)-(\d{4}) (\d\d):(\d\d))");
        for (std::string line; std::getline(lines, line);) {
            std::smatch m;
            if (!std::regex_search(line, m, row)) continue;
            std::string name = m[1].str() + "." + m[2].str();
            auto &dates = out[name];
            for (auto it = std::sregex_iterator(line.begin(), line.end(), date); it != std::sregex_iterator(); ++it) {
                const std::smatch &d = *it;
                int month = 0;
                while (month < 12 && d[2].str() != months[month]) month++;
                char text[32];
                snprintf(text, sizeof text, "%s-%02d-%sT%s:%s", d[3].str().c_str(), month + 1, d[1].str().c_str(),
                         d[4].str().c_str(), d[5].str().c_str());
                (size_t(d.position()) < 45 ? dates.first : dates.second) = text;
            }
        }
        return out;
    }
    // cpmls -l (or -l -c): per host name ("b.bin") the date column as it
    // prints it, "Feb 29 12:30" or "Feb 29 2000 ".
    std::map<std::string, std::string> cpmlsLong(const std::string &format, const std::string &image, bool create) {
        std::map<std::string, std::string> out;
        std::istringstream lines(utc("cpmls -f " + format + (create ? " -l -c " : " -l ") + image, format));
        std::regex row(R"(^\S+ +\d+ (\w\w\w \d\d (?:\d\d:\d\d|\d{4} )) (\S+)$)");
        for (std::string line; std::getline(lines, line);) {
            std::smatch m;
            if (std::regex_search(line, m, row)) out[m[2]] = m[1];
        }
        return out;
    }
    // Whether cpmls -l's column shows the ISO time: its month and day, then
    // its time or its year.
    static bool sameDay(const std::string &column, const std::string &iso) {
        static const char *months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        if (iso.size() != 16) return false;
        std::string day = std::string(months[std::stoi(iso.substr(5, 2)) - 1]) + " " + iso.substr(8, 2) + " ";
        return column == day + iso.substr(11, 5) || column == day + iso.substr(0, 4) + " ";
    }
    // ls --json: per file its "created" (or "accessed") and "updated" values, "" for null.
    std::map<std::string, std::pair<std::string, std::string>> ourDates(const std::string &format, const std::string &image) {
        std::map<std::string, std::pair<std::string, std::string>> out;
        std::string json = utc("$DW ls --json " + image, format);
        std::regex file(R"re("hostName": "([^"]+)".*?"(?:created|accessed)": (null|"[^"]+"), "updated": (null|"[^"]+"))re");
        auto value = [](const std::string &v) { return v == "null" ? std::string() : v.substr(1, v.size() - 2); };
        for (auto it = std::sregex_iterator(json.begin(), json.end(), file); it != std::sregex_iterator(); ++it)
            out[(*it)[1]] = {value((*it)[3]), value((*it)[2])};
        return out;
    }
    // The current time in UTC to the minute, as ISO.
    static std::string nowIso() {
        time_t now = time(nullptr);
        struct tm t;
        gmtime_r(&now, &t);
        return iso({t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min});
    }
};

}  // namespace

// Stamps cpmcp sets, and stamps written by hand across the years (leap
// days, the first day, the turn of the century), read the same by cpmls -D
// and by ls --json and ls -l, for both layouts; the label's access flag
// renames the first column.
TEST_F(StampInterop, ReadAsCpmtoolsReadsThem) {
    const struct {
        const char *Format;
        int B, C;                // entries of the second and third file (the label takes entry 0 on CP/M 3)
        uint8_t LabelFlags;      // 0: leave the label as mkfs.cpm made it
        const char *Heading;
    } disks[] = {{"os3", 2, 4, 0, "  Created  Updated\n"},
                 {"os3", 2, 4, 0x61, "  Accessed  Updated\n"},
                 {"p2", 1, 2, 0, "  Created  Updated\n"}};
    const Stamp first = {1978, 1, 1, 0, 0}, leap = {2000, 2, 29, 12, 30}, eve = {1999, 12, 31, 23, 59}, late = {2027, 2, 28, 9, 5};
    for (const auto &d : disks) {
        SCOPED_TRACE(std::string(d.Format) + " label flags " + std::to_string(d.LabelFlags));
        std::string f = d.Format;
        Folder.write("a.txt", "alpha");
        Folder.write("b.bin", std::string(5000, 'b'));
        Folder.write("c.com", "c");
        ASSERT_EQ(utc("rm -f s.img && mkfs.cpm -f " + f + " -t s.img && cpmcp -f " + f + " s.img a.txt b.bin c.com 0:", f), "");
        std::string image = file("s.img");
        putStamp(image, stampAt(d.B), first);
        putStamp(image, stampAt(d.B) + 4, leap);
        putStamp(image, stampAt(d.C), eve);
        putStamp(image, stampAt(d.C) + 4, late);
        if (d.LabelFlags) image[directoryAt + 12] = char(d.LabelFlags);
        Folder.write("s.img", image);
        auto theirs = cpmlsDates(f, "s.img"), ours = ourDates(f, "s.img");
        ASSERT_EQ(ours.size(), 3u) << utc("$DW ls --json s.img", f);
        for (const auto &[name, dates] : ours) {
            EXPECT_EQ(dates.first, theirs[name].first) << name;
            // cpmls -D shows no create column where the label keeps access stamps.
            if (!(d.LabelFlags & 0x40)) { EXPECT_EQ(dates.second, theirs[name].second) << name; }
        }
        // cpmls -l shows the update stamp, -l -c the create stamp.
        auto updated = cpmlsLong(f, "s.img", false), created = cpmlsLong(f, "s.img", true);
        for (const auto &[name, dates] : ours) {
            std::string host = name;
            for (char &ch : host) ch = char(std::tolower((unsigned char)ch));
            EXPECT_TRUE(sameDay(updated[host], dates.first)) << name << ": " << updated[host] << " vs " << dates.first;
            if (!(d.LabelFlags & 0x40)) {
                EXPECT_TRUE(sameDay(created[host], dates.second)) << name << ": " << created[host] << " vs " << dates.second;
            }
        }
        EXPECT_EQ(ours["B.BIN"], std::make_pair(iso(leap), iso(first)));
        EXPECT_EQ(ours["C.COM"], std::make_pair(iso(late), iso(eve)));
        std::string listing = utc("$DW ls -l s.img", f);
        EXPECT_TRUE(test_Has(listing, d.Heading)) << listing;
        EXPECT_TRUE(test_Has(listing, "R/W  1999-12-31 23:59  2027-02-28 09:05\n")) << listing;
    }
}

// put sets the stamps the label asks for (cpmls reads them back as the
// times we listed, this minute); a file replaced keeps its create stamp and
// gets a new update stamp; rm clears the stamps of the erased entries.
TEST_F(StampInterop, PutSetsThemAsTheLabelSays) {
    const struct {
        const char *Format;
        const char *Label;       // what is done to the label first
        bool Created, Updated;   // the stamps a new file gets
    } cases[] = {{"os3", "true", true, false},   // mkfs.cpm -t: create stamps only
                 {"os3", "$DW label s.img --update-stamps", true, true},
                 {"os3", "$DW label s.img --stamps none", false, false},
                 {"p2", "true", true, true}};
    const Stamp old = {1985, 6, 15, 8, 30};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.Format) + ": " + c.Label);
        std::string f = c.Format;
        Folder.write("new.txt", "new");
        Folder.write("old.txt", "old");
        ASSERT_EQ(utc("rm -f s.img && mkfs.cpm -f " + f + " -t s.img && cpmcp -f " + f + " s.img old.txt 0: && " + c.Label +
                          " >/dev/null",
                      f),
                  "");
        int oldEntry = f == "os3" ? 1 : 0;
        std::string image = file("s.img");
        putStamp(image, stampAt(oldEntry), old);
        putStamp(image, stampAt(oldEntry) + 4, old);
        Folder.write("s.img", image);
        std::string before = nowIso();
        ASSERT_EQ(utc("$DW put s.img new.txt && $DW put --force s.img old.txt", f),
                  "NEW     .TXT saved on CP/M volume.\nOLD     .TXT saved on CP/M volume.\n");
        std::string after = nowIso();
        auto ours = ourDates(f, "s.img"), theirs = cpmlsDates(f, "s.img");
        const auto &fresh = ours["NEW.TXT"];
        EXPECT_TRUE(c.Created ? fresh.second >= before && fresh.second <= after : fresh.second.empty()) << fresh.second;
        EXPECT_TRUE(c.Updated ? fresh.first >= before && fresh.first <= after : fresh.first.empty()) << fresh.first;
        // The create stamp outlives the rewrite (shown where the label keeps create stamps).
        EXPECT_EQ(ours["OLD.TXT"].second, c.Created ? iso(old) : "");
        EXPECT_EQ(ours["OLD.TXT"].first, c.Updated ? fresh.first : "");
        for (const char *name : {"NEW.TXT", "OLD.TXT"}) {
            if (!ours[name].first.empty()) { EXPECT_EQ(ours[name].first, theirs[name].first) << name; }
            if (!ours[name].second.empty()) { EXPECT_EQ(ours[name].second, theirs[name].second) << name; }
        }
        // Erasing leaves zero stamps behind.
        std::string listing = utc("$DW ls --json s.img", f);
        std::smatch entry;
        ASSERT_TRUE(std::regex_search(listing, entry, std::regex(R"("name": "NEW     .TXT".*?"entries": \[(\d+)\])")));
        ASSERT_EQ(utc("$DW rm s.img new.txt", f), "NEW     .TXT erased\n");
        EXPECT_EQ(file("s.img").substr(stampAt(std::stoi(entry[1])), 10), std::string(10, '\0'));
    }
}

// A stamped directory sorted: every file keeps its own dates, for cpmls too.
TEST_F(StampInterop, SortKeepsEachFilesDates) {
    for (const char *name : {"d.txt", "c.txt", "b.txt", "a.txt", "e.txt"}) Folder.write(name, name);
    ASSERT_EQ(utc("mkfs.cpm -f os3 -t s.img && cpmcp -f os3 s.img d.txt c.txt b.txt a.txt e.txt 0:", "os3"), "");
    std::string image = file("s.img");
    // Entries 1, 2, 4, 5, 6 hold D, C, B, A, E (3 is the stamp entry): each a year of its own.
    int year = 1980;
    for (int entry : {1, 2, 4, 5, 6}) {
        putStamp(image, stampAt(entry), {year, 3, 1, 10, 0});
        putStamp(image, stampAt(entry) + 4, {year + 1, 4, 2, 11, 1});
        year += 2;
    }
    Folder.write("s.img", image);
    auto before = cpmlsDates("os3", "s.img");
    ASSERT_EQ(utc("$DW sort s.img names asc", "os3"), "Volume alphabetized.\n");
    EXPECT_TRUE(test_Has(utc("$DW ls --json s.img", "os3"), R"("name": "A       .TXT")")) << "sorted";
    EXPECT_EQ(cpmlsDates("os3", "s.img"), before);
    EXPECT_EQ(ourDates("os3", "s.img"), before);
    EXPECT_EQ(before["A.TXT"].second, iso({1986, 3, 1, 10, 0}));
}

// --init-stamps on a directory with files in every fourth slot: the files
// move out, a stamp entry takes each fourth slot, and cpmtools reads every
// file back byte for byte with fsck.cpm content; a directory too full is
// refused with the number of entries to free and left as it was.
TEST_F(StampInterop, InitStampsMovesFilesOutOfTheStampSlots) {
    const struct {
        int Files;               // files of one entry each, plus one of three entries
        const char *Refusal;     // "" when it fits
    } cases[] = {{8, ""}, {44, ""}, {46, "Directory too full for date stamps: free 2 entries."}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.Files) + " files");
        std::string names;
        for (int k = 0; k < c.Files; k++) {
            std::string name = "f" + std::to_string(k) + ".dat";
            Folder.write(name, std::string(size_t(100 + 37 * k), char('a' + k % 26)));
            names += " " + name;
        }
        std::string big;
        for (int k = 0; k < 40000; k++) big += char(k * 7 % 251);
        Folder.write("big.bin", big);
        ASSERT_EQ(utc("rm -f s.img && mkfs.cpm -f os3 s.img && cpmcp -f os3 s.img big.bin" + names + " 0:", "os3"), "");
        std::string image = file("s.img");
        int status = 0;
        std::string said = utc("$DW label s.img --init-stamps --update-stamps WORK", "os3", &status);
        if (*c.Refusal) {
            EXPECT_EQ(status, 1);
            EXPECT_TRUE(test_Has(said, c.Refusal)) << said;
            EXPECT_EQ(file("s.img"), image);
            continue;
        }
        ASSERT_EQ(status, 0) << said;
        EXPECT_EQ(said, "Label WORK: create stamps, update stamps\n");
        image = file("s.img");
        for (int i = 3; i < 64; i += 4) EXPECT_EQ(image[directoryAt + size_t(i) * 32], '\x21') << "entry " << i;
        EXPECT_EQ(image[directoryAt], '\x20');
        std::string fsck = utc("fsck.cpm -f os3 -n s.img", "os3", &status);
        EXPECT_EQ(status, 0) << fsck;
        EXPECT_EQ(fsck.find("rror"), std::string::npos) << fsck;
        ASSERT_EQ(utc("mkdir -p out && rm -f out/* && cpmcp -f os3 s.img '0:*' out/", "os3"), "");
        EXPECT_EQ(file("out/big.bin"), big);
        for (int k = 0; k < c.Files; k++)
            EXPECT_EQ(file("out/f" + std::to_string(k) + ".dat"), std::string(size_t(100 + 37 * k), char('a' + k % 26))) << k;
        if (c.Files > 8) continue;
        // A file put now gets its stamps.
        Folder.write("late.txt", "late");
        ASSERT_EQ(utc("$DW put s.img late.txt >/dev/null", "os3"), "");
        EXPECT_FALSE(cpmlsDates("os3", "s.img")["LATE.TXT"].second.empty());
    }
}

// A password entry written by hand as CP/M 3 lays it out: the password
// "LETMEIN " with each byte XOR the sum of its bytes, last byte first.  rm
// and attr refuse without it, refuse a wrong one, take the right one (in
// any case) or --force; reading a read-protected file says so once.
TEST_F(StampInterop, PasswordEntriesProtectFiles) {
    auto xfcb = [](uint8_t mode) {
        std::string e(32, '\0');
        e[0] = 16;                              // user 0's password entry
        std::string name = "SECRET  TXT";
        std::copy(name.begin(), name.end(), e.begin() + 1);
        e[12] = char(mode);
        std::string word = "LETMEIN ";
        uint8_t key = 0;
        for (char ch : word) key = uint8_t(key + uint8_t(ch));
        e[13] = char(key);
        for (int k = 0; k < 8; k++) e[size_t(16 + 7 - k)] = char(uint8_t(word[size_t(k)]) ^ key);
        return e;
    };
    const struct {
        uint8_t Mode;
        const char *Mark;
        const char *Line;        // the command
        int Status;
        const char *Says;        // part of what it says
    } cases[] = {
        {0x20, "(D protection)", "$DW rm s.img secret.txt", 1, "SECRET  .TXT is password-protected; use --password WORD or --force"},
        {0x20, "(D protection)", "$DW rm s.img secret.txt --password letmeout", 1, "SECRET  .TXT: wrong password"},
        {0x20, "(D protection)", "$DW rm s.img '#1' --password nope", 1, "wrong password"},
        {0x20, "(D protection)", "$DW rm s.img secret.txt --password letmein", 0, "SECRET  .TXT erased"},
        {0x20, "(D protection)", "$DW attr s.img secret.txt +R", 0, "attributes: R"},
        {0x40, "(W protection)", "$DW attr s.img secret.txt +R", 1, "is password-protected"},
        {0x40, "(W protection)", "$DW attr s.img secret.txt +R --force", 0, "attributes: R"},
        {0x80, "(R protection)", "$DW rm s.img secret.txt --force", 0, "SECRET  .TXT erased"},
        {0x80, "(R protection)", "$DW get s.img secret.txt -", 0,
         "top secretSECRET  .TXT: read-protected; read without its password\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Line);
        Folder.write("secret.txt", "top secret");
        ASSERT_EQ(utc("rm -f s.img && mkfs.cpm -f os3 -t s.img && cpmcp -f os3 s.img secret.txt 0:", "os3"), "");
        std::string image = file("s.img");
        image[directoryAt + 12] = char(image[directoryAt + 12] | 0x80);   // the label turns passwords on
        image.replace(directoryAt + 2 * 32, 32, xfcb(c.Mode));
        Folder.write("s.img", image);
        EXPECT_TRUE(test_Has(utc("$DW ls -l s.img", "os3"), c.Mark));
        int status = -1;
        std::string said = utc(c.Line, "os3", &status);
        EXPECT_EQ(status, c.Status) << said;
        EXPECT_TRUE(test_Has(said, c.Says)) << said;
        std::string after = file("s.img");
        if (c.Status != 0) { EXPECT_EQ(after, image); }
        // Erasing the file takes its password entry with it.
        if (test_Has(c.Line, "rm") && c.Status == 0) { EXPECT_EQ(uint8_t(after[directoryAt + 2 * 32]), 0xE5); }
    }
}

// label --password stores the password as CP/M 3 encodes it and turns
// passwords on: the same bytes the test makes by hand.
TEST_F(StampInterop, LabelPasswordIsEncodedAsCpm3Does) {
    ASSERT_EQ(utc("mkfs.cpm -f os3 -t s.img && $DW label s.img --password Secret >/dev/null", "os3"), "");
    std::string label = file("s.img").substr(directoryAt, 32);
    std::string word = "SECRET  ";
    uint8_t key = 0;
    for (char ch : word) key = uint8_t(key + uint8_t(ch));
    EXPECT_EQ(uint8_t(label[13]), key);
    for (int k = 0; k < 8; k++) EXPECT_EQ(uint8_t(label[size_t(16 + 7 - k)]), uint8_t(uint8_t(word[size_t(k)]) ^ key)) << k;
    EXPECT_EQ(uint8_t(label[12]) & 0x80, 0x80);
    EXPECT_TRUE(test_Has(utc("$DW info s.img", "os3"), "LabelFlags:   passwords, create stamps"));
}
