// The volume manager as a person uses it: start-up, prompts, listings,
// changes and their saving.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "e2e.h"
#include "threads.h"
#include "volume.h"

namespace {

// An image with four files in a folder of its own.
std::string fourFiles(const test_TempFolder &folder) {
    return e2e_MakeImage(folder.at("GAMES.DSK"), 128,
                         {{"ALPHA.TXT", std::string(100, 'a')}, {"BETA.COM", std::string(3000, 'b')},
                          {"GAMMA.DAT", "g"}, {"DELTA", std::string(40000, 'd')}});
}

TEST(StartUp, CancelledBrowserLeavesNoVolume) {
    e2e_RunProgram({}, [] {
        ASSERT_TRUE(e2e_WaitFor("CP/M Volume öffnen"));
        e2e_Type("\x1B");
        ASSERT_TRUE(e2e_WaitFor(e2e_Prompt1));
        EXPECT_FALSE(e2e_OnScreen("Volume Name:"));
        e2e_Type("d");
        EXPECT_TRUE(e2e_WaitFor("Select a V(olume first."));
    });
}

TEST(CommandLoop, QuestionMarkCyclesThePromptLinesAndReturnClearsTheWorkArea) {
    test_TempFolder folder;
    e2e_RunProgram({fourFiles(folder)}, [] {
        e2e_OpenLaunchImage("GAMES.DSK");
        for (const char *p : {e2e_Prompt2, e2e_Prompt3, e2e_Prompt1}) {
            e2e_Type("?");
            EXPECT_TRUE(e2e_WaitFor(p)) << p;
        }
        e2e_Type("??");
        ASSERT_TRUE(e2e_WaitFor(e2e_Prompt3));
        e2e_Type("d");   // commands work whatever line is shown
        EXPECT_TRUE(e2e_WaitFor("4 files, "));
        e2e_Type("\r");
        EXPECT_TRUE(e2e_WaitForScreen(e2e_Prompt1));   // and the first prompt line again
    });
}

TEST(Listings, DirectoryFourPerLineAndLongDirectory) {
    test_TempFolder folder;
    e2e_RunProgram({fourFiles(folder)}, [] {
        e2e_OpenLaunchImage("GAMES.DSK");
        e2e_Type("d");
        ASSERT_TRUE(e2e_WaitFor("4 files, "));
        EXPECT_EQ(e2e_Line(3), "Volume Name: GAMES.DSK (128K)");
        EXPECT_EQ(e2e_Line(5), "ALPHA   .TXT   2 | BETA    .COM   4 | GAMMA   .DAT   2 | DELTA   .     40");
        EXPECT_EQ(e2e_Line(6), "");
        EXPECT_EQ(e2e_Line(7), "4 files, 52K used, 76K free.");
        e2e_Type("\rL");
        ASSERT_TRUE(e2e_WaitFor("(1 Extension)"));
        EXPECT_EQ(e2e_Line(6), "BETA    .COM   4K   3.072 Bytes  #  1  R/W");
        EXPECT_EQ(e2e_Line(8), "DELTA   .     40K  40.064 Bytes  #  3  R/W  (1 Extension)");
    });
}

TEST(Changes, EraseThenUndoBringsTheFileBackAndSaveWritesTheImage) {
    test_TempFolder folder;
    std::string image = fourFiles(folder);
    e2e_RunProgram({image}, [] {
        e2e_OpenLaunchImage("GAMES.DSK");
        e2e_Type("e");
        ASSERT_TRUE(e2e_WaitFor("Please enter filename: "));
        e2e_Type("beta.com\r");
        ASSERT_TRUE(e2e_WaitFor("BETA    .COM erased"));
        e2e_Type("d");
        ASSERT_TRUE(e2e_WaitFor("3 files, "));
        e2e_Type("c");
        ASSERT_TRUE(e2e_WaitFor("Changes: S(ave  U(ndo  Q(uit ? "));
        e2e_Type("u");
        ASSERT_TRUE(e2e_WaitFor("Changes undone."));
        e2e_Type("d");
        EXPECT_TRUE(e2e_WaitFor("4 files, "));
        e2e_Type("c");
        EXPECT_TRUE(e2e_WaitFor("No changes to save."));
        e2e_Type("\re#2\r");   // by entry number
        ASSERT_TRUE(e2e_WaitFor("GAMMA   .DAT erased"));
        e2e_Type("cs");
        ASSERT_TRUE(e2e_WaitFor("Changes saved."));
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
        e2e_Type("e#0\r");
        ASSERT_TRUE(e2e_WaitFor("erased"));
        std::filesystem::remove_all(folder.Path);   // the folder goes away under the program
        e2e_Type("cs");
        ASSERT_TRUE(e2e_WaitFor("Changes not saved: "));
        EXPECT_FALSE(e2e_OnScreen("Changes saved."));
        e2e_Type("c");
        EXPECT_TRUE(e2e_WaitFor("Changes: S(ave  U(ndo  Q(uit ? "));   // still changed
    });
}

TEST(NewVolume, SizeChecks) {
    test_TempFolder folder;
    e2e_RunProgram({fourFiles(folder)}, [] {
        e2e_OpenLaunchImage("GAMES.DSK");
        for (auto [typed, message] : {std::pair{"63", "Size too small."}, {"2050", "Size too big."}, {"65", "Size must be even."}}) {
            e2e_Type("\r");
            ASSERT_TRUE(e2e_WaitForScreen(e2e_Prompt1));
            e2e_Type("n");
            ASSERT_TRUE(e2e_WaitFor("Please enter volume size (64 - 2048) in KB: "));
            e2e_Type(std::string(typed) + "\r");
            EXPECT_TRUE(e2e_WaitFor(message)) << typed;
        }
    });
}

TEST(Quit, EndsTheProgramButNotTheApplication) {
    test_TempFolder folder;
    e2e_RunProgram({fourFiles(folder)}, [] {
        e2e_OpenLaunchImage("GAMES.DSK");
        e2e_Type("e#0\r");   // unsaved changes are not asked about
        ASSERT_TRUE(e2e_WaitFor("erased"));
        e2e_Type("q");
        EXPECT_TRUE(e2e_WaitFor("(Programm Ende)"));
        e2e_Type("d");   // nobody reads keys any more, and nothing breaks
        t_SleepMs(100);
        EXPECT_FALSE(e2e_OnScreen("files,"));
    });
}

// Start-up time as a person sees it: from the start of the application to
// the first screen they can act on (the browser), and on to the command
// prompt.  Prints the figures; the performance report collects them.
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

TEST(Measure, StartUpToTheFirstScreens) {
    Clock::time_point start = Clock::now();
    double browser = 0, prompt = 0;
    e2e_RunProgram({}, [&] {
        ASSERT_TRUE(e2e_WaitFor("CP/M Volume öffnen", 10000));
        browser = msSince(start);
        Clock::time_point cancel = Clock::now();
        e2e_Type("\x1B");
        ASSERT_TRUE(e2e_WaitFor("Diskwright: V(olume", 10000));
        prompt = msSince(cancel);
    });
    printf("start-up: browser shown after %.0f ms; prompt %.0f ms after Escape\n", browser, prompt);
}

}  // namespace
