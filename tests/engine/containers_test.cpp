// The native container codecs on files whose every byte the test chooses:
// sector states from status bytes and record types, what an encoder writes
// for a changed sector, the structure faults that refuse a file; and the
// definitions a medium's shape and ids select.
#include <gtest/gtest.h>

#include "codec_dsk.h"
#include "codec_imd.h"
#include "codecs.h"
#include "definitions.h"
#include "image.h"
#include "layout.h"
#include "shape.h"

namespace {

void put16(std::string &s, size_t at, unsigned v) {
    s[at] = char(v & 0xFF);
    s[at + 1] = char(v >> 8);
}

// An Extended DSK of one track: sectors of 256 bytes with ids 1, 2, ... and
// the status bytes given; sector k filled with the byte 0x10 + k.
std::string edsk(const std::vector<std::pair<uint8_t, uint8_t>> &status) {
    std::string file(256, '\0');
    file.replace(0, 34, "EXTENDED CPC DSK File\r\nDisk-Info\r\n");
    file.replace(0x22, 6, "tester");
    file[0x30] = 1;
    file[0x31] = 1;
    size_t blockSize = 256 + status.size() * 256;
    file[0x34] = char(blockSize / 256);
    std::string block(blockSize, '\0');
    block.replace(0, 12, "Track-Info\r\n");
    block[0x14] = 1;
    block[0x15] = char(status.size());
    block[0x16] = 0x52;   // a gap the encoder must keep
    block[0x17] = char(0xE5);
    for (size_t k = 0; k < status.size(); k++) {
        size_t info = 0x18 + 8 * k;
        block[info + 2] = char(1 + k);
        block[info + 3] = 1;
        block[info + 4] = char(status[k].first);
        block[info + 5] = char(status[k].second);
        put16(block, info + 6, 256);
        block.replace(256 + 256 * k, 256, std::string(256, char(0x10 + k)));
    }
    return file + block;
}

cpm_Medium decoded(const std::string &file, std::string (*decode)(Text, cpm_Medium &), const char *codec) {
    cpm_Medium m;
    m.Codec = codec;
    EXPECT_EQ(decode(Text(file), m), "");
    return m;
}

}  // namespace

TEST(DskCodec, StatusBytesGiveSectorStatesAndSavesKeepEveryOtherByte) {
    struct Row {
        uint8_t St1, St2;
        cpm_SectorState State;
    };
    const Row rows[] = {
        {0x00, 0x00, cpm_SectorState::Good},    {0x20, 0x20, cpm_SectorState::DataError},
        {0x00, 0x20, cpm_SectorState::DataError}, {0x04, 0x00, cpm_SectorState::Missing},
        {0x01, 0x00, cpm_SectorState::Missing}, {0x00, 0x01, cpm_SectorState::Missing},
        {0x00, 0x40, cpm_SectorState::Deleted},
    };
    std::vector<std::pair<uint8_t, uint8_t>> status;
    for (const Row &r : rows) status.push_back({r.St1, r.St2});
    const std::string file = edsk(status);
    cpm_Medium m = decoded(file, cpm_DecodeDsk, "Extended DSK");
    ASSERT_TRUE(m.Unsaveable.empty()) << m.Unsaveable;
    ASSERT_EQ(m.Sectors.size(), std::size(rows));
    for (size_t k = 0; k < std::size(rows); k++) {
        EXPECT_EQ(m.Sectors[k].State, rows[k].State) << k;
        EXPECT_EQ(m.Sectors[k].Id, int(k + 1));
        EXPECT_EQ(m.Bytes[m.Sectors[k].At], 0x10 + k);
    }
    EXPECT_EQ(m.Notes, std::vector<std::string>{"Creator: tester"});
    EXPECT_TRUE(cpm_EncodeDsk(m) == Text(file));
    // A changed sector: its 256 bytes and nothing else.
    std::fill_n(m.Bytes.data() + m.Sectors[2].At, 256, 0x77);
    std::string written = cpm_EncodeDsk(m).bytes(), expected = file;
    expected.replace(256 + 256 + 2 * 256, 256, std::string(256, 0x77));
    EXPECT_EQ(written, expected);
}

TEST(ImdCodec, RecordTypesGiveStatesAndChangedSectorsBecomeNormalRecords) {
    // Types 0-8 on one track of 128-byte sectors, then a second track in FM
    // with 256-byte sectors (mixed sizes are sectors of their own size).
    std::string file = "IMD 1.18: 01/01/2024 00:00:00\r\nA comment\x1A";
    file += std::string("\x05\x00\x00\x09\x00", 5);
    for (int id = 1; id <= 9; id++) file += char(id);
    for (int type = 0; type <= 8; type++) {
        file += char(type);
        if (type == 0) continue;
        file += type % 2 ? std::string(128, char(0x30 + type)) : std::string(1, char(0x30 + type));
    }
    file += std::string("\x00\x01\x00\x01\x01\x05\x02\x42", 8);
    cpm_Medium m = decoded(file, cpm_DecodeImd, "ImageDisk");
    ASSERT_TRUE(m.Unsaveable.empty()) << m.Unsaveable;
    ASSERT_EQ(m.Sectors.size(), 10u);
    const cpm_SectorState states[9] = {cpm_SectorState::Missing, cpm_SectorState::Good,      cpm_SectorState::Good,
                                       cpm_SectorState::Deleted, cpm_SectorState::Deleted,   cpm_SectorState::DataError,
                                       cpm_SectorState::DataError, cpm_SectorState::DataError, cpm_SectorState::DataError};
    for (int type = 1; type <= 8; type++) {
        EXPECT_EQ(m.Sectors[size_t(type)].State, states[type]) << type;
        EXPECT_EQ(m.Bytes[m.Sectors[size_t(type)].At + 127], 0x30 + type) << "expanded whole";
    }
    EXPECT_EQ(m.Sectors[0].State, states[0]);
    EXPECT_EQ(m.Sectors[9].Size, 256);
    EXPECT_EQ(m.Sectors[9].Cylinder, 1);
    EXPECT_EQ(m.Notes, (std::vector<std::string>{"Creator: IMD 1.18: 01/01/2024 00:00:00", "Comment: A comment"}));
    EXPECT_TRUE(cpm_EncodeImd(m) == Text(file));

    // Sector id 2 (a compressed record) gets mixed bytes: a normal record of
    // 128 bytes in its place; sector id 10 all 0x99: one compressed record.
    m.Bytes[m.Sectors[2].At + 5] = 0x01;
    std::fill_n(m.Bytes.data() + m.Sectors[9].At, 256, 0x99);
    cpm_Medium again = decoded(cpm_EncodeImd(m).bytes(), cpm_DecodeImd, "ImageDisk");
    EXPECT_TRUE(again.Bytes == m.Bytes);
    std::string written = cpm_EncodeImd(m).bytes();
    EXPECT_EQ(written.size(), file.size() + 127);
    EXPECT_EQ(written.substr(written.size() - 2), std::string("\x02\x99", 2));
}

TEST(ContainerCodecs, BrokenStructureRefusesTheFile) {
    std::string good = edsk({{0, 0}, {0, 0}});
    std::string badTrack = good, manySectors = good, noSides = good;
    badTrack.replace(256, 5, "Trash");
    manySectors[256 + 0x15] = 40;
    noSides[0x31] = 0;
    struct Row {
        std::string File;
        bool Imd;
        const char *Message;
    };
    const Row rows[] = {
        {good.substr(0, good.size() - 1), false, "Extended DSK image damaged: track 0 lies past the end of the file."},
        {good.substr(0, 100), false, "Extended DSK image damaged: the disk information block is cut short."},
        {badTrack, false, "Extended DSK image damaged: track 0 has no Track-Info header."},
        {manySectors, false, "Extended DSK image damaged: track 0 lists 40 sectors."},
        {noSides, false, "Extended DSK image damaged: it records 1 tracks and 0 sides."},
        {"IMD 1.18 no end", true, "ImageDisk image damaged: its comment has no end (0x1A)."},
        {std::string("IMD \x1A\x05\x00\x00\x02\x00\x01\x02\x01", 13), true, "ImageDisk image damaged: track record 0 is cut short."},
        {std::string("IMD \x1A\x05\x00\x00\x01\x00\x01\x09", 12), true, "ImageDisk image damaged: track record 0 has a sector record of type 9."},
        {std::string("IMD \x1A\x09\x00\x00\x01\x00", 10), true, "ImageDisk image damaged: track record 0 has mode 9."},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.Message);
        cpm_Medium m = cpm_DecodeFile(Text(r.File));
        EXPECT_EQ(m.Codec, r.Imd ? "ImageDisk" : "Extended DSK");
        EXPECT_EQ(m.Unsaveable, r.Message);
        EXPECT_TRUE(m.Sectors.empty() && m.Bytes.empty());
        cpm_Volume v = cpm_OpenMedium(m, "/nonexistent/broken");
        EXPECT_TRUE(cpm_Refused(v));
        EXPECT_EQ(cpm_SaveVolume(v).Message, r.Message);
    }
}

TEST(ShapeKeyedDefinitions, SectorsSizesIdsAndSidesSelect) {
    auto parse = [](const std::string &text) {
        cpm_DiskdefsReading r = cpm_ParseDiskdefs(text, "user", true);
        EXPECT_EQ(r.Error, "");
        return r.Definitions.empty() ? cpm_Geometry() : r.Definitions[0].Geometry;
    };
    const std::string head = "diskdef t\n seclen 512\n sectrk 9\n blocksize 1024\n maxdir 64\n boottrk 0\n os 3\n";
    cpm_Geometry byIds = parse(head + " tracks 40\n firstid 193\nend\n");
    cpm_Geometry anyIds = parse(head + " tracks 40\nend\n");
    cpm_Geometry byFormat = parse(head + " tracks 40\n libdsk:format cpcsys\nend\n");
    cpm_Geometry twoSided = parse(head + " tracks 80\n sides alt\nend\n");
    cpm_Geometry eighty = parse(head + " tracks 80\nend\n");
    EXPECT_EQ(byIds.FirstId, 193);
    EXPECT_EQ(anyIds.FirstId, -1);
    EXPECT_EQ(byFormat.FirstId, 0x41);
    EXPECT_EQ(cpm_ParseDiskdefs(head + " tracks 40\n firstid 256\nend\n", "user", true).Error,
              "user:1: firstid must be 0 to 255");
    struct Row {
        cpm_Geometry G;
        cpm_Shape Shape;   // cylinders, heads, sectors, size, first id
        bool Fits;
        int Heads;
    };
    const Row rows[] = {
        {byIds, {40, 1, 9, 512, 0xC1}, true, 1},   {byIds, {40, 1, 9, 512, 0x41}, false, 0},
        {anyIds, {40, 1, 9, 512, 0x41}, true, 1},  {anyIds, {42, 1, 9, 512, 1}, true, 1},
        {anyIds, {39, 1, 9, 512, 1}, true, 1},     {anyIds, {80, 1, 9, 512, 1}, false, 0},
        {anyIds, {40, 1, 10, 512, 1}, false, 0},   {anyIds, {40, 1, 9, 256, 1}, false, 0},
        {twoSided, {40, 2, 9, 512, 1}, true, 2},   {twoSided, {80, 1, 9, 512, 1}, false, 0},
        {eighty, {40, 2, 9, 512, 1}, true, 2},     {eighty, {80, 1, 9, 512, 1}, true, 1},
    };
    for (const Row &r : rows) {
        cpm_Geometry out;
        SCOPED_TRACE(std::to_string(r.Shape.Cylinders) + "x" + std::to_string(r.Shape.Heads) + " id " + std::to_string(r.Shape.FirstId));
        EXPECT_EQ(cpm_GeometryOnShape(r.G, r.Shape, out), r.Fits);
        if (r.Fits) {
            EXPECT_EQ(out.Heads, r.Heads);
        }
    }
}

// A container's track is taken by its sector ids, lowest first: interleaved
// lists read in id order, and a track whose list lacks a sector (its id
// never read) keeps the others in their places.
TEST(ContainerLayout, TracksReadByTheirIds) {
    struct Row {
        std::vector<int> Ids;          // of track 1, in list order (tracks 0 and 2: 1-4)
        std::vector<long long> Unreadable;
        std::string Track1;            // the first byte of each of track 1's logical sectors; '.' unreadable
    };
    const Row rows[] = {
        {{1, 2, 3, 4}, {}, "1234"},
        {{3, 1, 4, 2}, {}, "1234"},
        {{1, 3, 4}, {5}, "1.34"},
        {{2, 3, 4}, {4}, ".234"},
    };
    for (const Row &r : rows) {
        cpm_Medium m;
        m.Codec = "ImageDisk";
        for (int t = 0; t < 3; t++)
            for (int id : t == 1 ? r.Ids : std::vector<int>{1, 2, 3, 4}) {
                cpm_Sector s;
                s.Cylinder = t;
                s.Id = id;
                s.Size = 128;
                s.At = m.Bytes.size();
                m.Bytes.Elements.resize(s.At + 128, uint8_t('0' + id));
                m.Sectors.push_back(s);
            }
        cpm_Geometry g;
        g.Format = cpm_Format::Defined;
        g.SectorBytes = 128;
        g.SectorsPerTrack = 4;
        g.Tracks = 3;
        std::vector<long long> unreadable;
        Text image = cpm_Gather(m, cpm_LayoutOf(g), 0, 3 * 512, &unreadable);
        std::string track1;
        for (int k = 0; k < 4; k++) track1 += image[size_t(512 + 128 * k)] == 0xE5 ? '.' : char(image[size_t(512 + 128 * k)]);
        EXPECT_EQ(track1, r.Track1);
        EXPECT_EQ(unreadable, r.Unreadable);
        EXPECT_EQ(image[1024 + 3 * 128], '4');
    }
}
