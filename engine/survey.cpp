// One host file as a collection sees it.  The file is opened without
// waiting and looked at before anything is read, so that a pipe or device
// is never read; a regular file is read once, into a buffer each thread
// keeps from file to file, and everything else comes from that one read.
#include "survey.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "attributes.h"
#include "check.h"
#include "codecs.h"
#include "directory.h"
#include "files.h"
#include "geometry.h"
#include "listing.h"
#include "opening.h"
#include "patterns.h"
#include "read.h"
#include "slices.h"
#include "stamps.h"
#include "user_areas.h"

namespace {

// The buffer a thread reads files into, kept while it is no bigger than
// this: the next image of the same size is read without allocating.
constexpr size_t keptBufferBytes = size_t(64) << 20;
thread_local std::vector<uint8_t> spareBuffer;

// Mixes the length into the bytes' hash and spreads every bit of it.
std::string hashHex(const uint8_t *bytes, size_t size) {
    uint64_t h = t_HashBytes(bytes, size) ^ (uint64_t(size) * 0x9E3779B97F4A7C15ull);
    h ^= h >> 30;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 27;
    h *= 0x94D049BB133111EBull;
    h ^= h >> 31;
    static const char digits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int k = 15; k >= 0; k--, h >>= 4) out[size_t(k)] = digits[h & 15];
    return out;
}

// Reads size bytes from the start of the open file; 0 or the error number.
int readAll(int fd, size_t size, std::vector<uint8_t> &out) {
    out.resize(size);
    size_t done = 0;
    while (done < size) {
        ssize_t n = pread(fd, out.data() + done, size - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;   // shorter than it was a moment ago
        done += size_t(n);
    }
    out.resize(done);
    return 0;
}

// "NAME.EXT" of a 12-byte display name: each part without its padding, no
// point for an empty type.
std::string shownName(const Text &display) {
    cpm_NameParts parts = cpm_SplitName(display);
    std::string base = cpm_DisplayString(parts.Name);
    return parts.Type.empty() ? base : base + "." + cpm_DisplayString(parts.Type);
}

std::string lettersOf(uint8_t bits) {
    std::string out;
    if (bits & cpm_ReadOnlyBit) out += 'R';
    if (bits & cpm_SystemBit) out += 'S';
    if (bits & cpm_ArchivedBit) out += 'A';
    return out;
}

// A raw file is an image when some reading of its own size exists (a
// definition, a built-in format), or when recognition found a plausible
// CP/M directory in it at all (a plain volume, a short image, one whose
// geometry was inferred).
bool rawImage(const cpm_Volume &v) {
    if (v.RefusalKind != cpm_RefusalKind::NotCpm && v.RefusalKind != cpm_RefusalKind::TooShort) return true;
    for (const std::string &reading : v.Readings) {
        std::string name = reading.substr(0, reading.find(": "));
        if (name != "plain" && reading.find("(short image)") == std::string::npos) return true;
    }
    return false;
}

// The health words of a volume that was read.
std::string healthOf(const cpm_Volume &v) {
    switch (v.RefusalKind) {
    case cpm_RefusalKind::NotCpm:
    case cpm_RefusalKind::TooShort:
        return "not CP/M";
    case cpm_RefusalKind::Container:
        // A container that cannot be written back (a zip) reads all the same.
        if (!v.Medium.NoSectors) break;
        [[fallthrough]];
    case cpm_RefusalKind::Uninflated:
    case cpm_RefusalKind::Unreadable: {
        std::string reason = v.Refusal;
        while (!reason.empty() && reason.back() == '.') reason.pop_back();
        return "unreadable: " + reason;
    }
    default:
        break;
    }
    if (v.RefusalKind == cpm_RefusalKind::Unclear) {
        // "Format unclear (A, B, C…): opened read-only." names the best readings.
        size_t open = v.Refusal.find('('), close = v.Refusal.rfind(')');
        std::string names = open != std::string::npos && close != std::string::npos && close > open
                                ? v.Refusal.substr(open + 1, close - open - 1)
                                : v.Refusal;
        return "unclear: " + names;
    }
    size_t n = cpm_CheckVolume(v).Findings.size();
    if (n == 0) return "ok";
    return "damaged: " + std::to_string(n) + (n == 1 ? " finding" : " findings");
}

// Every file of users 0-15, in user then name order, with its bytes hashed.
std::vector<cpm_SurveyFile> filesOf(cpm_Volume &v, const cpm_SurveyOptions &options) {
    std::vector<cpm_SurveyFile> files;
    if (v.Path.empty() || v.Medium.NoSectors || v.RefusalKind == cpm_RefusalKind::NotCpm ||
        v.RefusalKind == cpm_RefusalKind::TooShort || v.RefusalKind == cpm_RefusalKind::Uninflated)
        return files;
    cpm_StampRules rules = cpm_StampRulesOf(v);
    for (int user : cpm_UsersWithFiles(v)) {
        for (const cpm_FileMatch &match : cpm_MatchFiles(v, Text("*"), user)) {
            int main = match.Entries[0];
            cpm_SurveyFile f;
            f.User = user;
            f.Name = shownName(match.Name);
            f.DisplayName = match.Name;
            long long size = cpm_FileSize(v, main);
            f.Size = uint64_t(std::max(0LL, size));
            f.Attributes = lettersOf(cpm_EntryAttributes(v, main));
            if (rules.Stamped) {
                cpm_FileStamps stamps = cpm_StampsOf(v, main);
                (rules.First == cpm_FirstStamp::Access ? f.Accessed : f.Created) = cpm_StampText(stamps.First);
                f.Updated = cpm_StampText(stamps.Updated);
            }
            if (!options.Hashes && !options.WithBytes) {
                files.push_back(std::move(f));
                continue;
            }
            cpm_FileData data = cpm_LoadFile(v, match.Name, user);
            size_t bytes = std::min(data.Data.size(), size_t(f.Size));
            if (options.Hashes) f.Hash = hashHex(data.Data.data(), bytes);
            if (options.WithBytes) {
                data.Data.Elements.resize(bytes);
                f.Bytes = std::move(data.Data);
            }
            files.push_back(std::move(f));
        }
    }
    std::stable_sort(files.begin(), files.end(), [](const cpm_SurveyFile &a, const cpm_SurveyFile &b) {
        return a.User != b.User ? a.User < b.User : a.Name < b.Name;
    });
    return files;
}

// Fills in what the volume says: container, definition, health, files.
void describe(cpm_Survey &s, cpm_Volume &v, const cpm_SurveyOptions &options) {
    std::string container = cpm_ContainerName(v.Medium);
    s.Container = container == "none" ? "raw" : container;
    s.Definition = v.Definition;
    s.Health = healthOf(v);
    s.Files = filesOf(v, options);
    s.FileCount = int(s.Files.size());
    s.UsedKB = v.UsedKB;
    s.FreeKB = std::max(0L, long(v.VolumeKB) - long(v.UsedKB));
}

std::string reasonOf(int err) { return std::strerror(err); }

}  // namespace

cpm_Survey cpm_SurveyImage(const std::string &path, const cpm_SurveyOptions &options) {
    cpm_Survey s;
    s.Path = path;
    // "card.img@2": one slice of a file of several.
    std::string file = path;
    int slice = -1;
    if (!cpm_SplitSlicePath(path, file, slice)) slice = -1;
    int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        // A file that is there but will not open is listed as unreadable.
        struct stat st;
        if (lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            s.IsImage = true;
            s.FileSize = uint64_t(st.st_size);
            s.ModifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
            s.Health = "unreadable: " + reasonOf(errno);
        } else {
            s.NotImage = "cannot be opened: " + reasonOf(errno);
        }
        return s;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        s.NotImage = "not a regular file";
        close(fd);
        return s;
    }
    s.FileSize = uint64_t(st.st_size);
    s.ModifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    if (st.st_size == 0) {
        s.NotImage = "empty";
        close(fd);
        return s;
    }
    // A file of several CP/M volumes: each slice is a volume of its own,
    // read on its own; the file's whole bytes are never held.
    cpm_SliceTable table = cpm_FindSlicesIn(fd, st.st_size);
    if (!table.Slices.empty() || !table.Error.empty()) {
        close(fd);
        s.IsImage = true;
        s.Slices = int(table.Slices.size());
        if (!table.Error.empty()) {
            s.Container = "raw";
            s.Health = "unreadable: " + table.Error;
            return s;
        }
        if (slice >= s.Slices) {
            s.IsImage = false;
            s.NotImage = "no slice " + std::to_string(slice) + " (" + std::to_string(s.Slices) + " slices)";
            return s;
        }
        cpm_Volume v = cpm_LoadSlice(slice >= 0 ? path : file + "@0", "");
        if (slice < 0) v.Path = file;
        char hex[17];
        snprintf(hex, sizeof hex, "%016llx", (unsigned long long)v.SliceHash);
        if (options.Hashes) s.ImageHash = hex;
        describe(s, v, options);
        return s;
    }
    if (st.st_size > cpm_MaxImageBytes) {
        s.NotImage = "too large";
        close(fd);
        return s;
    }
    Text bytes;
    bytes.Elements = std::move(spareBuffer);
    int err = readAll(fd, size_t(st.st_size), bytes.Elements);
    close(fd);
    if (err != 0) {
        s.IsImage = true;
        s.Health = "unreadable: " + reasonOf(err);
        return s;
    }
    if (options.Hashes) s.ImageHash = hashHex(bytes.data(), bytes.size());
    cpm_Medium medium = cpm_DecodeFile(std::move(bytes));
    bool container = medium.Codec != "raw" || !medium.Compression.empty();
    // A zip or gzip file with no disk image inside is just an archive.
    bool noImageInside = !medium.Compression.empty() && medium.NoSectors &&
                         medium.Unsaveable.find("no disk image inside") != std::string::npos;
    cpm_Volume v = cpm_OpenMedium(std::move(medium), path);
    if (noImageInside || (!container && !rawImage(v))) {
        s.NotImage = noImageInside ? "an archive without a disk image" : "no reading of its size";
        s.ImageHash.clear();
    } else {
        s.IsImage = true;
        describe(s, v, options);
    }
    // The image's bytes become the thread's buffer for the next file.
    if (v.Image.Elements.capacity() <= keptBufferBytes) spareBuffer = std::move(v.Image.Elements);
    return s;
}
