// Damaged and hostile images through every operation the volume manager's
// commands use.  Each case only has to survive: no crash, no sanitizer
// report (the sanitizer build runs the same cases), the lists always match
// the geometry, no operation grows or shrinks the image, reading stays
// inside it, host names stay inside their folder, and nothing but the saved
// image appears on the host.
#include <functional>

#include "hardening_support.h"
#include "screen_text.h"

namespace {

// The file bytes of an Apple II image of `size` bytes whose directory
// (in CP/M order) holds the entries; built through the engine's own
// re-sectoring so that loading gives exactly these entries back.
Text appleImage(const std::vector<uint8_t> &signature, size_t size, const std::vector<std::vector<uint8_t>> &entries) {
    cpm_Volume v = cpm_OpenImage(imageBytes(size, signature, 0xE5), "");
    for (size_t i = 0; i < entries.size(); i++) {
        size_t at = size_t(v.DataStart) + i * 32;
        if (at + 32 <= v.Image.size()) std::copy(entries[i].begin(), entries[i].end(), v.Image.data() + at);
    }
    return cpm_FileImage(v);
}

struct HostileCase {
    const char *Name;
    std::function<Text()> Bytes;
};

const std::vector<HostileCase> &hostileCases() {
    static const std::vector<HostileCase> cases = {
        {"empty file", [] { return Text(); }},
        {"shorter than a signature", [] { return imageBytes(5, signature140); }},
        {"140K signature, file ends inside the directory",
         [] { return imageBytes(12288 + 700, signature140, 0x00); }},
        {"800K signature, file ends inside the directory",
         [] { return imageBytes(16384 + 33, signature800, 0x00); }},
        {"140K signature, file ends right after the directory",
         [] { return appleImage(signature140, 12288 + 2048 + 100, {rawEntry(0, "LONG    TXT", 0, 128, {2, 3, 4, 5}, false)}); }},
        {"800K signature on a 140K file",
         [] {
             Text t = appleImage(signature140, 143360, {rawEntry(0, "A       TXT", 0, 16, {2}, false)});
             std::copy(signature800.begin(), signature800.end(), t.data());
             return t;
         }},
        {"block numbers past the end (8-bit)",
         [] { return plainImage(64, {rawEntry(0, "FAR     DAT", 0, 128, {31, 32, 200, 255}, false)}); }},
        {"block numbers past the end (16-bit)",
         [] { return plainImage(1024, {rawEntry(0, "FAR     DAT", 0, 128, {500, 511, 512, 0xFFFF}, true)}); }},
        {"two files sharing blocks",
         [] {
             return plainImage(128, {rawEntry(0, "ONE     TXT", 0, 64, {2, 3, 4}, false),
                                     rawEntry(0, "TWO     TXT", 0, 64, {3, 4, 5}, false),
                                     rawEntry(0xE5, "OLD     TXT", 0, 64, {4, 6}, false)});
         }},
        {"extents reaching past the directory",
         [] {
             // The last entries of the directory claim 32 and 8192 extents.
             return plainImage(128, {rawEntry(0, "BIG     DAT", 31, 128, {2, 3}, false),
                                     rawEntry(0, "HUGE    DAT", 8191, 128, {4}, false)}, 126);
         }},
        {"extents of one file spread and out of order",
         [] {
             return plainImage(128, {rawEntry(0, "SPLIT   DAT", 5, 10, {9}, false), rawEntry(0, "SPLIT   DAT", 0, 128, {2, 3, 4, 5, 6, 7, 8, 10}, false),
                                     rawEntry(0, "SPLIT   DAT", 5, 20, {11}, false)});
         }},
        {"names with control characters, slashes and dots",
         [] {
             return plainImage(128, {rawEntry(0, "\x01\x1b[2J\x07\x0c\r\n", 0, 1, {2}, false),
                                     rawEntry(0, "../../ETC", 0, 1, {3}, false), rawEntry(0, "A/B     /C ", 0, 1, {4}, false),
                                     rawEntry(0, "..      ", 0, 1, {5}, false), rawEntry(0, ".          ", 0, 1, {6}, false),
                                     rawEntry(0, std::string("\0\0\0\0\0\0\0\0\0\0\0", 11), 0, 1, {7}, false),
                                     rawEntry(0, "\xff\xfe\x80\x9b\xe5\xe5\xe5\xe5\xff\xff\xff", 0, 1, {8}, false)});
         }},
        {"record counts above 128 and negative-looking sizes",
         [] {
             return plainImage(128, {rawEntry(0, "RC      DAT", 0, 255, {2}, false),
                                     rawEntry(0, "S2      DAT", 0x3FF, 255, {3}, false)});
         }},
        {"every directory byte 0",
         [] { return imageBytes(131072, {}, 0x00); }},
        {"every directory byte FF",
         [] { return imageBytes(131072, {}, 0xFF); }},
        {"zero-length file with a 140K signature name",
         [] { return Text(); }},
        {"16 MB file",
         [] {
             Text t = imageBytes(size_t(16) << 20, {}, 0xE5);
             std::vector<uint8_t> e = rawEntry(0, "LAST    BLK", 0, 128, {8191, 8190, 8192, 65535}, true);
             std::copy(e.begin(), e.end(), t.data());
             return t;
         }},
        {"random bytes over a 140K image",
         [] {
             Text t = imageBytes(143360, signature140, 0);
             uint32_t x = 12345;
             for (size_t i = 8; i < t.size(); i++) t[i] = uint8_t((x = x * 1103515245u + 12345u) >> 16);
             return t;
         }},
    };
    return cases;
}

// Listing names of the files the lists show.
std::vector<Text> listedNames(const cpm_Volume &v) {
    std::vector<Text> out;
    for (size_t i = 0; i < v.Names.size(); i++)
        if (v.Sizes[i] >= 0) out.push_back(v.Names[i]);
    return out;
}

// The lists and the map have the sizes the geometry gives.
void expectShape(const cpm_Volume &v, size_t imageSize, const std::string &where) {
    EXPECT_EQ(v.Image.size(), imageSize) << where;
    EXPECT_EQ(v.Names.size(), size_t(v.DirEntries)) << where;
    EXPECT_EQ(v.Sizes.size(), size_t(v.DirEntries)) << where;
    EXPECT_EQ(v.Extents.size(), size_t(v.DirEntries)) << where;
    EXPECT_EQ(v.Attributes.size(), size_t(v.DirEntries)) << where;
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
        cpm_BlocksLines(v, name, 40);
        cpm_FileData f = cpm_LoadFile(v, name);
        EXPECT_EQ(f.Data.size() % size_t(v.BlockSize), 0u) << where;
        EXPECT_LE(f.Data.size(), v.Image.size()) << where;
        cpm_HexdumpLines(f.Data);
        cpm_TypeLines(f.Data);
        std::string host = cpm_HostName(name);
        EXPECT_EQ(host.find('/'), std::string::npos) << where;
        EXPECT_EQ(host.find('\0'), std::string::npos) << where;
        EXPECT_TRUE(host != "." && host != ".." && !host.empty()) << where << ": " << host;
    }
}

class HostileImages : public ::testing::Test {
protected:
    void SetUp() override { cpm_SetDiagnostics(false); }
    void TearDown() override { cpm_SetDiagnostics(true); }
};

TEST_F(HostileImages, EveryOperationSurvivesEveryImage) {
    for (const HostileCase &c : hostileCases()) {
        SCOPED_TRACE(c.Name);
        ScratchFolder folder;
        ASSERT_FALSE(folder.Path.empty());
        const std::string path = folder.file("image.dsk");
        const Text original = c.Bytes();
        ASSERT_TRUE(writeFile(path, original));

        cpm_Volume v = cpm_LoadVolume(path);
        const size_t size = v.Image.size();
        EXPECT_EQ(v.Path, path);
        EXPECT_EQ(cpm_OpenImage(original, path).Image, v.Image) << "loading from the file and from memory differ";
        expectShape(v, size, "loaded");
        readEverything(v, "loaded");

        // A new file, an existing name again, and a file far too big.
        cpm_SaveFileResult w = cpm_SaveFile(v, Text("NEW.TXT"), Text(std::string(3000, 'x')));
        if (!w.Message.empty()) {
            EXPECT_EQ(w.Volume.Image, v.Image) << "refused write changed the image";
        }
        expectShape(w.Volume, size, "written");
        readEverything(w.Volume, "written");
        for (const Text &name : listedNames(v)) {
            cpm_SaveFileResult again = cpm_SaveFile(v, name, Text("x"));
            if (!again.Message.empty()) {
                EXPECT_EQ(again.Volume.Image, v.Image);
            }
            expectShape(again.Volume, size, "rewritten");
        }
        cpm_SaveFileResult big = cpm_SaveFile(v, Text("BIG.DAT"), Text(std::vector<uint8_t>(size + 4096, 1)));
        EXPECT_FALSE(big.Message.empty());
        EXPECT_EQ(big.Volume.Image, v.Image);

        // Erase and unerase every listed file, then entries by number.
        cpm_Volume m = v;
        for (const Text &name : listedNames(v)) {
            cpm_SetUserResult e = cpm_SetFileUser(m, name, 0xE5);
            expectShape(e.Volume, size, "erased");
            cpm_SetUserResult u = cpm_SetFileUser(e.Volume, name, 0);
            if (!u.Message.empty()) {
                EXPECT_EQ(u.Volume.Image, e.Volume.Image) << "refused unerase changed the image";
            }
            expectShape(u.Volume, size, "unerased");
            m = std::move(u.Volume);
        }
        for (const char *number : {"#0", "#1", "#-1", "#63", "#64", "#127", "#128", "#255", "#256", "#99999999999"}) {
            m = cpm_SetFileUser(std::move(m), Text(number), 0xE5).Volume;
            m = cpm_SetFileUser(std::move(m), Text(number), 0).Volume;
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
        saveAs.Path = folder.file("saved.dsk");
        cpm_SaveVolumeResult saved = cpm_SaveVolume(saveAs);
        EXPECT_EQ(saved.Message, "");
        EXPECT_FALSE(saved.Volume.Changed);
        cpm_Volume back = cpm_LoadVolume(saveAs.Path);
        EXPECT_EQ(back.Image, saveAs.Image);
        EXPECT_EQ(back.Names, saveAs.Names);

        cpm_Volume init = cpm_InitVolume(v);
        expectShape(init, size, "initialised");
        readEverything(init, "initialised");
        EXPECT_TRUE(listedNames(init).empty());

        // The image on the host was never touched; only the copy appeared.
        EXPECT_EQ(readFile(path), original);
        EXPECT_EQ(folder.names(), (std::set<std::string>{"image.dsk", "saved.dsk"}));
    }
}

// Unerasing a file onto blocks another file now holds is refused, and the
// two files never end up on the same blocks.
TEST_F(HostileImages, SharedBlocksAreNeverHandedOutTwice) {
    cpm_Volume v = cpm_OpenImage(plainImage(128, {rawEntry(0, "ONE     TXT", 0, 64, {2, 3, 4}, false),
                                                  rawEntry(0xE5, "OLD     TXT", 0, 64, {4, 6}, false),
                                                  rawEntry(0, "TWO     TXT", 0, 64, {3, 4, 5}, false)}),
                                 "shared.dsk");
    cpm_SetUserResult u = cpm_SetFileUser(v, Text("OLD.TXT"), 0);
    EXPECT_TRUE(u.Found);
    EXPECT_FALSE(u.Message.empty());
    EXPECT_EQ(u.Volume.Image, v.Image);
    // A new file gets none of the blocks the two listed files hold.
    cpm_SaveFileResult w = cpm_SaveFile(v, Text("NEW.TXT"), Text(std::vector<uint8_t>(6 * 2048, 7)));
    ASSERT_EQ(w.Message, "");
    const uint8_t *e = nullptr;
    for (int i = 0; i < w.Volume.DirEntries; i++)
        if (w.Volume.Names[size_t(i)] == cpm_MakeName(Text("NEW.TXT"))) e = w.Volume.Image.data() + 32 * i;
    ASSERT_NE(e, nullptr);
    for (int k = 16; k < 32 && e[k]; k++) EXPECT_TRUE(e[k] > 5) << "block " << int(e[k]) << " handed out twice";
}

}  // namespace
