// User areas 0-15: a file is its user area and its name.
#include "directory.h"
#include "fixtures.h"
#include "listing.h"
#include "maintenance.h"
#include "read.h"
#include "sector_map.h"
#include "user_areas.h"
#include "write.h"

// The data of one block written raw: `fill` in every byte.
static void fillBlock(cpm_Volume &v, int block, uint8_t fill) {
    std::fill_n(v.Image.data() + v.Geometry.DataStart + block * v.Geometry.BlockSize, v.Geometry.BlockSize, fill);
}

static Text blockOf(const cpm_Volume &v, uint8_t fill) { return Text(std::vector<uint8_t>(size_t(v.Geometry.BlockSize), fill)); }

// PIP.COM in users 0, 1, 5 and 15, each in a block of its own that holds
// the user number in every byte; BYTES.TXT in user 5 only.
static cpm_Volume sameNameInFourUsers() {
    cpm_Volume v = fresh140();
    const int users[] = {0, 1, 5, 15};
    for (int k = 0; k < 4; k++) {
        putEntry(v, k, uint8_t(users[k]), "PIP     COM", 0, 0, 8, {10 + k});
        fillBlock(v, 10 + k, uint8_t(users[k]));
    }
    putEntry(v, 4, 5, "BYTES   TXT", 0, 0, 8, {20});
    return cpm_Rebuild(std::move(v));
}

TEST(UserAreas, EachUserReadsListsAndErasesItsOwnFile) {
    cpm_Volume v = sameNameInFourUsers();
    EXPECT_EQ(cpm_UsersWithFiles(v), (std::vector<int>{0, 1, 5, 15}));
    EXPECT_EQ(v.UsedKB, 2 + 5);   // the map is the whole volume's
    for (int user : {0, 1, 5, 15}) {
        cpm_FileData f = cpm_LoadFile(v, T("PIP.COM"), user);
        EXPECT_EQ(f.Data, blockOf(v, uint8_t(user))) << "user " << user;
        cpm_Volume shown = cpm_SelectUser(v, user);
        EXPECT_EQ(cpm_DirectoryLines(shown, cpm_ShortListing).back(),
                  std::string(user == 5 ? "2" : "1") + " files, 7K used, 121K free.");
        EXPECT_EQ(cpm_LoadFile(shown, T("PIP.COM")).Data, f.Data) << "the volume's own user area by default";
    }
    EXPECT_FALSE(cpm_LoadFile(v, T("PIP.COM"), 3).Found);
    EXPECT_FALSE(cpm_LoadFile(v, T("BYTES.TXT"), 0).Found);
    EXPECT_EQ(cpm_RecordedSize(v, T("BYTES   .TXT"), 5), 1024);

    cpm_SetUserResult erased = cpm_SetFileUser(v, T("PIP.COM"), cpm_ErasedUser, 5);
    ASSERT_TRUE(erased.Found);
    const int after[] = {0, 1, 0xE5, 15};
    for (int k = 0; k < 4; k++) EXPECT_EQ(entryAt(erased.Volume, k)[0], after[k]);
    EXPECT_FALSE(cpm_SetFileUser(v, T("BYTES.TXT"), cpm_ErasedUser, 3).Found);
    // An erased entry remembers no user: unerasing puts it into the user named.
    cpm_SetUserResult into3 = cpm_SetFileUser(erased.Volume, T("PIP.COM"), 3);
    ASSERT_EQ(into3.Message, "");
    EXPECT_EQ(entryAt(into3.Volume, 2)[0], 3);
    EXPECT_EQ(cpm_LoadFile(into3.Volume, T("PIP.COM"), 3).Data, blockOf(v, 5));
    // "#n" reaches only entries of the user area or erased ones.
    EXPECT_FALSE(cpm_SetFileUser(v, T("#1"), cpm_ErasedUser, 0).Found);
    EXPECT_TRUE(cpm_SetFileUser(v, T("#1"), cpm_ErasedUser, 1).Found);
    EXPECT_FALSE(cpm_SetFileUser(v, T("#1"), 0).Found);
}

TEST(UserAreas, WritingTakesTheUserAreaAndKeepsNamesUnambiguous) {
    cpm_Volume v = sameNameInFourUsers();
    struct Case { const char *Name; int User; const char *Message; } cases[] = {
        {"PIP.COM", 3, ""},                  // other user areas have the name: a file of its own
        {"PIP.COM", 5, "File exists."},      // the user area has it
        {"BYTES.TXT", 0, ""},
        {"PIP.COM", 16, "No such user area."},
    };
    for (const Case &c : cases) {
        cpm_SaveFileResult r = cpm_SaveFile(v, T(c.Name), pattern(3000), c.User);
        EXPECT_EQ(r.Message, c.Message) << c.Name << " in user " << c.User;
        if (*c.Message) continue;
        EXPECT_EQ(cpm_LoadFile(r.Volume, T(c.Name), c.User).Data.size(), 3072u);
        EXPECT_EQ(cpm_SaveFileRefusal(r.Volume, T(c.Name), 1, c.User), "File exists.");
    }
    // An erased entry of the name could come back into any user area.
    v = cpm_SetFileUser(std::move(v), T("BYTES.TXT"), cpm_ErasedUser, 5).Volume;
    EXPECT_EQ(cpm_SaveFile(v, T("BYTES.TXT"), pattern(10), 9).Message, "File exists.");
}

TEST(UserAreas, FilesSavedAgainReadOnlyTheLiveEntriesAndOtherUserAreasSort) {
    // CP/M erases a file and saves the name again: the erased entry stays
    // beside the live one, here before it and with the same extent numbers.
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0xE5, "DATA    TXT", 0, 0, 8, {10});
    putEntry(v, 1, 0, "DATA    TXT", 1, 0, 8, {13});   // extents out of order
    putEntry(v, 2, 0, "DATA    TXT", 0, 0, 128, {11, 12, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27});
    for (int b = 10; b < 28; b++) fillBlock(v, b, uint8_t(b));
    v = cpm_Rebuild(std::move(v));
    cpm_FileData f = cpm_LoadFile(v, T("DATA.TXT"));
    ASSERT_EQ(f.Data.size(), 17u * 1024);
    EXPECT_EQ(f.Data[0], 11);
    EXPECT_EQ(f.Data[16 * 1024], 13);   // extent 1 after extent 0
    EXPECT_EQ(cpm_SetFileUser(v, T("DATA.TXT"), 0).Message, "File exists.");
    cpm_SetUserResult e = cpm_SetFileUser(v, T("DATA.TXT"), cpm_ErasedUser);
    EXPECT_EQ(cpm_BlocksLines(e.Volume, T("DATA.TXT"))[0], "Blocks for DATA    .TXT");
    EXPECT_EQ(cpm_SetFileUser(e.Volume, T("DATA.TXT"), 0).Message, "Erased entries of two files.");
    // The heading and sorting in another user area.
    v = sameNameInFourUsers();
    EXPECT_EQ(cpm_VolumeHeading(v), "Volume Name: test140.dsk (128K)");
    cpm_Volume five = cpm_SelectUser(v, 5);
    EXPECT_EQ(cpm_VolumeHeading(five), "Volume Name: test140.dsk (128K), User 5");
    EXPECT_EQ(cpm_SectorMapLines(five)[0], "Volume Name: test140.dsk (128K), User 5");
    // B lists the user area's entries of the name; A sorts the whole directory as in user 0.
    std::vector<std::string> blocks = cpm_BlocksLines(five, T("PIP.COM"));
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[2], "12      ");
    EXPECT_EQ(cpm_Alphabetize(five, true, true).Image, cpm_Alphabetize(v, true, true).Image);
    EXPECT_EQ(cpm_Alphabetize(five, true, true).User, 5);
}
