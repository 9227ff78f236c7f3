// Directory lists, joined extents, names and attributes, the block map, and
// damaged or hostile images through every operation.
#include <cstring>
#include <functional>

#include "allocation.h"
#include "definitions.h"
#include "directory.h"
#include "files.h"
#include "fixtures.h"
#include "hexdump.h"
#include "image.h"
#include "listing.h"
#include "maintenance.h"
#include "read.h"
#include "sector_map.h"
#include "write.h"

namespace {

using Lines = std::vector<std::string>;

// Which entries are files, and the sizes of joined extents.
TEST(Directory, SizesOfEntries) {
    const int any = 1 << 30;
    struct Entry { uint8_t User; const char *Name; int Ex, S2, Rc; };
    struct Case {
        const char *What;
        int KB;   // 0: 140K with 1024-byte blocks
        std::vector<Entry> Entries;
        std::vector<int> Sizes;
    } cases[] = {
        {"extents join on the first entry", 0,
         {{0, "TEST    COM", 0, 0, 128}, {0, "TEST    COM", 1, 0, 128}, {0, "TEST    COM", 2, 0, 5}}, {16384 + 16384 + 640, -2, -3}},
        {"order does not matter", 0, {{0, "TEST    COM", 1, 0, 128}, {0, "TEST    COM", 0, 0, 128}}, {32768, -1}},
        {"the extent marker counts S2", 1024, {{0, "BIG     DAT", 0, 0, 128}, {0, "BIG     DAT", 33, 2, 10}}, {any, -(1 + 1 + 64)}},
        {"odd extent: two logical extents below 513K", 256, {{0, "A       TXT", 1, 0, 16}}, {18432}},
        {"... at 512K", 512, {{0, "A       TXT", 1, 0, 16}}, {18432}},
        {"... but not from 513K on", 1024, {{0, "A       TXT", 1, 0, 16}}, {2048}},
        {"... nor with 1024-byte blocks", 0, {{0, "A       TXT", 1, 0, 16}}, {2048}},
        {"a space as first name byte is a file", 0, {{0, " ODD    TXT", 0, 0, 3}}, {384}},
        {"other users are not listed", 0, {{5, "OTHER   TXT", 0, 0, 3}, {31, "BOOT    SYS", 0, 0, 3}}, {cpm_UnusedSize, cpm_UnusedSize}},
        {"invalid first name bytes", 0,
         {{0, "\0ZERO", 0, 0, 1}, {0, "\xE5" "FREE", 0, 0, 1}, {0, "\x01" "BC\x80\x9F" "FGHTXT", 0, 0, 1}},
         {cpm_UnusedSize, cpm_UnusedSize, cpm_UnusedSize}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.What);
        cpm_Volume v = c.KB ? freshPlain(c.KB) : fresh140();
        for (size_t i = 0; i < c.Entries.size(); i++) {
            const Entry &e = c.Entries[i];
            std::string name(e.Name, e.Name[0] ? std::strlen(e.Name) : 5);
            putEntry(v, int(i), e.User, name, e.Ex, e.S2, e.Rc, {int(i) + 2});
        }
        cpm_DirectoryLists d = cpm_LoadDirectory(v);
        for (size_t i = 0; i < c.Sizes.size(); i++)
            if (c.Sizes[i] != any) { EXPECT_EQ(d.Sizes[i], c.Sizes[i]) << i; }
        if (c.Sizes[0] > 0 && c.Sizes[0] != any) { EXPECT_EQ(d.Extents[0], int(c.Entries.size()) - 1); }
    }
}

TEST(Directory, NamesAndAttributesFromTypeBits) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, "WS      \xC3OM", 0, 0, 1, {2});
    putEntry(v, 1, 0, "SYS     \xC3\xCF\xCD", 0, 0, 1, {3});
    putEntry(v, 2, 0, "ARC     TX\xD4", 0, 0, 1, {4});
    cpm_DirectoryLists d = cpm_LoadDirectory(v);
    EXPECT_EQ(std::vector<Text>(d.Names.begin(), d.Names.begin() + 2), (std::vector<Text>{T("WS      .COM"), T("SYS     .COM")}));
    EXPECT_EQ(std::vector<Text>(d.Attributes.begin(), d.Attributes.begin() + 3), (std::vector<Text>{T("R"), T("RSA"), T("A")}));
}

TEST(Directory, DiagnosticLines) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, "TEST    COM", 0, 0, 128, {2, 3});
    putEntry(v, 1, 0, "TEST    COM", 1, 0, 5, {4});
    putEntry(v, 2, 0, "\x01" "BC\x80\x9F" "FGHTXT", 0, 0, 1, {});
    cpm_Volume w = fresh800();
    putEntry(w, 3, 0, "X       Y", 0, 0, 1, {300, 301});
    test_LogCapture log;
    cpm_LoadDirectory(v);
    cpm_LoadDirectory(w);
    EXPECT_EQ(log.lines(), (Lines{
        "cpm_LoadDirectory: #0 = TEST    .COM, Len = 16.384, Blk 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,",
        "cpm_LoadDirectory: #1 = TEST    .COM, Len =    640, Blk 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, Main = #0",
        "cpm_LoadDirectory: Invalid name for file #2: ^ABC#[128)]#[159)]FGHTXT",
        "cpm_LoadDirectory: #3 = X       .Y  , Len =    128, Blk 300, 301, 0, 0, 0, 0, 0, 0,"}));
}

TEST(Names, MakeNameFilterNameAndUniqueHostName) {
    const std::pair<const char *, const char *> cases[] = {
        {"hello.txt", "HELLO   .TXT"}, {"a b[1].c", "AB1     .C  "},       {"noext", "NOEXT   .   "},
        {".profile", "        .PRO"}, {"verylongname.text", "VERYLONG.TEX"}, {"READ.ME.TXT", "READ    .MET"},
        {"x<>,;:=?*%|()/\\y.z", "XY      .Z  "}, {"", ""},
    };
    for (const auto &[in, out] : cases) EXPECT_EQ(cpm_MakeName(T(in)), T(out)) << in;
    // Sharp s becomes SS; bit 7 is cleared after upper-casing.
    EXPECT_EQ(cpm_MakeName(Text(std::vector<uint8_t>{'s', 0xDF, '.', 0xE9})), T("SSS     .I  "));
    EXPECT_EQ(cpm_FilterName(T("ab.c d")), T("ABCD"));
    EXPECT_EQ(cpm_FilterName(T("[*]")), T(""));
    // Host names within one copy: the second "A_B.TXT" is "A_B~1.TXT", before the last point.
    std::vector<std::string> used;
    for (const char *name : {"A_B.TXT", "README.", "A_B.TXT", "A_B.TXT", "X"}) cpm_UniqueHostName(name, used);
    EXPECT_EQ(used, (std::vector<std::string>{"A_B.TXT", "README.", "A_B~1.TXT", "A_B~2.TXT", "X"}));
}

// The parts survey and mount names are made of: trailing blanks dropped,
// split at the point's place (a point stored in the name stays in it).
TEST(Names, SplitNameAtThePointsPlace) {
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"README  .TXT", "README", "TXT"}, {"NOEXT   .   ", "NOEXT", ""}, {"A.B     .C  ", "A.B", "C"},
        {"A B     . X ", "A B", " X"},     {"        .   ", "", ""},       {"SHORT", "SHORT", ""},
    };
    for (const auto &[in, name, type] : cases) {
        cpm_NameParts parts = cpm_SplitName(T(in));
        EXPECT_EQ(parts.Name, T(name)) << in;
        EXPECT_EQ(parts.Type, T(type)) << in;
    }
}

TEST(SectorMap, FreshVolumes) {
    struct Case { const char *What; cpm_Volume V; int Blocks, DirBlocks, UsedKB, FreeKB; } cases[] = {
        {"140K", fresh140(), 128, 2, 2, 126},
        {"800K", fresh800(), 392, 4, 8, 776},
        {"plain 64K", freshPlain(64), 32, 2, 4, 60},
        {"plain 2048K", freshPlain(2048), 1024, 2, 4, 2044},
        {"directory larger than the volume", cpm_OpenImage(fileBytes(2048 + 100), "tiny"), 1, 2, 2, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.What);
        ASSERT_EQ(int(c.V.BlockMap.size()), c.Blocks);
        for (int b = 0; b < c.Blocks; b++) EXPECT_EQ(c.V.BlockMap[size_t(b)], b < c.DirBlocks ? 1 : 0);
        if (c.FreeKB >= 0) { EXPECT_EQ(std::make_pair(c.V.UsedKB, c.V.VolumeKB - c.V.UsedKB), std::make_pair(c.UsedKB, c.FreeKB)); }
    }
}

TEST(SectorMap, WhichEntriesCountAndIllegalBlocks) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0xE5, "GONE    TXT", 0, 0, 1, {10});
    putEntry(v, 1, 0, " SPACE  TXT", 0, 0, 1, {11});
    putEntry(v, 2, 3, "USER3   TXT", 0, 0, 1, {12});
    putEntry(v, 3, 0, "\x85HIGH   TXT", 0, 0, 1, {13});
    putEntry(v, 4, 0, "!MARK   TXT", 0, 0, 1, {14, 1, 128});
    putEntry(v, 5, 0, "SHARE   TXT", 0, 0, 1, {14});   // claimed twice, used once
    test_LogCapture log;
    cpm_SectorMap m = cpm_LoadSectorMap(v);
    EXPECT_EQ(std::vector<uint8_t>(m.BlockMap.begin() + 10, m.BlockMap.begin() + 15), (std::vector<uint8_t>{0, 0, 1, 1, 1}));   // files of every user area 0-15
    EXPECT_EQ(m.UsedKB, 2 + 3);   // never more than the volume holds
    EXPECT_EQ(log.lines(), (Lines{"cpm_LoadSectorMap: Illegal block number for file #4: Blk 1",
                                  "cpm_LoadSectorMap: Illegal block number for file #4: Blk 128"}));
    cpm_Volume w = fresh800();
    putEntry(w, 0, 0, "A       TXT", 0, 0, 1, {300, 391, 392});
    log.clear();
    m = cpm_LoadSectorMap(w);
    EXPECT_EQ(m.BlockMap[300] + m.BlockMap[391], 2);
    EXPECT_EQ(log.lines(), Lines{"cpm_LoadSectorMap: Illegal block number for file #0: Blk 392"});
    EXPECT_EQ(m.UsedKB, 8 + 4);
}

// --- damaged and hostile images ------------------------------------------------
// Each image only has to survive every operation the volume manager's
// commands use: no crash, no sanitizer report (the sanitizer build runs the
// same cases), the lists always match the geometry, no operation grows or
// shrinks the image, host names stay inside their folder, and nothing but the
// saved image appears on the host.

// The file bytes of an Apple II image whose directory (in CP/M order) holds
// the entries; built through the engine's own re-sectoring.
Text appleImage(const Text &signature, size_t size, const std::vector<std::vector<uint8_t>> &entries) {
    cpm_Volume v = cpm_OpenImage(fileBytes(size, signature, 0xE5), "");
    for (size_t i = 0; i < entries.size(); i++) {
        size_t at = size_t(v.Geometry.DataStart) + i * 32;
        if (at + 32 <= v.Image.size()) std::copy(entries[i].begin(), entries[i].end(), v.Image.data() + at);
    }
    return cpm_FileImage(v);
}

std::vector<uint8_t> raw(const std::string &name11, int ex, int s2, int rc, const std::vector<int> &blocks, bool wide = false) {
    return rawEntry(0, name11, ex, s2, rc, blocks, wide);
}

const std::vector<std::pair<const char *, std::function<Text()>>> hostileImages = {
    {"shorter than a signature", [] { return fileBytes(5, signature140()); }},
    {"140K signature, file ends inside the directory", [] { return fileBytes(12288 + 700, signature140()); }},
    {"140K signature, file ends right after the directory",
     [] { return appleImage(signature140(), 12288 + 2048 + 100, {raw("LONG    TXT", 0, 0, 128, {2, 3, 4, 5})}); }},
    {"800K signature on a 140K file", [] {
         Text t = appleImage(signature140(), 143360, {raw("A       TXT", 0, 0, 16, {2})}), head = signature800();
         std::copy(head.data(), head.data() + 8, t.data());
         return t;
     }},
    {"block numbers past the end (8-bit)", [] { return plainImage(64, {raw("FAR     DAT", 0, 0, 128, {31, 32, 200, 255})}); }},
    {"block numbers past the end (16-bit)",
     [] { return plainImage(1024, {raw("FAR     DAT", 0, 0, 128, {500, 511, 512, 0xFFFF}, true)}); }},
    {"two files sharing blocks", [] {
         return plainImage(128, {raw("ONE     TXT", 0, 0, 64, {2, 3, 4}), raw("TWO     TXT", 0, 0, 64, {3, 4, 5}),
                                 rawEntry(0xE5, "OLD     TXT", 0, 0, 64, {4, 6}, false)});
     }},
    {"extents reaching past the directory", [] {
         return plainImage(128, {raw("BIG     DAT", 31, 0, 128, {2, 3}), raw("HUGE    DAT", 31, 255, 128, {4})}, 126);
     }},
    {"extents of one file spread and out of order", [] {
         return plainImage(128, {raw("SPLIT   DAT", 5, 0, 10, {9}), raw("SPLIT   DAT", 0, 0, 128, {2, 3, 4, 5, 6, 7, 8, 10}),
                                 raw("SPLIT   DAT", 5, 0, 20, {11})});
     }},
    {"names with control characters, slashes and dots", [] {
         return plainImage(128, {raw("\x01\x1b[2J\x07\x0c\r\n", 0, 0, 1, {2}), raw("../../ETC", 0, 0, 1, {3}),
                                 raw("A/B     /C ", 0, 0, 1, {4}), raw("..      ", 0, 0, 1, {5}), raw(".          ", 0, 0, 1, {6}),
                                 raw(std::string(11, '\0'), 0, 0, 1, {7}),
                                 raw("\xff\xfe\x80\x9b\xe5\xe5\xe5\xe5\xff\xff\xff", 0, 0, 1, {8})});
     }},
    {"record counts above 128 and negative-looking sizes",
     [] { return plainImage(128, {raw("RC      DAT", 0, 0, 255, {2}), raw("S2      DAT", 31, 31, 255, {3})}); }},
    {"every directory byte 0", [] { return fileBytes(131072, Text(), 0x00); }},
    {"16 MB file", [] {
         Text t = fileBytes(size_t(16) << 20, Text(), 0xE5);
         std::vector<uint8_t> e = raw("LAST    BLK", 0, 0, 128, {8191, 8190, 8192, 65535}, true);
         std::copy(e.begin(), e.end(), t.data());
         return t;
     }},
    {"random bytes over a 140K image", [] {
         Text t = fileBytes(143360, signature140());
         uint32_t x = 12345;
         for (size_t i = 8; i < t.size(); i++) t[i] = uint8_t((x = x * 1103515245u + 12345u) >> 16);
         return t;
     }},
};

std::vector<Text> listedNames(const cpm_Volume &v) {
    std::vector<Text> out;
    for (size_t i = 0; i < v.Names.size(); i++)
        if (v.Sizes[i] >= 0) out.push_back(v.Names[i]);
    return out;
}

// The lists and the map have the sizes the geometry gives.
void expectShape(const cpm_Volume &v, size_t imageSize, const std::string &where) {
    EXPECT_EQ(v.Image.size(), imageSize) << where;
    const size_t entries = size_t(v.Geometry.DirEntries);
    EXPECT_EQ(std::vector<size_t>({v.Names.size(), v.Sizes.size(), v.Extents.size(), v.Attributes.size()}),
              std::vector<size_t>(4, entries)) << where;
    EXPECT_EQ(v.BlockMap.size(), size_t(cpm_BlockCount(v))) << where;
    EXPECT_GE(v.UsedKB, 0) << where;
}

// Everything the reading commands do: listings, map, blocks, each file read,
// dumped, typed and named for the host.
void readEverything(const cpm_Volume &v, const std::string &where) {
    cpm_DirectoryLines(v, cpm_ShortListing);
    cpm_DirectoryLines(v, cpm_LongListing);
    cpm_SectorMapLines(v);
    for (const Text &name : listedNames(v)) {
        cpm_BlocksLines(v, name);
        cpm_FileData f = cpm_LoadFile(v, name);
        EXPECT_EQ(f.Data.size() % size_t(v.Geometry.BlockSize), 0u) << where;
        EXPECT_LE(f.Data.size(), v.Image.size()) << where;
        cpm_HexdumpLines(f.Data);
        cpm_TypeLines(f.Data);
        std::string host = cpm_HostName(name);
        EXPECT_TRUE(host.find_first_of(std::string("/\0", 2)) == std::string::npos && host != "." && host != ".." &&
                    !host.empty()) << where << ": " << host;
    }
}

TEST(DamagedImages, EveryOperationSurvivesEveryImage) {
    cpm_SetDiagnostics(false);
    for (const auto &[what, bytes] : hostileImages) {
        SCOPED_TRACE(what);
        test_TempFolder folder;
        const std::string path = folder.at("image.dsk");
        const Text original = bytes();
        ASSERT_EQ(setbinarytofile(path, original), 0);

        cpm_Volume v = cpm_LoadVolume(path);
        const size_t size = v.Image.size();
        EXPECT_EQ(v.Path, path);
        // (A file of slices is read one slice at a time, from the file alone.)
        if (v.Slice < 0) { EXPECT_EQ(cpm_OpenImage(original, path).Image, v.Image) << "loading from the file and from memory differ"; }
        // The operations must survive the image whatever its refusal says:
        // lifted here so that every one of them runs on it.
        v.RefusalKind = cpm_RefusalKind::None;
        v.Refusal.clear();
        expectShape(v, size, "loaded");
        readEverything(v, "loaded");

        // A new file, an existing name again, and a file far too big.
        cpm_SaveFileResult w = cpm_SaveFile(v, T("NEW.TXT"), Text(std::string(3000, 'x')));
        if (!w.Message.empty()) { EXPECT_EQ(w.Volume.Image, v.Image) << "refused write changed the image"; }
        expectShape(w.Volume, size, "written");
        readEverything(w.Volume, "written");
        for (const Text &name : listedNames(v)) {
            cpm_SaveFileResult again = cpm_SaveFile(v, name, T("x"));
            if (!again.Message.empty()) { EXPECT_EQ(again.Volume.Image, v.Image); }
            expectShape(again.Volume, size, "rewritten");
        }
        cpm_SaveFileResult big = cpm_SaveFile(v, T("BIG.DAT"), fileBytes(size + 4096, Text(), 1));
        EXPECT_FALSE(big.Message.empty());
        EXPECT_EQ(big.Volume.Image, v.Image);

        // Erase and unerase every listed file, then entries by number.
        cpm_Volume m = v;
        for (const Text &name : listedNames(v)) {
            cpm_SetUserResult e = cpm_SetFileUser(m, name, 0xE5);
            expectShape(e.Volume, size, "erased");
            cpm_SetUserResult u = cpm_SetFileUser(e.Volume, name, 0);
            if (!u.Message.empty()) { EXPECT_EQ(u.Volume.Image, e.Volume.Image) << "refused unerase changed the image"; }
            expectShape(u.Volume, size, "unerased");
            m = std::move(u.Volume);
        }
        for (const char *number : {"#0", "#1", "#-1", "#63", "#64", "#127", "#128", "#255", "#256", "#99999999999"}) {
            m = cpm_SetFileUser(std::move(m), T(number), 0xE5).Volume;
            m = cpm_SetFileUser(std::move(m), T(number), 0).Volume;
            expectShape(m, size, number);
        }
        readEverything(m, "after erase and unerase");
        for (bool byNames : {true, false})
            for (bool ascending : {true, false}) {
                cpm_Volume s = cpm_Alphabetize(v, byNames, ascending);
                expectShape(s, size, "sorted");
                readEverything(s, "sorted");
            }

        // Saving writes exactly the image, and loads back to the same volume.
        cpm_Volume saveAs = w.Volume;
        saveAs.Path = folder.at("saved.dsk");
        // A slice of a file of several (16 MB of 0xE5 are two empty hd1k
        // slices) is written in place into its file: the copy starts as it.
        if (saveAs.Slice >= 0) { ASSERT_EQ(setbinarytofile(saveAs.Path, original), 0); }
        cpm_SaveVolumeResult saved = cpm_SaveVolume(saveAs);
        EXPECT_EQ(saved.Message, "");
        cpm_Volume back = cpm_LoadVolume(saveAs.Path);
        EXPECT_EQ(back.Image, saveAs.Image);
        EXPECT_EQ(back.Names, saveAs.Names);

        cpm_Volume init = cpm_InitVolume(v);
        expectShape(init, size, "initialised");
        EXPECT_TRUE(listedNames(init).empty());

        // The image on the host was never touched; only the copy appeared.
        EXPECT_EQ(gettextfromfile(path), original);
        EXPECT_EQ(folder.names(), (std::set<std::string>{"image.dsk", "saved.dsk"}));
    }
    cpm_SetDiagnostics(true);
}

// A folder or an empty file is no image: refused with the reason before
// anything is read.
TEST(DamagedImages, AFolderOrAnEmptyFileIsRefusedWithTheReason) {
    test_TempFolder folder;
    ASSERT_EQ(setbinarytofile(folder.at("empty.dsk"), Text()), 0);
    const std::pair<std::string, const char *> cases[] = {
        {folder.at("empty.dsk"), "is empty"},
        {folder.folder("folder.dsk"), "is a folder"},
        {folder.at("missing.dsk"), ""},   // left to the caller's "no such image file"
    };
    for (const auto &[path, reason] : cases) {
        EXPECT_EQ(cpm_ImageFileRefusal(path), reason) << path;
        EXPECT_EQ(cpm_LoadVolume(path).Path, "") << path;
    }
}

// Unerasing a file onto blocks another file now holds is refused, and a new
// file never gets blocks a listed file holds.
TEST(DamagedImages, SharedBlocksAreNeverHandedOutTwice) {
    cpm_Volume v = cpm_OpenImageAs(plainImage(128, {raw("ONE     TXT", 0, 0, 64, {2, 3, 4}),
                                                    rawEntry(0xE5, "OLD     TXT", 0, 0, 64, {4, 6}, false),
                                                    raw("TWO     TXT", 0, 0, 64, {3, 4, 5})}),
                                   "shared.dsk", *cpm_FindDefinition("plain"));
    cpm_SetUserResult u = cpm_SetFileUser(v, T("OLD.TXT"), 0);
    EXPECT_EQ(std::make_tuple(u.Found, u.Message.empty(), u.Volume.Image), std::make_tuple(true, false, v.Image));
    cpm_SaveFileResult w = cpm_SaveFile(v, T("NEW.TXT"), fileBytes(6 * 2048, Text(), 7));
    ASSERT_EQ(w.Message, "");
    EXPECT_EQ(entryName(w.Volume, 1), "NEW     TXT");   // the erased entry is the first free one
    for (int b : entryBlocks(w.Volume, 1)) EXPECT_GT(b, 5) << "block handed out twice";
}

}  // namespace
