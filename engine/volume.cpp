// Volume images, format detection, re-sectoring, saving and new volumes.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <unistd.h>

#include "entries.h"
#include "files.h"
#include "log.h"

const int cpm_SkewTable140[16] = {0, 15, 9, 3, 13, 7, 1, 11, 10, 4, 14, 8, 2, 12, 6, 5};
const int cpm_SkewTable800[16] = {0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15};
const Text cpm_BlankName("        .   ");

const cpm_Geometry cpm_Geometries[4] = {
    {cpm_Format::Plain, "Plain CP/M volume", 0, 2048, 2, 128, 0, 0, nullptr},
    {cpm_Format::Apple140K22, "Apple II 140K CP/M 2.2", 12288, 1024, 2, 64, 4096, 256, cpm_SkewTable140},
    {cpm_Format::Apple140K30, "Apple II 140K CP/M 3.0", 12288, 1024, 2, 64, 4096, 256, cpm_SkewTable140},
    {cpm_Format::Apple800K, "Apple II 800K CP/M 3.0", 16384, 2048, 4, 256, 8192, 512, cpm_SkewTable800},
};

const cpm_Geometry &cpm_GeometryOf(cpm_Format format) {
    for (const cpm_Geometry &g : cpm_Geometries)
        if (g.Format == format) return g;
    return cpm_Geometries[0];
}

static std::atomic<bool> diagnostics{true};

void cpm_SetDiagnostics(bool on) { diagnostics = on; }
bool cpm_Diagnostics() { return diagnostics; }

void cpm_Diag(const std::string &line) {
    if (diagnostics) t_Log(line);
}

cpm_Volume cpm_EmptyVolume() { return cpm_Volume(); }

bool cpm_WideBlocks(const cpm_Volume &volume) { return volume.VolumeKB >= 513; }

int cpm_BlockCount(const cpm_Volume &volume) {
    if (volume.BlockSize <= 0 || volume.VolumeKB <= 0) return 0;
    return int((long long)volume.VolumeKB * 1024 / volume.BlockSize);
}

int cpm_PresentEntries(const cpm_Volume &volume) {
    long long room = (long long)volume.Image.size() - volume.DataStart;
    if (room < cpm_EntrySize || volume.DirEntries <= 0) return 0;
    return int(std::min<long long>(volume.DirEntries, room / cpm_EntrySize));
}

// Bytes 0-3 (and 4-7) compared with a signature; missing bytes never match.
static bool startsWith(const Text &bytes, size_t at, const uint8_t (&sig)[4]) {
    if (bytes.size() < at + 4) return false;
    for (size_t k = 0; k < 4; k++)
        if (bytes[at + k] != sig[k]) return false;
    return true;
}

cpm_Format cpm_DetectFormat(const Text &bytes) {
    static const uint8_t sig800[4] = {0x01, 0x8A, 0x4A, 0x4A};
    static const uint8_t sig140[4] = {0x01, 0xA5, 0x27, 0xC9};
    static const uint8_t sig22[4] = {0x09, 0xD0, 0x13, 0x8A};
    if (startsWith(bytes, 0, sig800)) return cpm_Format::Apple800K;
    if (startsWith(bytes, 0, sig140)) return startsWith(bytes, 4, sig22) ? cpm_Format::Apple140K22 : cpm_Format::Apple140K30;
    return cpm_Format::Plain;
}

// Moves every piece of each whole group: file piece s <-> memory position skew[s].
static Text resector(const Text &from, const cpm_Geometry &g, bool toMemory) {
    Text to = from;
    if (!g.Skew) return to;
    size_t groups = from.size() / size_t(g.GroupBytes);
    for (size_t group = 0; group < groups; group++) {
        size_t base = group * size_t(g.GroupBytes);
        for (int s = 0; s < 16; s++) {
            size_t fileAt = base + size_t(s) * size_t(g.SectorBytes);
            size_t memAt = base + size_t(g.Skew[s]) * size_t(g.SectorBytes);
            size_t src = toMemory ? fileAt : memAt, dst = toMemory ? memAt : fileAt;
            std::copy_n(from.data() + src, g.SectorBytes, to.data() + dst);
        }
    }
    return to;
}

cpm_Volume cpm_OpenImage(Text fileBytes, const std::string &path) {
    cpm_Volume v;
    v.Path = path;
    v.Format = cpm_DetectFormat(fileBytes);
    const cpm_Geometry &g = cpm_GeometryOf(v.Format);
    v.DataStart = g.DataStart;
    v.BlockSize = g.BlockSize;
    v.DirBlocks = g.DirBlocks;
    v.DirEntries = g.DirEntries;
    if (v.Format != cpm_Format::Plain) {
        const char *kind = v.Format == cpm_Format::Apple800K     ? "K CP/M 3.0 800K Volume found: "
                           : v.Format == cpm_Format::Apple140K22 ? "K CP/M 2.2 Volume found: "
                                                                 : "K CP/M 3.0 Volume found: ";
        cpm_Diag("cpm_LoadVolume: Apple II " + std::to_string(fileBytes.size() / 1024) + kind + t_PathFileName(path));
        v.Image = resector(fileBytes, g, true);
    } else {
        v.Image = std::move(fileBytes);
    }
    // A file shorter than its reserved tracks has no data area at all.
    long long dataBytes = (long long)v.Image.size() - v.DataStart;
    v.VolumeKB = dataBytes > 0 ? int(dataBytes / 1024) : 0;
    return cpm_Rebuild(std::move(v));
}

std::string cpm_ImageFileRefusal(const std::string &path) {
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    if (!error && (long long)size > cpm_MaxImageBytes) return "Image file too large.";
    return "";
}

cpm_Volume cpm_LoadVolume(const std::string &path) {
    if (t_FileExists(path) != 1 || !cpm_ImageFileRefusal(path).empty()) return cpm_EmptyVolume();
    // Only a regular file is an image: a pipe, socket or device is not opened.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return cpm_EmptyVolume();
    Text bytes = gettextfromfile(path);
    // A file that vanished between the test and the read is no volume either.
    if (bytes.empty() && t_FileExists(path) != 1) return cpm_EmptyVolume();
    cpm_Volume volume = cpm_OpenImage(std::move(bytes), path);
    // A file the user may not write (or one on a read-only file system) is
    // opened read-only, so saving says so instead of failing.
    if (access(path.c_str(), W_OK) != 0) volume.ReadOnly = true;
    return volume;
}

Text cpm_FileImage(const cpm_Volume &volume) {
    return resector(volume.Image, cpm_GeometryOf(volume.Format), false);
}

cpm_SaveVolumeResult cpm_SaveVolume(cpm_Volume volume) {
    if (volume.ReadOnly) return {std::move(volume), "Image file is read-only."};
    // A plain image is already in file order: written as it is, without a copy.
    int err = volume.Format == cpm_Format::Plain ? setbinarytofile(volume.Path, volume.Image)
                                                 : setbinarytofile(volume.Path, cpm_FileImage(volume));
    if (err != 0) return {std::move(volume), t_ErrorText(err)};
    volume.Changed = false;
    return {std::move(volume), ""};
}

std::string cpm_NewVolumeSizeMessage(long long sizeKB) {
    if (sizeKB < cpm_MinNewKB) return "Size too small.";
    if (sizeKB > cpm_MaxNewKB) return "Size too big.";
    if (sizeKB % 2 != 0) return "Size must be even.";
    return "";
}

cpm_Volume cpm_MakeVolume(const std::string &path, int sizeKB) {
    cpm_Volume v;
    v.Image = t_TextFill(0x00, sizeKB * 1024);
    v.Path = path;
    v.VolumeKB = sizeKB;
    return cpm_InitVolume(std::move(v));
}

cpm_NewVolumeResult cpm_NewVolume(const std::string &path, long long sizeKB) {
    std::string refusal = cpm_NewVolumeSizeMessage(sizeKB);
    if (!refusal.empty()) return {cpm_EmptyVolume(), refusal};
    cpm_SaveVolumeResult saved = cpm_SaveVolume(cpm_MakeVolume(path, int(sizeKB)));
    return {std::move(saved.Volume), std::move(saved.Message)};
}
