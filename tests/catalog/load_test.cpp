// Loading a folder: order, options, filter, kinds, the mount folder rules,
// recursion, unreadable items and hostile names.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>

#include "catalog_fixture.h"

namespace {

using namespace cattest;
using Names = std::vector<std::string>;

// "b.txt", "A.dsk", ".hidden", a subfolder, a link to a file, a link to the
// subfolder, a dangling link and a file without read permission.
class CatalogFolder : public ::testing::Test {
protected:
    TempFolder Temp;
    void SetUp() override {
        ASSERT_FALSE(Temp.Path.empty());
        Temp.File("b.txt", 1500);
        Temp.File("A.dsk", 143360);
        Temp.File(".hidden", 3);
        Temp.Folder("sub");
        Temp.File("sub/inner.TXT", 10);
        Temp.Link("link", "b.txt");
        Temp.Link("sublink", "sub");
        Temp.Link("dangling", "nowhere");
        chmod(Temp.File("secret.txt", 5).c_str(), 0);
        ResetCatalog();
        f_SetStandardFolder(f_Folder::Mount, "");
    }
    const f_CatItem *Find(const std::string &name) {
        for (const f_CatItem &item : f_CatList)
            if (item.Name == name) return &item;
        return nullptr;
    }
};

// The unreadable file is left out only where permissions hold (not for root).
Names Expect(Names names) {
    if (geteuid() == 0) {
        names.push_back("secret.txt");
        f_SortNames(names);
    }
    return names;
}

struct OptionCase {
    bool WithInvisible, WithAliases;
    const char *Filter;
    Names Expected;
};

TEST_F(CatalogFolder, OptionsAndFilterChooseTheItemsInNameOrder) {
    const OptionCase cases[] = {
        {false, false, "", {"A.dsk", "b.txt", "sub"}},
        {true, false, "", {".hidden", "A.dsk", "b.txt", "sub"}},
        {false, true, "", {"A.dsk", "b.txt", "link", "sub", "sublink"}},
        {true, true, "", {".hidden", "A.dsk", "b.txt", "link", "sub", "sublink"}},
        {false, false, "VOLU", {"A.dsk"}},
        {false, false, "text,volu", {"A.dsk", "b.txt"}},
        {false, true, "dir ,sym ", {"link", "sub", "sublink"}},
        {true, true, "????", {".hidden"}},
    };
    for (const OptionCase &c : cases) {
        ResetCatalog();
        f_CatLoad(Temp.Path, false, c.WithInvisible, c.WithAliases, c.Filter);
        Names expected = c.Expected;
        bool secretListed = geteuid() == 0 && f_TypeMatches("TEXT", c.Filter);
        if (secretListed) expected = Expect(expected);
        EXPECT_EQ(ListedNames(), expected) << c.WithInvisible << c.WithAliases << " '" << c.Filter << "'";
        EXPECT_EQ(f_CatStatus, 1);
        EXPECT_EQ(f_CatCount, int(expected.size()));
        EXPECT_EQ(f_CatPath, Temp.Path);
        EXPECT_EQ(f_CatFilter, c.Filter);
    }
}

TEST_F(CatalogFolder, DanglingLinksAndUnreadableFilesAreSkippedSilently) {
    LogCapture log;
    f_CatLoad(Temp.Path, false, true, true, "");
    EXPECT_EQ(Find("dangling"), nullptr);
    if (geteuid() != 0) {
        EXPECT_EQ(Find("secret.txt"), nullptr);
    }
    EXPECT_TRUE(log.Lines().empty());
}

// Root reads every file; a child that gives up root sees the permissions.
TEST_F(CatalogFolder, UnreadableFilesAreSkippedForAnOrdinaryUser) {
    if (geteuid() != 0) GTEST_SKIP() << "covered by the tests above";
    chmod(Temp.Path.c_str(), 0755);
    int result = AsOrdinaryUser([this] {
        f_CatLoad(Temp.Path, false, true, true, "");
        return ListedNames() == Names{".hidden", "A.dsk", "b.txt", "link", "sub", "sublink"};
    });
    if (result == 2) GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(result, 0) << "the unreadable file was listed";
}

struct KindCase {
    const char *Name;
    const char *Kind;
    int KindNum;
    const char *FileType, *FileCreator;
    bool Alias, Invisible;
};

TEST_F(CatalogFolder, ItemsCarryKindTypeAndFlags) {
    f_CatLoad(Temp.Path, false, true, true, "");
    const KindCase cases[] = {
        {"b.txt", "NSFileTypeRegular", 1, "TEXT", "????", false, false},
        {"A.dsk", "NSFileTypeRegular", 1, "VOLU", "????", false, false},
        {".hidden", "NSFileTypeRegular", 1, "????", "????", false, true},
        {"sub", "NSFileTypeDirectory", 2, "DIR ", "----", false, false},
        {"link", "NSFileTypeSymbolicLink", 3, "SYM ", "----", true, false},
        {"sublink", "NSFileTypeSymbolicLink", 3, "SYM ", "----", true, false},
    };
    for (const KindCase &c : cases) {
        const f_CatItem *item = Find(c.Name);
        ASSERT_NE(item, nullptr) << c.Name;
        EXPECT_EQ(item->Path, Temp.Path);
        EXPECT_EQ(item->Kind, c.Kind) << c.Name;
        EXPECT_EQ(item->KindNum, c.KindNum) << c.Name;
        EXPECT_EQ(item->FileType, c.FileType) << c.Name;
        EXPECT_EQ(item->FileCreator, c.FileCreator) << c.Name;
        EXPECT_EQ(item->Alias, c.Alias) << c.Name;
        EXPECT_EQ(item->Invisible, c.Invisible) << c.Name;
        EXPECT_FALSE(item->ExtHidden);
        EXPECT_FALSE(item->ReadOnly);
    }
    EXPECT_EQ(Find("b.txt")->Size, 1500);
    EXPECT_EQ(Find("A.dsk")->Size, 143360);
}

TEST_F(CatalogFolder, DatesComeFromTheItemItself) {
    std::string file = Temp.Path + "b.txt";
    std::string link = Temp.Path + "link";
    ASSERT_TRUE(SetModified(file, LocalTime(2021, 3, 4, 5, 6, 7)));
    ASSERT_TRUE(SetModified(link, LocalTime(1999, 12, 31, 23, 59, 58)));
    EXPECT_EQ(f_FileAttributes(file).ModifiedStr, "04.03.2021 05:06:07");
    EXPECT_EQ(f_FileAttributes(link).ModifiedStr, "31.12.1999 23:59:58");
    EXPECT_EQ(f_FileAttributes(file).Modified, std::chrono::system_clock::from_time_t(LocalTime(2021, 3, 4, 5, 6, 7)));
    // Where the file system keeps a creation date it is recent; else the field stays empty.
    std::string created = f_FileAttributes(file).CreatedStr;
    EXPECT_TRUE(created.empty() || created == f_DateStr(f_FileAttributes(file).Created));
}

TEST_F(CatalogFolder, DatesBeyondTheClockRangeStillFormat) {
    std::string file = Temp.Path + "b.txt";
    // Year 2400: later than a nanosecond clock can hold; the file system may clamp it.
    if (!SetModified(file, time_t(13569465600LL))) GTEST_SKIP() << "file system refuses the date";
    f_CatItem item = f_FileAttributes(file);
    EXPECT_EQ(item.ModifiedStr.size(), 19u);
    EXPECT_EQ(item.ModifiedStr.substr(2, 1), ".");
}

TEST_F(CatalogFolder, ImmutableFilesAreReadOnly) {
    std::string file = Temp.Path + "A.dsk";
    if (!TempFolder::SetImmutable(file, true)) GTEST_SKIP() << "cannot set the immutable attribute here";
    Temp.Immutable.push_back(file);
    EXPECT_TRUE(f_FileAttributes(file).ReadOnly);
    EXPECT_FALSE(f_FileAttributes(Temp.Path + "b.txt").ReadOnly);
}

TEST_F(CatalogFolder, MissingFolderAndFileGiveStatusAndLogLines) {
    LogCapture log;
    f_CatList.push_back(f_CatItem{});
    f_CatLoad(Temp.Path + "absent/", false, false, false, "");
    EXPECT_EQ(f_CatStatus, -2);
    EXPECT_EQ(f_CatList.size(), 1u) << "the list keeps what it held";
    f_CatLoad(Temp.Path + "b.txt/", false, false, false, "");
    EXPECT_EQ(f_CatStatus, -2);
    f_CatLoad("", false, false, false, "");
    EXPECT_EQ(f_CatStatus, -2);
    Names expected = {"f_CatLoad: Path '" + Temp.Path + "absent/' does not exist.",
                      "f_CatLoad: Path '" + Temp.Path + "b.txt/' does not exist.",
                      "f_CatLoad: Path '' does not exist."};
    EXPECT_EQ(log.Lines(), expected);
}

TEST_F(CatalogFolder, UnlistableFolderGivesStatusMinusOne) {
    std::string locked = Temp.Folder("locked");
    chmod(locked.c_str(), 0311);
    chmod(Temp.Path.c_str(), 0755);
    auto check = [&] {
        LogCapture log;
        f_CatLoad(locked, false, false, false, "");
        return f_CatStatus == -1 && log.Lines() == Names{"f_CatLoad: Error #Permission denied"};
    };
    if (geteuid() != 0) {
        EXPECT_TRUE(check());
        return;
    }
    int result = AsOrdinaryUser(check);
    if (result == 2) GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(result, 0);
}

TEST_F(CatalogFolder, FolderWithoutFinalSlashLoadsAsWithOne) {
    std::string path = Temp.Path.substr(0, Temp.Path.size() - 1);
    f_CatLoad(path, false, false, false, "VOLU");
    EXPECT_EQ(ListedNames(), Names{"A.dsk"});
    EXPECT_EQ(f_CatPath, Temp.Path);
    EXPECT_EQ(f_CatList[0].Path, Temp.Path);
}

TEST_F(CatalogFolder, AttributesOfAMissingItemGiveAFreshItemAndALogLine) {
    LogCapture log;
    f_CatItem item = f_FileAttributes(Temp.Path + "absent");
    EXPECT_EQ(item.Name, "");
    EXPECT_EQ(item.Path, "");
    EXPECT_EQ(item.FileType, "");
    EXPECT_FALSE(f_TypeMatches(item.FileType, "VOLU"));
    EXPECT_EQ(log.Lines(), Names{"f_FileAttributes: Error #No such file or directory"});
}

TEST_F(CatalogFolder, RecursiveLoadAppendsSubfoldersInPlaceAndKeepsTheOuterPath) {
    f_CatLoad(Temp.Path, true, false, true, "");
    Names expected = {"A.dsk", "b.txt", "link", "sub", "inner.TXT", "sublink", "inner.TXT"};
    if (geteuid() == 0) expected.insert(expected.begin() + 3, "secret.txt");
    EXPECT_EQ(ListedNames(), expected);
    EXPECT_EQ(f_CatPath, Temp.Path);
    EXPECT_EQ(f_CatStatus, 1);
    EXPECT_EQ(f_CatCount, int(expected.size()));
    const f_CatItem *inner = Find("inner.TXT");
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->Path, Temp.Path + "sub/");
    EXPECT_EQ(inner->FileType, "TEXT");
}

TEST_F(CatalogFolder, RecursiveLoadEndsOnLinksThatLoopBack) {
    Temp.Link("sub/up", "..");
    Temp.Link("sub/self", ".");
    Temp.Link("sub/again", "../sub");
    f_CatLoad(Temp.Path, true, false, true, "VOLU");
    EXPECT_EQ(ListedNames(), Names{"A.dsk"});
    EXPECT_EQ(f_CatStatus, 1);
}

struct SpecialCase {
    const char *Name;
    int KindNum;
    const char *FileType;
};

TEST(SpecialFiles, SocketsDevicesAndPipesGetTheirKinds) {
    TempFolder temp;
    ASSERT_FALSE(temp.Path.empty());
    std::string socketPath = temp.Path + "sock";
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof addr.sun_path);
    socketPath.copy(addr.sun_path, socketPath.size());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    // A pipe nobody writes to: opening it for reading would wait for ever.
    ASSERT_EQ(mkfifo((temp.Path + "pipe").c_str(), 0644), 0);

    const SpecialCase cases[] = {{"sock", 4, "SOC "}, {"pipe", 0, "ILL "}};
    for (const SpecialCase &c : cases) {
        f_CatItem item = f_FileAttributes(temp.Path + c.Name);
        EXPECT_EQ(item.KindNum, c.KindNum) << c.Name;
        EXPECT_EQ(item.FileType, c.FileType) << c.Name;
        EXPECT_EQ(item.FileCreator, "----") << c.Name;
    }
    close(fd);

    f_CatItem null = f_FileAttributes("/dev/null");
    EXPECT_EQ(null.KindNum, 5);
    EXPECT_EQ(null.Kind, "NSFileTypeCharacterSpecial");
    EXPECT_EQ(null.FileType, "CHR ");
    EXPECT_EQ(null.Path, "/dev/");
    for (const char *block : {"/dev/loop0", "/dev/vda", "/dev/sda", "/dev/nvme0n1"}) {
        struct stat st;
        if (lstat(block, &st) != 0 || !S_ISBLK(st.st_mode)) continue;
        f_CatItem item = f_FileAttributes(block);
        EXPECT_EQ(item.KindNum, 6);
        EXPECT_EQ(item.FileType, "BLK ");
        break;
    }
}

TEST(MountFolder, ListsOnlyFoldersAndLinksWhateverTheOptions) {
    TempFolder temp;
    ASSERT_FALSE(temp.Path.empty());
    temp.Folder("USB STICK");
    temp.Folder(".hiddenvol");
    temp.Link("Backup", "/");
    temp.File("stray.dsk", 10);
    f_SetStandardFolder(f_Folder::Mount, temp.Path);
    ResetCatalog();
    LogCapture log;
    f_CatLoad(temp.Path, false, false, false, "VOLU");
    f_SetStandardFolder(f_Folder::Mount, "");
    EXPECT_EQ(ListedNames(), (Names{".hiddenvol", "Backup", "USB STICK"}));
    Names expected = {
        "f_CatLoad: Volume „.hiddenvol“ of type „DIR “ added to list",
        "f_CatLoad: Volume „Backup“ of type „SYM “ added to list",
        "f_CatLoad: Volume „stray.dsk“ of type „VOLU“ ignored",
        "f_CatLoad: Volume „USB STICK“ of type „DIR “ added to list",
    };
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_EQ(f_CatFilter, "VOLU");
}

TEST(HostileNames, ControlCharactersAndInvalidUtf8AreListedAndFound) {
    TempFolder temp;
    ASSERT_FALSE(temp.Path.empty());
    const Names names = {"\x1b[2Jclear", "new\nline", "Icon\r", "\xff\xfe.dsk", "tab\there.txt", "\x7f"};
    for (const std::string &name : names) temp.File(name, 1);
    ResetCatalog();
    f_CatLoad(temp.Path, false, true, false, "");
    Names expected = names;
    f_SortNames(expected);
    EXPECT_EQ(ListedNames(), expected);
    for (const f_CatItem &item : f_CatList) {
        EXPECT_EQ(t_FileExists(item.Path + item.Name), 1) << "the name is kept byte for byte";
        EXPECT_EQ(item.KindNum, 1);
    }
    ResetCatalog();
    f_CatLoad(temp.Path, false, false, false, "volu");
    EXPECT_EQ(ListedNames(), Names{"\xff\xfe.dsk"});
}

TEST(LargeFolders, TenThousandItemsLoadInOrder) {
    TempFolder temp;
    ASSERT_FALSE(temp.Path.empty());
    Names names;
    for (int i = 9999; i >= 0; i--) {
        std::string name = (i % 2 ? "F" : "f") + t_NumberString(i, U'0', 5, false) + ".dsk";
        names.push_back(name);
        int fd = open((temp.Path + name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    ResetCatalog();
    f_CatLoad(temp.Path, false, false, false, "VOLU");
    ASSERT_EQ(f_CatCount, 10000);
    for (int i = 0; i < 10000; i++) EXPECT_EQ(f_CatList[size_t(i)].Name, names[size_t(9999 - i)]);
}

}  // namespace
