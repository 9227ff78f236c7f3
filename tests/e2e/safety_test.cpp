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

// WORK.DSK in the folder; `raw` renames entries as a real disk may hold
// them (entry number, 11 name bytes).
std::string workImage(const test_TempFolder &folder, const std::vector<std::pair<std::string, std::string>> &files,
                      const std::vector<std::pair<int, std::string>> &raw = {}) {
    std::string image = e2e_MakeImage(folder.at("WORK.DSK"), 128, files);
    for (const auto &[entry, name] : raw) e2e_PatchEntry(image, entry, 0, name);
    return image;
}

// A command and its answer, then Return to clear the work area.
void command(const std::string &keys, const std::string &shows) {
    e2e_Type(keys);
    EXPECT_TRUE(e2e_WaitFor(shows)) << keys;
    e2e_Settle();
}

TEST(ChangedOnDisk, SaveRefusedUntilUndoThenTheToolsFileSurvives) {
    test_TempFolder folder;
    std::string image = workImage(folder, {{"ALPHA.TXT", "a"}, {"BETA.TXT", "b"}});
    std::string tool = folder.write("tool.txt", "from the tool");
    e2e_RunProgram({image}, [image, tool] {
        e2e_OpenLaunchImage("WORK.DSK");
        ASSERT_EQ(system(("'" DW_CLI_PATH "' put '" + image + "' '" + tool + "' >/dev/null").c_str()), 0);
        command("ealpha.txt\r", "ALPHA   .TXT erased");
        command("cs", "Image changed on disk: not saved.");
        command("\rc", "Changes: S(ave  U(ndo  Q(uit ? ");   // still changed
        command("u", "Changes undone.");
        command("\rd", "3 files, ");
        command("\realpha.txt\r", "ALPHA   .TXT erased");
        command("cs", "Changes saved.");
    });
    EXPECT_EQ(e2e_Files(image), (std::vector<std::string>{"BETA    .TXT", "TOOL    .TXT"}));
}

TEST(ReplaceQuestions, NewVolumeOntoAnExistingFile) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    ASSERT_EQ(setbinarytofile(desktop + "default.vol", Text("precious")), 0);
    e2e_RunProgram({workImage(folder, {})}, [desktop] {
        e2e_OpenLaunchImage("WORK.DSK");
        for (const char *answer : {"n", "y"}) {
            command("\rn64\r", "New CP/M Volume (64K)");
            command("\r", "default.vol exists. Replace it? (Y/N) ");
            e2e_Type(answer);
            e2e_Settle();
            EXPECT_EQ(gettextfromfile(desktop + "default.vol").size(), answer[0] == 'n' ? 8u : 65536u);
        }
        EXPECT_TRUE(e2e_OnScreen("Volume with 64K created: default.vol"));
    });
}

TEST(ReplaceQuestions, TransferOntoExistingHostFiles) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    ASSERT_EQ(setbinarytofile(desktop + "ALPHA.TXT", Text("old")), 0);
    e2e_RunProgram({workImage(folder, {{"ALPHA.TXT", "new alpha"}, {"BETA.TXT", "beta"}})}, [desktop] {
        e2e_OpenLaunchImage("WORK.DSK");
        command("talpha.txt\r", "Save CP/M file");
        command("\r", "ALPHA.TXT exists. Replace it? (Y/N) ");
        command("n", "(Y/N) N");
        EXPECT_EQ(gettextfromfile(desktop + "ALPHA.TXT"), Text("old"));
        command("\rt*\r", "(original names)");
        command("\r", "1 file exists. R(eplace  S(kip  C(ancel ? ");
        command("s", "BETA    .TXT saved on Mac volume.");
        EXPECT_TRUE(e2e_OnScreen("ALPHA   .TXT exists: skipped."));
        EXPECT_EQ(gettextfromfile(desktop + "ALPHA.TXT"), Text("old"));
        command("\rt*\r", "(original names)");
        command("\r", "2 files exist. R(eplace  S(kip  C(ancel ? ");
        command("c", "? C");
        EXPECT_FALSE(e2e_OnScreen("saved on Mac volume"));
        command("\rt*\r", "(original names)");
        command("\rr", "ALPHA   .TXT saved on Mac volume.");
    });
    EXPECT_EQ(gettextfromfile(desktop + "ALPHA.TXT").bytes().substr(0, 9), "new alpha");
}

TEST(HostInputs, PipeIsRefusedWithoutWaiting) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    ASSERT_EQ(mkfifo((desktop + "pipe").c_str(), 0644), 0);
    ASSERT_EQ(setbinarytofile(desktop + "ok.txt", Text("ok")), 0);
    e2e_RunProgram({workImage(folder, {})}, [] {
        e2e_OpenLaunchImage("WORK.DSK");
        command("m", "Load CP/M file");
        command("ok\r", "Please enter filename (* = all files of selected directory): ");
        e2e_Type(std::string(13, '\b') + "*\r");
        EXPECT_TRUE(e2e_WaitFor("OK      .TXT saved on CP/M volume."));
        EXPECT_TRUE(e2e_WaitFor("PIPE    .    could not be read: not a regular file."));
    });
}

TEST(RealDiskNames, EveryListedFileIsCopiedAndTypedNamesReachThem) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    std::string image = workImage(folder, {{"L.TXT", "lower"}, {"D.R21", "dated"}, {"S.TXT", "slash"}, {"A_B.TXT", "under"}},
                                  {{0, "readme  txt"}, {1, "-10/7/87R21"}, {2, "A/B     TXT"}});
    e2e_RunProgram({image}, [] {
        e2e_OpenLaunchImage("WORK.DSK");
        command("t*\r", "(original names)");
        command("\r", "A_B     .TXT saved on Mac volume as A_B~1.TXT.");
        for (const char *line : {"readme  .txt saved on Mac volume.", "-10/7/87.R21 saved on Mac volume.",
                                 "A/B     .TXT saved on Mac volume."})
            EXPECT_TRUE(e2e_OnScreen(line)) << line;
        command("\re-10/7/87.R21\r", "-10/7/87.R21 erased");
        command("\rereadme.txt\r", "readme  .txt erased");
    });
    EXPECT_EQ(gettextfromfile(desktop + "-10_7_87.R21").bytes().substr(0, 5), "dated");
    EXPECT_EQ(gettextfromfile(desktop + "readme.txt").bytes().substr(0, 5), "lower");
    EXPECT_EQ(gettextfromfile(desktop + "A_B.TXT").bytes().substr(0, 5), "slash");
    EXPECT_EQ(gettextfromfile(desktop + "A_B~1.TXT").bytes().substr(0, 5), "under");
}

}  // namespace
