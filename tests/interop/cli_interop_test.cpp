// diskwright-cli against cpmtools on a 140K Apple II disk that mkfs.cpm made:
// attributes set by either side read back by the other, text files
// exchanged with `cpmcp -t`, and the consistency check silent on what
// cpmtools writes.  Skipped where cpmtools is not installed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <map>
#include <regex>

#include "files.h"

namespace fs = std::filesystem;

namespace {

class CliInterop : public ::testing::Test {
  protected:
    fs::path Folder;
    void SetUp() override {
        if (system("command -v cpmls >/dev/null 2>&1 && command -v mkfs.cpm >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "cpmtools is not installed";
        char templ[] = "/tmp/dwcliinteropXXXXXX";
        Folder = mkdtemp(templ);
        // mkfs.cpm writes the boot tracks and the directory only.
        ASSERT_EQ(sh("mkfs.cpm -f apple-do disk.dsk && truncate -s 143360 disk.dsk"), "");
    }
    void TearDown() override {
        if (!Folder.empty()) fs::remove_all(Folder);
    }
    // Runs a command line in the folder ($CLI is the tool); what it printed.
    std::string sh(const std::string &line, int *status = nullptr) {
        std::string cmd = "cd '" + Folder.string() + "' && CLI='" DW_CLI_PATH "' && { " + line + " ; } 2>&1";
        FILE *p = popen(cmd.c_str(), "r");
        std::string out;
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        int s = pclose(p);
        if (status) *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
        return out;
    }
    void write(const std::string &name, const std::string &data) {
        ASSERT_EQ(setbinarytofile((Folder / name).string(), Text(data)), 0);
    }
    // The attribute letters cpmls -F shows per file ("WS.COM" -> "RS").
    std::map<std::string, std::string> cpmAttributes() {
        std::map<std::string, std::string> out;
        std::regex row(R"(^(\S+) +(\S+) +\d+k +\d+(.*)None)");
        std::string text = sh("cpmls -f apple-do -F disk.dsk");
        for (size_t at = 0, end; at < text.size(); at = end + 1) {
            end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            std::smatch m;
            std::string line = text.substr(at, end - at);
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
    write("ws.com", "ws");
    write("read.me", "me");
    write("stat.com", "st");
    ASSERT_EQ(sh("cpmcp -f apple-do disk.dsk ws.com read.me stat.com 0:"), "");
    ASSERT_EQ(sh("$CLI attr disk.dsk '*.COM' +RS && $CLI attr disk.dsk stat.com -S +A >/dev/null"),
              "WS      .COM attributes: RS\nSTAT    .COM attributes: RS\n");
    EXPECT_EQ(cpmAttributes(), (std::map<std::string, std::string>{{"READ.ME", ""}, {"STAT.COM", "RA"}, {"WS.COM", "RS"}}));
    // cpmtools sets them, the listing shows them.
    ASSERT_EQ(sh("cpmchattr -f apple-do disk.dsk s 0:read.me"), "");
    std::string listing = sh("$CLI ls -l disk.dsk");
    EXPECT_NE(listing.find("READ    .ME    1K     128 Bytes  #  1  R/W  SYS\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("STAT    .COM   1K     128 Bytes  #  2  R/O  (Archived)\n"), std::string::npos) << listing;
    EXPECT_EQ(sh("$CLI ls disk.dsk | grep -c 'READ'"), "0\n");   // system files are left out of the short listing
}

TEST_F(CliInterop, TextFilesWithCpmcp) {
    const std::string text = "line one\nline two\n\nlast line\n";
    write("host.txt", text);
    ASSERT_EQ(sh("cpmcp -f apple-do -t disk.dsk host.txt 0:theirs.txt && $CLI put --text disk.dsk host.txt --as ours.txt"),
              "OURS    .TXT saved on CP/M volume.\n");
    EXPECT_EQ(sh("$CLI get --text disk.dsk theirs.txt"), text);
    ASSERT_EQ(sh("cpmcp -f apple-do -t disk.dsk 0:ours.txt back.txt"), "");
    EXPECT_EQ(gettextfromfile((Folder / "back.txt").string()).bytes(), text);
}

TEST_F(CliInterop, CheckIsSilentOnWhatCpmtoolsWrites) {
    std::string big(60000, 'b'), mid(16384, 'm');
    write("big.bin", big);
    write("mid.bin", mid);
    write("one.txt", "1");
    ASSERT_EQ(sh("cpmcp -f apple-do disk.dsk big.bin mid.bin one.txt 0: && cpmrm -f apple-do disk.dsk 0:mid.bin"), "");
    int status = -1;
    EXPECT_EQ(sh("$CLI check disk.dsk", &status), "No problems found: 2 files in 64 directory entries.\n");
    EXPECT_EQ(status, 0);
}
