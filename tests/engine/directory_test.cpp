// Directory lists, joined extents, names and attributes.
#include "fixtures.h"

TEST(Directory, FreshDirectoryHasNoFilesAndNoLines) {
    LogCapture log;
    cpm_Volume v = fresh140();
    for (int i = 0; i < v.DirEntries; i++) {
        EXPECT_EQ(v.Names[size_t(i)], Text(std::vector<uint8_t>{0xE5}));
        EXPECT_EQ(v.Sizes[size_t(i)], cpm_UnusedSize);
        EXPECT_EQ(v.Extents[size_t(i)], 0);
        EXPECT_TRUE(v.Attributes[size_t(i)].empty());
    }
    for (const std::string &line : log.Lines) EXPECT_EQ(line.rfind("cpm_LoadDirectory", 0), std::string::npos) << line;
}

TEST(Directory, InvalidFirstNameBytes) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, std::string(1, '\0') + "ZERO", 0, 0, 1, {});
    putEntry(v, 1, 0, "\xE5" "FREE", 0, 0, 1, {});
    putEntry(v, 2, 0, "\x01" "BC\x80" "\x9F" "FGHTXT", 0, 0, 1, {});
    LogCapture log;
    cpm_DirectoryLists d = cpm_LoadDirectory(v);
    ASSERT_EQ(log.Lines.size(), 1u);
    EXPECT_EQ(log.Lines[0], "cpm_LoadDirectory: Invalid name for file #2: ^ABC#[128)]#[159)]FGHTXT");
    for (int i = 0; i < 3; i++) EXPECT_EQ(d.Sizes[size_t(i)], cpm_UnusedSize);
}

TEST(Directory, ExtentsJoinOnTheFirstEntry) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, "TEST    COM", 0, 0, 128, {2});
    putEntry(v, 1, 0, "TEST    COM", 1, 0, 128, {3});
    putEntry(v, 2, 0, "TEST    COM", 2, 0, 5, {4});
    cpm_DirectoryLists d = cpm_LoadDirectory(v);
    EXPECT_EQ(d.Sizes[0], 16384 + 16384 + 640);
    EXPECT_EQ(d.Sizes[1], -2);
    EXPECT_EQ(d.Sizes[2], -3);
    EXPECT_EQ(d.Extents[0], 2);
    EXPECT_EQ(d.Extents[1], 0);
    EXPECT_EQ(d.Names[2], T("TEST    .COM"));
}

TEST(Directory, ExtentMarkerUsesS2) {
    cpm_Volume v = freshPlain(1024);
    putEntry(v, 0, 0, "BIG     DAT", 0, 0, 128, {2});
    putEntry(v, 1, 0, "BIG     DAT", 33, 2, 10, {3});
    cpm_DirectoryLists d = cpm_LoadDirectory(v);
    EXPECT_EQ(d.Sizes[1], -(1 + 1 + 64));
}

TEST(Directory, JoinedSizeDoesNotDependOnOrder) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, "TEST    COM", 1, 0, 128, {2});
    putEntry(v, 1, 0, "TEST    COM", 0, 0, 128, {3});
    cpm_DirectoryLists d = cpm_LoadDirectory(v);
    EXPECT_EQ(d.Sizes[0], 32768);
    EXPECT_EQ(d.Sizes[1], -1);
}

TEST(Directory, OddExtentCountsTwoLogicalExtentsBelow513K) {
    struct Case {
        int KB, Expected;
    };
    for (Case c : {Case{256, 18432}, Case{512, 18432}, Case{1024, 2048}}) {
        SCOPED_TRACE(c.KB);
        cpm_Volume v = freshPlain(c.KB);
        putEntry(v, 0, 0, "A       TXT", 1, 0, 16, {2});
        EXPECT_EQ(cpm_LoadDirectory(v).Sizes[0], c.Expected);
    }
    cpm_Volume v140 = fresh140();   // 1024-byte blocks: never
    putEntry(v140, 0, 0, "A       TXT", 1, 0, 16, {2});
    EXPECT_EQ(cpm_LoadDirectory(v140).Sizes[0], 2048);
}

TEST(Directory, AttributesFromTypeBits) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, "WS      \xC3OM", 0, 0, 1, {2});
    putEntry(v, 1, 0, "SYS     \xC3\xCF\xCD", 0, 0, 1, {3});
    putEntry(v, 2, 0, "ARC     TX\xD4", 0, 0, 1, {4});
    cpm_DirectoryLists d = cpm_LoadDirectory(v);
    EXPECT_EQ(d.Names[0], T("WS      .COM"));
    EXPECT_EQ(d.Attributes[0], T("R"));
    EXPECT_EQ(d.Attributes[1], T("RSA"));
    EXPECT_EQ(d.Names[1], T("SYS     .COM"));
    EXPECT_EQ(d.Attributes[2], T("A"));
}

TEST(Directory, SpaceAsFirstNameByteIsAFileHere) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, " ODD    TXT", 0, 0, 3, {2});
    EXPECT_EQ(cpm_LoadDirectory(v).Sizes[0], 384);
}

TEST(Directory, OtherUsersAreNotListed) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 5, "OTHER   TXT", 0, 0, 3, {2});
    putEntry(v, 1, 31, "BOOT    SYS", 0, 0, 3, {3});
    cpm_DirectoryLists d = cpm_LoadDirectory(v);
    EXPECT_EQ(d.Sizes[0], cpm_UnusedSize);
    EXPECT_EQ(d.Sizes[1], cpm_UnusedSize);
}

TEST(Directory, DiagnosticLinePerFileEntry) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, "TEST    COM", 0, 0, 128, {2, 3});
    putEntry(v, 1, 0, "TEST    COM", 1, 0, 5, {4});
    LogCapture log;
    cpm_LoadDirectory(v);
    ASSERT_EQ(log.Lines.size(), 2u);
    EXPECT_EQ(log.Lines[0],
              "cpm_LoadDirectory: #0 = TEST    .COM, Len = 16.384, Blk 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,");
    EXPECT_EQ(log.Lines[1],
              "cpm_LoadDirectory: #1 = TEST    .COM, Len =    640, Blk 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, Main = #0");
    cpm_Volume w = fresh800();
    putEntry(w, 3, 0, "X       Y", 0, 0, 1, {300, 301});
    LogCapture log2;
    cpm_LoadDirectory(w);
    ASSERT_EQ(log2.Lines.size(), 1u);
    EXPECT_EQ(log2.Lines[0], "cpm_LoadDirectory: #3 = X       .Y  , Len =    128, Blk 300, 301, 0, 0, 0, 0, 0, 0,");
}

TEST(Names, MakeName) {
    struct Case {
        const char *In, *Out;
    };
    const Case cases[] = {
        {"hello.txt", "HELLO   .TXT"}, {"a b[1].c", "AB1     .C  "},       {"noext", "NOEXT   .   "},
        {".profile", "        .PRO"}, {"verylongname.text", "VERYLONG.TEX"}, {"READ.ME.TXT", "READ    .MET"},
        {"x<>,;:=?*%|()/\\y.z", "XY      .Z  "}, {"", ""},
    };
    for (const Case &c : cases) EXPECT_EQ(cpm_MakeName(T(c.In)), T(c.Out)) << c.In;
    // Sharp s becomes SS; bit 7 is cleared after upper-casing.
    EXPECT_EQ(cpm_MakeName(Text(std::vector<uint8_t>{'s', 0xDF, '.', 0xE9})), T("SSS     .I  "));
}

TEST(Names, FilterName) {
    EXPECT_EQ(cpm_FilterName(T("ab.c d")), T("ABCD"));
    EXPECT_EQ(cpm_FilterName(T("")), T(""));
    EXPECT_EQ(cpm_FilterName(T("[*]")), T(""));
}
