// diskwright-cli against cpmtools on a 140K Apple II disk that mkfs.cpm made:
// attributes set by either side read back by the other, text files
// exchanged with `cpmcp -t`, files of every size copied byte for byte both
// ways (the consistency check silent on what cpmtools writes and erases),
// replacing files, and the free space of a disk with reserved blocks.
// Skipped where cpmtools is not installed (failed where CI runs).
#include <algorithm>
#include <map>
#include <regex>

#include "cli_run.h"
#include "files.h"
#include "fixtures.h"
#include "image.h"
#include "peer_tools.h"
#include "volume.h"

namespace {

class CliInterop : public test_CliTest {
  protected:
    void SetUp() override {
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS);
        // mkfs.cpm writes the boot tracks and the directory only.
        ASSERT_EQ(run("mkfs.cpm -f apple-do disk.dsk && truncate -s 143360 disk.dsk"), "");
    }
    // The attribute letters cpmls -F shows per file ("WS.COM" -> "RS").
    std::map<std::string, std::string> cpmAttributes() {
        std::map<std::string, std::string> out;
        std::regex row(R"(^(\S+) +(\S+) +\d+k +\d+(.*)None)");
        std::istringstream lines(run("cpmls -f apple-do -F disk.dsk"));
        for (std::string line; std::getline(lines, line);) {
            std::smatch m;
            if (!std::regex_search(line, m, row)) continue;
            std::string letters = m[3];
            letters.erase(std::remove(letters.begin(), letters.end(), ' '), letters.end());
            out[m[1].str() + "." + m[2].str()] = letters;
        }
        return out;
    }
};

}  // namespace

TEST_F(CliInterop, AttributesBothWays) {
    Folder.write("ws.com", "ws");
    Folder.write("read.me", "me");
    Folder.write("stat.com", "st");
    ASSERT_EQ(run("cpmcp -f apple-do disk.dsk ws.com read.me stat.com 0:"), "");
    ASSERT_EQ(run("$CLI attr disk.dsk '*.COM' +RS && $CLI attr disk.dsk stat.com -S +A >/dev/null"),
              "WS      .COM attributes: RS\nSTAT    .COM attributes: RS\n");
    EXPECT_EQ(cpmAttributes(), (std::map<std::string, std::string>{{"READ.ME", ""}, {"STAT.COM", "RA"}, {"WS.COM", "RS"}}));
    // cpmtools sets them, the listing shows them.
    ASSERT_EQ(run("cpmchattr -f apple-do disk.dsk s 0:read.me"), "");
    std::string listing = run("$CLI ls -l disk.dsk");
    EXPECT_NE(listing.find("READ    .ME    1K       2 Bytes  #  1  R/W  SYS\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("STAT    .COM   1K       2 Bytes  #  2  R/O  (Archived)\n"), std::string::npos) << listing;
    EXPECT_EQ(run("$CLI ls disk.dsk | grep -c 'READ'"), "0\n");   // system files are left out of the short listing
}

TEST_F(CliInterop, TextFilesWithCpmcp) {
    const std::string text = "line one\nline two\n\nlast line\n";
    Folder.write("host.txt", text);
    ASSERT_EQ(run("cpmcp -f apple-do -t disk.dsk host.txt 0:theirs.txt && $CLI put --text disk.dsk host.txt --as ours.txt"),
              "OURS    .TXT saved on CP/M volume.\n");
    EXPECT_EQ(run("$CLI get --text disk.dsk theirs.txt"), text);
    // Text put without -t has no Control-Z: the file's size ends it.
    ASSERT_EQ(run("cpmcp -f apple-do disk.dsk host.txt 0:binary.txt"), "");
    EXPECT_EQ(run("$CLI type disk.dsk binary.txt && $CLI get --text disk.dsk binary.txt"), text + text);
    ASSERT_EQ(run("cpmcp -f apple-do -t disk.dsk 0:ours.txt back.txt"), "");
    EXPECT_EQ(file("back.txt"), text);
}

// Files cpmcp puts without -t, a Control-Z inside their size: get --text
// gives the text before the first one, into a file and to standard output
// (which goes a 64K piece at a time).
TEST_F(CliInterop, GetTextStopsAtTheFirstControlZ) {
    std::string lines;
    while (lines.size() < 70000) lines += "line " + std::to_string(lines.size()) + "\r\n";
    auto host = [](std::string s) {
        for (size_t at; (at = s.find("\r\n")) != std::string::npos;) s.erase(at, 1);
        return s;
    };
    const struct { const char *What; std::string Before, After; } cases[] = {
        {"lines after it", "one\r\ntwo\r\n", "three\r\n\x1A\x1A"},
        {"first byte", "", "after\r\n"},
        {"a CR before it", "a\r", "\nb"},
        {"none", lines.substr(0, 100), ""},
        {"in the first piece, 70000 bytes", lines.substr(0, 1000), lines.substr(1000)},
        {"in the second piece", lines.substr(0, 66000), lines.substr(66000)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.What);
        Folder.write("t.txt", c.Before + (c.After.empty() ? "" : "\x1A" + c.After));
        ASSERT_EQ(run("cpmcp -f apple-do disk.dsk t.txt 0:t.txt && $CLI get --text disk.dsk t.txt out.txt >/dev/null"), "");
        const std::string want = host(c.Before);   // a lone CR stays
        EXPECT_TRUE(file("out.txt") == want) << "into a file";
        EXPECT_TRUE(run("$CLI get --text disk.dsk t.txt -") == want) << "to standard output";
        ASSERT_EQ(run("cpmrm -f apple-do disk.dsk 0:t.txt"), "");
    }
}

// The sizes at the edges of records, blocks and extents.
static const size_t edgeSizes[] = {0, 1, 25, 127, 128, 129, 1023, 1024, 16383, 16384, 16385};

TEST_F(CliInterop, FilesOfEverySizeByteForByteBothWays) {
    std::string theirs, ours;
    for (size_t n : edgeSizes) {
        Folder.write("t" + std::to_string(n), pattern(n, int(n)).bytes());
        Folder.write("o" + std::to_string(n), pattern(n, int(n) + 1).bytes());
        theirs += " t" + std::to_string(n);
        ours += " o" + std::to_string(n);
    }
    ASSERT_EQ(run("cpmcp -f apple-do disk.dsk" + theirs + " 0: && $CLI put disk.dsk" + ours + " >/dev/null"), "");
    for (size_t n : edgeSizes) {
        SCOPED_TRACE(std::to_string(n) + " bytes");
        std::string t = "t" + std::to_string(n), o = "o" + std::to_string(n);
        // cpmtools' byte count read by get; ours read by cpmcp.
        ASSERT_EQ(run("$CLI get disk.dsk " + t + " got-" + t + " >/dev/null && cpmcp -f apple-do disk.dsk 0:" + o +
                      " got-" + o),
                  "");
        EXPECT_TRUE(file("got-" + t) == file(t));
        EXPECT_TRUE(file("got-" + o) == file(o));
        // --blocks: the whole blocks, as T(ransfer copies them.
        EXPECT_EQ(run("$CLI get --blocks disk.dsk " + o + " | wc -c"), std::to_string((n + 1023) / 1024 * 1024) + "\n");
    }
    // The long listing and the JSON give the sizes cpmls gives.
    std::string listing = run("$CLI ls -l disk.dsk");
    EXPECT_NE(listing.find("T25     .      1K      25 Bytes"), std::string::npos) << listing;
    EXPECT_NE(listing.find("T0      .      0K       0 Bytes"), std::string::npos) << listing;
    EXPECT_NE(run("$CLI ls --json disk.dsk").find("\"name\": \"O16385  .   \", \"hostName\": \"O16385.\", \"size\": 16385, "
                                                  "\"sizeK\": 17, \"records\": 129"),
              std::string::npos);
    std::string cpmls = run("cpmls -f apple-do -l disk.dsk");
    EXPECT_NE(cpmls.find("     25 Jan 01 1970  o25\n"), std::string::npos) << cpmls;
    EXPECT_NE(cpmls.find("      0 Jan 01 1970  o0\n"), std::string::npos) << cpmls;
    // Empty files are entries without blocks, a file cpmrm erased leaves
    // entries behind: fsck.cpm and check are content.
    ASSERT_EQ(run("cpmrm -f apple-do disk.dsk 0:t16384"), "");
    int status = -1;
    std::string fsck = run("fsck.cpm -f apple-do -n disk.dsk", &status);
    EXPECT_EQ(fsck.find("Error"), std::string::npos) << fsck;
    EXPECT_EQ(run("$CLI check disk.dsk", &status), "No problems found: 21 files in 64 directory entries.\n");
    EXPECT_EQ(status, 0);
}

TEST_F(CliInterop, PutForceReplacesAFileAndStandsBesideAnErasedOne) {
    Folder.write("old", std::string(5000, 'o'));
    Folder.write("new", std::string(3000, 'n'));
    Folder.write("newer", std::string(700, 'w'));
    ASSERT_EQ(run("cpmcp -f apple-do disk.dsk old 0:a.dat && $CLI rm disk.dsk a.dat"), "A       .DAT erased\n");
    // An erased file of the name: the tool says why, and changes nothing.
    Text before = gettextfromfile(at("disk.dsk"));
    int status = -1;
    EXPECT_EQ(run("$CLI put disk.dsk new --as a.dat", &status),
              "diskwright-cli: disk.dsk: A       .DAT: an erased file of this name is still in the directory (unrm it, "
              "or sort to drop erased entries, or use --force)\n");
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(gettextfromfile(at("disk.dsk")) == before);
    // --force: written beside it; the erased file can no longer come back.
    EXPECT_EQ(run("$CLI put --force disk.dsk new --as a.dat"), "A       .DAT saved on CP/M volume.\n");
    EXPECT_EQ(run("cpmcp -f apple-do disk.dsk 0:a.dat got && cmp got new && $CLI rm disk.dsk a.dat"), "A       .DAT erased\n");
    EXPECT_EQ(run("$CLI unrm disk.dsk a.dat", &status), "A       .DAT unerased\n");
    EXPECT_EQ(run("cpmcp -f apple-do disk.dsk 0:a.dat got && cmp got new"), "");
    // Over a live file: the old one erased and the new one written in one save.
    EXPECT_EQ(run("$CLI put disk.dsk newer --as a.dat", &status), "diskwright-cli: disk.dsk: A       .DAT could not be saved: File exists.\n");
    EXPECT_EQ(run("$CLI put --force disk.dsk newer --as a.dat"), "A       .DAT saved on CP/M volume.\n");
    EXPECT_EQ(run("cpmcp -f apple-do disk.dsk 0:a.dat got && cmp got newer && cpmls -f apple-do disk.dsk"), "0:\na.dat\n");
    EXPECT_EQ(run("$CLI ls disk.dsk | tail -1"), "1 files, 3K used, 125K free.\n");
    EXPECT_EQ(run("$CLI blocks disk.dsk a.dat | grep -c Extensions"), "0\n");   // no erased entry of the name left
    // Refused for space, --force leaves the old file as it was.
    Folder.write("huge", std::string(200000, 'h'));
    EXPECT_NE(run("$CLI put --force disk.dsk huge --as a.dat", &status).find("Not enough free space"), std::string::npos);
    EXPECT_EQ(run("cpmcp -f apple-do disk.dsk 0:a.dat got && cmp got newer && $CLI check disk.dsk"),
              "No problems found: 1 files in 64 directory entries.\n");
}

// The DOS half of a hybrid DOS 3.3 / CP/M disk, reserved under user 31: the
// free space is what cpmtools reports, and exactly that can be written.
TEST_F(CliInterop, ReservedBlocksLeaveTheFreeSpaceCpmtoolsReports) {
    Folder.write("a", std::string(3000, 'a'));
    ASSERT_EQ(run("cpmcp -f apple-do disk.dsk a 0:a.bin"), "");
    cpm_Volume v = cpm_LoadVolume(at("disk.dsk"));
    for (int k = 0; k < 4; k++) {
        std::vector<int> half;
        for (int b = 64 + 16 * k; b < 80 + 16 * k; b++) half.push_back(b);
        putEntry(v, 1 + k, 31, "DOS     HLF", k, 0, 128, half);
    }
    ASSERT_EQ(cpm_SaveVolume(std::move(v)).Message, "");
    std::string cpmls = run("cpmls -f apple-do -D disk.dsk");
    ASSERT_NE(cpmls.find("     59K Free."), std::string::npos) << cpmls;
    EXPECT_EQ(run("$CLI ls disk.dsk | tail -1"), "1 files, 69K used, 59K free.\n");
    EXPECT_EQ(run("$CLI map disk.dsk | tail -3"),
              "064 **************************************************************** 128K\n\n69K used, 59K free.\n");
    EXPECT_EQ(run("$CLI check disk.dsk"), "No problems found: 1 files in 64 directory entries.\n");
    Folder.write("fits", std::string(59 * 1024, 'f'));
    Folder.write("more", std::string(59 * 1024 + 1, 'm'));
    int status = -1;
    EXPECT_EQ(run("$CLI put disk.dsk more", &status),
              "diskwright-cli: disk.dsk: MORE    .    could not be saved: Not enough free space on volume.\n");
    EXPECT_EQ(run("$CLI put disk.dsk fits && cpmcp -f apple-do disk.dsk 0:fits got && cmp got fits"),
              "FITS    .    saved on CP/M volume.\n");
    // The DOS half is as it was.
    EXPECT_NE(run("cpmls -f apple-do -D disk.dsk").find("     0K Free."), std::string::npos);
}
