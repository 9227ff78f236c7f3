// diskwright-cli against cpmtools on a 140K Apple II disk that mkfs.cpm made:
// attributes set by either side read back by the other, text files
// exchanged with `cpmcp -t`, and the consistency check silent on what
// cpmtools writes.  Skipped where cpmtools is not installed.
#include <algorithm>
#include <map>
#include <regex>

#include "cli_run.h"
#include "files.h"

namespace {

class CliInterop : public test_CliTest {
  protected:
    void SetUp() override {
        if (system("command -v cpmls >/dev/null 2>&1 && command -v mkfs.cpm >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "cpmtools is not installed";
        // mkfs.cpm writes the boot tracks and the directory only.
        ASSERT_EQ(run("mkfs.cpm -f apple-do disk.dsk && truncate -s 143360 disk.dsk"), "");
    }
    // Runs a command line in the folder ($CLI is the tool); what it printed.
    std::string run(const std::string &line, int *status = nullptr) {
        test_CliRun r = sh(line);
        if (status) *status = r.Status;
        return r.Out + r.Err;
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
    EXPECT_NE(listing.find("READ    .ME    1K     128 Bytes  #  1  R/W  SYS\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("STAT    .COM   1K     128 Bytes  #  2  R/O  (Archived)\n"), std::string::npos) << listing;
    EXPECT_EQ(run("$CLI ls disk.dsk | grep -c 'READ'"), "0\n");   // system files are left out of the short listing
}

TEST_F(CliInterop, TextFilesWithCpmcp) {
    const std::string text = "line one\nline two\n\nlast line\n";
    Folder.write("host.txt", text);
    ASSERT_EQ(run("cpmcp -f apple-do -t disk.dsk host.txt 0:theirs.txt && $CLI put --text disk.dsk host.txt --as ours.txt"),
              "OURS    .TXT saved on CP/M volume.\n");
    EXPECT_EQ(run("$CLI get --text disk.dsk theirs.txt"), text);
    ASSERT_EQ(run("cpmcp -f apple-do -t disk.dsk 0:ours.txt back.txt"), "");
    EXPECT_EQ(file("back.txt"), text);
}

TEST_F(CliInterop, CheckIsSilentOnWhatCpmtoolsWrites) {
    Folder.write("big.bin", std::string(60000, 'b'));
    Folder.write("mid.bin", std::string(16384, 'm'));
    Folder.write("one.txt", "1");
    ASSERT_EQ(run("cpmcp -f apple-do disk.dsk big.bin mid.bin one.txt 0: && cpmrm -f apple-do disk.dsk 0:mid.bin"), "");
    int status = -1;
    EXPECT_EQ(run("$CLI check disk.dsk", &status), "No problems found: 2 files in 64 directory entries.\n");
    EXPECT_EQ(status, 0);
}
