// Quitting as a person does it: Q at the prompt, File ▸ Quit, with and
// without unsaved changes, and bringing a hidden program back by starting
// it again.
#include <gtest/gtest.h>

#include <filesystem>

#include "child_output.h"
#include "e2e.h"
#include "threads.h"

namespace {

const std::string question = "Save changes before quitting: S(ave  D(iscard  C(ancel ? ";

std::string twoFiles(const test_TempFolder &folder) {
    return e2e_MakeImage(folder.at("WORK.DSK"), 128, {{"ALPHA.TXT", "alpha"}, {"BETA.TXT", "beta"}});
}

// The program is still at the prompt and the volume still changed.
void expectStillChanged() {
    e2e_Command("\rc", "Changes: S(ave  U(ndo  Q(uit ? ");
    e2e_Type("q");
}

// Each answer runs in a program of its own: after most of them the program
// has ended.
struct QuitAnswer {
    const char *Name;
    const char *Keys;     // typed after Q; none: File > Quit and the dialog's button
    const char *Button;
    bool FolderGone;      // the image's folder is removed before the answer
    bool Ends, Saved;
    const char *Line5;    // below the question once the program ended
};
const QuitAnswer quitAnswers[] = {
    {"Save", "s", "", false, true, true, "Changes saved."},
    {"SaveInCapitals", "S", "", false, true, true, "Changes saved."},
    {"Discard", "d", "", false, true, false, ""},
    {"Cancel", "c", "", false, false, false, ""},
    {"Escape", "\x1B", "", false, false, false, ""},
    {"FailedSave", "s", "", true, false, false, ""},
    {"MenuSave", "", "Save", false, true, true, ""},
    {"MenuDiscard", "", "Discard", false, true, false, ""},
    {"MenuCancel", "", "Cancel", false, false, false, ""},
    {"MenuFailedSave", "", "Save", true, false, false, ""},
};

void PrintTo(const QuitAnswer &a, std::ostream *o) { *o << a.Name; }

class Quit : public ::testing::TestWithParam<QuitAnswer> {};

TEST_P(Quit, WithChangesAsksFirst) {
    const QuitAnswer a = GetParam();
    test_TempFolder folder;
    std::string image = twoFiles(folder);
    e2e_RunProgram({image}, [&a, &folder] {
        e2e_OpenLaunchImage("WORK.DSK");
        e2e_Command("e#0\r", "ALPHA   .TXT erased");
        if (a.FolderGone) std::filesystem::remove_all(folder.Path);
        if (*a.Button) {
            e2e_ChooseMenu("File", "Quit");
            std::string text = e2e_AnswerDialog(a.Button);
            EXPECT_NE(text.find("WORK.DSK"), std::string::npos) << text;
            if (a.FolderGone) {
                std::string report = e2e_AnswerDialog("OK");
                EXPECT_EQ(report.rfind("Changes not saved: ", 0), 0u) << report;
            }
            EXPECT_EQ(e2e_WaitForEnd(a.Ends ? 5000 : 300), a.Ends);
        } else {
            e2e_Command("q", question);
            e2e_Type("x\r");   // other keys are not answers
            e2e_Settle();
            EXPECT_EQ(e2e_Line(3), question.substr(0, question.size() - 1));
            e2e_Type(a.Keys);
            if (a.Ends) {
                ASSERT_TRUE(e2e_WaitFor("(Programm Ende)"));
                EXPECT_EQ(e2e_Line(5), a.Line5);
                return;
            }
            ASSERT_TRUE(e2e_WaitFor(a.FolderGone ? "Changes not saved: " : question + "C"));
            ASSERT_TRUE(e2e_WaitFor(e2e_Prompt1));
            e2e_Settle();
            EXPECT_FALSE(e2e_OnScreen("(Programm Ende)"));
            EXPECT_EQ(e2e_Line(1), e2e_Prompt1);
        }
        if (!a.Ends) expectStillChanged();
    });
    std::vector<std::string> left = {"ALPHA   .TXT", "BETA    .TXT"};
    if (a.Saved) left.erase(left.begin());
    if (!a.FolderGone) { EXPECT_EQ(e2e_Files(image), left); }
}

INSTANTIATE_TEST_SUITE_P(Answers, Quit, ::testing::ValuesIn(quitAnswers),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST(QuitKey, WithoutChangesEndsAtOnce) {
    test_TempFolder folder;
    e2e_RunProgram({twoFiles(folder)}, [] {
        e2e_OpenLaunchImage("WORK.DSK");
        e2e_Command("q", "(Programm Ende)");
        EXPECT_FALSE(e2e_OnScreen("Save changes"));
        e2e_Type("d");   // nobody reads keys any more, and nothing breaks
        t_SleepMs(100);
        EXPECT_FALSE(e2e_OnScreen("files,"));
        EXPECT_FALSE(e2e_WaitForEnd(100));   // the application stays open
    });
}

// Before the program has a volume, at the prompt, and after Q has ended
// the program: one Quit ends the application.
class QuitMenuAt : public ::testing::TestWithParam<const char *> {};

TEST_P(QuitMenuAt, OneQuitEndsTheApplicationWithEveryWindowShown) {
    const char *keys = GetParam();
    test_TempFolder folder;
    e2e_RunProgram({twoFiles(folder)}, [keys] {
        ASSERT_TRUE(e2e_WaitFor("WORK.DSK"));
        e2e_Type(keys);
        e2e_Settle();
        for (const char *item : {"Show Virtual Printer", "Show System Console", "Show Pasteboard"})
            e2e_ChooseMenu("Window", item);
        for (int n : {0, 8, 9, 10}) EXPECT_TRUE(e2e_WindowShown(n)) << n;
        e2e_ChooseMenu("File", "Quit");
        EXPECT_TRUE(e2e_WaitForEnd());
    });
}

INSTANTIATE_TEST_SUITE_P(Moments, QuitMenuAt, ::testing::Values("", "\r", "\rq"), [](const auto &info) {
    return std::string(info.index == 0 ? "InTheBrowser" : info.index == 1 ? "AtThePrompt" : "AfterTheProgramEnded");
});

TEST(SecondLaunch, WithoutPathShowsTheHiddenProgram) {
    // A runtime folder of this test's own, so that no other program of the
    // user's is the running one.
    test_TempFolder runtime, folder;
    setenv("XDG_RUNTIME_DIR", runtime.Path.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    e2e_RunProgram({twoFiles(folder)}, [] {
        e2e_OpenLaunchImage("WORK.DSK");
        e2e_ChooseMenu("Window", "Show Virtual Printer");
        e2e_ChooseMenu("Window", "Hide All");
        for (int n : {0, 8, 9, 10, 11, 12}) EXPECT_FALSE(e2e_WindowShown(n)) << n;
        // Started again as a launcher does, without a path: it hands over and ends.
        std::string program = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "diskwright").string();
        EXPECT_EQ(test_Shell("timeout 10 '" + program + "' >/dev/null 2>&1"), 0);
        for (int waited = 0; waited < 3000 && !e2e_WindowShown(0); waited += 10) t_SleepMs(10);
        EXPECT_TRUE(e2e_WindowShown(0));
        EXPECT_FALSE(e2e_WindowShown(9));
        // It is the same program, at the same place.
        e2e_Command("d", "2 files, ");
    }, true);
}

}  // namespace
