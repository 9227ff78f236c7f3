// The host names of stored CP/M names, both ways.
#include <gtest/gtest.h>

#include <cerrno>

#include "mount_names.h"

namespace {

struct Shown {
    const char *Stored;   // 12-byte display name
    const char *Host;
};

TEST(MountNames, StoredNamesShowAndReadBackToTheSameBytes) {
    const Shown cases[] = {
        {"README  .TXT", "README.TXT"},
        {"README  .   ", "README"},          // no point for an empty type
        {"A       .B  ", "A.B"},
        {"A/B     .TXT", "A%2FB.TXT"},       // a host name holds no "/"
        {"50%     .TXT", "50%25.TXT"},       // "%" itself, so the escapes stay unambiguous
        {"A.B     .TXT", "A%2EB.TXT"},       // a point of the name part is not the point
        {"X.Y     .   ", "X%2EY"},
        {"TAB\t    .\x01  ", "TAB%09.%01"}, // control characters
        {"\xC1" "BC     .COM", "%C1BC.COM"}, // bit 7 of a name byte
        {"A B     .TXT", "A%20B.TXT"},       // a blank inside the name is no padding
        {"        .TXT", ".TXT"},
    };
    for (const Shown &c : cases) {
        EXPECT_EQ(cli_MountHostName(Text(c.Stored)), c.Host) << c.Stored;
        Text back;
        EXPECT_EQ(cli_MountCpmName(c.Host, back), c.Stored[0] == ' ' ? EINVAL : 0) << c.Host;
        if (c.Stored[0] != ' ') {
            EXPECT_EQ(back.bytes(), c.Stored) << c.Host;
        }
    }
}

struct Asked {
    const char *Host;
    int Error;
    const char *Stored;   // when Error is 0
};

TEST(MountNames, HostNamesBecomeCpmNamesOrAreRefused) {
    const Asked cases[] = {
        {"readme.txt", 0, "README  .TXT"},
        {"ReadMe", 0, "README  .   "},
        {"EIGHTCHR.TXT", 0, "EIGHTCHR.TXT"},
        {"NINECHARS.TXT", ENAMETOOLONG, ""},   // never cut to EIGHTCHR or another file's name
        {"A.TEXT", ENAMETOOLONG, ""},
        {"verylongname_of_a_file.c", ENAMETOOLONG, ""},
        {"A.B.C", EINVAL, ""},
        {".hidden", EINVAL, ""},
        {"", EINVAL, ""},
        {"a b.txt", EINVAL, ""},               // typed blanks are no CP/M name characters
        {"a*.txt", EINVAL, ""},
        {"a?.txt", EINVAL, ""},
        {"x,y", EINVAL, ""},
        {"A%2", EINVAL, ""},                   // a broken escape
        {"A%ZZ.TXT", EINVAL, ""},
        {"%2F.TXT", 0, "/       .TXT"},
        {"AB%2fC", 0, "AB/C    .   "},        // either case of hex digits
    };
    for (const Asked &c : cases) {
        Text name;
        EXPECT_EQ(cli_MountCpmName(c.Host, name), c.Error) << c.Host;
        if (c.Error == 0) {
            EXPECT_EQ(name.bytes(), c.Stored) << c.Host;
        }
    }
}

TEST(MountNames, LookupsIgnoreTheCaseOfLettersOnly) {
    EXPECT_TRUE(cli_MountSameName("readme.txt", "README.TXT"));
    EXPECT_FALSE(cli_MountSameName("README.TXT", "README.TX"));
    EXPECT_FALSE(cli_MountSameName("[", "{"));   // 0x5B and 0x7B differ by 32 but are no letters
}

}  // namespace
