// Format detection, geometry, re-sectoring, loading and saving image files,
// new volumes, and the host failing under a save or a read.
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "apple_images.h"
#include "files.h"
#include "geometry.h"
#include "image.h"
#include "maintenance.h"
#include "volume.h"
#include "write.h"

namespace fs = std::filesystem;

namespace {

TEST(Format, GeometryFollowsSignatureAndSize) {
    struct Case {
        const char *What;
        Text Head;
        size_t FileSize;
        cpm_Format Format;
        int DataStart, BlockSize, DirBlocks, DirEntries, VolumeKB, Blocks;
        bool Wide;
    } cases[] = {
        {"140K CP/M 2.2", signature140(true), 143360, cpm_Format::Apple140K22, 12288, 1024, 2, 64, 128, 128, false},
        {"140K CP/M 3.0", signature140(false), 143360, cpm_Format::Apple140K30, 12288, 1024, 2, 64, 128, 128, false},
        {"800K CP/M 3.0", signature800(), 819200, cpm_Format::Apple800K, 16384, 2048, 4, 256, 784, 392, true},
        {"plain 512K", Text(), 524288, cpm_Format::Plain, 0, 2048, 2, 128, 512, 256, false},
        {"plain 513K", Text(), 525312, cpm_Format::Plain, 0, 2048, 2, 128, 513, 256, true},
        {"plain 140K", Text(), 143360, cpm_Format::Plain, 0, 2048, 2, 128, 140, 70, false},
        // Four bytes of the 140K signature and nothing more: CP/M 3.0, no data area.
        {"four bytes", Text(std::vector<uint8_t>{0x01, 0xA5, 0x27, 0xC9}), 4, cpm_Format::Apple140K30, 12288, 1024, 2, 64, 0, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.What);
        cpm_Volume v = cpm_OpenImage(fileBytes(c.FileSize, c.Head), "/x/IMAGE.DSK");
        EXPECT_EQ(v.Format, c.Format);
        EXPECT_EQ(std::vector<int>({v.Geometry.DataStart, v.Geometry.BlockSize, v.Geometry.DirBlocks, v.Geometry.DirEntries, v.VolumeKB, cpm_BlockCount(v),
                                    int(v.BlockMap.size()), int(v.Names.size())}),
                  std::vector<int>({c.DataStart, c.BlockSize, c.DirBlocks, c.DirEntries, c.VolumeKB, c.Blocks, c.Blocks,
                                    c.DirEntries}));
        EXPECT_EQ(cpm_WideBlocks(v), c.Wide);
        EXPECT_FALSE(v.Changed || v.ReadOnly);
        EXPECT_EQ(v.Path, "/x/IMAGE.DSK");
    }
}

TEST(Format, DiagnosticLineNamesFormatAndFile) {
    test_LogCapture log;
    cpm_OpenImage(fileBytes(143360, signature140(true)), "/some/dir/GAMES.DSK");
    cpm_OpenImage(fileBytes(143360, signature140(false)), "/some/dir/B.DSK");
    cpm_OpenImage(fileBytes(819200, signature800()), "C.PO");
    cpm_OpenImage(fileBytes(65536), "plain.vol");
    cpm_SetDiagnostics(false);
    cpm_OpenImage(fileBytes(143360, signature140(true)), "QUIET.DSK");
    cpm_SetDiagnostics(true);
    // Each load also says how it was read, right after the line above (if any).
    const char *starts[] = {"cpm_LoadVolume: Apple II 140K CP/M 2.2 Volume found: GAMES.DSK",
                            "cpm_LoadVolume: none, DOS order, ",
                            "cpm_LoadVolume: Apple II 140K CP/M 3.0 Volume found: B.DSK",
                            "cpm_LoadVolume: none, DOS order, ",
                            "cpm_LoadVolume: Apple II 800K CP/M 3.0 800K Volume found: C.PO",
                            "cpm_LoadVolume: none, 800K interleave, ",
                            "cpm_LoadVolume: none, as stored, "};
    std::vector<std::string> lines = log.lines();
    ASSERT_GE(lines.size(), std::size(starts));
    for (size_t k = 0; k < std::size(starts); k++) EXPECT_EQ(lines[k].rfind(starts[k], 0), 0u) << lines[k];
}

// Every file sector holds its own number; the moves say where sectors land.
TEST(Format, ResectoringFollowsTheSkewTables) {
    struct Case {
        Text Head;
        size_t Size, Unit;
        std::vector<std::pair<size_t, size_t>> Moves;   // file offset, image offset
    } cases[] = {
        {signature140(), 143360, 256, {{256, 3840}, {12288 + 512, 12288 + 2304}, {512, 9 * 256}, {15 * 256, 5 * 256}, {7 * 256, 11 * 256}}},
        {signature800(), 819200, 512, {{512, 4096}, {4096, 2048}, {8192 + 512 * 15, 8192 + 512 * 15}, {8192 + 512 * 3, 8192 + 512 * 9}}},
    };
    for (const Case &c : cases) {
        Text file = fileBytes(c.Size);
        for (size_t i = 0; i < c.Size; i++) file[i] = uint8_t(i / c.Unit);
        for (size_t i = 0; i < c.Head.size(); i++) file[i] = c.Head[i];
        cpm_Volume v = cpm_OpenImage(file, "a");
        for (auto [from, to] : c.Moves)
            for (size_t k = 8; k < c.Unit; k++) ASSERT_EQ(v.Image[to + k], file[from + k]) << from;
        for (size_t k = 0; k < 4; k++) EXPECT_EQ(v.Image[k], c.Head[k]);
    }
}

TEST(Format, FileImageIsTheInverseOfLoading) {
    // Whole images, and sizes with a part track or group at the end.
    const std::pair<size_t, Text> cases[] = {{143360, signature140(true)}, {143360 + 1000, signature140(false)},
                                             {819200, signature800()}, {819200 + 5000, signature800()}, {65536, Text()}};
    for (const auto &[size, head] : cases) {
        Text file = pattern(size, int(size));
        for (size_t i = 0; i < head.size(); i++) file[i] = head[i];
        EXPECT_EQ(cpm_FileImage(cpm_OpenImage(file, "x")), file) << size;
    }
}

class VolumeFiles : public ::testing::Test {
protected:
    test_TempFolder Folder;
    void SetUp() override { cpm_SetDiagnostics(false); }
    void TearDown() override { cpm_SetDiagnostics(true); }
};

TEST_F(VolumeFiles, SaveWritesFileOrderAndClearsChanged) {
    std::string path = Folder.at("games.dsk");
    Text file = pattern(143360, 7);
    for (size_t i = 0; i < 8; i++) file[i] = signature140(true)[i];
    ASSERT_EQ(setbinarytofile(path, file), 0);
    cpm_Volume v = cpm_LoadVolume(path, "apple2-do");   // no CP/M directory yet: chosen
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
    EXPECT_EQ(Folder.names(), std::set<std::string>{"games.dsk"});   // no temporary file left
}

// A read-only volume is never written; an image the user may not write opens read-only.
TEST_F(VolumeFiles, ReadOnlyVolumesAreNeverWritten) {
    cpm_Volume ro = freshPlain(64);
    ro.Path = Folder.write("ro.vol", "old image");
    ro.ReadOnly = ro.Changed = true;
    cpm_SaveVolumeResult r = cpm_SaveVolume(ro);
    EXPECT_EQ(r.Message, "Image file is read-only.");
    EXPECT_TRUE(r.Volume.Changed);
    EXPECT_EQ(gettextfromfile(ro.Path), T("old image"));
    cpm_Volume v = freshPlain(64);
    v.Path = Folder.at("locked.vol");
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

TEST_F(VolumeFiles, NewVolumeSizes) {
    const std::pair<long long, const char *> cases[] = {{63, "Size too small."}, {2050, "Size too big."},
                                                        {65, "Size must be even."}, {-4, "Size too small."},
                                                        {64, ""}, {2048, ""}, {514, ""}};
    for (const auto &[size, message] : cases) {
        SCOPED_TRACE(size);
        std::string path = Folder.at("new" + std::to_string(size) + ".vol");
        cpm_NewVolumeResult r = cpm_NewVolume(path, size);
        EXPECT_EQ(r.Message, message);
        if (*message) {
            EXPECT_EQ(t_FileExists(path), 0);
            continue;
        }
        EXPECT_FALSE(r.Volume.Changed);
        EXPECT_EQ(r.Volume.VolumeKB, size);
        EXPECT_EQ(cpm_BlockCount(r.Volume), size / 2);
        EXPECT_EQ(r.Volume.UsedKB, 4);
        cpm_Volume opened = cpm_LoadVolume(path);
        EXPECT_EQ(opened.Format, cpm_Format::Plain);
        EXPECT_EQ(opened.Image, r.Volume.Image);
        EXPECT_EQ(cpm_WideBlocks(opened), size > 512);
        for (size_t i = 0; i < opened.Image.size(); i++) ASSERT_EQ(opened.Image[i], i < 4096 ? 0xE5 : 0x00) << i;
    }
}

// The host failing under a save: the tests run as root here, where file
// permissions stop no write, so the failures are made with what stops root
// too.  A kind the host cannot make is skipped.
bool run(const std::string &command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

struct FailingTarget {
    std::string Path;            // "" when the host cannot make this failure
    std::function<void()> Undo;  // run after the case
};

TEST_F(VolumeFiles, FailedSaveKeepsFileAndVolume) {
    const std::pair<const char *, std::function<FailingTarget(const test_TempFolder &)>> failures[] = {
        {"immutable image file", [](const test_TempFolder &f) -> FailingTarget {
             std::string path = f.write("locked.dsk", "old image");
             if (!run("chattr +i '" + path + "'")) return {};
             return {path, [path] { run("chattr -i '" + path + "'"); }};
         }},
        {"full file system", [](const test_TempFolder &f) -> FailingTarget {
             std::string small = f.folder("small");
             if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=160k") != 0) return {};
             // The old image fits; the new one (written beside it first) does not.
             f.write("small/image.dsk", std::string(100 * 1024, 'o'));
             return {small + "image.dsk", [small] { umount(small.c_str()); }};
         }},
        {"parent is a regular file", [](const test_TempFolder &f) -> FailingTarget {
             return {f.write("plain", "not a folder") + "/image.dsk", [] {}};
         }},
        {"/proc", [](const test_TempFolder &) -> FailingTarget { return {"/proc/dw-test-image.dsk", [] {}}; }},
        {"path is a folder", [](const test_TempFolder &f) -> FailingTarget { return {f.folder("folder.dsk"), [] {}}; }},
    };
    for (const auto &[name, make] : failures) {
        SCOPED_TRACE(name);
        test_TempFolder folder;
        FailingTarget target = make(folder);
        if (target.Path.empty()) continue;
        const std::string parent = target.Path.substr(0, target.Path.rfind('/', target.Path.size() - 2) + 1);
        const bool listed = parent.rfind(folder.Path, 0) == 0 && t_FileExists(parent) == 2;
        std::set<std::string> before;
        if (listed) before = folder.names(parent.substr(folder.Path.size()));
        const Text oldFile = gettextfromfile(target.Path);

        cpm_Volume volume = cpm_SaveFile(cpm_MakeVolume(target.Path, 128), T("NOTE.TXT"), pattern(5000)).Volume;
        cpm_SaveVolumeResult r = cpm_SaveVolume(volume);
        EXPECT_FALSE(r.Message.empty()) << "a failed save reported success";
        EXPECT_TRUE(r.Volume.Changed);
        EXPECT_EQ(r.Volume.Image, volume.Image);
        EXPECT_EQ(r.Volume.Path, volume.Path);
        EXPECT_EQ(gettextfromfile(target.Path), oldFile) << "the file on disk changed";
        if (listed) {
            EXPECT_EQ(folder.names(parent.substr(folder.Path.size())), before) << "a temporary file was left behind";
        }
        // The message is the text of the file helper's error number.
        EXPECT_EQ(t_ErrorText(setbinarytofile(target.Path, volume.Image)), r.Message);
        target.Undo();
    }
}

// An image file replaced or removed while its volume is open: saving writes
// the volume whole (never a mixture of the two images) and reloading gives
// what is on disk.
TEST_F(VolumeFiles, ImageFileReplacedWhileOpen) {
    const std::pair<const char *, std::function<void(const std::string &)>> changes[] = {
        {"replaced by a longer file", [](const std::string &p) {
             setbinarytofile(p + ".new", fileBytes(300 * 1024, Text(), 0x11));
             fs::rename(p + ".new", p);
         }},
        {"truncated in place", [](const std::string &p) { fs::resize_file(p, 1000); }},
        {"removed", [](const std::string &p) { fs::remove(p); }},
        {"replaced by a folder", [](const std::string &p) {
             fs::remove(p);
             fs::create_directory(p);
         }},
    };
    for (const auto &[name, apply] : changes) {
        SCOPED_TRACE(name);
        test_TempFolder folder;
        std::string path = folder.at("image.dsk");
        ASSERT_EQ(cpm_SaveVolume(cpm_MakeVolume(path, 128)).Message, "");
        cpm_Volume open = cpm_SaveFile(cpm_LoadVolume(path), T("NEW.TXT"), pattern(3000)).Volume;
        apply(path);
        const Text onDisk = gettextfromfile(path);
        cpm_Volume reloaded = cpm_LoadVolume(path);
        if (t_FileExists(path) == 1) {
            EXPECT_EQ(reloaded.Image, onDisk) << "reloading gave something else";
        } else {
            EXPECT_TRUE(reloaded.Path.empty());
        }
        cpm_SaveVolumeResult r = cpm_SaveVolume(open);
        EXPECT_EQ(gettextfromfile(path), r.Message.empty() ? cpm_FileImage(open) : onDisk);
        EXPECT_EQ(folder.names().size(), 1u) << "a temporary file was left behind";
    }
}

// Host files that vanish, or are no regular files, between listing and
// reading: the reader logs and gives nothing, and never waits; the volume
// is the empty one.
TEST_F(VolumeFiles, ReadingFilesThatAreGoneOrSpecial) {
    std::string vanished = Folder.write("vanished.dsk", "image");
    fs::remove(vanished);
    std::string fifo = Folder.at("pipe.dsk");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    std::string socketPath = Folder.at("socket.dsk");
    int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    for (const std::string &path : {vanished, fifo, socketPath, std::string("/dev/zero"), Folder.Path}) {
        SCOPED_TRACE(path);
        test_LogCapture log;
        EXPECT_EQ(getbinaryfromfile(path).size(), 0u);
        EXPECT_EQ(log.text().rfind("getbinaryfromfile: Error #", 0), 0u) << log.text();
        cpm_Volume v = cpm_LoadVolume(path);
        EXPECT_TRUE(v.Path.empty() && v.Image.empty() && v.Names.empty());
        EXPECT_EQ(std::vector<int>({v.Geometry.DataStart, v.Geometry.BlockSize, v.Geometry.DirBlocks, v.Geometry.DirEntries, v.VolumeKB}),
                  std::vector<int>({0, 2048, 2, 128, 0}));
    }
    EXPECT_TRUE(cpm_LoadVolume("").Image.empty());
    close(sock);
}

}  // namespace
