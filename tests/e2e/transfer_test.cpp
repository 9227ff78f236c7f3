// M(ac --> CP/M and T(ransfer CP/M --> Mac as a person uses them: host files
// and folders chosen in the browser, names, refusals, host failures and the
// questions before anything is replaced.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "e2e.h"
#include "files.h"
#include "volume.h"

namespace fs = std::filesystem;

namespace {

std::string readHostFile(const std::string &path) { return gettextfromfile(path).bytes(); }

// Every path under the folder but outside `except`, with its contents.
std::map<std::string, std::string> snapshot(const std::string &folder, const std::string &except) {
    std::map<std::string, std::string> all;
    for (const fs::directory_entry &e : fs::recursive_directory_iterator(folder))
        if (e.path().string().rfind(except, 0) != 0)
            all[e.path().string()] = e.is_directory() ? "<folder>" : readHostFile(e.path().string());
    return all;
}

// Starts M and chooses the host file whose name begins with `firstLetters`.
void chooseHostFile(const std::string &firstLetters) {
    e2e_Command("m", "Load CP/M file");
    e2e_Command(firstLetters + "\r", "Please enter filename (* = all files of selected directory): ");
}

// T "*" into the Desktop folder, accepting the form's default name.
void transferAll() {
    e2e_Command("t", "Please enter filename (* = all files): ");
    e2e_Command("*\r", "Save multiple CP/M files");
    ASSERT_TRUE(e2e_WaitFor("(original names)"));
    e2e_Type("\r");
}

TEST(MacToCpm, ProposesTheDisplayNameThenTransferBackThroughTheSaveForm) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    folder.write("home/Desktop/readme.txt", "Hello\r\n");
    e2e_RunProgram({e2e_MakeImage(folder.at("WORK.DSK"), 128, {{"ALPHA.TXT", "alpha"}})}, [] {
        e2e_OpenLaunchImage("WORK.DSK");
        chooseHostFile("re");
        EXPECT_EQ(e2e_Line(3), "Please enter filename (* = all files of selected directory): README  .TXT");
        e2e_Command("\r", "README  .TXT saved on CP/M volume.");
        EXPECT_EQ(e2e_Line(5), "README  .TXT saved on CP/M volume.");
        e2e_Command("d", "README  .TXT   2");
        EXPECT_TRUE(e2e_WaitFor("2 files, "));
        // A missing name opens no browser; the loop reads keys again.
        e2e_Command("t", "Please enter filename (* = all files): ");
        e2e_Command("nothere.txt\r", "NOTHERE .TXT not found.");
        EXPECT_FALSE(e2e_OnScreen("Save CP/M file"));
        e2e_Command("t", "Please enter filename (* = all files): ");
        e2e_Command("alpha.txt\r", "Save CP/M file");
        ASSERT_TRUE(e2e_WaitFor("ALPHA.TXT"));   // the typed name in capitals
        e2e_Command("\r", "ALPHA   .TXT saved on Mac volume.");
    });
    EXPECT_EQ(readHostFile(desktop + "ALPHA.TXT").substr(0, 5), "alpha");
}

TEST(MacToCpm, AllItemsOfAFolderOneLineEachFoldersAndPipesRefused) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    folder.write("home/Desktop/alpha.txt", "new alpha");
    folder.write("home/Desktop/beta.dat", std::string(3000, 'b'));
    fs::create_directories(desktop + "sub");
    folder.write("home/Desktop/sub/inner.txt", "inside");
    ASSERT_EQ(mkfifo((desktop + "pipe").c_str(), 0644), 0);
    e2e_RunProgram({e2e_MakeImage(folder.at("WORK.DSK"), 128, {{"ALPHA.TXT", "old alpha"}})}, [] {
        e2e_OpenLaunchImage("WORK.DSK");
        chooseHostFile("b");
        e2e_Command(std::string(13, '\b') + "*\r", "BETA    .DAT saved on CP/M volume.");
        EXPECT_TRUE(e2e_OnScreen("ALPHA   .TXT could not be saved: File exists."));
        // A pipe is refused at once, never opened (that would wait for a writer).
        EXPECT_TRUE(e2e_WaitFor("PIPE    .    could not be read: not a regular file."));
        // A folder is no file: it is reported, not stored as an empty file.
        EXPECT_TRUE(e2e_OnScreen("SUB     .    skipped: a folder.")) << e2e_Screen();
        EXPECT_FALSE(e2e_OnScreen("SUB     .    saved") || e2e_OnScreen("INNER"));
        e2e_Command("\rd", "2 files, ");
        EXPECT_FALSE(e2e_OnScreen("SUB"));
    });
}

// M of a host file that is gone before it is read: a reason, and nothing stored.
TEST(MacToCpm, HostFileThatCannotBeReadIsNotStoredEmpty) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    folder.write("home/Desktop/new.txt", "soon gone");
    e2e_RunProgram({e2e_MakeImage(folder.at("WORK.DSK"), 128, {})}, [&] {
        e2e_OpenLaunchImage("WORK.DSK");
        chooseHostFile("n");
        fs::remove(desktop + "new.txt");
        e2e_Type("\r");
        const std::string refusal = "NEW     .TXT could not be saved: ";
        ASSERT_TRUE(e2e_WaitFor(refusal));
        e2e_Settle();
        EXPECT_EQ(e2e_Line(5).rfind(refusal, 0), 0u);
        EXPECT_GT(e2e_Line(5).size(), refusal.size());   // a reason follows
        EXPECT_FALSE(e2e_OnScreen("saved on CP/M volume."));
        e2e_Command("\rd", "0 files, ");
    });
}

TEST(CpmToMac, AllFilesOneHostFileEachAndAFailedWrite) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    fs::create_directories(desktop + "KEEP.COM");   // a folder where a copy should go
    std::string big(40000, 'B');                   // two directory entries
    std::string image = e2e_MakeImage(folder.at("WORK.DSK"), 128,
                                      {{"README", "read me"}, {"GONE.TXT", "erased"}, {"BIG.DAT", big}, {"KEEP.COM", "k"}});
    e2e_PatchEntry(image, 1, 0xE5, "GONE    TXT");
    e2e_RunProgram({image}, [] {
        e2e_OpenLaunchImage("WORK.DSK");
        transferAll();
        ASSERT_TRUE(e2e_WaitFor("1 file exists. R(eplace  S(kip  C(ancel ? "));
        e2e_Command("r", "KEEP    .COM could not be saved: ");
        EXPECT_EQ(e2e_Line(6), "README  .    saved on Mac volume.");
        EXPECT_EQ(e2e_Line(7), "BIG     .DAT saved on Mac volume.");
        EXPECT_EQ(e2e_Line(8).rfind("KEEP    .COM could not be saved: ", 0), 0u);
        EXPECT_GT(e2e_Line(8).size(), std::string("KEEP    .COM could not be saved: ").size());
        EXPECT_EQ(e2e_Line(9), "");
    });
    EXPECT_EQ(folder.names("home/Desktop"), (std::set<std::string>{"BIG.DAT", "KEEP.COM", "README."}));
    EXPECT_TRUE(fs::is_directory(desktop + "KEEP.COM"));
    // Whole blocks of 2048 bytes, as the volume holds them.
    EXPECT_EQ(readHostFile(desktop + "README.").size(), 2048u);
    EXPECT_EQ(readHostFile(desktop + "README.").substr(0, 7), "read me");
    EXPECT_EQ(readHostFile(desktop + "BIG.DAT"), big + std::string(40960 - big.size(), '\x1A'));
}

TEST(CpmToMac, HostileNamesStayInTheTargetFolder) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    std::string image = e2e_MakeImage(folder.at("WORK.DSK"), 128, {{"F0", "zero"}, {"F1", "one"}, {"F2", "two"},
                                                                   {"F3", "three"}, {"F4", "four"}, {"PLAIN.TXT", "plain"}});
    const std::string names[] = {"../../X    ", "A/B     TXT", std::string("C\0D        ", 11), "           ",
                                 ".          "};
    for (int i = 0; i < 5; i++) e2e_PatchEntry(image, i, 0, names[i]);
    // Everything around the target folder, to compare afterwards; "../../X"
    // would land in it.
    std::map<std::string, std::string> before = snapshot(folder.Path, desktop);
    e2e_RunProgram({image}, [] {
        e2e_OpenLaunchImage("WORK.DSK");
        transferAll();
        ASSERT_TRUE(e2e_WaitFor("PLAIN   .TXT saved on Mac volume."));
        e2e_Settle();
        EXPECT_FALSE(e2e_OnScreen("could not be saved")) << e2e_Screen();
    });
    EXPECT_EQ(snapshot(folder.Path, desktop), before);   // nothing written, replaced or removed outside
    for (const std::string &name : folder.names("home/Desktop")) EXPECT_EQ(name.find_first_of(std::string("/\0", 2)), std::string::npos);
    // Names the volume's rules can find are written under safe names.
    for (const auto &[name, start] : {std::pair{"C_D.", "two"}, {"_", "three"}, {"PLAIN.TXT", "plain"}})
        EXPECT_EQ(readHostFile(desktop + name).substr(0, strlen(start)), start) << name;
}

// A real disk's names: lower case, a date with slashes, and two names that
// both become A_B.TXT on the host.  Every listed file is copied, and typed
// names reach them.
TEST(CpmToMac, RealDiskNamesAreCopiedAndTypedNamesReachThem) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    std::string image = e2e_MakeImage(folder.at("WORK.DSK"), 128,
                                      {{"L.TXT", "lower"}, {"D.R21", "dated"}, {"S.TXT", "slash"}, {"A_B.TXT", "under"}});
    const char *names[] = {"readme  txt", "-10/7/87R21", "A/B     TXT"};
    for (int i = 0; i < 3; i++) e2e_PatchEntry(image, i, 0, names[i]);
    e2e_RunProgram({image}, [] {
        e2e_OpenLaunchImage("WORK.DSK");
        transferAll();
        ASSERT_TRUE(e2e_WaitFor("A_B     .TXT saved on Mac volume as A_B~1.TXT."));
        for (const char *line : {"readme  .txt saved on Mac volume.", "-10/7/87.R21 saved on Mac volume.",
                                 "A/B     .TXT saved on Mac volume."})
            EXPECT_TRUE(e2e_OnScreen(line)) << line;
        e2e_Command("\re-10/7/87.R21\r", "-10/7/87.R21 erased");
        e2e_Command("\rereadme.txt\r", "readme  .txt erased");
    });
    for (const auto &[name, start] : {std::pair{"-10_7_87.R21", "dated"}, {"readme.txt", "lower"}, {"A_B.TXT", "slash"},
                                      {"A_B~1.TXT", "under"}})
        EXPECT_EQ(readHostFile(desktop + name).substr(0, 5), start) << name;
}

TEST(CpmToMac, ExistingHostFilesAreReplacedOnlyWhenTheAnswerSaysSo) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    folder.write("home/Desktop/ALPHA.TXT", "old");
    e2e_RunProgram({e2e_MakeImage(folder.at("WORK.DSK"), 128, {{"ALPHA.TXT", "new alpha"}, {"BETA.TXT", "beta"}})},
                   [desktop] {
        e2e_OpenLaunchImage("WORK.DSK");
        e2e_Command("talpha.txt\r", "Save CP/M file");
        e2e_Command("\r", "ALPHA.TXT exists. Replace it? (Y/N) ");
        e2e_Command("n", "(Y/N) N");
        EXPECT_EQ(readHostFile(desktop + "ALPHA.TXT"), "old");
        e2e_Command("\rt*\r", "(original names)");
        e2e_Command("\r", "1 file exists. R(eplace  S(kip  C(ancel ? ");
        e2e_Command("s", "BETA    .TXT saved on Mac volume.");
        EXPECT_TRUE(e2e_OnScreen("ALPHA   .TXT exists: skipped."));
        EXPECT_EQ(readHostFile(desktop + "ALPHA.TXT"), "old");
        e2e_Command("\rt*\r", "(original names)");
        e2e_Command("\r", "2 files exist. R(eplace  S(kip  C(ancel ? ");
        e2e_Command("c", "? C");
        EXPECT_FALSE(e2e_OnScreen("saved on Mac volume"));
        e2e_Command("\rt*\r", "(original names)");
        e2e_Command("\rr", "ALPHA   .TXT saved on Mac volume.");
    });
    EXPECT_EQ(readHostFile(desktop + "ALPHA.TXT").substr(0, 9), "new alpha");
}

}  // namespace
