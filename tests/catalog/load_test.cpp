// Loading a folder: order, options, filter, kinds, unreadable items, the
// mount folder rules, recursion and hostile names.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>

#include "catalog_fixture.h"

namespace {

using namespace cattest;

// "b.txt", "A.dsk", ".hidden", a subfolder, links to a file and to the
// subfolder, a dangling link and a file nobody may read.
class CatalogFolder : public ::testing::Test {
protected:
    test_TempFolder Temp;
    void SetUp() override {
        Temp.file("b.txt", 1500);
        Temp.file("A.dsk", 143360);
        Temp.file(".hidden", 3);
        Temp.folder("sub");
        Temp.file("sub/inner.TXT", 10);
        Temp.link("link", "b.txt");
        Temp.link("sublink", "sub");
        Temp.link("dangling", "nowhere");
        chmod(Temp.file("secret.txt", 5).c_str(), 0);
        chmod(Temp.Path.c_str(), 0755);
        ResetCatalog();
    }
    const f_CatItem *Find(const std::string &name) {
        for (const f_CatItem &item : f_CatList)
            if (item.Name == name) return &item;
        return nullptr;
    }
};

// Root reads every file: the unreadable file is then listed like the rest.
Names WithSecret(Names names, size_t at) {
    if (geteuid() == 0) names.insert(names.begin() + ptrdiff_t(at), "secret.txt");
    return names;
}

TEST_F(CatalogFolder, OptionsAndFilterChooseTheItemsInNameOrder) {
    struct Case { bool WithInvisible, WithAliases; const char *Filter; Names Expected; };
    const Case cases[] = {
        {false, false, "", WithSecret({"A.dsk", "b.txt", "sub"}, 2)},
        {true, false, "", WithSecret({".hidden", "A.dsk", "b.txt", "sub"}, 3)},
        {false, true, "", WithSecret({"A.dsk", "b.txt", "link", "sub", "sublink"}, 3)},
        {false, false, "VOLU", {"A.dsk"}},
        {false, false, "text,volu", WithSecret({"A.dsk", "b.txt"}, 2)},
        {false, true, "dir ,sym ", {"link", "sub", "sublink"}},
        {true, true, "????", {".hidden"}},
    };
    for (const Case &c : cases) {
        ResetCatalog();
        test_LogCapture log;
        f_CatLoad(Temp.Path, false, c.WithInvisible, c.WithAliases, c.Filter);
        EXPECT_EQ(ListedNames(), c.Expected) << c.WithInvisible << c.WithAliases << " '" << c.Filter << "'";
        EXPECT_EQ(f_CatStatus, 1);
        EXPECT_EQ(f_CatCount, int(c.Expected.size()));
        EXPECT_EQ(f_CatPath, Temp.Path);
        EXPECT_EQ(f_CatFilter, c.Filter);
        EXPECT_EQ(log.lines(), Names{}) << "unreadable items are skipped silently";
    }
}

TEST_F(CatalogFolder, UnreadableFilesAreSkippedForAnOrdinaryUser) {
    int result = AsOrdinaryUser([this] {
        f_CatLoad(Temp.Path, false, true, true, "");
        return ListedNames() == Names{".hidden", "A.dsk", "b.txt", "link", "sub", "sublink"};
    });
    if (result == 2) GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(result, 0) << "the unreadable file or the dangling link was listed";
}

TEST_F(CatalogFolder, ItemsCarryKindTypeAndFlags) {
    struct Case { const char *Name, *Kind; int KindNum; const char *FileType, *FileCreator; bool Alias, Invisible; };
    const Case cases[] = {
        {"b.txt", "NSFileTypeRegular", 1, "TEXT", "????", false, false},
        {"A.dsk", "NSFileTypeRegular", 1, "VOLU", "????", false, false},
        {".hidden", "NSFileTypeRegular", 1, "????", "????", false, true},
        {"sub", "NSFileTypeDirectory", 2, "DIR ", "----", false, false},
        {"link", "NSFileTypeSymbolicLink", 3, "SYM ", "----", true, false},
    };
    f_CatLoad(Temp.Path, false, true, true, "");
    for (const Case &c : cases) {
        const f_CatItem *item = Find(c.Name);
        ASSERT_NE(item, nullptr) << c.Name;
        EXPECT_EQ(std::tie(item->Path, item->Kind, item->KindNum, item->FileType, item->FileCreator, item->Alias, item->Invisible),
                  std::make_tuple(Temp.Path, c.Kind, c.KindNum, c.FileType, c.FileCreator, c.Alias, c.Invisible)) << c.Name;
        EXPECT_FALSE(item->ExtHidden || item->ReadOnly) << c.Name;
    }
    EXPECT_EQ(Find("A.dsk")->Size, 143360);
}

TEST_F(CatalogFolder, DatesAndTheImmutableAttributeComeFromTheItemItself) {
    ASSERT_TRUE(SetModified(Temp.Path + "b.txt", LocalTime(2021, 3, 4, 5, 6, 7)));
    ASSERT_TRUE(SetModified(Temp.Path + "link", LocalTime(1999, 12, 31, 23, 59, 58)));
    EXPECT_EQ(f_FileAttributes(Temp.Path + "b.txt").ModifiedStr, "04.03.2021 05:06:07");
    EXPECT_EQ(f_FileAttributes(Temp.Path + "link").ModifiedStr, "31.12.1999 23:59:58");
    f_CatItem item = f_FileAttributes(Temp.Path + "b.txt");
    EXPECT_TRUE(item.CreatedStr.empty() || item.CreatedStr == f_DateStr(item.Created));
    // Year 2400 lies beyond a nanosecond clock; the text must still be whole.
    if (SetModified(Temp.Path + "b.txt", time_t(13569465600LL))) {
        EXPECT_EQ(f_FileAttributes(Temp.Path + "b.txt").ModifiedStr.substr(2, 4), ".01.");
    }
    if (!SetImmutable(Temp.Path + "A.dsk", true)) GTEST_SKIP() << "cannot set the immutable attribute here";
    bool readOnly = f_FileAttributes(Temp.Path + "A.dsk").ReadOnly;
    SetImmutable(Temp.Path + "A.dsk", false);
    EXPECT_TRUE(readOnly);
}

TEST_F(CatalogFolder, MissingAndUnlistableFoldersGiveStatusAndLogLines) {
    test_LogCapture log;
    f_CatList.push_back(f_CatItem{});
    f_CatLoad(Temp.Path + "absent/", false, false, false, "");
    EXPECT_EQ(f_CatStatus, -2);
    EXPECT_EQ(f_CatList.size(), 1u) << "the list keeps what it held";
    f_CatLoad(Temp.Path + "b.txt/", false, false, false, "");
    EXPECT_EQ(f_CatStatus, -2);
    f_CatItem fresh = f_FileAttributes(Temp.Path + "absent");
    EXPECT_EQ(fresh.Name + fresh.Path + fresh.FileType, "");
    EXPECT_EQ(log.lines(), (Names{"f_CatLoad: Path '" + Temp.Path + "absent/' does not exist.",
                                  "f_CatLoad: Path '" + Temp.Path + "b.txt/' does not exist.",
                                  "f_FileAttributes: Error #No such file or directory"}));

    std::string locked = Temp.folder("locked");
    chmod(locked.c_str(), 0311);
    int result = AsOrdinaryUser([&] {
        test_LogCapture inner;
        f_CatLoad(locked, false, false, false, "");
        return f_CatStatus == -1 && inner.lines() == Names{"f_CatLoad: Error #Permission denied"};
    });
    chmod(locked.c_str(), 0755);
    if (result != 2) { EXPECT_EQ(result, 0); }
}

TEST_F(CatalogFolder, RecursiveLoadAppendsSubfoldersInPlaceAndEndsOnLoops) {
    f_CatLoad(Temp.Path, true, false, true, "");
    EXPECT_EQ(ListedNames(), WithSecret({"A.dsk", "b.txt", "link", "sub", "inner.TXT", "sublink", "inner.TXT"}, 3));
    EXPECT_EQ(f_CatPath, Temp.Path);
    ASSERT_NE(Find("inner.TXT"), nullptr);
    EXPECT_EQ(Find("inner.TXT")->Path, Temp.Path + "sub/");

    Temp.link("sub/up", "..");
    Temp.link("sub/self", ".");
    ResetCatalog();
    f_CatLoad(Temp.Path.substr(0, Temp.Path.size() - 1), true, false, true, "VOLU");   // without the final "/"
    EXPECT_EQ(ListedNames(), Names{"A.dsk"});
    EXPECT_EQ(f_CatStatus, 1);
    EXPECT_EQ(f_CatPath, Temp.Path);
}

TEST(SpecialFiles, SocketsDevicesAndPipesGetTheirKinds) {
    test_TempFolder temp;
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    (temp.Path + "sock").copy(addr.sun_path, sizeof addr.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    // Nobody writes to the pipe: opening it to read would wait for ever.
    ASSERT_EQ(mkfifo((temp.Path + "pipe").c_str(), 0644), 0);
    const std::tuple<std::string, int, const char *> cases[] = {
        {temp.Path + "sock", 4, "SOC "}, {temp.Path + "pipe", 0, "ILL "}, {"/dev/null", 5, "CHR "}};
    for (const auto &[path, kindNum, fileType] : cases) {
        f_CatItem item = f_FileAttributes(path);
        EXPECT_EQ(std::tie(item.KindNum, item.FileType, item.FileCreator), std::make_tuple(kindNum, fileType, "----")) << path;
    }
    close(fd);
}

TEST(MountFolder, ListsOnlyFoldersAndLinksWhateverTheOptions) {
    test_TempFolder temp;
    temp.folder("USB STICK");
    temp.folder(".hiddenvol");
    temp.link("Backup", "/");
    temp.file("stray.dsk", 10);
    f_SetStandardFolder(f_Folder::Mount, temp.Path);
    ResetCatalog();
    test_LogCapture log;
    f_CatLoad(temp.Path, false, false, false, "VOLU");
    f_SetStandardFolder(f_Folder::Mount, "");
    EXPECT_EQ(ListedNames(), (Names{".hiddenvol", "Backup", "USB STICK"}));
    EXPECT_EQ(log.lines(), (Names{"f_CatLoad: Volume „.hiddenvol“ of type „DIR “ added to list",
                                  "f_CatLoad: Volume „Backup“ of type „SYM “ added to list",
                                  "f_CatLoad: Volume „stray.dsk“ of type „VOLU“ ignored",
                                  "f_CatLoad: Volume „USB STICK“ of type „DIR “ added to list"}));
}

TEST(HostileNames, ControlCharactersAndInvalidUtf8AreListedAndFoundAgain) {
    test_TempFolder temp;
    const Names names = {"\x1b[2Jclear", "new\nline", "Icon\r", "\xff\xfe.dsk", "tab\there.txt", "\x7f"};
    for (const std::string &name : names) temp.file(name, 1);
    ResetCatalog();
    f_CatLoad(temp.Path, false, true, false, "");
    Names expected = names;
    f_SortNames(expected);
    EXPECT_EQ(ListedNames(), expected);
    for (const f_CatItem &item : f_CatList) EXPECT_EQ(t_FileExists(item.Path + item.Name), 1);
    ResetCatalog();
    f_CatLoad(temp.Path, false, false, false, "volu");
    EXPECT_EQ(ListedNames(), Names{"\xff\xfe.dsk"});
}

}  // namespace
