// The volume manager as a person uses it: start-up, prompts, listings,
// changes and their saving.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "child_output.h"
#include "e2e.h"
#include "image.h"
#include "maintenance.h"
#include "sector_map.h"
#include "threads.h"
#include "volume.h"
#include "write.h"

namespace {

// An image with four files in a folder of its own.
std::string fourFiles(const test_TempFolder &folder) {
    return e2e_MakeImage(folder.at("GAMES.DSK"), 128,
                         {{"ALPHA.TXT", std::string(100, 'a')}, {"BETA.COM", std::string(3000, 'b')},
                          {"GAMMA.DAT", "g"}, {"DELTA", std::string(40000, 'd')}});
}

// Start-up as a person sees it: the browser, Escape, the prompt without a
// volume.  Prints the times from the start of the application to the
// browser and on to the prompt; the performance report collects them.
TEST(StartUp, CancelledBrowserLeavesNoVolume) {
    using Clock = std::chrono::steady_clock;
    auto msSince = [](Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); };
    Clock::time_point start = Clock::now();
    double browser = 0, prompt = 0;
    e2e_RunProgram({}, [&] {
        ASSERT_TRUE(e2e_WaitFor("CP/M Volume öffnen", 10000));
        browser = msSince(start);
        Clock::time_point cancel = Clock::now();
        e2e_Type("\x1B");
        ASSERT_TRUE(e2e_WaitFor(e2e_Prompt1, 10000));
        prompt = msSince(cancel);
        EXPECT_FALSE(e2e_OnScreen("Volume Name:"));
        e2e_Command("d", "Select a V(olume first.");
    });
    printf("start-up: browser shown after %.0f ms; prompt %.0f ms after Escape\n", browser, prompt);
}

// A file that holds no image is refused in words, and no volume is open.
TEST(StartUp, AnEmptyFileIsRefusedWithTheReason) {
    test_TempFolder folder;
    std::string empty = folder.write("EMPTY.DSK", "");
    e2e_RunProgram({empty}, [] {
        ASSERT_TRUE(e2e_WaitFor("CP/M Volume öffnen"));
        ASSERT_TRUE(e2e_WaitFor("EMPTY.DSK"));
        e2e_Type("\r");
        ASSERT_TRUE(e2e_WaitFor("EMPTY.DSK: is empty"));
        EXPECT_EQ(e2e_Line(3), "EMPTY.DSK: is empty");
        e2e_Command("d", "Select a V(olume first.");
    });
}

TEST(CommandLoop, QuestionMarkCyclesThePromptLinesAndReturnClearsTheWorkArea) {
    test_TempFolder folder;
    e2e_RunProgram({fourFiles(folder)}, [] {
        e2e_OpenLaunchImage("GAMES.DSK");
        for (const char *p : {e2e_Prompt2, e2e_Prompt3, e2e_Prompt1}) e2e_Command("?", p);
        e2e_Command("??", e2e_Prompt3);
        e2e_Command("d", "4 files, ");   // commands work whatever line is shown
        e2e_Type("\r");
        EXPECT_TRUE(e2e_WaitForScreen(e2e_Prompt1));   // and the first prompt line again
    });
}

TEST(Listings, DirectoryFourPerLineAndLongDirectory) {
    test_TempFolder folder;
    e2e_RunProgram({fourFiles(folder)}, [] {
        e2e_OpenLaunchImage("GAMES.DSK");
        e2e_Command("d", "4 files, ");
        EXPECT_EQ(e2e_Line(3), "Volume Name: GAMES.DSK (128K)");
        EXPECT_EQ(e2e_Line(5), "ALPHA   .TXT   2 | BETA    .COM   4 | GAMMA   .DAT   2 | DELTA   .     40");
        EXPECT_EQ(e2e_Line(6), "");
        EXPECT_EQ(e2e_Line(7), "4 files, 52K used, 76K free.");
        e2e_Command("\rL", "(1 Extension)");
        EXPECT_EQ(e2e_Line(6), "BETA    .COM   4K   3.072 Bytes  #  1  R/W");
        EXPECT_EQ(e2e_Line(8), "DELTA   .     40K  40.064 Bytes  #  3  R/W  (1 Extension)");
    });
}

TEST(Changes, EraseThenUndoBringsTheFileBackAndSaveWritesTheImage) {
    test_TempFolder folder;
    std::string image = fourFiles(folder);
    e2e_RunProgram({image}, [] {
        e2e_OpenLaunchImage("GAMES.DSK");
        e2e_Command("e", "Please enter filename: ");
        e2e_Command("beta.com\r", "BETA    .COM erased");
        e2e_Command("d", "3 files, ");
        e2e_Command("c", "Changes: S(ave  U(ndo  Q(uit ? ");
        e2e_Command("u", "Changes undone.");
        e2e_Command("d", "4 files, ");
        e2e_Command("c", "No changes to save.");
        e2e_Command("\re#2\r", "GAMMA   .DAT erased");   // by entry number
        e2e_Command("cs", "Changes saved.");
    });
    cpm_SetDiagnostics(false);
    cpm_Volume saved = cpm_LoadVolume(image);
    ASSERT_GE(saved.Names.size(), 3u);
    EXPECT_EQ(saved.Names[2], Text("\xE5"));   // entry 2 holds no file any more
    EXPECT_EQ(saved.Names[1], Text("BETA    .COM"));
}

TEST(Changes, FailedSaveIsNotReportedAsSuccess) {
    test_TempFolder folder;
    e2e_RunProgram({fourFiles(folder)}, [&folder] {
        e2e_OpenLaunchImage("GAMES.DSK");
        e2e_Command("e#0\r", "erased");
        std::filesystem::remove_all(folder.Path);   // the folder goes away under the program
        e2e_Command("cs", "Changes not saved: ");
        EXPECT_FALSE(e2e_OnScreen("Changes saved."));
        e2e_Command("c", "Changes: S(ave  U(ndo  Q(uit ? ");   // still changed
    });
}

TEST(NewVolume, SaveChangesAnswersKeepTheirLineBreaks) {
    // The size question stands below what the answer printed: S prints a
    // line and one more break, D only its break.
    const std::pair<const char *, std::vector<std::string>> cases[] = {   // answer, lines 3 onwards
        {"s", {"Save changes: S(ave  D(iscard  Q(uit ? S", "Changes saved.", "",
               "Please enter volume size (64 - 2048) in KB:"}},
        {"d", {"Save changes: S(ave  D(iscard  Q(uit ? D", "", "Please enter volume size (64 - 2048) in KB:"}},
    };
    test_TempFolder folder;
    e2e_RunProgram({fourFiles(folder)}, [&cases] {
        e2e_OpenLaunchImage("GAMES.DSK");
        int entry = 0;
        for (const auto &[answer, lines] : cases) {
            e2e_Command("\re#" + std::to_string(entry++) + "\r", " erased");
            e2e_Command("n", "Save changes: S(ave  D(iscard  Q(uit ? ");
            e2e_Command(answer, "Please enter volume size (64 - 2048) in KB: ");
            for (size_t k = 0; k <= lines.size(); k++)
                EXPECT_EQ(e2e_Line(int(k) + 3), k < lines.size() ? lines[k] : "") << answer << " line " << k + 3;
            e2e_Command("\r", e2e_Prompt1);   // no size: nothing is made
        }
    });
}

// The screen shows the engine's lines, the size column straight at 1024K.
TEST(Listings, SectorMapOfAMegabyteVolume) {
    test_TempFolder folder;
    std::string image = e2e_MakeImage(folder.at("BIG.VOL"), 1024, {{"BIG.DAT", std::string(300 * 1024, 'b')}});
    cpm_SetDiagnostics(false);
    std::vector<std::string> lines = cpm_SectorMapLines(cpm_LoadVolume(image));
    cpm_SetDiagnostics(true);
    ASSERT_EQ(lines.size(), 14u);
    e2e_RunProgram({image}, [&lines] {
        e2e_OpenLaunchImage("BIG.VOL");
        e2e_Command("s", "K free.");
        for (size_t k = 0; k < lines.size(); k++)
            EXPECT_EQ(e2e_Line(int(k) + 3), lines[k].substr(0, lines[k].find_last_not_of(' ') + 1)) << k + 3;
    });
}

TEST(Changes, RefusedUneraseFitsItsLine) {
    // The erased BETA.TXT lost its blocks to GAMMA.TXT (which took the entry
    // of the erased ALPHA.TXT).
    test_TempFolder folder;
    cpm_SetDiagnostics(false);
    cpm_Volume v = cpm_MakeVolume(folder.at("GAMES.DSK"), 128);
    v = cpm_SaveFile(std::move(v), Text("ALPHA.TXT"), Text(std::string(4000, 'a'))).Volume;
    v = cpm_SaveFile(std::move(v), Text("BETA.TXT"), Text(std::string(4000, 'b'))).Volume;
    v = cpm_SetFileUser(std::move(v), Text("ALPHA.TXT"), 0xE5).Volume;
    v = cpm_SetFileUser(std::move(v), Text("BETA.TXT"), 0xE5).Volume;
    v = cpm_SaveFile(std::move(v), Text("GAMMA.TXT"), Text(std::string(8000, 'g'))).Volume;
    ASSERT_EQ(cpm_SaveVolume(std::move(v)).Message, "");
    cpm_SetDiagnostics(true);
    e2e_RunProgram({folder.at("GAMES.DSK")}, [] {
        e2e_OpenLaunchImage("GAMES.DSK");
        e2e_Command("u", "Please enter filename: ");
        e2e_Command("beta.txt\r", "not unerased");
        EXPECT_EQ(e2e_Line(3), "Please enter filename: BETA    .TXT not unerased: Blocks used by another file.");
        EXPECT_EQ(e2e_Line(4), "");
        // The next command clears only its own line: nothing of the refusal stays.
        e2e_Command("e", "Please enter filename: ");
        e2e_Command("zz\r", "ZZ      .    not found");
        EXPECT_FALSE(e2e_OnScreen("another file"));
        EXPECT_EQ(e2e_Line(4), "");
    });
}

// A save over an image the tool changed meanwhile is refused until Undo;
// the tool's file survives.
TEST(Changes, ImageChangedOnDiskIsNotSavedOver) {
    test_TempFolder folder;
    std::string image = e2e_MakeImage(folder.at("WORK.DSK"), 128, {{"ALPHA.TXT", "a"}, {"BETA.TXT", "b"}});
    std::string tool = folder.write("tool.txt", "from the tool");
    e2e_RunProgram({image}, [image, tool] {
        e2e_OpenLaunchImage("WORK.DSK");
        ASSERT_EQ(test_Shell("'" DW_CLI_PATH "' put '" + image + "' '" + tool + "' >/dev/null"), 0);
        e2e_Command("ealpha.txt\r", "ALPHA   .TXT erased");
        e2e_Command("cs", "Image changed on disk: not saved.");
        e2e_Command("\rc", "Changes: S(ave  U(ndo  Q(uit ? ");   // still changed
        e2e_Command("u", "Changes undone.");
        e2e_Command("\rd", "3 files, ");
        e2e_Command("\realpha.txt\r", "ALPHA   .TXT erased");
        e2e_Command("cs", "Changes saved.");
    });
    EXPECT_EQ(e2e_Files(image), (std::vector<std::string>{"BETA    .TXT", "TOOL    .TXT"}));
}

// While a mounted folder serves the image, the program opens it as last
// saved without waiting for the mount's lock, and a save is refused at once.
TEST(Changes, AMountedImageIsReadButNotSaved) {
    test_TempFolder folder;
    std::string image = e2e_MakeImage(folder.at("WORK.DSK"), 128, {{"ALPHA.TXT", "a"}, {"BETA.TXT", "b"}});
    std::string mnt = folder.folder("mnt");
    std::string mounted = "'" DW_CLI_PATH "' mount '" + image + "' '" + mnt + "' 2>&1";
    std::string said;
    if (test_Shell(mounted, &said) != 0) {
        const char *ci = getenv("CI");
        if (ci && std::string(ci) == "true") FAIL() << "cannot mount: " << said;
        GTEST_SKIP() << "cannot mount: " << said;
    }
    struct Unmount {
        std::string Folder;
        ~Unmount() { test_Shell("fusermount3 -u '" + Folder + "' 2>/dev/null || fusermount3 -uz '" + Folder + "'"); }
    } unmount{mnt};
    e2e_RunProgram({image}, [] {
        e2e_OpenLaunchImage("WORK.DSK");
        e2e_Command("ealpha.txt\r", "ALPHA   .TXT erased");
        e2e_Command("cs", "WORK.DSK is mounted: not changed.");
        e2e_Command("\rc", "Changes: S(ave  U(ndo  Q(uit ? ");   // still changed
        e2e_Command("u", "Changes undone.");
    });
    EXPECT_EQ(e2e_Files(image), (std::vector<std::string>{"ALPHA   .TXT", "BETA    .TXT"}));
}

// D(iscard takes the volume back to the image as last saved, also when the
// command then stops: the screen shows the image, Q has nothing to ask, and
// a later save writes only what was changed after the answer.
TEST(Changes, DiscardedChangesStayDiscarded) {
    struct Case {
        const char *Command, *AfterDiscard, *Shows;
        bool SaveLater;
    };
    const Case cases[] = {
        {"n", "63\r", "Size too small.", false},
        {"n", "63\r", "Size too small.", true},
        {"n", "\r", e2e_Prompt1, true},   // no size given
        {"v", "", e2e_Prompt1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.Command) + " " + c.AfterDiscard + (c.SaveLater ? " save" : ""));
        test_TempFolder folder;
        std::string image = fourFiles(folder);
        e2e_RunProgram({image}, [&c] {
            e2e_OpenLaunchImage("GAMES.DSK");
            e2e_Command("ebeta.com\r", "BETA    .COM erased");
            e2e_Command(c.Command, "Save changes: S(ave  D(iscard  Q(uit ? ");
            e2e_Type("d");
            e2e_Command(c.AfterDiscard, c.Shows);
            e2e_Command("\rd", "4 files, ");
            if (c.SaveLater) {
                e2e_Command("\regamma.dat\r", "GAMMA   .DAT erased");
                e2e_Command("cs", "Changes saved.");
            }
            e2e_Command("\rq", "(Programm Ende)");
            EXPECT_FALSE(e2e_OnScreen("Save changes"));
        });
        std::vector<std::string> left = {"ALPHA   .TXT", "BETA    .COM", "GAMMA   .DAT", "DELTA   .   "};
        if (c.SaveLater) left.erase(left.begin() + 2);
        EXPECT_EQ(e2e_Files(image), left);
    }
}

// A writer that takes no lock changes the image in place and puts its time
// back: the bytes tell, and the save is refused.
TEST(Changes, InPlaceChangeWithItsTimeRestoredIsNotSavedOver) {
    test_TempFolder folder;
    std::string image = e2e_MakeImage(folder.at("WORK.DSK"), 128, {{"ALPHA.TXT", "a"}, {"BETA.TXT", "b"}});
    e2e_RunProgram({image}, [image] {
        e2e_OpenLaunchImage("WORK.DSK");
        ASSERT_EQ(test_Shell("t=$(stat -c %y '" + image + "') && printf Z | dd of='" + image +
                             "' bs=1 seek=100000 conv=notrunc 2>/dev/null && touch -d \"$t\" '" + image + "'"),
                  0);
        e2e_Command("ealpha.txt\r", "ALPHA   .TXT erased");
        e2e_Command("cs", "Image changed on disk: not saved.");
    });
    EXPECT_EQ(e2e_Files(image), (std::vector<std::string>{"ALPHA   .TXT", "BETA    .TXT"}));
}

TEST(NewVolume, AnExistingFileIsReplacedOnlyWhenTheAnswerIsYes) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    folder.write("home/Desktop/default.vol", "precious");
    e2e_RunProgram({e2e_MakeImage(folder.at("WORK.DSK"), 128, {})}, [desktop] {
        e2e_OpenLaunchImage("WORK.DSK");
        for (const char *answer : {"n", "y"}) {
            e2e_Command("\rn64\r", "New CP/M Volume (64K)");
            e2e_Command("\r", "default.vol exists. Replace it? (Y/N) ");
            e2e_Type(answer);
            e2e_Settle();
            EXPECT_EQ(std::filesystem::file_size(desktop + "default.vol"), answer[0] == 'n' ? 8u : 65536u);
        }
        EXPECT_TRUE(e2e_OnScreen("Volume with 64K created: default.vol"));
    });
}

}  // namespace
