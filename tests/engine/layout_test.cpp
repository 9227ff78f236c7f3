// The layout: logical tracks onto the sides of a two-sided disk, and the
// moves between a medium that records its sectors and the logical image,
// with the sectors it lacks reported instead of read.
#include <gtest/gtest.h>

#include <algorithm>

#include "layout.h"

namespace {

cpm_Layout twoSided(cpm_Sides sides) {
    cpm_Layout l;
    l.SectorBytes = 128;
    l.SectorsPerTrack = 2;
    l.Tracks = 4;
    l.Heads = 2;
    l.Sides = sides;
    l.FirstId = 1;
    return l;
}

// A container's medium: every sector of the layout, stored in reverse order,
// each filled with its logical sector number; `missing` is not readable.
cpm_Medium sectored(const cpm_Layout &l, long long missing) {
    cpm_Medium m;
    m.Codec = "test";
    long long count = (long long)l.Tracks * l.SectorsPerTrack;
    for (long long n = count - 1; n >= 0; n--) {
        cpm_Place p = cpm_LogicalPlace(l, n);
        cpm_Sector s{p.Cylinder, p.Head, p.Id, l.SectorBytes, cpm_SectorState::Good, m.Bytes.size()};
        if (n == missing) s.State = cpm_SectorState::DataError;
        m.Sectors.push_back(s);
        m.Bytes.Elements.resize(m.Bytes.size() + size_t(l.SectorBytes), uint8_t(n));
    }
    return m;
}

}  // namespace

TEST(Layout, LogicalTracksFollowTheSidesOrder) {
    const struct {
        cpm_Sides Sides;
        int Cylinder[4], Head[4];
    } cases[] = {
        {cpm_Sides::Alt, {0, 0, 1, 1}, {0, 1, 0, 1}},
        {cpm_Sides::OutBack, {0, 1, 1, 0}, {0, 0, 1, 1}},
        {cpm_Sides::OutOut, {0, 1, 0, 1}, {0, 0, 1, 1}},
    };
    for (const auto &c : cases) {
        cpm_Layout l = twoSided(c.Sides);
        for (int track = 0; track < 4; track++) {
            cpm_Place p = cpm_LogicalPlace(l, track * 2 + 1);
            EXPECT_EQ(std::make_tuple(p.Cylinder, p.Head, p.Id), std::make_tuple(c.Cylinder[track], c.Head[track], 2))
                << int(c.Sides) << " track " << track;
        }
    }
}

TEST(Layout, GatherAndScatterThroughRecordedSectors) {
    for (cpm_Sides sides : {cpm_Sides::Alt, cpm_Sides::OutBack, cpm_Sides::OutOut}) {
        cpm_Layout l = twoSided(sides);
        l.Skew = {1, 0};   // the second sector of each track first
        cpm_Medium m = sectored(l, 5);
        std::vector<long long> unreadable;
        Text image = cpm_Gather(m, l, 0, 1 << 20, &unreadable);
        ASSERT_EQ(image.size(), 8u * 128);
        for (long long n = 0; n < 8; n++)
            EXPECT_EQ(image[size_t(n) * 128 + 7], n == 5 ? 0xE5 : n) << "sector " << n;
        EXPECT_EQ(unreadable, std::vector<long long>{5});
        // A part of the image, from the middle of a sector.
        std::vector<uint8_t> across(60, 4);
        std::fill_n(across.begin(), 28, uint8_t(3));
        EXPECT_EQ(cpm_Gather(m, l, 3 * 128 + 100, 60).Elements, across);
        // Written back, each sector lands where the container keeps it; the unreadable one is left alone.
        for (size_t k = 0; k < image.size(); k++) image[k] = uint8_t(0x40 + k / 128);
        cpm_Medium back = m;
        cpm_Scatter(back, l, image);
        for (const cpm_Sector &s : back.Sectors) {
            uint8_t first = back.Bytes[s.At];
            EXPECT_EQ(first, s.State == cpm_SectorState::Good ? 0x40 + m.Bytes[s.At] : 5);
        }
    }
}

// Gathers from one medium reuse the index of its sectors: a medium whose
// sectors move in place, and two media read in turn, read as they are now.
TEST(Layout, GathersSeeSectorsAsTheyAreNow) {
    cpm_Layout l = twoSided(cpm_Sides::Alt);
    cpm_Medium a = sectored(l, -1), b = sectored(l, -1);
    std::fill(b.Bytes.Elements.begin(), b.Bytes.Elements.end(), uint8_t(0x77));
    for (int round = 0; round < 2; round++) {
        EXPECT_EQ(cpm_Gather(a, l, 128, 1)[0], 1) << round;
        EXPECT_EQ(cpm_Gather(b, l, 128, 1)[0], 0x77) << round;
    }
    // Logical sector 1 (id 2 of the first track) and sector 0 (id 1) trade ids in place.
    for (cpm_Sector &s : a.Sectors)
        if (s.Cylinder == 0 && s.Head == 0) s.Id = s.Id == 1 ? 2 : 1;
    EXPECT_EQ(cpm_Gather(a, l, 128, 1)[0], 0);
    EXPECT_EQ(cpm_Gather(a, l, 0, 1)[0], 1);
    // A sector that became unreadable reads as unreadable at once.
    for (cpm_Sector &s : a.Sectors)
        if (s.Cylinder == 0 && s.Head == 0 && s.Id == 1) s.State = cpm_SectorState::Missing;
    EXPECT_EQ(cpm_Gather(a, l, 0, 1)[0], 0xE5);
}

#include "allocation.h"
#include "check.h"
#include "definitions.h"
#include "fixtures.h"
#include "image.h"
#include "maintenance.h"
#include "read.h"
#include "write.h"

namespace {

// An 8-inch disk with two files, as a container that records each sector;
// the sectors named unreadable.
cpm_Medium recordedDisk(std::vector<long long> unreadableAt, cpm_Volume &written) {
    const cpm_Definition &d = *cpm_FindDefinition("ibm-3740");
    written = cpm_OpenImageAs(fileBytes(size_t(cpm_GeometryBytes(d.Geometry)), Text(), 0xE5), "disk.img", d);
    written = cpm_SaveFile(std::move(written), Text("A.DAT"), pattern(3000, 1)).Volume;
    written = cpm_SaveFile(std::move(written), Text("B.DAT"), pattern(2000, 2)).Volume;
    cpm_Layout l = cpm_LayoutOf(written.Geometry);
    cpm_Medium m;
    m.Codec = "test";
    m.Bytes = cpm_FileImage(written);
    for (long long n = 0; n < (long long)l.Tracks * l.SectorsPerTrack; n++) {
        cpm_Place p = cpm_LogicalPlace(l, n);
        size_t at = cpm_RawOffset(l, m.Bytes.size(), size_t(l.Offset + n * l.SectorBytes));
        cpm_Sector s{p.Cylinder, p.Head, p.Id, l.SectorBytes, cpm_SectorState::Good, at};
        for (long long x : unreadableAt)
            if (x >= l.Offset + n * l.SectorBytes && x < l.Offset + (n + 1) * l.SectorBytes) s.State = cpm_SectorState::DataError;
        m.Sectors.push_back(s);
    }
    return m;
}

}  // namespace

// A block that touches an unreadable sector is never handed out, check
// lists it, and reading the file says so while the rest still reads; a
// directory that is not wholly readable opens read-only.
TEST(Layout, UnreadableSectorsAreReportedNeverAllocated) {
    cpm_Volume written;
    recordedDisk({}, written);
    int block = entryBlocks(written, 0).front();
    long long inBlock = written.Geometry.DataStart + (long long)block * written.Geometry.BlockSize + 200;
    cpm_Volume v = cpm_OpenMedium(recordedDisk({inBlock}, written), "disk.img");
    ASSERT_EQ(v.Definition, "ibm-3740") << v.Decision;
    EXPECT_EQ(v.Refusal, "");
    EXPECT_EQ(v.UnreadableBlocks, std::vector<int>{block});
    cpm_FileData a = cpm_LoadFile(v, Text("A.DAT"));
    EXPECT_EQ(a.Unreadable, std::vector<int>{block});
    EXPECT_EQ(cpm_LoadFile(v, Text("B.DAT")).Data, cpm_LoadFile(written, Text("B.DAT")).Data);
    cpm_CheckReport report = cpm_CheckVolume(v);
    ASSERT_EQ(report.Findings.size(), 1u);
    EXPECT_EQ(report.Findings[0].Kind, cpm_FindingKind::UnreadableBlock);
    v = cpm_SetFileUser(std::move(v), Text("A.DAT"), cpm_ErasedUser).Volume;
    EXPECT_EQ(cpm_TakenBlocks(v)[size_t(block)], 1);
    // The directory's first sector unreadable: looked at, never changed.
    cpm_Volume blind = cpm_OpenMedium(recordedDisk({written.Geometry.DataStart}, written), "disk.img");
    EXPECT_EQ(std::make_pair(blind.RefusalKind, blind.Refusal),
              std::make_pair(cpm_RefusalKind::Unreadable, std::string(cpm_UnreadableDirectoryMessage)));
}
