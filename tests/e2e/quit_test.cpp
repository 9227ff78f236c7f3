// Quitting as a person does it: Q at the prompt, File ▸ Quit, with and
// without unsaved changes, and bringing a hidden program back by starting
// it again.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "child_output.h"
#include "e2e.h"
#include "threads.h"
#include "volume.h"

extern char **environ;

namespace {

const char *const prompt1 = "Diskwright: V(olume  D(irectory  L(ong Dir  S(ector Map  N(ew  Q(uit  [1.4] ?";
const char *const question = "Save changes before quitting: S(ave  D(iscard  C(ancel ? ";

std::string twoFiles() {
    std::string image = e2e_TempFolder() + "WORK.DSK";
    e2e_MakeImage(image, 128, {{"ALPHA.TXT", "alpha"}, {"BETA.TXT", "beta"}});
    return image;
}

void openLaunchImage() {
    ASSERT_TRUE(e2e_WaitFor("WORK.DSK"));
    e2e_Type("\r");
    ASSERT_TRUE(e2e_WaitFor("Volume Name: WORK.DSK (128K)"));
}

// Erases ALPHA.TXT in memory: the volume now holds unsaved changes.
void eraseFirstFile() {
    e2e_Type("e#0\r");
    ASSERT_TRUE(e2e_WaitFor("ALPHA   .TXT erased"));
}

// Whether the image file on disk still holds ALPHA.TXT.
bool fileStillHoldsAlpha(const std::string &image) {
    cpm_SetDiagnostics(false);
    cpm_Volume v = cpm_LoadVolume(image);
    cpm_SetDiagnostics(true);
    return !v.Names.empty() && v.Names[0] == Text("ALPHA   .TXT");
}

// The program is still at the prompt and the volume still changed.
void expectStillChanged() {
    e2e_Type("\rc");
    EXPECT_TRUE(e2e_WaitFor("Changes: S(ave  U(ndo  Q(uit ? "));
    e2e_Type("q");
}

// Each answer runs in a program of its own: after most of them the program
// has ended.
struct ScreenAnswer {
    const char *Name;
    const char *Keys;
    bool Ends;
    bool Saved;
    const char *Line5;   // what the screen shows below the question
};
const ScreenAnswer screenAnswers[] = {
    {"Save", "s", true, true, "Changes saved."},
    {"SaveInCapitals", "S", true, true, "Changes saved."},
    {"Discard", "d", true, false, ""},
    {"Cancel", "c", false, false, ""},
    {"Escape", "\x1B", false, false, ""},
};

void PrintTo(const ScreenAnswer &a, std::ostream *o) { *o << a.Name; }

class QuitKeyAnswer : public ::testing::TestWithParam<ScreenAnswer> {};

TEST_P(QuitKeyAnswer, WithChangesAsksFirst) {
    const ScreenAnswer a = GetParam();
    std::string image = twoFiles();
    e2e_RunProgram({image}, [&a] {
        openLaunchImage();
        eraseFirstFile();
        e2e_Type("q");
        ASSERT_TRUE(e2e_WaitFor(question));
        e2e_Type("x\r");   // other keys are not answers
        e2e_Settle();
        std::string asked = question;
        EXPECT_EQ(e2e_Line(3), asked.substr(0, asked.size() - 1));
        e2e_Type(a.Keys);
        if (a.Ends) {
            ASSERT_TRUE(e2e_WaitFor("(Programm Ende)"));
            EXPECT_EQ(e2e_Line(5), a.Line5);
        } else {
            ASSERT_TRUE(e2e_WaitFor(asked + "C"));
            ASSERT_TRUE(e2e_WaitFor(prompt1));
            EXPECT_EQ(e2e_Screen().find("(Programm Ende)"), std::string::npos);
            expectStillChanged();
        }
    });
    EXPECT_EQ(fileStillHoldsAlpha(image), !a.Saved);
}

INSTANTIATE_TEST_SUITE_P(Answers, QuitKeyAnswer, ::testing::ValuesIn(screenAnswers),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST(QuitKey, FailedSaveStaysAtThePrompt) {
    std::string image = twoFiles();
    e2e_RunProgram({image}, [image] {
        openLaunchImage();
        eraseFirstFile();
        std::filesystem::remove_all(std::filesystem::path(image).parent_path());
        e2e_Type("q");
        ASSERT_TRUE(e2e_WaitFor(question));
        e2e_Type("s");
        ASSERT_TRUE(e2e_WaitFor("Changes not saved: "));
        e2e_Settle();
        EXPECT_EQ(e2e_Screen().find("(Programm Ende)"), std::string::npos);
        EXPECT_EQ(e2e_Line(1), prompt1);
        expectStillChanged();
    });
}

TEST(QuitKey, WithoutChangesEndsAtOnce) {
    e2e_RunProgram({twoFiles()}, [] {
        openLaunchImage();
        e2e_Type("d");
        ASSERT_TRUE(e2e_WaitFor("2 files, "));
        e2e_Type("q");
        EXPECT_TRUE(e2e_WaitFor("(Programm Ende)"));
        EXPECT_EQ(e2e_Screen().find("Save changes"), std::string::npos);
        e2e_Type("d");   // nobody reads keys any more, and nothing breaks
        t_SleepMs(100);
        EXPECT_FALSE(e2e_WaitForEnd(100));   // the application stays open
    });
}

// Before the program has a volume, at the prompt, and after Q has ended
// the program.
struct QuitMoment {
    const char *Name;
    const char *Keys;
};
const QuitMoment quitMoments[] = {{"InTheBrowser", ""}, {"AtThePrompt", "\r"}, {"AfterTheProgramEnded", "\rq"}};

void PrintTo(const QuitMoment &m, std::ostream *o) { *o << m.Name; }

class QuitMenuAt : public ::testing::TestWithParam<QuitMoment> {};

TEST_P(QuitMenuAt, OneQuitEndsTheApplicationWithEveryWindowShown) {
    const QuitMoment m = GetParam();
    e2e_RunProgram({twoFiles()}, [&m] {
        ASSERT_TRUE(e2e_WaitFor("WORK.DSK"));
        e2e_Type(m.Keys);
        e2e_Settle();
        e2e_ChooseMenu("Window", "Show Virtual Printer");
        e2e_ChooseMenu("Window", "Show System Console");
        e2e_ChooseMenu("Window", "Show Pasteboard");
        EXPECT_TRUE(e2e_WindowShown(0) && e2e_WindowShown(8) && e2e_WindowShown(9) && e2e_WindowShown(10));
        e2e_ChooseMenu("File", "Quit");
        EXPECT_TRUE(e2e_WaitForEnd());
    });
}

INSTANTIATE_TEST_SUITE_P(Moments, QuitMenuAt, ::testing::ValuesIn(quitMoments),
                         [](const auto &info) { return std::string(info.param.Name); });

struct MenuAnswer {
    const char *Button;
    bool Ends;
    bool Saved;
};
const MenuAnswer menuAnswers[] = {{"Save", true, true}, {"Discard", true, false}, {"Cancel", false, false}};

void PrintTo(const MenuAnswer &a, std::ostream *o) { *o << a.Button; }

class QuitMenuAnswer : public ::testing::TestWithParam<MenuAnswer> {};

TEST_P(QuitMenuAnswer, WithChangesAsksInADialog) {
    const MenuAnswer a = GetParam();
    std::string image = twoFiles();
    e2e_RunProgram({image}, [&a] {
        openLaunchImage();
        eraseFirstFile();
        e2e_ChooseMenu("File", "Quit");
        std::string text = e2e_AnswerDialog(a.Button);
        EXPECT_NE(text.find("WORK.DSK"), std::string::npos) << text;
        EXPECT_EQ(e2e_WaitForEnd(a.Ends ? 5000 : 300), a.Ends);
        if (!a.Ends) expectStillChanged();
    });
    EXPECT_EQ(fileStillHoldsAlpha(image), !a.Saved);
}

INSTANTIATE_TEST_SUITE_P(Answers, QuitMenuAnswer, ::testing::ValuesIn(menuAnswers),
                         [](const auto &info) { return std::string(info.param.Button); });

TEST(QuitMenu, FailedSaveIsReportedAndKeepsTheApplication) {
    std::string image = twoFiles();
    e2e_RunProgram({image}, [image] {
        openLaunchImage();
        eraseFirstFile();
        std::filesystem::remove_all(std::filesystem::path(image).parent_path());
        e2e_ChooseMenu("File", "Quit");
        e2e_AnswerDialog("Save");
        std::string report = e2e_AnswerDialog("OK");
        EXPECT_EQ(report.rfind("Changes not saved: ", 0), 0u) << report;
        EXPECT_FALSE(e2e_WaitForEnd(300));
        expectStillChanged();
    });
}

// The program built beside this test.
std::string programPath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "diskwright").string();
}

// Starts the program as a launcher does, without a path; its exit status,
// or -1 when it did not end within the time.
int launchAgain(int timeoutMs) {
    std::string program = programPath();
    char *argv[] = {program.data(), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return -2;
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
        t_SleepMs(10);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

TEST(SecondLaunch, WithoutPathShowsTheHiddenProgram) {
    // A runtime folder of this test's own, so that no other program of the
    // user's is the running one.
    test_RuntimeFolder runtime;
    setenv("XDG_RUNTIME_DIR", runtime.Path.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    e2e_RunProgram({twoFiles()}, [] {
        openLaunchImage();
        e2e_ChooseMenu("Window", "Show Virtual Printer");
        e2e_ChooseMenu("Window", "Hide All");
        for (int n : {0, 8, 9, 10, 11, 12}) EXPECT_FALSE(e2e_WindowShown(n)) << n;
        EXPECT_EQ(launchAgain(10000), 0);   // handed over and ended
        for (int waited = 0; waited < 3000 && !e2e_WindowShown(0); waited += 10) t_SleepMs(10);
        EXPECT_TRUE(e2e_WindowShown(0));
        EXPECT_FALSE(e2e_WindowShown(9));
        // It is the same program, at the same place.
        e2e_Type("d");
        EXPECT_TRUE(e2e_WaitFor("2 files, "));
    }, true);
}

}  // namespace
