// M(ac --> CP/M and T(ransfer CP/M --> Mac as a person uses them: host files
// and folders chosen in the browser, names, refusals and host failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "e2e.h"
#include "files.h"
#include "screen_text.h"
#include "volume.h"

namespace fs = std::filesystem;

namespace {

const char *const prompt3 = "Diskwright: P(rint  H(exdump  M(ac --> CP/M  T(ransfer CP/M --> Mac   [1.4] ?";

// A home folder of its own (two levels below a temporary folder) whose
// Desktop folder is where the transfer browser starts; set before the
// program reads its standard folders.
std::string useOwnDesktop() {
    std::string home = e2e_TempFolder() + "home/";
    fs::create_directories(home + "Desktop");
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    return home + "Desktop/";
}

void writeHostFile(const std::string &path, const std::string &contents) {
    ASSERT_EQ(setbinarytofile(path, Text(contents)), 0) << path;
}

std::string readHostFile(const std::string &path) { return gettextfromfile(path).bytes(); }

// An image in a folder of its own, opened from the start-up browser.
std::string makeImage(int sizeKB, const std::vector<std::pair<std::string, std::string>> &files) {
    std::string image = e2e_TempFolder() + "WORK.DSK";
    e2e_MakeImage(image, sizeKB, files);
    return image;
}

void openLaunchImage() {
    ASSERT_TRUE(e2e_WaitFor("CP/M Volume öffnen"));
    ASSERT_TRUE(e2e_WaitFor("WORK.DSK"));
    e2e_Type("\r");
    ASSERT_TRUE(e2e_WaitFor("Volume Name: WORK.DSK"));
}

// Rewrites directory entry `entry` of a plain image file: the user byte and
// the eleven name and type bytes.
void patchEntry(const std::string &image, int entry, uint8_t user, const std::string &nameAndType) {
    ASSERT_EQ(nameAndType.size(), 11u);
    cpm_SetDiagnostics(false);
    cpm_Volume v = cpm_LoadVolume(image);
    cpm_SetDiagnostics(true);
    Text bytes = gettextfromfile(image);
    size_t at = size_t(v.DataStart) + size_t(entry) * 32;
    bytes.Elements[at] = user;
    for (size_t k = 0; k < 11; k++) bytes.Elements[at + 1 + k] = uint8_t(nameAndType[k]);
    ASSERT_EQ(setbinarytofile(image, bytes), 0);
}

// Every path under the folder with its contents ("<folder>" for folders).
std::map<std::string, std::string> snapshot(const std::string &folder) {
    std::map<std::string, std::string> all;
    for (const fs::directory_entry &e : fs::recursive_directory_iterator(folder))
        all[e.path().string()] = e.is_directory() ? "<folder>" : readHostFile(e.path().string());
    return all;
}

std::vector<std::string> namesIn(const std::string &folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry &e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool onScreen(const std::string &text) { return e2e_Screen().find(text) != std::string::npos; }

// Starts M and chooses the host file whose name begins with `firstLetters`.
void chooseHostFile(const std::string &firstLetters) {
    e2e_Type("m");
    ASSERT_TRUE(e2e_WaitFor("Load CP/M file"));
    e2e_Settle();
    e2e_Type(firstLetters + "\r");
    ASSERT_TRUE(e2e_WaitFor("Please enter filename (* = all files of selected directory): "));
}

// Empties the name field (it holds at most 13 characters) and types the answer.
void answerName(const std::string &answer) {
    e2e_Type(std::string(13, '\b') + answer + "\r");
}

TEST(HostNames, NamesFromTheVolumeAreSafeOnTheHost) {
    struct {
        std::string Display, Host;
    } cases[] = {
        {"NAME    .TXT", "NAME.TXT"},
        {"README  .   ", "README."},
        {"A       .B  ", "A.B"},
        {"../../X .   ", ".._.._X."},
        {"A/B     .TXT", "A_B.TXT"},
        {std::string("A\0B     .   ", 12), "A_B."},
        {"        .   ", "_"},
        {".       .   ", "__"},
        {"..      .   ", "..."},
    };
    for (const auto &c : cases) EXPECT_EQ(cpm_HostName(Text(c.Display)), c.Host) << c.Display;
}

TEST(MacToCpm, ProposesTheDisplayNameAndStoresUnderIt) {
    std::string desktop = useOwnDesktop();
    writeHostFile(desktop + "readme.txt", "Hello\r\n");
    e2e_RunProgram({makeImage(128, {})}, [] {
        openLaunchImage();
        chooseHostFile("re");
        EXPECT_EQ(e2e_Line(3), "Please enter filename (* = all files of selected directory): README  .TXT");
        e2e_Type("\r");
        ASSERT_TRUE(e2e_WaitFor("README  .TXT saved on CP/M volume."));
        EXPECT_EQ(e2e_Line(5), "README  .TXT saved on CP/M volume.");
        e2e_Type("d");
        EXPECT_TRUE(e2e_WaitFor("README  .TXT   2"));
        EXPECT_TRUE(e2e_WaitFor("1 files, "));
    });
}

TEST(MacToCpm, AllItemsOfAFolderOneLineEach) {
    std::string desktop = useOwnDesktop();
    writeHostFile(desktop + "alpha.txt", "new alpha");
    writeHostFile(desktop + "beta.dat", std::string(3000, 'b'));
    fs::create_directories(desktop + "sub");
    writeHostFile(desktop + "sub/inner.txt", "inside");
    e2e_RunProgram({makeImage(128, {{"ALPHA.TXT", "old alpha"}})}, [] {
        openLaunchImage();
        chooseHostFile("b");
        answerName("*");
        ASSERT_TRUE(e2e_WaitFor("BETA    .DAT saved on CP/M volume."));
        e2e_Settle();
        EXPECT_TRUE(onScreen("ALPHA   .TXT could not be saved: File exists."));
        // A folder is no file: it is reported, not stored as an empty file.
        EXPECT_TRUE(onScreen("SUB     .    skipped: a folder.")) << e2e_Screen();
        EXPECT_FALSE(onScreen("SUB     .    saved"));
        EXPECT_FALSE(onScreen("INNER"));
        e2e_Type("\rd");
        EXPECT_TRUE(e2e_WaitFor("2 files, "));
        EXPECT_FALSE(onScreen("SUB"));
    });
}

// M of one small host file into a volume that cannot take it.
void expectRefusal(const std::string &image, const std::string &hostData, const std::string &message) {
    std::string desktop = useOwnDesktop();
    writeHostFile(desktop + "new.txt", hostData);
    e2e_RunProgram({image}, [message] {
        openLaunchImage();
        chooseHostFile("n");
        e2e_Type("\r");
        EXPECT_TRUE(e2e_WaitFor("NEW     .TXT could not be saved: " + message));
        EXPECT_FALSE(onScreen("saved on CP/M volume."));
    });
}

TEST(MacToCpm, FullDirectoryIsRefused) {
    // A plain volume has 128 directory entries: 128 files of one byte fill it.
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 128; i++) files.push_back({std::string("F").append(std::to_string(i)), "x"});
    std::string image = makeImage(512, files);
    cpm_SetDiagnostics(false);
    ASSERT_EQ(cpm_LoadVolume(image).Sizes.size(), 128u);
    ASSERT_EQ(cpm_LoadVolume(image).Names.back(), Text("F127    .   "));
    cpm_SetDiagnostics(true);
    expectRefusal(image, "a", "Directory full.");
}

TEST(MacToCpm, FullVolumeIsRefused) { expectRefusal(makeImage(64, {}), std::string(100000, 'z'), "Not enough free space on volume."); }

TEST(MacToCpm, HostFileThatCannotBeReadIsReportedNotStoredEmpty) {
    std::string desktop = useOwnDesktop();
    writeHostFile(desktop + "gone.txt", "soon gone");
    e2e_RunProgram({makeImage(128, {})}, [desktop] {
        openLaunchImage();
        chooseHostFile("g");
        fs::remove(desktop + "gone.txt");
        e2e_Type("\r");
        ASSERT_TRUE(e2e_WaitFor("GONE    .TXT could not be saved: "));
        e2e_Settle();
        const std::string refusal = "GONE    .TXT could not be saved: ";
        EXPECT_EQ(e2e_Line(5).rfind(refusal, 0), 0u);
        EXPECT_GT(e2e_Line(5).size(), refusal.size());   // a reason follows
        e2e_Type("\rd");
        EXPECT_TRUE(e2e_WaitFor("0 files, "));
    });
}

TEST(CpmToMac, MissingNameOpensNoBrowser) {
    useOwnDesktop();
    e2e_RunProgram({makeImage(128, {{"ALPHA.TXT", "a"}})}, [] {
        openLaunchImage();
        e2e_Type("t");
        ASSERT_TRUE(e2e_WaitFor("Please enter filename (* = all files): "));
        e2e_Type("nothere.txt\r");
        ASSERT_TRUE(e2e_WaitFor("NOTHERE .TXT not found."));
        e2e_Settle();
        EXPECT_EQ(e2e_Line(5), "NOTHERE .TXT not found.");
        EXPECT_FALSE(onScreen("Save CP/M file"));
        e2e_Type("?");   // the loop reads keys again: no browser waits for them
        EXPECT_TRUE(e2e_WaitFor("C(hanges"));
    });
}

// Marks the entry of the file as erased in the image file.
void eraseInImage(const std::string &image, const std::string &name) {
    cpm_SetDiagnostics(false);
    cpm_Volume v = cpm_LoadVolume(image);
    cpm_SetDiagnostics(true);
    Text display = cpm_MakeName(Text(name));
    for (size_t i = 0; i < v.Names.size(); i++) {
        if (v.Names[i] != display) continue;
        Text bytes = gettextfromfile(image);
        bytes.Elements[size_t(v.DataStart) + i * 32] = 0xE5;
        ASSERT_EQ(setbinarytofile(image, bytes), 0);
        return;
    }
    FAIL() << name << " not in the image";
}

// T "*" into the Desktop folder, accepting the form's default name.
void transferAll() {
    e2e_Type("t");
    ASSERT_TRUE(e2e_WaitFor("Please enter filename (* = all files): "));
    e2e_Type("*\r");
    ASSERT_TRUE(e2e_WaitFor("Save multiple CP/M files"));
    ASSERT_TRUE(e2e_WaitFor("(original names)"));
    e2e_Type("\r");
}

TEST(CpmToMac, AllFilesOneHostFileEach) {
    std::string desktop = useOwnDesktop();
    std::string big(40000, 'B');   // two directory entries
    std::string image = makeImage(128, {{"README", "read me"}, {"GONE.TXT", "erased"}, {"BIG.DAT", big}, {"KEEP.COM", "k"}});
    eraseInImage(image, "GONE.TXT");
    e2e_RunProgram({image}, [] {
        openLaunchImage();
        transferAll();
        ASSERT_TRUE(e2e_WaitFor("KEEP    .COM saved on Mac volume."));
        e2e_Settle();
        EXPECT_EQ(e2e_Line(5), "README  .    saved on Mac volume.");
        EXPECT_EQ(e2e_Line(6), "BIG     .DAT saved on Mac volume.");
        EXPECT_EQ(e2e_Line(7), "KEEP    .COM saved on Mac volume.");
        EXPECT_EQ(e2e_Line(8), "");
    });
    EXPECT_EQ(namesIn(desktop), (std::vector<std::string>{"BIG.DAT", "KEEP.COM", "README."}));
    // Whole blocks of 2048 bytes, as the volume holds them.
    std::string readme = readHostFile(desktop + "README.");
    EXPECT_EQ(readme.size(), 2048u);
    EXPECT_EQ(readme.substr(0, 7), "read me");
    std::string bigCopy = readHostFile(desktop + "BIG.DAT");
    EXPECT_EQ(bigCopy.size(), 40960u);
    EXPECT_EQ(bigCopy.substr(0, big.size()), big);
}

TEST(CpmToMac, HostileNamesStayInTheTargetFolder) {
    std::string desktop = useOwnDesktop();
    std::string image = makeImage(128, {{"F0", "zero"}, {"F1", "one"}, {"F2", "two"}, {"F3", "three"}, {"F4", "four"},
                                        {"PLAIN.TXT", "plain"}});
    patchEntry(image, 0, 0, "../../X    ");
    patchEntry(image, 1, 0, "A/B     TXT");
    patchEntry(image, 2, 0, std::string("C\0D        ", 11));
    patchEntry(image, 3, 0, "           ");
    patchEntry(image, 4, 0, ".          ");
    // Everything around the target folder, to compare afterwards; "../../X"
    // would land in it.
    std::string sandbox = fs::path(desktop).parent_path().parent_path().parent_path().string() + "/";
    std::map<std::string, std::string> before = snapshot(sandbox);
    e2e_RunProgram({image}, [] {
        openLaunchImage();
        transferAll();
        ASSERT_TRUE(e2e_WaitFor("PLAIN   .TXT saved on Mac volume."));
        e2e_Settle();
        EXPECT_FALSE(onScreen("could not be saved")) << e2e_Screen();
    });
    std::map<std::string, std::string> after = snapshot(sandbox);
    for (auto it = after.begin(); it != after.end();) {
        if (it->first.rfind(desktop, 0) == 0) it = after.erase(it);
        else ++it;
    }
    for (auto it = before.begin(); it != before.end();) {
        if (it->first.rfind(desktop, 0) == 0) it = before.erase(it);
        else ++it;
    }
    EXPECT_EQ(after, before);   // nothing written, replaced or removed outside the target folder
    std::vector<std::string> names = namesIn(desktop);
    for (const std::string &name : names) {
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
        EXPECT_EQ(name.find('\0'), std::string::npos) << name;
    }
    // Names the volume's rules can find are written under safe names.
    EXPECT_EQ(readHostFile(desktop + "C_D.").substr(0, 3), "two");
    EXPECT_EQ(readHostFile(desktop + "_").substr(0, 5), "three");
    EXPECT_EQ(readHostFile(desktop + "PLAIN.TXT").substr(0, 5), "plain");
}

TEST(CpmToMac, FailedHostWriteShowsTheReason) {
    std::string desktop = useOwnDesktop();
    fs::create_directories(desktop + "BETA.COM");   // a folder where the copy should go
    e2e_RunProgram({makeImage(128, {{"ALPHA.TXT", "a"}, {"BETA.COM", "b"}})}, [] {
        openLaunchImage();
        transferAll();
        ASSERT_TRUE(e2e_WaitFor("1 file exists. R(eplace  S(kip  C(ancel ? "));
        e2e_Type("r");
        ASSERT_TRUE(e2e_WaitFor("ALPHA   .TXT saved on Mac volume."));
        ASSERT_TRUE(e2e_WaitFor("BETA    .COM could not be saved: "));
        e2e_Settle();
        EXPECT_EQ(e2e_Line(7).rfind("BETA    .COM could not be saved: ", 0), 0u);
        EXPECT_GT(e2e_Line(7).size(), std::string("BETA    .COM could not be saved: ").size());
        EXPECT_FALSE(onScreen("BETA    .COM saved on Mac volume."));
    });
    EXPECT_TRUE(fs::is_directory(desktop + "BETA.COM"));
}

TEST(CpmToMac, SingleFileThroughTheSaveForm) {
    std::string desktop = useOwnDesktop();
    e2e_RunProgram({makeImage(128, {{"ALPHA.TXT", "alpha"}})}, [] {
        openLaunchImage();
        e2e_Type("t");
        ASSERT_TRUE(e2e_WaitFor("Please enter filename (* = all files): "));
        e2e_Type("alpha.txt\r");
        ASSERT_TRUE(e2e_WaitFor("Save CP/M file"));
        ASSERT_TRUE(e2e_WaitFor("ALPHA.TXT"));   // the typed name in capitals
        e2e_Type("\r");
        ASSERT_TRUE(e2e_WaitFor("ALPHA   .TXT saved on Mac volume."));
        EXPECT_EQ(e2e_Line(5), "ALPHA   .TXT saved on Mac volume.");
    });
    EXPECT_EQ(readHostFile(desktop + "ALPHA.TXT").substr(0, 5), "alpha");
}

}  // namespace
