// The consistency check: each kind of damage is found at its entry, and
// healthy disks, with every kind of entry that is no file, give no finding.
#include "apple_images.h"
#include "check.h"
#include "definitions.h"
#include "directory.h"
#include "image.h"
#include "read.h"
#include "write.h"

namespace {

std::vector<std::string> findings(const cpm_Volume &v) {
    std::vector<std::string> out;
    for (const cpm_Finding &f : cpm_CheckVolume(v).Findings)
        out.push_back("#" + std::to_string(f.Entry) + " " + cpm_FindingName(f.Kind) + ": " + f.Message);
    return out;
}

cpm_Volume saved(cpm_Volume v, const char *name, size_t size) {
    cpm_SaveFileResult r = cpm_SaveFile(std::move(v), Text(name), pattern(size));
    EXPECT_EQ(r.Message, "") << name;
    return std::move(r.Volume);
}

}  // namespace

TEST(Check, FindsEachKindOfDamage) {
    // A 256K plain volume: blocks 2-127, two logical extents per entry.
    struct {
        const char *What;
        void (*Damage)(cpm_Volume &v);
        std::vector<std::string> Expected;
    } cases[] = {
        {"shared blocks", [](cpm_Volume &v) { putEntry(v, 5, 0, "COPY    DAT", 0, 0, 40, {3, 4, 60}); },
         {"#5 shared-block: blocks 3, 4 also used by #0"}},
        {"block outside", [](cpm_Volume &v) { putEntry(v, 5, 3, "FAR     DAT", 0, 0, 16, {200}); },
         {"#5 outside-block: block 200 outside the volume (blocks 2-127)"}},
        {"directory block", [](cpm_Volume &v) { putEntry(v, 5, 0, "DIR     DAT", 0, 0, 24, {1, 60}); },
         {"#5 directory-block: block 1 of the directory named as data"}},
        {"extent gap", [](cpm_Volume &v) { putEntry(v, 5, 0, "GAP     DAT", 4, 0, 8, {60}); },
         {"#5 extent-gap: extents 0-3 missing"}},
        {"extent twice", [](cpm_Volume &v) { putEntry(v, 5, 0, "BIG     DAT", 0, 0, 128, {60, 61, 62, 63, 64, 65, 66, 67}); },
         {"#5 extent-twice: extents 0-1 given twice (also #0)"}},
        {"record count past 128", [](cpm_Volume &v) { putEntry(v, 5, 0, "RC      DAT", 0, 0, 200, {60, 61}); },
         {"#5 records-beyond: record count 200 beyond 128"}},
        {"records past the blocks", [](cpm_Volume &v) { putEntry(v, 5, 0, "RC      DAT", 0, 0, 40, {60}); },
         {"#5 records-beyond: record count 40 beyond the entry's blocks"}},
        // Blocks the record count leaves without records, as fsck.cpm's "Bad record count".
        {"blocks with record count 0", [](cpm_Volume &v) { putEntry(v, 5, 0, "EMPTY   DAT", 0, 0, 0, {60}); },
         {"#5 records-short: record count 0 too small for its blocks (block 60 beyond the records)"}},
        {"records short of the blocks", [](cpm_Volume &v) { putEntry(v, 5, 0, "RC      DAT", 0, 0, 16, {60, 61, 62}); },
         {"#5 records-short: record count 16 too small for its blocks (blocks 61, 62 beyond the records)"}},
        {"a block in the second extent, record count 0",
         [](cpm_Volume &v) { putEntry(v, 5, 0, "RC      DAT", 1, 0, 0, {60, 61, 62, 63, 64, 65, 66, 67, 68}); },
         {"#5 records-short: record count 0 too small for its blocks (block 68 beyond the records)"}},
        {"control characters", [](cpm_Volume &v) { putEntry(v, 5, 0, "BAD\x01    DAT", 0, 0, 1, {60}); },
         {"#5 control-name: name with control characters"}},
        {"unknown user byte", [](cpm_Volume &v) { putEntry(v, 5, 0x47, "ODD     DAT", 0, 0, 1, {60}); },
         {"#5 unknown-user: user byte 0x47 of no kind of entry"}},
    };
    for (const auto &c : cases) {
        cpm_Volume v = saved(freshPlain(256), "BIG.DAT", 40000);   // entries 0 and 1, blocks 2-21
        c.Damage(v);
        EXPECT_EQ(findings(cpm_Rebuild(std::move(v))), c.Expected) << c.What;
    }
    // Damage on a disk of one logical extent per entry: extents by number.
    cpm_Volume v = saved(fresh140(), "BIG.DAT", 40000);   // EX 0, 1, 2
    putEntry(v, 2, cpm_ErasedUser, "", 0, 0, 0, {});
    EXPECT_EQ(findings(cpm_Rebuild(std::move(v))), (std::vector<std::string>{}));   // the last extent gone: no gap
    v = saved(fresh140(), "BIG.DAT", 40000);
    uint8_t *middle = v.Image.data() + v.Geometry.DataStart + 32;
    middle[0] = cpm_ErasedUser;
    EXPECT_EQ(findings(cpm_Rebuild(std::move(v))), (std::vector<std::string>{"#0 extent-gap: extent 1 missing"}));
}

TEST(Check, HealthyDisksGiveNoFinding) {
    // Files the engine wrote, entries in any order, a file of exactly two
    // logical extents (its last entry holds no block), an empty file.
    cpm_Volume plain = saved(saved(saved(saved(freshPlain(256), "A.TXT", 1000), "BIG.DAT", 40000), "TWO.DAT", 32768), "E", 0);
    std::swap_ranges(plain.Image.data(), plain.Image.data() + 32, plain.Image.data() + 64);   // BIG.DAT's EX 2 first
    cpm_Volume wide = saved(freshPlain(1024), "WIDE.DAT", 100000);
    // CP/M 3: a label, date stamps in every fourth slot, password entries.
    cpm_Volume cpm3 = saved(freshPlain(256), "A.TXT", 5000);
    putEntry(cpm3, 1, 0x20, "WORKDISK   ", 0, 0, 0, {});
    putEntry(cpm3, 3, 0x21, "", 0, 0, 0, {0x41, 0x42, 0x43});
    putEntry(cpm3, 4, 0x10, "A       TXT", 0, 0, 0, {0x91, 0x92, 0xE5, 0x01});
    putEntry(cpm3, 5, 0x1F, "SECRET  COM", 0, 0, 0, {0xFF, 0x01, 0x02});
    // An Apple II 140K disk whose boot tracks a user-31 entry reserves with
    // block numbers 128-139, and a disk that reserves its DOS half.
    cpm_Volume boot = saved(fresh140(), "A.TXT", 5000);
    putEntry(boot, 6, 31, "BOOT    SYS", 0, 0, 96, {128, 129, 130, 131, 132, 133, 134, 135, 136, 137, 138, 139});
    cpm_Volume hybrid = saved(fresh140(), "A.TXT", 5000);
    std::vector<int> dosHalf;
    for (int b = 64; b < 128; b++) dosHalf.push_back(b);
    for (int k = 0; k < 4; k++)
        putEntry(hybrid, 10 + k, 31, "DOS     HLF", k, 0, 128,
                 std::vector<int>(dosHalf.begin() + 16 * k, dosHalf.begin() + 16 * k + 16));
    struct {
        const char *What;
        cpm_Volume Volume;
    } cases[] = {{"fresh 140K", fresh140()}, {"fresh 800K", fresh800()}, {"engine files", plain},
                 {"16-bit blocks", wide},    {"CP/M 3", cpm3},          {"boot reservation", boot},
                 {"DOS half reserved", hybrid}};
    for (auto &c : cases) {
        cpm_CheckReport r = cpm_CheckVolume(cpm_Rebuild(std::move(c.Volume)));
        EXPECT_EQ(r.Findings.size(), 0u) << c.What << ": " << (r.Findings.empty() ? "" : r.Findings[0].Message);
    }
    // The wrap-round is the reservation's alone: a file there is outside the volume.
    putEntry(boot, 7, 0, "FILE    DAT", 0, 0, 8, {130});
    EXPECT_EQ(findings(cpm_Rebuild(std::move(boot))),
              (std::vector<std::string>{"#7 outside-block: block 130 outside the volume (blocks 2-127)"}));
}

TEST(Check, FilesTheEngineWritesAreCleanOnEveryDefinition) {
    // Entries that hold fewer logical extents than their slots could
    // (logicalextents, 16-bit block numbers), and the library's own.
    const std::string more =
        "diskdef le4k\n  seclen 512\n  tracks 80\n  sectrk 36\n  blocksize 4096\n  maxdir 256\n  boottrk 2\n"
        "  logicalextents 1\nend\n"
        "diskdef le2k\n  seclen 512\n  tracks 80\n  sectrk 18\n  blocksize 2048\n  maxdir 128\n  boottrk 1\n"
        "  logicalextents 1\nend\n"
        "diskdef big8k\n  seclen 512\n  tracks 160\n  sectrk 32\n  blocksize 8192\n  maxdir 512\n  boottrk 1\n"
        "  logicalextents 2\nend\n";
    cpm_DiskdefsReading parsed = cpm_ParseDiskdefs(more, "t", true);
    ASSERT_EQ(parsed.Error, "");
    std::vector<cpm_Definition> definitions = parsed.Definitions;
    for (const cpm_Definition &d : cpm_BuiltInDefinitions())
        if (cpm_GeometryBytes(d.Geometry) > 0) definitions.push_back(d);
    const size_t sizes[] = {40000, 1, 16384, 20000, 0};
    cpm_SetDiagnostics(false);
    for (const cpm_Definition &d : definitions) {
        SCOPED_TRACE(d.Name);
        Text blank(std::vector<uint8_t>(size_t(cpm_GeometryBytes(d.Geometry)), 0xE5));
        cpm_Volume v = cpm_OpenImageAs(blank, "/tmp/x.img", d);
        ASSERT_EQ(v.Refusal, "");
        for (size_t k = 0; k < std::size(sizes); k++) v = saved(std::move(v), ("F" + std::to_string(k)).c_str(), sizes[k]);
        EXPECT_EQ(findings(v), std::vector<std::string>{});
        for (size_t k = 0; k < std::size(sizes); k++)
            EXPECT_EQ(cpm_LoadFile(v, Text("F" + std::to_string(k))).Size, (long long)sizes[k]) << k;
    }
    cpm_SetDiagnostics(true);
}
