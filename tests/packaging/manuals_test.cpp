// The manual pages and the bash completion, as `cmake --install` puts them:
// the pages render without a warning and describe every command and option
// of the tool; the completion completes commands, options and image files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct Output {
    int Status = -1;
    std::string Out;
};

Output run(const std::string &command) {
    Output r;
    FILE *p = popen(command.c_str(), "r");
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.Out.append(buf, n);
    int status = pclose(p);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class Manuals : public testing::Test {
protected:
    static fs::path root;
    static int installed;
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/dw-manuals-XXXXXX";
        root = mkdtemp(pattern);
        installed = std::system((std::string(DW_CMAKE) + " --install \"" DW_BUILD_DIR "\" --prefix \"" + root.string() +
                                 "\" >/dev/null 2>&1").c_str());
    }
    static void TearDownTestSuite() { fs::remove_all(root); }
    void SetUp() override { ASSERT_EQ(installed, 0) << "the install failed"; }
    std::string page(const char *name) { return (root / "share/man/man1" / name).string(); }
};
fs::path Manuals::root;
int Manuals::installed = -1;

}  // namespace

TEST_F(Manuals, PagesRenderWithoutWarnings) {
    if (std::system("command -v man >/dev/null 2>&1") != 0) GTEST_SKIP() << "man is not installed";
    for (const char *name : {"diskwright.1", "diskwright-cli.1"}) {
        ASSERT_TRUE(fs::is_regular_file(page(name))) << name;
        Output r = run("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l '" + page(name) + "' 2>&1 >/dev/null");
        EXPECT_EQ(r.Out, "") << name;
        EXPECT_GT(run("MANWIDTH=80 man -l '" + page(name) + "' 2>/dev/null").Out.size(), 3000u) << name;
    }
}

TEST_F(Manuals, TheToolsPageHasEveryCommandAndOption) {
    if (std::system("command -v man >/dev/null 2>&1") != 0) GTEST_SKIP() << "man is not installed";
    std::string text = run("MANWIDTH=200 man -l '" + page("diskwright-cli.1") + "' 2>/dev/null | col -b").Out;
    // The tool's own help lists the commands, each line "  name    synopsis".
    std::istringstream help(run("'" + (root / "bin/diskwright-cli").string() + "' help").Out);
    int commands = 0;
    for (std::string line; std::getline(help, line);) {
        if (line.rfind("  ", 0) != 0 || line.size() < 10 || line[2] == ' ') continue;
        std::string name = line.substr(2, line.find(' ', 2) - 2);
        std::string entry = "\n       " + name;   // the command, then its operands or the line's end
        EXPECT_TRUE(text.find(entry + " ") != std::string::npos || text.find(entry + "\n") != std::string::npos) << name;
        commands++;
    }
    EXPECT_EQ(commands, 17);
    for (const char *option : {"--json", "--text", "--trim", "--no-clobber", "--as", "--force", "--version", "--format",
                               "--user", "--all", "*:*", "--diskdefs",
                               "--verbose", "EXIT STATUS", "EXAMPLES", "JSON", "hostName", "extent-gap"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
}

TEST_F(Manuals, CompletionCompletesCommandsOptionsAndImages) {
    fs::path script = root / "share/bash-completion/completions/diskwright-cli";
    ASSERT_TRUE(fs::is_regular_file(script));
    fs::path folder = root / "images";
    fs::create_directories(folder / "sub");
    for (const char *f : {"games.dsk", "work.VOL", "notes.txt", "disk.2mg"}) std::ofstream(folder / f) << "x";
    struct {
        const char *Words, *Expected;
    } cases[] = {
        {"diskwright-cli ''", "attr blocks check dump formats get help info init ls map new put rm sort type unrm"},
        {"diskwright-cli ch", "check"},
        {"diskwright-cli -v l", "ls"},
        {"diskwright-cli ls ''", "disk.2mg games.dsk sub/ work.VOL"},
        {"diskwright-cli get g", "games.dsk"},
        {"diskwright-cli ls games.dsk --", "--all --diskdefs --format --help --json --user --verbose --version"},
        {"diskwright-cli get games.dsk --t", "--text --trim"},
        {"diskwright-cli sort games.dsk ''", "names size"},
        {"diskwright-cli attr games.dsk PIP.COM +", "+A +R +S"},
        {"diskwright-cli help d", "dump"},
    };
    // The script completes the words given as arguments, the last being the one typed.
    std::ofstream(folder / "complete.sh") << "source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); "
                                             "_diskwright_cli; printf '%s\\n' \"${COMPREPLY[@]}\" | sort | paste -sd ' '\n";
    for (const auto &c : cases) {
        Output r = run("cd '" + folder.string() + "' && bash complete.sh '" + script.string() + "' " + c.Words + " 2>/dev/null");
        EXPECT_EQ(r.Out, std::string(c.Expected) + "\n") << c.Words;
    }
}
