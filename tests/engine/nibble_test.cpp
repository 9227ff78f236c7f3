// Apple II disks kept as disk bytes (NIB, NB2, nibble 2IMG, WOZ 1 and 2,
// flux tracks) and DiskCopy 4.2 files: read as the sector image they hold,
// damaged variants made by changing single bytes, and writing back only the
// data fields of the sectors changed.
#include <gtest/gtest.h>

#include <functional>

#include "apple_gcr.h"
#include "apple_images.h"
#include "codec_dc42.h"
#include "codec_nib.h"
#include "codec_woz.h"

namespace {

constexpr size_t nibTrack = 6656;
// Where sector p of a track made by cpm_MakeNib starts: 48 sync bytes, then
// 396 bytes a sector (address field 14, gap 6, data field 349, gap 27).
size_t sectorAt(int t, int p) { return size_t(t) * nibTrack + 48 + 396 * size_t(p); }
constexpr size_t dataValuesAt = 23;   // after the address field, the gap and D5 AA AD

Text disk() { return dosOrderDisk(); }
Text nib() { return cpm_MakeNib(physicalSectors(disk())); }

bool hasNote(const cpm_Volume &v, const std::string &part) {
    for (const std::string &n : v.Medium.Notes)
        if (n.find(part) != std::string::npos) return true;
    return false;
}

std::string notes(const cpm_Volume &v) {
    std::string all;
    for (const std::string &n : v.Medium.Notes) all += n + "; ";
    return all;
}

TEST(Gcr, SixAndTwoRoundTripsAndEveryChangedValueFailsTheChecksum) {
    for (int seed : {0, 1, 7, 255}) {
        Text data = seed == 0 ? fileBytes(256) : pattern(256, seed);
        uint8_t disk[343], back[256];
        cpm_Encode62(data.data(), disk);
        ASSERT_TRUE(cpm_Decode62(disk, back)) << seed;
        EXPECT_TRUE(std::equal(back, back + 256, data.data())) << seed;
        for (int k : {0, 85, 86, 341, 342}) {
            uint8_t bad[343];
            std::copy_n(disk, 343, bad);
            bad[k] = bad[k] == 0x96 ? 0x97 : 0x96;
            EXPECT_FALSE(cpm_Decode62(bad, back)) << seed << " value " << k;
            bad[k] = 0xD5;   // not a data byte at all
            EXPECT_FALSE(cpm_Decode62(bad, back)) << seed << " value " << k;
        }
    }
    for (int v = 0; v < 256; v++) {
        uint8_t two[2];
        cpm_Encode44(uint8_t(v), two);
        EXPECT_EQ(cpm_Decode44(two[0], two[1]), v);
        EXPECT_TRUE(two[0] & 0x80 && two[1] & 0x80);
    }
}

TEST(Gcr, AFieldAcrossTheEndOfATrackIsFoundOnce) {
    Text track = nib();
    track.Elements.resize(nibTrack);
    // Turn the track so that sector 5's data field runs across its end.
    std::rotate(track.Elements.begin(), track.Elements.begin() + long(sectorAt(0, 5) + 100), track.Elements.end());
    cpm_GcrTrack t = cpm_DecodeGcrTrack(cpm_NibblesOfBytes(track.data(), nibTrack, 2), true);
    ASSERT_EQ(t.Sectors.size(), 16u);
    for (const cpm_GcrSector &s : t.Sectors) EXPECT_TRUE(s.DataGood) << s.Sector;
}

// One damaged variant of the NIB file: what it is opened as.
struct Damage {
    const char *Name;
    std::function<void(Text &)> Apply;
    std::string Refusal;
    const char *Note;
};

void badValue(Text &f, int t, int p) {
    uint8_t &b = f[sectorAt(t, p) + dataValuesAt + 100];
    b = b == 0x96 ? 0x97 : 0x96;
}

TEST(NibbleImages, DamagedVariantsOpenWithTheirSectorsMarked) {
    const Damage damages[] = {
        {"intact", [](Text &) {}, "", "Tracks decoded: 35 of 35"},
        {"bad data checksum in a file", [](Text &f) { badValue(f, 10, 5); },
         "Track 10 cannot be rewritten: opened read-only.", "Bad checksums: T10 S5"},
        {"bad data checksum in the directory", [](Text &f) { badValue(f, 3, 0); },
         cpm_UnreadableDirectoryMessage, "Bad checksums: T3 S0"},
        {"missing address field", [](Text &f) { f[sectorAt(20, 7)] = 0xFF; },
         "Track 20 cannot be rewritten: opened read-only.", "Missing sectors: T20 S7"},
        {"track of 15 sectors", [](Text &f) { std::fill_n(f.data() + sectorAt(25, 9), 396, 0xFF); },
         "Track 25 cannot be rewritten: opened read-only.", "Tracks decoded: 34 of 35"},
        {"sector found twice with different contents",
         [](Text &f) {
             // Sector 3's address field names sector 2.
             uint8_t two[2];
             cpm_Encode44(2, two);
             f[sectorAt(12, 3) + 7] = two[0], f[sectorAt(12, 3) + 8] = two[1];
             cpm_Encode44(254 ^ 12 ^ 2, two);
             f[sectorAt(12, 3) + 9] = two[0], f[sectorAt(12, 3) + 10] = two[1];
         },
         "Track 12 cannot be rewritten: opened read-only.", "Bad checksums: T12 S2"},
        {"runs of 00 in the gaps",
         [](Text &f) {
             for (int t = 0; t < 35; t++) {
                 for (int p = 0; p < 16; p++) std::fill_n(f.data() + sectorAt(t, p) + 369, 27, 0x00);
                 std::fill_n(f.data() + size_t(t) * nibTrack + 6384, nibTrack - 6384, 0x00);
             }
         },
         "", "Tracks decoded: 35 of 35"},
        {"13-sector disk",
         [](Text &f) {
             for (int t = 0; t < 35; t++)
                 for (int p = 0; p < 16; p++) f[sectorAt(t, p) + 2] = 0xB5;
         },
         cpm_NotCpmMessage, "13-sector (DOS 3.2) disk"},
    };
    const cpm_Volume dos = cpm_OpenImage(disk(), "disk.do");
    for (const Damage &d : damages) {
        SCOPED_TRACE(d.Name);
        Text file = nib();
        d.Apply(file);
        cpm_Volume v = cpm_OpenImage(file, "disk.nib");
        EXPECT_EQ(v.Medium.Codec, "NIB");
        EXPECT_EQ(v.Refusal, d.Refusal);
        EXPECT_TRUE(hasNote(v, d.Note)) << notes(v);
        if (d.Refusal.empty()) {
            EXPECT_TRUE(v.Image == dos.Image);
            EXPECT_TRUE(cpm_FileImage(v) == file) << "unchanged saves byte-identical";
        }
        if (std::string(d.Name) == "bad data checksum in a file") {
            EXPECT_FALSE(v.UnreadableBlocks.empty());
        }
    }
}

// A WOZ 1 file of the same tracks as a WOZ 2 file made by cpm_MakeWoz.
Text woz1Of(const Text &woz2) {
    Text out = woz2;
    out.Elements.resize(256);
    out[3] = '1';
    out[20] = 1;   // INFO version 1
    std::fill_n(out.data() + 20 + 37, 23, 0);
    for (int t = 0; t < 35; t++) {
        size_t entry = 256 + size_t(t) * 8;
        size_t start = size_t(woz2[entry] | woz2[entry + 1] << 8) * 512;
        uint32_t bits = uint32_t(woz2[entry + 4] | woz2[entry + 5] << 8);
        Text record(std::vector<uint8_t>(6656, 0));
        std::copy_n(woz2.data() + start, (bits + 7) / 8, record.data());
        putLe(record, 6646, (bits + 7) / 8, 2);
        putLe(record, 6648, bits, 2);
        putLe(record, 6650, 0xFFFF, 2);
        out.Elements.insert(out.Elements.end(), record.Elements.begin(), record.Elements.end());
    }
    putLe(out, 252, uint32_t(35 * 6656));
    putLe(out, 8, cpm_Crc32(out.data() + 12, out.size() - 12));
    return out;
}

// The WOZ 2.1 file with track t kept as flux timings too (FLUX names it).
Text withFluxTrack(const Text &woz2, int t) {
    Text out = woz2;
    size_t entry = 256 + size_t(t) * 8;
    size_t start = size_t(woz2[entry] | woz2[entry + 1] << 8) * 512;
    uint32_t bits = uint32_t(woz2[entry + 4] | woz2[entry + 5] << 8 | woz2[entry + 6] << 16);
    Text flux;
    uint32_t ticks = 0;
    for (uint32_t i = 0; i < bits; i++) {
        ticks += 32;
        if (!((woz2[start + i / 8] >> (7 - i % 8)) & 1)) continue;
        for (; ticks >= 255; ticks -= 255) flux.push_back(255);
        flux.push_back(uint8_t(ticks));
        ticks = 0;
    }
    flux.Elements.resize((flux.size() + 511) / 512 * 512, 0);
    // The flux track is TRKS entry 35, its blocks at the end; FLUX on a block of its own.
    out.Elements.resize((out.size() + 511) / 512 * 512, 0);
    putLe(out, 256 + 35 * 8, uint32_t(out.size() / 512), 2);
    putLe(out, 256 + 35 * 8 + 2, uint32_t(flux.size() / 512), 2);
    putLe(out, 256 + 35 * 8 + 4, uint32_t(flux.size()));
    out.Elements.insert(out.Elements.end(), flux.Elements.begin(), flux.Elements.end());
    putLe(out, 252, uint32_t(out.size() - 256));   // TRKS holds the flux blocks too
    Text chunk = Text("FLUX") + fileBytes(4) + fileBytes(160, Text(), 0xFF) + fileBytes(512 - 8 - 160);
    putLe(chunk, 4, 512 - 8);
    chunk[8 + size_t(t) * 4] = 35;
    out[20] = 3;   // INFO version 3
    out.Elements.insert(out.Elements.end(), chunk.Elements.begin(), chunk.Elements.end());
    putLe(out, 8, cpm_Crc32(out.data() + 12, out.size() - 12));
    return out;
}

struct WozCase {
    const char *Name;
    std::function<Text(Text)> Make;
    std::string Refusal;
    bool ReadOnly;
    const char *Note;
};

TEST(WozImages, EveryVersionReadsAsItsSectors) {
    const WozCase cases[] = {
        {"WOZ 2", [](Text w) { return w; }, "", false, "CRC-32: good"},
        {"WOZ 1", [](Text w) { return woz1Of(w); }, "", false, "WOZ version: 1"},
        {"wrong CRC-32", [](Text w) { w[9] ^= 0x40; return w; }, "", false, "CRC-32: wrong"},
        {"no CRC-32", [](Text w) { putLe(w, 8, 0); return w; }, "", false, "CRC-32: none"},
        {"write protected", [](Text w) { w[22] = 1; putLe(w, 8, 0); return w; }, "", true, "Write protected: yes"},
        {"META chunk after the tracks",
         [](Text w) {
             Text meta = Text("META") + fileBytes(4) + Text("title\tCP/M Work Disk\npublisher\tNobody\n");
             putLe(meta, 4, uint32_t(meta.size() - 8));
             w.Elements.insert(w.Elements.end(), meta.Elements.begin(), meta.Elements.end());
             putLe(w, 8, 0);
             return w;
         },
         "", false, "Meta title: CP/M Work Disk"},
        {"WOZ 2.1 with a flux track", [](Text w) { return withFluxTrack(w, 12); },
         "Track 12 is kept as flux timings: opened read-only.", false, "Tracks decoded: 35 of 35"},
    };
    const Text made = cpm_MakeWoz(physicalSectors(disk()));
    const cpm_Volume dos = cpm_OpenImage(disk(), "disk.do");
    for (const WozCase &c : cases) {
        SCOPED_TRACE(c.Name);
        Text file = c.Make(made);
        cpm_Volume v = cpm_OpenImage(file, "disk.woz");
        EXPECT_EQ(v.Medium.Codec, "WOZ");
        EXPECT_EQ(v.Refusal, c.Refusal);
        EXPECT_EQ(v.Medium.WriteProtected, c.ReadOnly);
        EXPECT_TRUE(hasNote(v, c.Note)) << notes(v);
        EXPECT_TRUE(v.Image == dos.Image);
        EXPECT_TRUE(cpm_FileImage(v) == file) << "unchanged saves byte-identical";
    }
}

TEST(WozImages, DisksOfOtherSystemsAreNotCpm) {
    const struct {
        const char *Name;
        Text DosOrder;
    } disks[] = {
        {"DOS 3.3", dos33Disk()},
        {"ProDOS", reordered(proDosDisk(), false)},
    };
    for (const auto &d : disks) {
        SCOPED_TRACE(d.Name);
        cpm_Volume v = cpm_OpenImage(cpm_MakeWoz(physicalSectors(d.DosOrder)), "disk.woz");
        EXPECT_EQ(v.Refusal, cpm_NotCpmMessage);
        EXPECT_EQ(cpm_OpenImage(cpm_MakeNib(physicalSectors(d.DosOrder)), "disk.nib").Refusal, cpm_NotCpmMessage);
    }
}

// The forms that write back in place: a file put changes only the data
// fields of the sectors it writes, and the sectors read back as the DOS-order
// disk changed the same way.
TEST(NibbleImages, APutRewritesOnlyTheDataFieldsOfTheSectorsWritten) {
    const Text data = pattern(23456, 9);
    const cpm_Volume dos = cpm_SaveFile(cpm_OpenImage(disk(), "disk.do"), Text("NEW.BIN"), data).Volume;
    const Text made = nib();
    const struct {
        const char *Name;
        Text File;
    } forms[] = {
        {"disk.nib", made},
        {"disk.nb2", [&] {
             Text nb2;
             for (int t = 0; t < 35; t++)
                 nb2.Elements.insert(nb2.Elements.end(), made.Elements.begin() + t * long(nibTrack),
                                     made.Elements.begin() + t * long(nibTrack) + 6384);
             return nb2;
         }()},
        {"disk.2mg", twoImg(made, 2)},
        {"disk.woz", cpm_MakeWoz(physicalSectors(disk()))},
        {"woz1.woz", woz1Of(cpm_MakeWoz(physicalSectors(disk())))},
    };
    for (const auto &f : forms) {
        SCOPED_TRACE(f.Name);
        cpm_Volume v = cpm_OpenImage(f.File, f.Name);
        ASSERT_EQ(v.Refusal, "");
        v = cpm_SaveFile(std::move(v), Text("NEW.BIN"), data).Volume;
        Text saved = cpm_FileImage(v);
        ASSERT_EQ(saved.size(), f.File.size());
        cpm_Volume back = cpm_OpenImage(saved, f.Name);
        EXPECT_EQ(back.Refusal, "");
        EXPECT_TRUE(back.Image == dos.Image);
        if (std::string(f.Name) != "disk.nib") continue;
        // Every byte changed lies inside the 343 values of a data field.
        for (size_t i = 0; i < saved.size(); i++) {
            if (saved[i] == f.File[i]) continue;
            size_t within = (i % nibTrack) - 48;
            ASSERT_TRUE(i % nibTrack >= 48 && within % 396 >= dataValuesAt && within % 396 < dataValuesAt + 343) << i;
        }
    }
}

// A DiskCopy 4.2 file of the data, 12 tag bytes a block, and checksums.
Text diskCopy(const Text &data, bool tags) {
    Text header = fileBytes(84);
    std::string name = "CPM DISK";
    header[0] = uint8_t(name.size());
    std::copy(name.begin(), name.end(), header.data() + 1);
    Text tagBytes = tags ? pattern(data.size() / 512 * 12, 3) : Text();
    auto putBe = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; k++) header[at + size_t(k)] = uint8_t(v >> (24 - 8 * k));
    };
    putBe(64, uint32_t(data.size()));
    putBe(68, uint32_t(tagBytes.size()));
    putBe(72, cpm_DiskCopySum(data.data(), data.size()));
    putBe(76, tagBytes.size() > 12 ? cpm_DiskCopySum(tagBytes.data() + 12, tagBytes.size() - 12) : 0);
    header[80] = data.size() == 819200 ? 1 : 2;
    header[81] = data.size() == 819200 ? 0x24 : 0x22;
    header[82] = 0x01;
    return header + data + tagBytes;
}

Text macBinary(const Text &file) {
    Text header = fileBytes(128);
    std::copy_n("dImgdCpy", 8, header.data() + 65);
    for (int k = 0; k < 4; k++) header[83 + size_t(k)] = uint8_t(file.size() >> (24 - 8 * k));
    return header + file + fileBytes((128 - file.size() % 128) % 128);
}

TEST(DiskCopyImages, TheBlocksReadAsTheSectorImageAndTheChecksumFollowsAChange) {
    const Text po800 = cpm_FileImage(withFiles(fresh800(), {{"A.TXT", 3000}, {"B.BIN", 70000}}));
    const struct {
        const char *Name;
        Text File;
        size_t Data;   // where the blocks start
        const char *Note;
    } cases[] = {
        {"800K with tags", diskCopy(po800, true), 84, "Data checksum: good"},
        {"800K in MacBinary", macBinary(diskCopy(po800, true)), 128 + 84, "Wrapper: MacBinary"},
        {"800K, data checksum wrong", [&] { Text t = diskCopy(po800, false); t[75] ^= 1; return t; }(), 84,
         "Data checksum: wrong"},
    };
    const cpm_Volume po = cpm_OpenImage(po800, "disk.po");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        cpm_Volume v = cpm_OpenImage(c.File, "disk.dc42");
        EXPECT_EQ(v.Medium.Codec, "DiskCopy 4.2");
        EXPECT_EQ(v.Geometry.Name, po.Geometry.Name);
        EXPECT_TRUE(v.Image == po.Image);
        EXPECT_TRUE(hasNote(v, c.Note)) << notes(v);
        EXPECT_TRUE(cpm_FileImage(v) == c.File) << "unchanged saves byte-identical";
        Text saved = cpm_FileImage(cpm_SaveFile(std::move(v), Text("C.TXT"), pattern(5000)).Volume);
        ASSERT_EQ(saved.size(), c.File.size());
        Text blocks(std::vector<uint8_t>(saved.data() + c.Data, saved.data() + c.Data + 819200));
        uint32_t stored = 0;
        for (int k = 0; k < 4; k++) stored = stored << 8 | saved[c.Data - 84 + 72 + size_t(k)];
        EXPECT_EQ(stored, cpm_DiskCopySum(blocks.data(), blocks.size()));
        EXPECT_EQ(saved.bytes().substr(c.Data + 819200), c.File.bytes().substr(c.Data + 819200)) << "tags kept";
        EXPECT_EQ(saved.bytes().substr(0, c.Data - 84 + 72), c.File.bytes().substr(0, c.Data - 84 + 72)) << "name kept";
    }
}

}  // namespace
