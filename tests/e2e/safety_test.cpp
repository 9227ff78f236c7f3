// Nothing lost, as a person meets it: a save over an image the tool changed
// meanwhile, the questions before anything is replaced, host inputs that are
// no files, and names typing cannot reproduce.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

#include "e2e.h"
#include "files.h"
#include "volume.h"

namespace fs = std::filesystem;

namespace {

// A home of its own whose Desktop is where the browser starts.
std::string ownDesktop() {
    std::string home = e2e_TempFolder() + "home/";
    fs::create_directories(home + "Desktop");
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    return home + "Desktop/";
}

// WORK.DSK in a folder of its own; `raw` renames entries as a real disk may
// hold them (entry number, 11 name bytes).
std::string workImage(const std::vector<std::pair<std::string, std::string>> &files,
                      const std::vector<std::pair<int, std::string>> &raw = {}) {
    std::string image = e2e_TempFolder() + "WORK.DSK";
    e2e_MakeImage(image, 128, files);
    Text bytes = gettextfromfile(image);
    for (const auto &[entry, name] : raw) std::copy(name.begin(), name.end(), bytes.data() + 32 * entry + 1);
    EXPECT_EQ(setbinarytofile(image, bytes), 0);
    return image;
}

void openWork() {
    ASSERT_TRUE(e2e_WaitFor("WORK.DSK"));
    e2e_Type("\r");
    ASSERT_TRUE(e2e_WaitFor("Volume Name: WORK.DSK"));
}

bool onScreen(const std::string &text) { return e2e_Screen().find(text) != std::string::npos; }

// A command and its answer, then Return to clear the work area.
void command(const std::string &keys, const std::string &shows) {
    e2e_Type(keys);
    EXPECT_TRUE(e2e_WaitFor(shows)) << keys;
    e2e_Settle();
}

std::vector<std::string> filesOf(const std::string &image) {
    cpm_SetDiagnostics(false);
    cpm_Volume v = cpm_LoadVolume(image);
    cpm_SetDiagnostics(true);
    std::vector<std::string> names;
    for (size_t i = 0; i < v.Names.size(); i++)
        if (v.Sizes[i] >= 0) names.push_back(v.Names[i].bytes());
    return names;
}

TEST(ChangedOnDisk, SaveRefusedUntilUndoThenTheToolsFileSurvives) {
    std::string image = workImage({{"ALPHA.TXT", "a"}, {"BETA.TXT", "b"}});
    std::string tool = fs::path(image).parent_path().string() + "/tool.txt";
    ASSERT_EQ(setbinarytofile(tool, Text("from the tool")), 0);
    e2e_RunProgram({image}, [image, tool] {
        openWork();
        ASSERT_EQ(system(("'" DW_CLI_PATH "' put '" + image + "' '" + tool + "' >/dev/null").c_str()), 0);
        command("ealpha.txt\r", "ALPHA   .TXT erased");
        command("cs", "Image changed on disk: not saved.");
        command("\rc", "Changes: S(ave  U(ndo  Q(uit ? ");   // still changed
        command("u", "Changes undone.");
        command("\rd", "3 files, ");
        command("\realpha.txt\r", "ALPHA   .TXT erased");
        command("cs", "Changes saved.");
    });
    EXPECT_EQ(filesOf(image), (std::vector<std::string>{"BETA    .TXT", "TOOL    .TXT"}));
}

TEST(ReplaceQuestions, NewVolumeOntoAnExistingFile) {
    std::string desktop = ownDesktop();
    ASSERT_EQ(setbinarytofile(desktop + "default.vol", Text("precious")), 0);
    e2e_RunProgram({workImage({})}, [desktop] {
        openWork();
        for (const char *answer : {"n", "y"}) {
            command("\rn64\r", "New CP/M Volume (64K)");
            command("\r", "default.vol exists. Replace it? (Y/N) ");
            e2e_Type(answer);
            e2e_Settle();
            EXPECT_EQ(gettextfromfile(desktop + "default.vol").size(), answer[0] == 'n' ? 8u : 65536u);
        }
        EXPECT_TRUE(onScreen("Volume with 64K created: default.vol"));
    });
}

TEST(ReplaceQuestions, TransferOntoExistingHostFiles) {
    std::string desktop = ownDesktop();
    ASSERT_EQ(setbinarytofile(desktop + "ALPHA.TXT", Text("old")), 0);
    e2e_RunProgram({workImage({{"ALPHA.TXT", "new alpha"}, {"BETA.TXT", "beta"}})}, [desktop] {
        openWork();
        command("talpha.txt\r", "Save CP/M file");
        command("\r", "ALPHA.TXT exists. Replace it? (Y/N) ");
        command("n", "(Y/N) N");
        EXPECT_EQ(gettextfromfile(desktop + "ALPHA.TXT"), Text("old"));
        command("\rt*\r", "(original names)");
        command("\r", "1 file exists. R(eplace  S(kip  C(ancel ? ");
        command("s", "BETA    .TXT saved on Mac volume.");
        EXPECT_TRUE(onScreen("ALPHA   .TXT exists: skipped."));
        EXPECT_EQ(gettextfromfile(desktop + "ALPHA.TXT"), Text("old"));
        command("\rt*\r", "(original names)");
        command("\r", "2 files exist. R(eplace  S(kip  C(ancel ? ");
        command("c", "? C");
        EXPECT_FALSE(onScreen("saved on Mac volume"));
        command("\rt*\r", "(original names)");
        command("\rr", "ALPHA   .TXT saved on Mac volume.");
    });
    EXPECT_EQ(gettextfromfile(desktop + "ALPHA.TXT").bytes().substr(0, 9), "new alpha");
}

TEST(HostInputs, PipeIsRefusedWithoutWaiting) {
    std::string desktop = ownDesktop();
    ASSERT_EQ(mkfifo((desktop + "pipe").c_str(), 0644), 0);
    ASSERT_EQ(setbinarytofile(desktop + "ok.txt", Text("ok")), 0);
    e2e_RunProgram({workImage({})}, [] {
        openWork();
        command("m", "Load CP/M file");
        command("ok\r", "Please enter filename (* = all files of selected directory): ");
        e2e_Type(std::string(13, '\b') + "*\r");
        EXPECT_TRUE(e2e_WaitFor("OK      .TXT saved on CP/M volume."));
        EXPECT_TRUE(e2e_WaitFor("PIPE    .    could not be read: not a regular file."));
    });
}

TEST(RealDiskNames, EveryListedFileIsCopiedAndTypedNamesReachThem) {
    std::string desktop = ownDesktop();
    std::string image = workImage({{"L.TXT", "lower"}, {"D.R21", "dated"}, {"S.TXT", "slash"}, {"A_B.TXT", "under"}},
                                  {{0, "readme  txt"}, {1, "-10/7/87R21"}, {2, "A/B     TXT"}});
    e2e_RunProgram({image}, [] {
        openWork();
        command("t*\r", "(original names)");
        command("\r", "A_B     .TXT saved on Mac volume as A_B~1.TXT.");
        for (const char *line : {"readme  .txt saved on Mac volume.", "-10/7/87.R21 saved on Mac volume.",
                                 "A/B     .TXT saved on Mac volume."})
            EXPECT_TRUE(onScreen(line)) << line;
        command("\re-10/7/87.R21\r", "-10/7/87.R21 erased");
        command("\rereadme.txt\r", "readme  .txt erased");
    });
    EXPECT_EQ(gettextfromfile(desktop + "-10_7_87.R21").bytes().substr(0, 5), "dated");
    EXPECT_EQ(gettextfromfile(desktop + "readme.txt").bytes().substr(0, 5), "lower");
    EXPECT_EQ(gettextfromfile(desktop + "A_B.TXT").bytes().substr(0, 5), "slash");
    EXPECT_EQ(gettextfromfile(desktop + "A_B~1.TXT").bytes().substr(0, 5), "under");
}

}  // namespace
