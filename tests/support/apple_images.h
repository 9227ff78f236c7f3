// Apple II disk images made inside the tests: CP/M disks in DOS order
// written through the engine, the same disk in ProDOS order and in 2IMG,
// and disks of other systems.
#pragma once

#include "fixtures.h"
#include "image.h"
#include "volume.h"
#include "write.h"

using FileList = std::vector<std::pair<std::string, Text>>;

// Ten files of the sizes that matter: records, blocks, extents.
inline FileList tenFiles() {
    const size_t sizes[] = {3000, 40000, 1, 1024, 16384, 700, 9000, 20000, 128, 5000};
    FileList files;
    for (int i = 0; i < 10; i++) files.push_back({"FILE" + std::to_string(i) + ".DAT", pattern(sizes[i], 100 + i)});
    return files;
}

// A 140K CP/M disk in DOS order holding the files (boot tracks 0xE5, as
// disk utilities leave them), as file bytes.
inline Text dosOrderDisk(const FileList &files = tenFiles(), const Text &head = Text()) {
    cpm_Volume v = cpm_OpenImage(fileBytes(143360, head, 0xE5), "blank.do");
    for (const auto &[name, data] : files) v = cpm_SaveFile(std::move(v), Text(name), data).Volume;
    return cpm_FileImage(v);
}

// The disk with every track's sectors from DOS into ProDOS order (file
// sector p of a ProDOS-order track holds DOS-order sector holds[p]), or back.
inline Text reordered(const Text &disk, bool toProDos = true) {
    const size_t holds[16] = {0, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 15};
    Text out = disk;
    for (size_t track = 0; track < disk.size() / 4096; track++)
        for (size_t p = 0; p < 16; p++) {
            size_t dos = track * 4096 + holds[p] * 256, proDos = track * 4096 + p * 256;
            std::copy_n(disk.data() + (toProDos ? dos : proDos), 256, out.data() + (toProDos ? proDos : dos));
        }
    return out;
}

inline void putLe(Text &t, size_t at, uint32_t value, int bytes = 4) {
    for (int k = 0; k < bytes; k++) t[at + size_t(k)] = uint8_t(value >> (8 * k));
}

// A 2IMG file: 64-byte header, the data, a comment chunk after them.
// Format 0 DOS order, 1 ProDOS order, 2 nibbles; flags bit 31 write-protected.
inline Text twoImg(const Text &data, uint32_t format, uint32_t flags = 0, const std::string &comment = "made by a test",
                   uint16_t headerLength = 64) {
    Text t = Text("2IMGDWTS") + fileBytes(56) + data + Text(comment);
    putLe(t, 0x08, headerLength, 2);
    putLe(t, 0x0A, 1, 2);
    putLe(t, 0x0C, format);
    putLe(t, 0x10, flags);
    putLe(t, 0x14, format == 1 ? uint32_t(data.size() / 512) : 0);
    putLe(t, 0x18, 64);
    putLe(t, 0x1C, uint32_t(data.size()));
    putLe(t, 0x20, uint32_t(64 + data.size()));
    putLe(t, 0x24, uint32_t(comment.size()));
    return t;
}

// A DOS 3.3 disk: boot sector, VTOC at track 17 sector 0, one catalog
// sector naming one file, whose sectors lie on track 18.
inline Text dos33Disk() {
    Text t = fileBytes(143360, Text(std::vector<uint8_t>{0x01, 0xA5, 0x27, 0xC9, 0x09, 0xD0, 0x18, 0xA5}));
    size_t vtoc = 17 * 4096;
    t[vtoc + 1] = 17;      // catalog track
    t[vtoc + 2] = 15;      // catalog sector
    t[vtoc + 3] = 3;       // DOS release
    t[vtoc + 0x27] = 122;  // track/sector pairs per list sector
    t[vtoc + 0x34] = 35;   // tracks
    t[vtoc + 0x35] = 16;   // sectors per track
    putLe(t, vtoc + 0x36, 256, 2);
    size_t catalog = vtoc + 15 * 256;
    t[catalog + 1] = 17;
    t[catalog + 2] = 14;
    t[catalog + 0x0B] = 18;   // the file's track/sector list
    t[catalog + 0x0C] = 15;
    t[catalog + 0x0D] = 0x02; // Applesoft BASIC
    for (size_t k = 0; k < 30; k++) t[catalog + 0x0E + k] = uint8_t((k < 5 ? "HELLO"[k] : ' ') | 0x80);
    for (size_t i = 18 * 4096; i < 19 * 4096; i++) t[i] = uint8_t(i * 7);
    return t;
}

// A ProDOS disk in ProDOS order: boot blocks, the volume directory key block 2.
inline Text proDosDisk() {
    Text t = fileBytes(143360, Text(std::vector<uint8_t>{0x01, 0x38}));
    size_t key = 2 * 512;
    putLe(t, key + 2, 3, 2);       // next directory block
    t[key + 4] = 0xF4;             // a volume directory header, four letters
    std::copy_n("WORK", 4, t.data() + key + 5);
    t[key + 0x23] = 0x27;          // entry length
    t[key + 0x24] = 0x0D;          // entries per block
    putLe(t, key + 0x27, 6, 2);    // bit map pointer
    putLe(t, key + 0x29, 280, 2);  // total blocks
    return t;
}

// Text of the given length, as a text editor writes it.
inline Text textFile(size_t length) {
    std::string out;
    while (out.size() < length) out += "The quick brown fox jumps over the lazy dog, again and again.\r\n";
    return Text(out.substr(0, length));
}

inline int listedFiles(const cpm_Volume &v) {
    int n = 0;
    for (int s : v.Sizes) n += s >= 0;
    return n;
}

// The sectors of a DOS-order disk as a medium of physical sectors (track,
// head 0, id = physical sector, 256 bytes), as a nibble maker takes them:
// DOS sector L of a track lies at physical sector physicalOfDos[L].
inline cpm_Medium physicalSectors(const Text &dosOrder) {
    const int physicalOfDos[16] = {0, 13, 11, 9, 7, 5, 3, 1, 14, 12, 10, 8, 6, 4, 2, 15};
    cpm_Medium m;
    m.Bytes = dosOrder;
    for (int t = 0; t < int(dosOrder.size() / 4096); t++)
        for (int L = 0; L < 16; L++) {
            cpm_Sector s;
            s.Cylinder = t;
            s.Id = physicalOfDos[L];
            s.Size = 256;
            s.At = size_t(t * 16 + L) * 256;
            m.Sectors.push_back(s);
        }
    return m;
}
