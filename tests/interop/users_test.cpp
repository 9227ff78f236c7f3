// User areas 0-15 through diskwright-cli against cpmtools: files cpmcp puts
// into users 0-15 list, read, erase, unerase and copy out per user, files
// the tool writes into a user area read back with cpmcp, and fsck.cpm stays
// clean.  Skipped where cpmtools is not installed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>

#include "files.h"

namespace fs = std::filesystem;

// A 256K plain volume as cpmtools sees it: one leading track of its own
// (cpmtools 2.23 misplaces blocks with boottrk 0), added and stripped
// around every cpmtools call.
static const char *diskdefs = R"(diskdef dw-plain256
  seclen 512
  tracks 129
  sectrk 4
  blocksize 2048
  maxdir 128
  boottrk 1
  os 2.2
end
)";
constexpr size_t lead = 2048;

class Users : public ::testing::Test {
  protected:
    fs::path Folder;
    void SetUp() override {
        if (system("command -v cpmcp >/dev/null 2>&1 && command -v fsck.cpm >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "cpmtools is not installed";
        char templ[] = "/tmp/dwusersXXXXXX";
        Folder = mkdtemp(templ);
        ASSERT_EQ(setbinarytofile(at("diskdefs"), Text(diskdefs)), 0);
    }
    void TearDown() override {
        if (!Folder.empty()) fs::remove_all(Folder);
    }
    std::string at(const std::string &name) { return (Folder / name).string(); }

    // Runs a shell command in the folder (cpmtools finds ./diskdefs there);
    // standard output, and standard error into err.
    int sh(const std::string &command, std::string *out = nullptr, std::string *err = nullptr) {
        std::string full = "cd '" + Folder.string() + "' && " + command + " 2>err.txt";
        FILE *p = popen(full.c_str(), "r");
        std::string text;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
        int status = pclose(p);
        if (out) *out = text;
        if (err) *err = gettextfromfile(at("err.txt")).bytes();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int cli(const std::string &arguments, std::string *out = nullptr, std::string *err = nullptr) {
        return sh("'" DW_CLI_PATH "' " + arguments, out, err);
    }
    // Runs a cpmtools command on the image: the leading track on, then off.
    int cpmtools(const std::string &command, std::string *out = nullptr) {
        Text image = gettextfromfile(at("img.vol"));
        EXPECT_EQ(setbinarytofile(at("cpm.img"), Text(std::vector<uint8_t>(lead, 0xE5)) + image), 0);
        int status = sh(command + " 2>&1", out);
        Text back = gettextfromfile(at("cpm.img"));
        back.Elements.erase(back.Elements.begin(), back.Elements.begin() + long(lead));
        EXPECT_EQ(setbinarytofile(at("img.vol"), back), 0);
        return status;
    }
    std::string hostFile(const std::string &name) { return gettextfromfile(at(name)).bytes(); }
    void expectClean() {
        std::string out;
        EXPECT_EQ(cpmtools("fsck.cpm -f dw-plain256 -n cpm.img", &out), 0) << out;
        EXPECT_EQ(out.find("Error"), std::string::npos) << out;
    }
};

// The bytes of PIP.COM in user u: whole records, so both tools read them alike.
static std::string pipOf(int u) { return std::string(128 * size_t(1 + u), char('a' + u)); }

TEST_F(Users, OneFilePerUserListsReadsErasesAndUnerasesPerUser) {
    ASSERT_EQ(cli("new img.vol 256"), 0);
    for (int u = 0; u < 16; u++) {
        ASSERT_EQ(setbinarytofile(at("pip" + std::to_string(u)), Text(pipOf(u))), 0);
        ASSERT_EQ(cpmtools("cpmcp -f dw-plain256 cpm.img pip" + std::to_string(u) + " " + std::to_string(u) + ":pip.com"), 0);
    }
    std::string out, err;
    ASSERT_EQ(cli("ls img.vol", &out), 0);
    EXPECT_EQ(out, "Volume Name: img.vol (256K)\n\nPIP     .COM   2 | \n\n1 files, 36K used, 220K free.\n");
    ASSERT_EQ(cli("ls --user 15 img.vol", &out), 0);
    EXPECT_EQ(out.substr(0, out.find('\n')), "Volume Name: img.vol (256K), User 15");
    ASSERT_EQ(cli("ls --all img.vol", &out), 0);
    for (int u = 0; u < 16; u++) EXPECT_NE(out.find("User " + std::to_string(u) + ":\n"), std::string::npos) << u;

    for (int u : {0, 1, 5, 15}) {
        std::string name = std::to_string(u) + ":pip.com";
        ASSERT_EQ(cli("get --trim img.vol " + name + " ours"), 0);
        ASSERT_EQ(cpmtools("cpmcp -f dw-plain256 cpm.img " + name + " theirs"), 0);
        EXPECT_EQ(hostFile("ours"), pipOf(u)) << name;
        EXPECT_EQ(hostFile("theirs"), hostFile("ours")) << name;
    }
    // Erasing user 3's file leaves the same name in user 5 alone; unerasing
    // puts it back into the user it is named with.
    ASSERT_EQ(cli("rm img.vol 3:pip.com", &out), 0);
    EXPECT_EQ(out, "PIP     .COM erased\n");
    EXPECT_NE(cli("type img.vol 3:pip.com", &out, &err), 0);
    ASSERT_EQ(cli("get --trim img.vol 5:PIP.COM five"), 0);
    EXPECT_EQ(hostFile("five"), pipOf(5));
    ASSERT_EQ(cli("unrm img.vol 14:pip.com", &out, &err), 1);   // beside user 14's live one
    EXPECT_EQ(err, "diskwright-cli: img.vol: PIP     .COM could not be unerased: File exists.\n");
    ASSERT_EQ(cli("unrm img.vol 3:pip.com"), 0);
    ASSERT_EQ(cpmtools("cpmcp -f dw-plain256 cpm.img 3:pip.com theirs"), 0);
    EXPECT_EQ(hostFile("theirs"), pipOf(3));
    expectClean();
    ASSERT_EQ(cli("rm img.vol 3:pip.com 14:pip.com"), 0);
    EXPECT_EQ(cli("unrm img.vol 3:pip.com", &out, &err), 1);
    EXPECT_EQ(err, "diskwright-cli: img.vol: PIP     .COM could not be unerased: Erased entries of two files.\n");
}

TEST_F(Users, WritesIntoUserAreasAndCopiesEveryUserOut) {
    ASSERT_EQ(cli("new img.vol 256"), 0);
    ASSERT_EQ(setbinarytofile(at("data"), Text(std::string(3000, 'd'))), 0);
    ASSERT_EQ(setbinarytofile(at("more"), Text(std::string(20000, 'm'))), 0);
    std::string out, err;
    ASSERT_EQ(cli("put img.vol data --as 0:same.txt"), 0);
    ASSERT_EQ(cli("put img.vol data --as 5:same.txt"), 0);   // the same name in another user area
    ASSERT_EQ(cli("put img.vol more --user 7"), 0);
    EXPECT_EQ(cli("put img.vol more --user 7", &out, &err), 1);
    EXPECT_EQ(err, "diskwright-cli: img.vol: MORE    .    could not be saved: File exists.\n");
    EXPECT_EQ(cli("put img.vol more --user 16", &out, &err), 2);
    ASSERT_EQ(cpmtools("cpmls -f dw-plain256 cpm.img", &out), 0);
    EXPECT_EQ(out, "0:\nsame.txt\n\n5:\nsame.txt\n\n7:\nmore\n");
    ASSERT_EQ(cpmtools("cpmcp -f dw-plain256 cpm.img 7:more theirs"), 0);
    EXPECT_EQ(hostFile("theirs"), std::string(20000, 'm') + std::string(96, '\x1A'));
    expectClean();

    fs::create_directory(at("flat"));
    ASSERT_EQ(cli("get img.vol '*' flat", &out, &err), 0);
    EXPECT_EQ(err, "2 files in other user areas not copied (use '*:*').\n");
    fs::create_directory(at("users"));
    ASSERT_EQ(cli("get --trim img.vol '*:*' users"), 0);
    EXPECT_EQ(hostFile("users/0/SAME.TXT"), std::string(3072, 'd').replace(3000, 72, 72, '\x1A'));
    EXPECT_EQ(hostFile("users/5/SAME.TXT"), hostFile("users/0/SAME.TXT"));
    EXPECT_EQ(hostFile("users/7/MORE."), hostFile("theirs"));
    fs::create_directory(at("seven"));
    ASSERT_EQ(cli("get img.vol '7:*' seven"), 0);
    EXPECT_TRUE(fs::exists(at("seven/MORE.")));
    EXPECT_EQ(cli("get img.vol '16:*' seven"), 2);
}

// Patterns with a user prefix: "5:*.COM" matches in user area 5 only,
// "*:*.COM" in every user area, each copied into its user's subfolder.
TEST_F(Users, PatternsMatchWithinTheirUserAreas) {
    ASSERT_EQ(cli("new img.vol 256"), 0);
    const struct {
        int User;
        const char *Name;
    } files[] = {{0, "a.com"}, {5, "b.com"}, {5, "c.txt"}, {9, "d.com"}};
    for (const auto &f : files) {
        ASSERT_EQ(setbinarytofile(at("src"), Text(std::string(128, f.Name[0]))), 0);
        ASSERT_EQ(cpmtools("cpmcp -f dw-plain256 cpm.img src " + std::to_string(f.User) + ":" + f.Name), 0);
    }
    std::string out, err;
    // Each case: arguments, exit status, the headings in order ("" for none).
    const struct {
        const char *Arguments;
        int Status;
        std::vector<std::string> Headings;
    } cases[] = {
        {"type img.vol '5:*.COM'", 0, {"==> 5:B       .COM <=="}},
        {"blocks img.vol '9:D.*'", 0, {"==> 9:D       .COM <=="}},
        {"dump img.vol '*:?.COM'", 0, {"==> A       .COM <==", "==> 5:B       .COM <==", "==> 9:D       .COM <=="}},
        {"type img.vol '5:C.TXT'", 0, {}},
        {"type img.vol '7:*.COM'", 1, {}},
        {"type img.vol '16:*.COM'", 2, {}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(cli(c.Arguments, &out, &err), c.Status) << c.Arguments << ": " << err;
        std::vector<std::string> headings;
        for (size_t at = out.find("==> "); at != std::string::npos; at = out.find("==> ", at + 1))
            headings.push_back(out.substr(at, out.find('\n', at) - at));
        EXPECT_EQ(headings, c.Headings) << c.Arguments;
    }
    EXPECT_EQ(cli("type img.vol '7:*.COM'", &out, &err), 1);
    EXPECT_EQ(err, "diskwright-cli: img.vol: no file matches 7:*.COM\n");

    fs::create_directory(at("coms"));
    ASSERT_EQ(cli("get --trim img.vol '*:*.COM' coms", &out, &err), 0) << err;
    EXPECT_EQ(hostFile("coms/0/A.COM"), std::string(128, 'a'));
    EXPECT_EQ(hostFile("coms/5/B.COM"), std::string(128, 'b'));
    EXPECT_EQ(hostFile("coms/9/D.COM"), std::string(128, 'd'));
    EXPECT_FALSE(fs::exists(at("coms/5/C.TXT")));

    ASSERT_EQ(cli("rm img.vol '5:*.COM'", &out, &err), 0) << err;
    EXPECT_EQ(out, "B       .COM erased\n");
    ASSERT_EQ(cli("unrm img.vol '5:B.*'", &out, &err), 0) << err;
    ASSERT_EQ(cli("attr img.vol '*:*.COM' +R", &out, &err), 0) << err;
    EXPECT_EQ(out, "A       .COM attributes: R\n5:B       .COM attributes: R\n9:D       .COM attributes: R\n");
    ASSERT_EQ(cli("ls --json --all img.vol", &out), 0);
    for (const char *user : {"\"user\": 0,", "\"user\": 5,", "\"user\": 9,"}) EXPECT_NE(out.find(user), std::string::npos) << user;
    expectClean();
}
