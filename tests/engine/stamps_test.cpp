// CP/M 3 directories: the label and the date stamps stay in their slots
// when the directory is sorted, and every file keeps its own dates.
#include "apple_images.h"

namespace {

// The stamp a file entry should carry: its name and extent number.
std::vector<uint8_t> stampFor(const uint8_t *e) {
    std::vector<uint8_t> s(e + 1, e + 9);
    s.push_back(e[12]);
    s.push_back(0x5A);
    return s;
}

const uint8_t *stampOf(const cpm_Volume &v, int i) { return entryAt(v, i | 3) + 1 + 10 * (i % 4); }

// A 256K volume with a label in entry 0, stamp entries in every fourth slot,
// six files written by the engine, and each entry's stamp set.
cpm_Volume stampedVolume() {
    cpm_Volume v = freshPlain(256);
    putEntry(v, 0, 0x20, "WORKDISK   ", 0, 0, 0, {});
    for (int i = 3; i < v.DirEntries; i += 4) {
        uint8_t *e = v.Image.data() + 32 * i;
        std::fill(e, e + 32, 0);
        e[0] = 0x21;
    }
    v = cpm_Rebuild(std::move(v));
    const std::pair<const char *, size_t> files[] = {{"ZED.COM", 3000},  {"ABC.TXT", 100}, {"MID.DAT", 40000},
                                                     {"Q.TXT", 5000},    {"B.BIN", 1},     {"LONG.DAT", 70000}};
    for (const auto &[name, size] : files) {
        cpm_SaveFileResult r = cpm_SaveFile(std::move(v), Text(name), pattern(size, int(size)));
        EXPECT_EQ(r.Message, "") << name;
        v = std::move(r.Volume);
    }
    for (int i = 0; i < v.DirEntries; i++) {
        const uint8_t *e = entryAt(v, i);
        if (e[0] != 0 || i % 4 == 3) continue;
        std::vector<uint8_t> s = stampFor(e);
        std::copy(s.begin(), s.end(), v.Image.data() + (stampOf(v, i) - v.Image.data()));
    }
    return v;
}

void expectStampsInPlace(const cpm_Volume &v) {
    EXPECT_EQ(entryAt(v, 0)[0], 0x20);
    for (int i = 3; i < v.DirEntries; i += 4) ASSERT_EQ(entryAt(v, i)[0], 0x21) << "stamp entry " << i << " moved";
    int files = 0;
    for (int i = 0; i < v.DirEntries; i++) {
        const uint8_t *e = entryAt(v, i);
        if (e[0] != 0) continue;
        files++;
        std::vector<uint8_t> want = stampFor(e);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), stampOf(v, i))) << "entry " << i << " has another file's dates";
    }
    EXPECT_EQ(files, 9);   // MID.DAT and LONG.DAT take two and three entries
}

TEST(Stamps, SortingKeepsEachFilesDates) {
    cpm_SetDiagnostics(false);
    cpm_Volume v = stampedVolume();
    expectStampsInPlace(v);
    for (bool byNames : {true, false})
        for (bool ascending : {true, false}) {
            SCOPED_TRACE(std::string(byNames ? "names " : "size ") + (ascending ? "ascending" : "descending"));
            cpm_Volume sorted = cpm_Alphabetize(v, byNames, ascending);
            expectStampsInPlace(sorted);
            for (const char *name : {"ZED.COM", "MID.DAT", "LONG.DAT", "B.BIN"})
                EXPECT_EQ(cpm_LoadFile(sorted, Text(name)).Data, cpm_LoadFile(v, Text(name)).Data) << name;
        }
    // Sorted by names ascending, ABC.TXT comes first after the label.
    cpm_Volume byName = cpm_Alphabetize(v, true, true);
    EXPECT_EQ(std::string((const char *)entryAt(byName, 1) + 1, 11), "ABC     TXT");
    cpm_SetDiagnostics(true);
}

TEST(Stamps, EraseAndUneraseLeaveStampsAlone) {
    cpm_SetDiagnostics(false);
    cpm_Volume v = stampedVolume();
    cpm_SetUserResult e = cpm_SetFileUser(v, Text("ZED.COM"), cpm_ErasedUser);
    ASSERT_TRUE(e.Found);
    cpm_SetUserResult u = cpm_SetFileUser(e.Volume, Text("ZED.COM"), 0);
    ASSERT_TRUE(u.Found);
    EXPECT_EQ(u.Volume.Image, v.Image);
    for (const char *n : {"#3", "#0", "#7"}) {
        cpm_SetUserResult r = cpm_SetFileUser(v, Text(n), cpm_ErasedUser);
        EXPECT_FALSE(r.Found) << n;
        EXPECT_EQ(r.Volume.Image, v.Image) << n;
    }
    cpm_SetDiagnostics(true);
}

}  // namespace
