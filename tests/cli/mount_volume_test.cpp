// The file system operations of a mount, on a volume in memory: what
// reaches the disk, and the errno of every refusal.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "attributes.h"
#include "directory.h"
#include "entries.h"
#include "image.h"
#include "label.h"
#include "stamps.h"
#include "mount_volume.h"
#include "read.h"
#include "volume.h"

namespace {

class MountVolume : public ::testing::Test {
  protected:
    void SetUp() override { cpm_SetDiagnostics(false); }
    void TearDown() override { cpm_SetDiagnostics(true); }
    // A plain 64K volume (64 directory entries, 1K blocks) mounted as one user area, or every one.
    cli_MountVolume m = cli_MountOf(cpm_MakeVolume("x.img", 64), false, 0, false);

    static std::string pattern(size_t size, int seed = 1) {
        std::string s(size, '\0');
        for (size_t k = 0; k < size; k++) s[k] = char((k * 131 + size + seed) & 0xFF);
        return s;
    }
    // Writes the bytes in chunks as the kernel hands them over.
    int write(const std::string &path, const std::string &bytes, size_t chunk = 4096) {
        if (int err = cli_MountCreate(m, path); err != 0 && err != -EEXIST) return err;
        for (size_t at = 0; at < bytes.size(); at += chunk) {
            long n = cli_MountWrite(m, path, bytes.data() + at, std::min(chunk, bytes.size() - at), (long long)at);
            if (n < 0) return int(n);
        }
        return 0;
    }
    std::string read(const std::string &path) {
        std::string out;
        char buf[3000];
        for (long long at = 0;;) {
            long n = cli_MountRead(m, path, buf, sizeof buf, at);
            if (n <= 0) return n < 0 ? "error " + std::to_string(n) : out;
            out.append(buf, size_t(n));
            at += n;
        }
    }
    std::vector<std::string> list(const std::string &path = "/") {
        std::vector<std::string> names;
        EXPECT_EQ(cli_MountList(m, path, names), 0);
        return names;
    }
    long long size(const std::string &path) {
        struct stat st;
        return cli_MountGetattr(m, path, st) == 0 ? st.st_size : -1;
    }
};

TEST_F(MountVolume, FilesWrittenInChunksReadBackWithTheirExactSize) {
    for (size_t n : {0, 1, 127, 128, 129, 1023, 1024, 1025, 16383, 16384, 16385, 20000}) {
        std::string bytes = pattern(n);
        ASSERT_EQ(write("/F.DAT", bytes, 3000), 0) << n;
        EXPECT_EQ(size("/F.DAT"), (long long)n);
        EXPECT_EQ(read("/F.DAT"), bytes) << n;
        // What the engine reads, as get and cpmtools do.
        cpm_FileData d = cpm_LoadFile(m.Volume, Text("F.DAT"), 0);
        EXPECT_EQ(d.Size, (long long)n);
        ASSERT_EQ(cli_MountUnlink(m, "/F.DAT"), 0);
    }
    EXPECT_TRUE(m.Changed);
}

TEST_F(MountVolume, WritesInsideAFileAndTruncationsKeepTheRest) {
    std::string bytes = pattern(5000);
    ASSERT_EQ(write("/F.DAT", bytes), 0);
    ASSERT_EQ(cli_MountWrite(m, "/F.DAT", "XYZ", 3, 1000), 3);
    bytes.replace(1000, 3, "XYZ");
    EXPECT_EQ(read("/F.DAT"), bytes);
    ASSERT_EQ(cli_MountTruncate(m, "/F.DAT", 1500), 0);
    EXPECT_EQ(read("/F.DAT"), bytes.substr(0, 1500));
    ASSERT_EQ(cli_MountTruncate(m, "/F.DAT", 2000), 0);
    EXPECT_EQ(read("/F.DAT"), bytes.substr(0, 1500) + std::string(500, '\0'));
    // A write past the end leaves zeros between.
    ASSERT_EQ(cli_MountWrite(m, "/F.DAT", "E", 1, 3000), 1);
    EXPECT_EQ(size("/F.DAT"), 3001);
}

TEST_F(MountVolume, NamesAreFoundWhateverTheCaseAndStoredInCapitals) {
    ASSERT_EQ(write("/readme.txt", "hello"), 0);
    EXPECT_EQ(list(), std::vector<std::string>{"README.TXT"});
    EXPECT_EQ(read("/Readme.Txt"), "hello");
    EXPECT_EQ(cli_MountCreate(m, "/README.txt"), -EEXIST);
}

TEST_F(MountVolume, ANameHoldingASlashIsReachedAndKeptThroughItsEscape) {
    ASSERT_EQ(write("/AXB.TXT", "old"), 0);
    // The directory entry as a damaged or foreign disk may hold it.
    uint8_t *e = cpm_EntryBytes(m.Volume, 0);
    ASSERT_EQ(e[2], 'X');
    e[2] = '/';
    m.Volume = cpm_Rebuild(std::move(m.Volume));
    m.Generation++;
    EXPECT_EQ(list(), std::vector<std::string>{"A%2FB.TXT"});
    EXPECT_EQ(read("/A%2FB.TXT"), "old");
    ASSERT_EQ(write("/A%2FB.TXT", "new bytes"), 0);
    ASSERT_EQ(cli_MountRename(m, "/A%2FB.TXT", "/C%2FD.TXT", false), 0);
    EXPECT_EQ(list(), std::vector<std::string>{"C%2FD.TXT"});
    EXPECT_EQ(read("/C%2FD.TXT"), "new bytes");
    EXPECT_EQ(cpm_EntryName(m.Volume, 0).bytes().substr(0, 3), "C/D");
}

TEST_F(MountVolume, RenamesReplaceTheTargetUnlessAskedNotTo) {
    ASSERT_EQ(write("/A.TXT", "a"), 0);
    ASSERT_EQ(write("/B.TXT", "b"), 0);
    EXPECT_EQ(cli_MountRename(m, "/A.TXT", "/B.TXT", true), -EEXIST);
    ASSERT_EQ(cli_MountRename(m, "/A.TXT", "/b.txt", false), 0);
    EXPECT_EQ(list(), std::vector<std::string>{"B.TXT"});
    EXPECT_EQ(read("/B.TXT"), "a");
    EXPECT_EQ(cli_MountRename(m, "/B.TXT", "/LONGERNAME.TXT", false), -ENAMETOOLONG);
    EXPECT_EQ(read("/B.TXT"), "a");
}

TEST_F(MountVolume, UserAreasAreFolders) {
    m.AllUsers = true;
    EXPECT_TRUE(list().empty());
    EXPECT_EQ(cli_MountCreate(m, "/3/A.TXT"), -ENOENT);   // no folder 3 yet
    ASSERT_EQ(cli_MountMkdir(m, "/3"), 0);
    EXPECT_EQ(cli_MountMkdir(m, "/3"), -EEXIST);
    EXPECT_EQ(cli_MountMkdir(m, "/16"), -EINVAL);
    EXPECT_EQ(cli_MountMkdir(m, "/03"), -EINVAL);
    ASSERT_EQ(write("/3/A.TXT", "three"), 0);
    ASSERT_EQ(cli_MountMkdir(m, "/5"), 0);
    ASSERT_EQ(cli_MountRename(m, "/3/A.TXT", "/5/A.TXT", false), 0);
    EXPECT_EQ(cpm_LoadFile(m.Volume, Text("A.TXT"), 5).Size, 5);
    EXPECT_FALSE(cpm_LoadFile(m.Volume, Text("A.TXT"), 3).Found);
    EXPECT_EQ(cli_MountRmdir(m, "/5"), -ENOTEMPTY);
    EXPECT_EQ(cli_MountRmdir(m, "/3"), 0);
    EXPECT_EQ(list(), std::vector<std::string>{"5"});
}

TEST_F(MountVolume, ModesAndExtendedAttributesAreTheFileAttributes) {
    ASSERT_EQ(write("/A.COM", pattern(300)), 0);
    ASSERT_EQ(cli_MountChmod(m, "/A.COM", 0444), 0);
    EXPECT_TRUE(cpm_EntryAttributes(m.Volume, 0) & cpm_ReadOnlyBit);
    struct stat st;
    ASSERT_EQ(cli_MountGetattr(m, "/A.COM", st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    ASSERT_EQ(cli_MountChmod(m, "/A.COM", 0644), 0);
    EXPECT_FALSE(cpm_EntryAttributes(m.Volume, 0) & cpm_ReadOnlyBit);
    ASSERT_EQ(cli_MountSetXattr(m, "/A.COM", "user.cpm.system", "1"), 0);
    std::string value;
    ASSERT_EQ(cli_MountGetXattr(m, "/A.COM", "user.cpm.system", value), 0);
    EXPECT_EQ(value, "1");
    // Rewriting the file keeps it a system file.
    ASSERT_EQ(write("/A.COM", pattern(200)), 0);
    EXPECT_TRUE(cpm_EntryAttributes(m.Volume, 0) & cpm_SystemBit);
    EXPECT_EQ(cli_MountGetXattr(m, "/A.COM", "user.cpm.extents", value), 0);
    EXPECT_EQ(value, "1");
    EXPECT_EQ(cli_MountGetXattr(m, "/A.COM", "user.cpm.nothing", value), -ENODATA);
    EXPECT_EQ(cli_MountSetXattr(m, "/A.COM", "user.cpm.system", "yes"), -EINVAL);
}

TEST_F(MountVolume, AStampedDiskShowsItsStampsAndItsLabel) {
    cpm_LabelChange change;
    change.SetName = true;
    change.Name = Text("WORK");
    change.Stamps = cpm_StampChoice::Create;
    change.UpdateStamps = 1;
    change.InitStamps = true;
    cpm_LabelResult labelled = cpm_SetLabel(m.Volume, change);
    ASSERT_EQ(labelled.Message, "");
    m = cli_MountOf(std::move(labelled.Volume), false, 0, false);
    std::string value;
    ASSERT_EQ(cli_MountGetXattr(m, "/", "user.cpm.label", value), 0);
    EXPECT_EQ(value, "WORK");
    ASSERT_EQ(write("/A.TXT", "stamped"), 0);
    std::vector<std::string> names;
    ASSERT_EQ(cli_MountListXattr(m, "/A.TXT", names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"user.cpm.system", "user.cpm.archive", "user.cpm.user",
                                               "user.cpm.extents", "user.cpm.created", "user.cpm.updated"}));
    ASSERT_EQ(cli_MountGetXattr(m, "/A.TXT", "user.cpm.created", value), 0);
    EXPECT_EQ(value, cpm_StampIso(cpm_NowStamp()).substr(0, 10) + value.substr(10));
    // The file's time is its update stamp, to the minute.
    struct stat st;
    ASSERT_EQ(cli_MountGetattr(m, "/A.TXT", st), 0);
    EXPECT_LT(std::llabs((long long)st.st_mtime - (long long)time(nullptr)), 120);
    EXPECT_EQ(st.st_mtime % 60, 0);
    // Renaming the label through the root's attribute.
    ASSERT_EQ(cli_MountSetXattr(m, "/", "user.cpm.label", "BACKUP"), 0);
    ASSERT_EQ(cli_MountGetXattr(m, "/", "user.cpm.label", value), 0);
    EXPECT_EQ(value, "BACKUP");
}

// Every refusal, with the volume as it was.
TEST_F(MountVolume, RefusalsGiveTheirErrnoAndChangeNothing) {
    ASSERT_EQ(write("/RO.TXT", "keep"), 0);
    ASSERT_EQ(cli_MountChmod(m, "/RO.TXT", 0444), 0);
    ASSERT_EQ(write("/SOME.TXT", "x"), 0);
    struct Case {
        const char *What;
        std::function<long(cli_MountVolume &)> Run;
        int Error;
    };
    const std::string big = pattern(70 * 1024);
    const Case cases[] = {
        {"name too long", [](cli_MountVolume &v) { return long(cli_MountCreate(v, "/NINECHARS.TXT")); }, ENAMETOOLONG},
        {"type too long", [](cli_MountVolume &v) { return long(cli_MountCreate(v, "/A.HTML")); }, ENAMETOOLONG},
        {"no CP/M name", [](cli_MountVolume &v) { return long(cli_MountCreate(v, "/A*B.TXT")); }, EINVAL},
        {"two points", [](cli_MountVolume &v) { return long(cli_MountCreate(v, "/A.B.C")); }, EINVAL},
        {"disk full", [&](cli_MountVolume &v) { return cli_MountWrite(v, "/SOME.TXT", big.data(), big.size(), 0); }, ENOSPC},
        {"write a read-only file", [](cli_MountVolume &v) { return cli_MountWrite(v, "/RO.TXT", "x", 1, 0); }, EACCES},
        {"open one to write", [](cli_MountVolume &v) { return long(cli_MountOpen(v, "/RO.TXT", true)); }, EACCES},
        {"erase one", [](cli_MountVolume &v) { return long(cli_MountUnlink(v, "/RO.TXT")); }, EACCES},
        {"truncate one", [](cli_MountVolume &v) { return long(cli_MountTruncate(v, "/RO.TXT", 0)); }, EACCES},
        {"rename one", [](cli_MountVolume &v) { return long(cli_MountRename(v, "/RO.TXT", "/B.TXT", false)); }, EACCES},
        {"replace one", [](cli_MountVolume &v) { return long(cli_MountRename(v, "/SOME.TXT", "/RO.TXT", false)); }, EACCES},
        {"no such file", [](cli_MountVolume &v) { return long(cli_MountUnlink(v, "/NONE.TXT")); }, ENOENT},
        {"user folders in one user area", [](cli_MountVolume &v) { return long(cli_MountMkdir(v, "/3")); }, EPERM},
    };
    for (const Case &c : cases) {
        Text before = m.Volume.Image;
        EXPECT_EQ(c.Run(m), -c.Error) << c.What;
        EXPECT_TRUE(m.Volume.Image == before) << c.What;
    }
    EXPECT_EQ(read("/SOME.TXT"), "x");
}

TEST_F(MountVolume, AFullDirectoryRefusesTheNextFile) {
    int made = 0;
    for (; made < 1000; made++) {
        int err = cli_MountCreate(m, "/F" + std::to_string(made) + ".TXT");
        if (err != 0) {
            EXPECT_EQ(err, -ENOSPC);
            break;
        }
    }
    EXPECT_EQ(made, m.Volume.Geometry.DirEntries);
}

TEST_F(MountVolume, AReadOnlyMountRefusesEveryChange) {
    ASSERT_EQ(write("/A.TXT", "a"), 0);
    cli_MountVolume ro = cli_MountOf(m.Volume, true, 0, true);
    EXPECT_EQ(cli_MountCreate(ro, "/0/B.TXT"), -EROFS);
    EXPECT_EQ(cli_MountWrite(ro, "/0/A.TXT", "b", 1, 0), -EROFS);
    EXPECT_EQ(cli_MountOpen(ro, "/0/A.TXT", true), -EROFS);
    EXPECT_EQ(cli_MountOpen(ro, "/0/A.TXT", false), 0);
    EXPECT_EQ(cli_MountUnlink(ro, "/0/A.TXT"), -EROFS);
    EXPECT_EQ(cli_MountRename(ro, "/0/A.TXT", "/0/B.TXT", false), -EROFS);
    EXPECT_EQ(cli_MountChmod(ro, "/0/A.TXT", 0444), -EROFS);
    EXPECT_EQ(cli_MountMkdir(ro, "/4"), -EROFS);
    EXPECT_FALSE(ro.Changed);
    // A volume the engine refuses mounts read-only by itself.
    cpm_Volume refused = m.Volume;
    refused.RefusalKind = cpm_RefusalKind::NotCpm;
    refused.Refusal = "not CP/M";
    EXPECT_TRUE(cli_MountOf(refused, false, 0, false).ReadOnly);
}

}  // namespace
