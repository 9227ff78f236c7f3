// The long tail of disk image containers, decoded by libdsk.
//
// libdsk reads from a path, so the file's bytes are handed to it as an
// anonymous in-memory file (memfd) of this process: libdsk never sees, and
// so never writes, the user's file.  Every sector of every track is read by
// the id the container records, with its state: a CRC error is a data
// error, a sector without data or without an address mark is missing.
#include "codec_libdsk.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <libdsk.h>

namespace {

bool startsWith(const Text &file, size_t at, std::string_view magic) {
    return file.size() >= at + magic.size() && std::equal(magic.begin(), magic.end(), file.data() + at);
}

uint32_t le16(const Text &f, size_t at) { return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8; }

bool teleDisk(const Text &f) { return (startsWith(f, 0, "TD") || startsWith(f, 0, "td")) && f.size() >= 12 && f[2] == 0; }
bool copyQm(const Text &f) { return startsWith(f, 0, "CQ\x14"); }
bool apriDisk(const Text &f) { return startsWith(f, 0, "ACT Apricot disk image\x1a\x04"); }
bool yaze(const Text &f) { return startsWith(f, 0, "<CPM_Disk>"); }
bool ldbs(const Text &f) { return startsWith(f, 0, "LBS\x01"); }
bool qrst(const Text &f) { return startsWith(f, 0, "QRST"); }
bool sap(const Text &f) { return startsWith(f, 1, "SYSTEME D'ARCHIVAGE PUKALL"); }

// CFI has no signature: a chain of tracks, each a 16-bit length and that
// many bytes, that ends exactly at the end of the file.
bool cfi(const Text &f) {
    size_t at = 0;
    int tracks = 0;
    while (at + 2 <= f.size()) {
        size_t length = le16(f, at);
        if (length == 0) return false;
        at += 2 + length;
        tracks++;
    }
    return at == f.size() && tracks >= 2;
}

// JV3 has none either: a header of 2901 sector entries (track, sector,
// flags; track 0xFF a free entry) and a write-protect byte, then the data
// of the sectors it lists, which fill the rest of the file exactly.
bool jv3(const Text &f) {
    constexpr size_t entries = 2901, header = entries * 3 + 1;
    if (f.size() <= header) return false;
    static const size_t sizes[4] = {256, 128, 1024, 512};
    size_t data = 0, used = 0;
    for (size_t i = 0; i < entries; i++) {
        uint8_t track = f[i * 3], flags = f[i * 3 + 2];
        if (track == 0xFF) continue;
        data += sizes[flags & 3];
        used++;
    }
    return used > 0 && header + data == f.size();
}

// MYZ80: an 8 MB disk behind a 256-byte header of 0xE5.
bool myz80(const Text &f) {
    if (f.size() != 8 * 1024 * 1024 + 256) return false;
    return std::all_of(f.data(), f.data() + 256, [](uint8_t b) { return b == 0xE5; });
}

struct Row {
    const char *Driver;       // libdsk's driver name
    const char *Name;         // the container's name as the user knows it
    bool (*Claims)(const Text &file);
    // The container keeps logical sectors, no ids: they are numbered from 1
    // as a raw file's sectors are, whatever base libdsk gives them.
    bool NoIds = false;
};
// Signed containers first; the unsigned ones are known by their structure.
const Row rows[] = {
    {"tele", "TeleDisk", teleDisk}, {"copyqm", "CopyQM", copyQm}, {"apridisk", "ApriDisk", apriDisk},
    {"ydsk", "YAZE", yaze, true},         {"ldbs", "LDBS", ldbs},       {"qrst", "QRST", qrst},
    {"sap", "SAP", sap},            {"myz80", "MYZ80", myz80, true},    {"cfi", "CFI", cfi},
    {"jv3", "JV3", jv3},
};

const Row *rowOf(const Text &file) {
    for (const Row &row : rows)
        if (row.Claims(file)) return &row;
    return nullptr;
}

// Closes the driver however the reading ends.
struct Drive {
    DSK_PDRIVER Handle = nullptr;
    ~Drive() {
        if (Handle) dsk_close(&Handle);
    }
};

cpm_SectorState stateOf(dsk_err_t err, int deleted) {
    if (err == DSK_ERR_OK) return deleted ? cpm_SectorState::Deleted : cpm_SectorState::Good;
    if (err == DSK_ERR_DATAERR) return cpm_SectorState::DataError;
    return cpm_SectorState::Missing;
}

// Appends one sector, read by its id, to the medium.
void readSector(DSK_PDRIVER drive, const DSK_GEOMETRY &geometry, int cylinder, int head, const DSK_FORMAT &id,
                int idShift, cpm_Medium &m) {
    cpm_Sector s;
    s.Cylinder = cylinder;
    s.Head = head;
    s.Id = int(id.fmt_sector) + idShift;
    s.Size = int(id.fmt_secsize);
    s.At = m.Bytes.size();
    m.Bytes.Elements.resize(s.At + size_t(s.Size), 0xE5);
    int deleted = 0;
    dsk_err_t err = dsk_xread(drive, &geometry, m.Bytes.data() + s.At, dsk_pcyl_t(cylinder), dsk_phead_t(head),
                              id.fmt_cylinder, id.fmt_head, id.fmt_sector, id.fmt_secsize, &deleted);
    // A driver without ids of its own reads the sector by its number alone.
    if (err == DSK_ERR_NOTIMPL) err = dsk_pread(drive, &geometry, m.Bytes.data() + s.At, dsk_pcyl_t(cylinder),
                                                 dsk_phead_t(head), id.fmt_sector);
    s.State = stateOf(err, deleted);
    m.Sectors.push_back(s);
}

// The sector ids of a track as the container records them, lowest first;
// the geometry's when the driver keeps none.
std::vector<DSK_FORMAT> idsOf(DSK_PDRIVER drive, const DSK_GEOMETRY &g, int cylinder, int head) {
    std::vector<DSK_FORMAT> ids;
    dsk_psect_t count = 0;
    DSK_FORMAT *found = nullptr;
    dsk_err_t err = dsk_ptrackids(drive, &g, dsk_pcyl_t(cylinder), dsk_phead_t(head), &count, &found);
    if (err == DSK_ERR_OK && found) {
        ids.assign(found, found + count);
        dsk_free(found);
    } else if (err == DSK_ERR_NOTIMPL) {
        for (dsk_psect_t k = 0; k < g.dg_sectors; k++)
            ids.push_back({dsk_pcyl_t(cylinder), dsk_phead_t(head), g.dg_secbase + k, g.dg_secsize});
    }
    // A sector recorded twice on a track (a duplicate) is read once.
    std::sort(ids.begin(), ids.end(), [](const DSK_FORMAT &a, const DSK_FORMAT &b) { return a.fmt_sector < b.fmt_sector; });
    ids.erase(std::unique(ids.begin(), ids.end(),
                          [](const DSK_FORMAT &a, const DSK_FORMAT &b) { return a.fmt_sector == b.fmt_sector; }),
              ids.end());
    return ids;
}

// Every sector of the disk at the path, opened with the driver.
std::string readAll(const std::string &path, const char *driver, const std::string &name, bool noIds, cpm_Medium &m) {
    Drive drive;
    dsk_err_t err = dsk_open(&drive.Handle, path.c_str(), driver, nullptr);
    if (err != DSK_ERR_OK) return name + " image could not be read: " + dsk_strerror(err);
    DSK_GEOMETRY g;
    err = dsk_getgeom(drive.Handle, &g);
    if (err != DSK_ERR_OK) return name + " image could not be read: " + dsk_strerror(err);
    if (g.dg_cylinders == 0 || g.dg_heads == 0 || g.dg_cylinders > 255 || g.dg_heads > 2)
        return name + " image could not be read: no tracks";
    m.Codec = name;
    int idShift = noIds ? 1 - int(g.dg_secbase) : 0;
    for (int c = 0; c < int(g.dg_cylinders); c++)
        for (int h = 0; h < int(g.dg_heads); h++)
            for (const DSK_FORMAT &id : idsOf(drive.Handle, g, c, h)) {
                if (id.fmt_secsize == 0 || id.fmt_secsize > 16384) continue;
                readSector(drive.Handle, g, c, h, id, idShift, m);
            }
    if (m.Sectors.empty()) return name + " image could not be read: no sectors";
    char *comment = nullptr;
    if (dsk_get_comment(drive.Handle, &comment) == DSK_ERR_OK && comment && *comment)
        m.Notes.push_back(std::string("Comment: ") + comment);
    m.Unsaveable = name + " image: opened read-only; convert it to write.";
    return "";
}

// An anonymous file of this process holding the bytes; -1 when it cannot be made.
int memoryFile(const Text &bytes) {
    int fd = memfd_create("diskwright-image", MFD_CLOEXEC);
    if (fd < 0) return -1;
    for (size_t done = 0; done < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            close(fd);
            return -1;
        }
        done += size_t(n);
    }
    return fd;
}

// libdsk's own reports (progress of compressed files) stay off the terminal.
void quiet(const char *) {}
void quietEnd() {}

}  // namespace

bool cpm_LibdskClaims(const Text &file) { return rowOf(file) != nullptr; }

std::string cpm_LibdskDecode(Text file, cpm_Medium &m) {
    const Row *row = rowOf(file);
    if (!row) return "not a container of libdsk";
    dsk_reportfunc_set(quiet, quietEnd);
    int fd = memoryFile(file);
    if (fd < 0) return std::string(row->Name) + " image could not be read: " + std::strerror(errno);
    std::string error = readAll("/proc/self/fd/" + std::to_string(fd), row->Driver, row->Name, row->NoIds, m);
    close(fd);
    return error;
}

std::string cpm_ReadDrive(const std::string &device, cpm_Medium &m) {
    dsk_reportfunc_set(quiet, quietEnd);
    std::string error = readAll(device, "floppy", "Floppy drive", false, m);
    if (error.empty()) m.Unsaveable = "Floppy drive: opened read-only; convert it to write.";
    return error;
}
