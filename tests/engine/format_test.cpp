// Format detection, geometry, re-sectoring, saving, new volumes.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "files.h"
#include "fixtures.h"

namespace fs = std::filesystem;

struct GeometryCase {
    const char *What;
    Text Head;
    size_t FileSize;
    cpm_Format Format;
    int DataStart, BlockSize, DirBlocks, DirEntries, VolumeKB, Blocks;
    bool Wide;
};

TEST(Format, GeometryFollowsSignatureAndSize) {
    const GeometryCase cases[] = {
        {"140K CP/M 2.2", signature140(true), 143360, cpm_Format::Apple140K22, 12288, 1024, 2, 64, 128, 128, false},
        {"140K CP/M 3.0", signature140(false), 143360, cpm_Format::Apple140K30, 12288, 1024, 2, 64, 128, 128, false},
        {"800K CP/M 3.0", signature800(), 819200, cpm_Format::Apple800K, 16384, 2048, 4, 256, 784, 392, true},
        {"plain 512K", Text(), 524288, cpm_Format::Plain, 0, 2048, 2, 128, 512, 256, false},
        {"plain 513K", Text(), 525312, cpm_Format::Plain, 0, 2048, 2, 128, 513, 256, true},
        {"plain 140K", Text(), 143360, cpm_Format::Plain, 0, 2048, 2, 128, 140, 70, false},
    };
    for (const GeometryCase &c : cases) {
        SCOPED_TRACE(c.What);
        cpm_Volume v = cpm_OpenImage(fileBytes(c.FileSize, c.Head), "/x/IMAGE.DSK");
        EXPECT_EQ(v.Format, c.Format);
        EXPECT_EQ(v.DataStart, c.DataStart);
        EXPECT_EQ(v.BlockSize, c.BlockSize);
        EXPECT_EQ(v.DirBlocks, c.DirBlocks);
        EXPECT_EQ(v.DirEntries, c.DirEntries);
        EXPECT_EQ(v.VolumeKB, c.VolumeKB);
        EXPECT_EQ(cpm_BlockCount(v), c.Blocks);
        EXPECT_EQ(int(v.BlockMap.size()), c.Blocks);
        EXPECT_EQ(cpm_WideBlocks(v), c.Wide);
        EXPECT_EQ(int(v.Names.size()), c.DirEntries);
        EXPECT_FALSE(v.Changed);
        EXPECT_FALSE(v.ReadOnly);
        EXPECT_EQ(v.Path, "/x/IMAGE.DSK");
    }
}

TEST(Format, DiagnosticLineNamesFormatAndFile) {
    LogCapture log;
    cpm_OpenImage(fileBytes(143360, signature140(true)), "/some/dir/GAMES.DSK");
    cpm_OpenImage(fileBytes(143360, signature140(false)), "/some/dir/B.DSK");
    cpm_OpenImage(fileBytes(819200, signature800()), "C.PO");
    cpm_OpenImage(fileBytes(65536), "plain.vol");
    EXPECT_TRUE(log.has("cpm_LoadVolume: Apple II 140K CP/M 2.2 Volume found: GAMES.DSK"));
    EXPECT_TRUE(log.has("cpm_LoadVolume: Apple II 140K CP/M 3.0 Volume found: B.DSK"));
    EXPECT_TRUE(log.has("cpm_LoadVolume: Apple II 800K CP/M 3.0 800K Volume found: C.PO"));
    // Each load also says how it was read, right after the line above (if any).
    EXPECT_EQ(log.Lines.size(), 7u);
    EXPECT_EQ(log.Lines[1].rfind("cpm_LoadVolume: none, DOS order, ", 0), 0u) << log.Lines[1];
    EXPECT_EQ(log.Lines[5].rfind("cpm_LoadVolume: none, 800K interleave, ", 0), 0u) << log.Lines[5];
    EXPECT_EQ(log.Lines[6].rfind("cpm_LoadVolume: none, as stored, ", 0), 0u) << log.Lines[6];
}

TEST(Format, DiagnosticsCanBeSwitchedOff) {
    LogCapture log;
    cpm_SetDiagnostics(false);
    cpm_OpenImage(fileBytes(143360, signature140(true)), "GAMES.DSK");
    cpm_SetDiagnostics(true);
    EXPECT_TRUE(log.Lines.empty());
}

// Every 256-byte file sector of a 140K image holds its own sector number.
static Text numberedSectors(size_t size, size_t unit, const Text &head) {
    Text t = fileBytes(size);
    for (size_t i = 0; i < size; i++) t[i] = uint8_t(i / unit);
    for (size_t i = 0; i < head.size(); i++) t[i] = head[i];
    return t;
}

struct MoveCase {
    size_t FileOffset, ImageOffset;
};

TEST(Format, Resectoring140K) {
    Text file = numberedSectors(143360, 256, signature140(true));
    cpm_Volume v = cpm_OpenImage(file, "a.dsk");
    const MoveCase moves[] = {{0, 0}, {256, 3840}, {12288 + 512, 12288 + 2304}, {512, 9 * 256}, {15 * 256, 5 * 256}};
    for (const MoveCase &m : moves) {
        SCOPED_TRACE(m.FileOffset);
        for (size_t k = 8; k < 256; k++) ASSERT_EQ(v.Image[m.ImageOffset + k], file[m.FileOffset + k]);
    }
    for (size_t k = 0; k < 8; k++) EXPECT_EQ(v.Image[k], signature140(true)[k]);
}

TEST(Format, Resectoring800K) {
    Text file = numberedSectors(819200, 512, signature800());
    cpm_Volume v = cpm_OpenImage(file, "a.po");
    const MoveCase moves[] = {{512, 4096}, {4096, 2048}, {8192 + 512 * 15, 8192 + 512 * 15}, {8192 + 512 * 3, 8192 + 512 * 9}};
    for (const MoveCase &m : moves) {
        SCOPED_TRACE(m.FileOffset);
        for (size_t k = 0; k < 512; k++) ASSERT_EQ(v.Image[m.ImageOffset + k], file[m.FileOffset + k]);
    }
    for (size_t k = 0; k < 4; k++) EXPECT_EQ(v.Image[k], signature800()[k]);
}

TEST(Format, SkewTablesArePermutations) {
    for (const int *table : {cpm_SkewTable140, cpm_SkewTable800}) {
        std::vector<int> seen(16, 0);
        for (int s = 0; s < 16; s++) seen[size_t(table[s])]++;
        for (int n : seen) EXPECT_EQ(n, 1);
    }
    for (int s = 0; s < 16; s++) EXPECT_EQ(cpm_SkewTable800[s], s % 2 == 0 ? s / 2 : 8 + s / 2);
}

TEST(Format, FileImageIsTheInverseOfLoading) {
    struct Case {
        size_t Size;
        Text Head;
    };
    // Whole images, and sizes with a part track or group at the end.
    const Case cases[] = {{143360, signature140(true)}, {143360 + 1000, signature140(false)},
                          {819200, signature800()}, {819200 + 5000, signature800()}, {65536, Text()}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Size);
        Text file = pattern(c.Size, int(c.Size));
        for (size_t i = 0; i < c.Head.size(); i++) file[i] = c.Head[i];
        cpm_Volume v = cpm_OpenImage(file, "x");
        EXPECT_EQ(cpm_FileImage(v), file);
    }
}

TEST(Format, ShortImagesReadNothingOutside) {
    const size_t sizes[] = {0, 1, 5, 8, 100, 4096, 12288, 12300, 14335};
    for (size_t size : sizes) {
        for (const Text &head : {signature140(true), signature800(), Text()}) {
            SCOPED_TRACE(size);
            cpm_Volume v = cpm_OpenImage(fileBytes(size, head), "short");
            EXPECT_GE(v.VolumeKB, 0);
            EXPECT_EQ(int(v.Names.size()), v.DirEntries);
            v = cpm_InitVolume(std::move(v));
            cpm_SaveFileResult r = cpm_SaveFile(v, T("A.TXT"), T("hello"));
            cpm_FileData f = cpm_LoadFile(r.Volume, T("A.TXT"));
            EXPECT_EQ(v.Image.size(), size);
            EXPECT_EQ(cpm_FileImage(r.Volume).size(), size);
            (void)f;
        }
    }
    // Four bytes of the 140K signature and nothing more: CP/M 3.0, no data area.
    cpm_Volume v = cpm_OpenImage(fileBytes(4, signature140(true)), "four");
    EXPECT_EQ(v.Format, cpm_Format::Apple140K30);
    EXPECT_EQ(v.VolumeKB, 0);
    EXPECT_TRUE(v.BlockMap.empty());
}

class TempFolder : public ::testing::Test {
  protected:
    fs::path Folder;
    void SetUp() override {
        char templ[] = "/tmp/dwengineXXXXXX";
        Folder = mkdtemp(templ);
    }
    void TearDown() override { fs::remove_all(Folder); }
    std::string at(const std::string &name) { return (Folder / name).string(); }
};

using LoadVolume = TempFolder;

TEST_F(LoadVolume, EmptyVolumeForNoFile) {
    for (const std::string &path : {std::string(""), at("missing.dsk"), Folder.string()}) {
        cpm_Volume v = cpm_LoadVolume(path);
        EXPECT_EQ(v.Path, "");
        EXPECT_TRUE(v.Image.empty());
        EXPECT_EQ(v.DataStart, 0);
        EXPECT_EQ(v.BlockSize, 2048);
        EXPECT_EQ(v.DirBlocks, 2);
        EXPECT_EQ(v.DirEntries, 128);
        EXPECT_EQ(v.VolumeKB, 0);
        EXPECT_TRUE(v.Names.empty());
    }
}

TEST_F(LoadVolume, SaveWritesFileOrderAndClearsChanged) {
    std::string path = at("games.dsk");
    Text file = pattern(143360, 7);
    for (size_t i = 0; i < 8; i++) file[i] = signature140(true)[i];
    ASSERT_EQ(setbinarytofile(path, file), 0);
    cpm_Volume v = cpm_LoadVolume(path);
    EXPECT_EQ(v.Format, cpm_Format::Apple140K22);
    v.Changed = true;
    cpm_SaveVolumeResult saved = cpm_SaveVolume(v);
    EXPECT_EQ(saved.Message, "");
    EXPECT_FALSE(saved.Volume.Changed);
    EXPECT_EQ(gettextfromfile(path), file);   // unchanged image: byte-identical file

    v = cpm_InitVolume(std::move(saved.Volume));
    v = cpm_SaveFile(std::move(v), T("HELLO.TXT"), T("Hello")).Volume;
    ASSERT_EQ(cpm_SaveVolume(v).Message, "");
    cpm_Volume again = cpm_LoadVolume(path);
    EXPECT_EQ(again.Image, v.Image);
    EXPECT_EQ(again.Names, v.Names);
}

TEST_F(LoadVolume, ReadOnlyAndFailedSaves) {
    cpm_Volume v = freshPlain(64);
    v.Path = at("ro.vol");
    v.ReadOnly = true;
    v.Changed = true;
    cpm_SaveVolumeResult r = cpm_SaveVolume(v);
    EXPECT_EQ(r.Message, "Image file is read-only.");
    EXPECT_TRUE(r.Volume.Changed);
    EXPECT_EQ(t_FileExists(v.Path), 0);

    v.ReadOnly = false;
    v.Path = at("no/such/folder/x.vol");
    r = cpm_SaveVolume(v);
    EXPECT_NE(r.Message, "");
    EXPECT_TRUE(r.Volume.Changed);
}

TEST_F(LoadVolume, ImageTheUserMayNotWriteOpensReadOnly) {
    cpm_Volume v = freshPlain(64);
    v.Path = at("locked.vol");
    ASSERT_EQ(cpm_SaveVolume(v).Message, "");
    EXPECT_FALSE(cpm_LoadVolume(v.Path).ReadOnly);
    // Root writes any file whatever its mode; the immutable attribute stops it.
    bool locked = geteuid() != 0 ? chmod(v.Path.c_str(), 0444) == 0
                                 : std::system(("chattr +i '" + v.Path + "' 2>/dev/null").c_str()) == 0;
    if (!locked) GTEST_SKIP() << "no way to make a file unwritable here";
    cpm_Volume loaded = cpm_LoadVolume(v.Path);
    if (geteuid() == 0) std::system(("chattr -i '" + v.Path + "'").c_str());
    EXPECT_TRUE(loaded.ReadOnly);
    EXPECT_EQ(loaded.Image, v.Image);
}

TEST_F(LoadVolume, NewVolumeSizes) {
    struct Case {
        long long Size;
        const char *Message;
    };
    const Case cases[] = {{63, "Size too small."}, {2050, "Size too big."}, {65, "Size must be even."},
                          {-4, "Size too small."}, {64, ""},                {2048, ""},
                          {514, ""}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Size);
        std::string path = at("new" + std::to_string(c.Size) + ".vol");
        cpm_NewVolumeResult r = cpm_NewVolume(path, c.Size);
        EXPECT_EQ(r.Message, c.Message);
        if (*c.Message) {
            EXPECT_EQ(t_FileExists(path), 0);
            continue;
        }
        EXPECT_FALSE(r.Volume.Changed);
        EXPECT_EQ(r.Volume.VolumeKB, c.Size);
        EXPECT_EQ(cpm_BlockCount(r.Volume), c.Size / 2);
        EXPECT_EQ(r.Volume.UsedKB, 4);
        cpm_Volume opened = cpm_LoadVolume(path);
        EXPECT_EQ(opened.Format, cpm_Format::Plain);
        EXPECT_EQ(opened.Image.size(), size_t(c.Size) * 1024);
        EXPECT_EQ(opened.Image, r.Volume.Image);
        EXPECT_EQ(cpm_WideBlocks(opened), c.Size > 512);
    }
    cpm_Volume v64 = cpm_NewVolume(at("v64.vol"), 64).Volume;
    EXPECT_EQ(cpm_BlockCount(v64), 32);
    EXPECT_EQ(v64.VolumeKB - v64.UsedKB, 60);
    for (size_t i = 0; i < 4096; i++) ASSERT_EQ(v64.Image[i], 0xE5);
    for (size_t i = 4096; i < 65536; i++) ASSERT_EQ(v64.Image[i], 0x00);
}
