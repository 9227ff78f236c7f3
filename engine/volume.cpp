// The open volume: what every part of the engine asks of it, and the
// diagnostic switch.
#include "volume.h"

#include <algorithm>
#include <atomic>

#include "log.h"

static std::atomic<bool> diagnostics{true};

void cpm_SetDiagnostics(bool on) { diagnostics = on; }
bool cpm_Diagnostics() { return diagnostics; }

void cpm_Diag(const std::string &line) {
    if (diagnostics) t_Log(line);
}

cpm_Volume cpm_EmptyVolume() {
    cpm_Volume v;
    v.Geometry = cpm_GeometryOf(cpm_Format::Plain);
    v.Definition = "plain";
    v.Medium.Codec = "raw";
    return v;
}

int cpm_BlockCount(const cpm_Volume &volume) {
    if (volume.Geometry.BlockSize <= 0 || volume.VolumeKB <= 0) return 0;
    return int((long long)volume.VolumeKB * 1024 / volume.Geometry.BlockSize);
}

int cpm_PresentEntries(const cpm_Volume &volume) {
    long long room = (long long)volume.Image.size() - volume.Geometry.DataStart;
    if (room < cpm_EntrySize || volume.Geometry.DirEntries <= 0) return 0;
    return int(std::min<long long>(volume.Geometry.DirEntries, room / cpm_EntrySize));
}

bool cpm_BlockUnreadable(const cpm_Volume &volume, int b) {
    return std::binary_search(volume.UnreadableBlocks.begin(), volume.UnreadableBlocks.end(), b);
}

std::string cpm_UnclearMessage(const std::vector<std::string> &names) {
    std::string list;
    for (size_t i = 0; i < names.size() && i < 3; i++) list += (i ? ", " : "") + names[i];
    if (names.size() > 3) list += "…";
    return "Format unclear (" + list + "): opened read-only.";
}

bool cpm_FormatUnclear(const cpm_Volume &volume) { return volume.RefusalKind == cpm_RefusalKind::Unclear; }

bool cpm_Refused(const cpm_Volume &volume) { return volume.RefusalKind != cpm_RefusalKind::None; }

bool cpm_WideBlocks(const cpm_Volume &volume) {
    if (volume.Geometry.SectorBytes > 0) return cpm_DefinedBlocks(volume.Geometry) > 256;
    return volume.VolumeKB >= 513;
}

int cpm_ExtentsPerEntry(const cpm_Volume &volume) {
    if (volume.Geometry.LogicalExtents > 0) return volume.Geometry.LogicalExtents;
    int bytes = cpm_SlotCount(cpm_WideBlocks(volume)) * volume.Geometry.BlockSize;
    return std::max(1, bytes / cpm_ExtentBytes);
}

int cpm_BlocksPerEntry(const cpm_Volume &volume) {
    int slots = cpm_SlotCount(cpm_WideBlocks(volume));
    if (volume.Geometry.BlockSize <= 0) return slots;
    return std::clamp(cpm_ExtentsPerEntry(volume) * cpm_ExtentBytes / volume.Geometry.BlockSize, 1, slots);
}
