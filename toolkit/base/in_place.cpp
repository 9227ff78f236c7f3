// In-place writes with an undo record, and the roll-back of an interrupted one.
//
// The record holds the file's identity, its old length and the old bytes of
// every range about to change, and ends in a hash of all of it: a record cut
// short by a crash is known as unfinished, and then the file was not touched
// yet (the record is flushed before the first byte of the file is written).
#include "in_place.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files.h"

// --- the test hook: a writer that dies after so many bytes ----------------------

// DW_TEST_KILL_AFTER_BYTES=N kills the process (SIGKILL) once N bytes of an
// in-place write (the record's and the file's) are written, so that tests can
// interrupt it at every step.  Unset, it costs one look at the environment.
static long long killAfterBytes() {
    static const long long budget = [] {
        const char *value = std::getenv("DW_TEST_KILL_AFTER_BYTES");
        return value && *value ? std::atoll(value) : -1LL;
    }();
    return budget;
}
static long long bytesWritten = 0;

// Writes all the bytes at the offset (at the file position when it is < 0);
// `done` counts those written, also when it fails.
static int putBytes(int fd, const uint8_t *p, size_t n, long long offset, size_t &done) {
    const long long budget = killAfterBytes();
    done = 0;
    while (done < n) {
        size_t chunk = n - done;
        if (budget >= 0) {
            if (bytesWritten >= budget) raise(SIGKILL);
            chunk = std::min<size_t>(chunk, size_t(budget - bytesWritten));
        }
        ssize_t k = offset < 0 ? write(fd, p + done, chunk) : pwrite(fd, p + done, chunk, off_t(offset + (long long)done));
        if (k < 0 && errno == EINTR) continue;
        if (k < 0) return errno;
        if (k == 0) return EIO;
        done += size_t(k);
        bytesWritten += k;
    }
    if (budget >= 0 && bytesWritten >= budget) raise(SIGKILL);
    return 0;
}

// --- where records live ----------------------------------------------------------

static std::string folderOf(const std::string &path) { return path.substr(0, path.rfind('/') + 1); }


// ".NAME.diskwright-undo" beside the file.
static std::string besideRecord(const std::string &real) {
    std::string folder = folderOf(real);
    return folder + "." + real.substr(folder.size()).substr(0, 200) + ".diskwright-undo";
}

// For a file whose folder takes no new file: ~/.cache/diskwright/undo/DEV-INO.
// "" without a home folder.
static std::string cacheFolder() {
    const char *home = std::getenv("HOME");
    return home && *home == '/' ? std::string(home) + "/.cache/diskwright/undo/" : "";
}

static std::string cacheRecord(uint64_t device, uint64_t inode) {
    if (cacheFolder().empty()) return "";
    char key[48];
    snprintf(key, sizeof key, "%llx-%llx", (unsigned long long)device, (unsigned long long)inode);
    return cacheFolder() + key;
}

static bool present(const std::string &path) {
    struct stat st;
    return !path.empty() && lstat(path.c_str(), &st) == 0;
}

static void makeFolders(const std::string &folder) {
    for (size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1))
        mkdir(folder.substr(0, at).c_str(), 0700);
}

// --- the record ----------------------------------------------------------------

struct UndoRecord {
    uint64_t Device = 0, Inode = 0;
    long long OldLength = 0;
    std::vector<t_Range> Old;   // the old bytes, each within the old length
};

static const char recordMagic[8] = {'D', 'W', 'U', 'N', 'D', 'O', '1', '\n'};

static void put64(std::vector<uint8_t> &out, uint64_t value) {
    for (int k = 0; k < 8; k++) out.push_back(uint8_t(value >> (8 * k)));
}

static bool get64(const Text &in, size_t &at, uint64_t &value) {
    if (in.size() < 8 || at > in.size() - 8) return false;
    value = 0;
    for (int k = 0; k < 8; k++) value |= uint64_t(in[at + size_t(k)]) << (8 * k);
    at += 8;
    return true;
}

static std::vector<uint8_t> encode(const UndoRecord &r) {
    std::vector<uint8_t> out(recordMagic, recordMagic + 8);
    put64(out, r.Device);
    put64(out, r.Inode);
    put64(out, uint64_t(r.OldLength));
    put64(out, r.Old.size());
    for (const t_Range &range : r.Old) {
        put64(out, uint64_t(range.Offset));
        put64(out, range.Bytes.size());
        out.insert(out.end(), range.Bytes.Elements.begin(), range.Bytes.Elements.end());
    }
    put64(out, t_HashBytes(out.data(), out.size()));
    return out;
}

// False for a record that is not whole (cut short, or not one of ours).
static bool decode(const Text &in, UndoRecord &r) {
    if (in.size() < 8 + 5 * 8 || memcmp(in.data(), recordMagic, 8) != 0) return false;
    size_t at = 8;
    uint64_t oldLength = 0, count = 0, hash = 0;
    if (!get64(in, at, r.Device) || !get64(in, at, r.Inode) || !get64(in, at, oldLength) || !get64(in, at, count))
        return false;
    r.OldLength = (long long)oldLength;
    for (uint64_t k = 0; k < count; k++) {
        uint64_t offset = 0, length = 0;
        if (!get64(in, at, offset) || !get64(in, at, length) || length > in.size() - at) return false;
        r.Old.push_back({(long long)offset, Text(std::vector<uint8_t>(in.data() + at, in.data() + at + length))});
        at += length;
    }
    size_t body = at;
    return get64(in, at, hash) && at == in.size() && hash == t_HashBytes(in.data(), body);
}

static bool recordOf(const std::string &where, uint64_t device, uint64_t inode);

// Creates the record at the path, written and flushed with its folder entry.
// A record left there by a run that was killed while writing it (or one of
// a file no longer at the name) is replaced; a whole one of this file stays.
static int writeRecordAt(const std::string &path, const std::vector<uint8_t> &bytes, const UndoRecord &r) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 && errno == EEXIST && !recordOf(path, r.Device, r.Inode) && unlink(path.c_str()) == 0)
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return errno;
    size_t done = 0;
    int err = putBytes(fd, bytes.data(), bytes.size(), -1, done);
    if (err == 0 && fsync(fd) != 0) err = errno;
    if (close(fd) != 0 && err == 0) err = errno;
    if (err == 0) err = t_SyncFolder(folderOf(path));
    if (err != 0) unlink(path.c_str());
    return err;
}

// Beside the file, or in the cache folder when its folder takes no new file.
static int writeRecord(const std::string &real, const UndoRecord &r, std::string &where) {
    std::vector<uint8_t> bytes = encode(r);
    where = besideRecord(real);
    int err = writeRecordAt(where, bytes, r);
    if (err != EACCES && err != EPERM && err != EROFS) return err;
    if (cacheFolder().empty()) return err;
    where = cacheRecord(r.Device, r.Inode);
    makeFolders(cacheFolder());
    return writeRecordAt(where, bytes, r);
}

// Removes the record once the file no longer needs it; one that cannot be
// removed is emptied, so that it counts as unfinished.
static int dropRecord(const std::string &where) {
    if (unlink(where.c_str()) != 0) {
        int fd = open(where.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) close(fd);
        return 0;
    }
    return t_SyncFolder(folderOf(where));
}

// Puts the old bytes and the old length back.
static int applyRecord(const std::string &real, const UndoRecord &r) {
    int fd = open(real.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno;
    int err = 0;
    for (const t_Range &range : r.Old) {
        ssize_t n = pwrite(fd, range.Bytes.data(), range.Bytes.size(), off_t(range.Offset));
        if (n != ssize_t(range.Bytes.size())) err = n < 0 ? errno : EIO;
        if (err != 0) break;
    }
    struct stat st;
    if (err == 0 && fstat(fd, &st) != 0) err = errno;
    if (err == 0 && st.st_size != r.OldLength && ftruncate(fd, off_t(r.OldLength)) != 0) err = errno;
    if (err == 0 && fsync(fd) != 0) err = errno;
    if (close(fd) != 0 && err == 0) err = errno;
    return err;
}

// --- writing ---------------------------------------------------------------------

static int readAt(int fd, long long offset, size_t length, Text &out) {
    std::vector<uint8_t> bytes(length);
    size_t done = 0;
    while (done < length) {
        ssize_t n = pread(fd, bytes.data() + done, length - done, off_t(offset + (long long)done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        done += size_t(n);
    }
    bytes.resize(done);
    out = Text(std::move(bytes));
    return 0;
}

// Reserves the space of every range, so that a sparse file cannot run out of
// room half-way and no hole beside them is filled.  0 also where the file
// system cannot reserve.
static int reserve(int fd, const std::vector<t_Range> &ranges) {
    for (const t_Range &range : ranges) {
        if (range.Bytes.empty()) continue;
        int err = 0;
        while ((err = fallocate(fd, FALLOC_FL_KEEP_SIZE, off_t(range.Offset), off_t(range.Bytes.size())) != 0 ? errno : 0) == EINTR) {
        }
        if (err == EOPNOTSUPP || err == ENOSYS) return 0;
        if (err != 0) return err;
    }
    return 0;
}

// The spans of the file written so far: offset and length.
using Spans = std::vector<std::pair<long long, long long>>;

static int writeRanges(int fd, const std::vector<t_Range> &ranges, long long oldLength, long long newLength,
                       Spans &touched) {
    for (const t_Range &range : ranges) {
        size_t done = 0;
        int err = putBytes(fd, range.Bytes.data(), range.Bytes.size(), range.Offset, done);
        if (done > 0) touched.push_back({range.Offset, (long long)done});
        if (err != 0) return err;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) return errno;
    if (st.st_size != newLength) {
        if (ftruncate(fd, off_t(newLength)) != 0) return errno;
        if (newLength < oldLength) touched.push_back({newLength, oldLength - newLength});
    }
    return fsync(fd) != 0 ? errno : 0;
}

// The record's old bytes of the spans only: what a failed write changed.  A
// file size limit then never stands in the way of putting back what was
// written below it.
static UndoRecord within(const UndoRecord &record, const Spans &spans) {
    UndoRecord out = record;
    out.Old.clear();
    for (const t_Range &old : record.Old)
        for (const auto &[offset, length] : spans) {
            long long from = std::max(old.Offset, offset);
            long long to = std::min(old.Offset + (long long)old.Bytes.size(), offset + length);
            if (to <= from) continue;
            const uint8_t *p = old.Bytes.data() + (from - old.Offset);
            out.Old.push_back({from, Text(std::vector<uint8_t>(p, p + (to - from)))});
        }
    return out;
}

int t_WriteRanges(const std::string &path, const std::vector<t_Range> &ranges, long long newLength) {
    std::string real = t_ResolvedPath(path);
    int fd = open(real.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno;
    struct stat st;
    int err = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : t_NotRegularFile;
    UndoRecord record;
    record.Device = st.st_dev;
    record.Inode = st.st_ino;
    record.OldLength = st.st_size;
    long long end = st.st_size;
    for (const t_Range &range : ranges) end = std::max(end, range.Offset + (long long)range.Bytes.size());
    if (newLength < 0) newLength = end;
    // The old bytes of every range, and of the end cut off.
    std::vector<t_Range> changing = ranges;
    if (newLength < record.OldLength) changing.push_back({newLength, Text(std::vector<uint8_t>(size_t(record.OldLength - newLength)))});
    for (const t_Range &range : changing) {
        long long to = std::min(range.Offset + (long long)range.Bytes.size(), record.OldLength);
        if (err != 0 || to <= range.Offset) continue;
        t_Range old{range.Offset, Text()};
        err = readAt(fd, range.Offset, size_t(to - range.Offset), old.Bytes);
        record.Old.push_back(std::move(old));
    }
    if (err == 0) err = reserve(fd, ranges);
    std::string where;
    if (err == 0) err = writeRecord(real, record, where);
    if (err != 0) {
        close(fd);
        return err;   // nothing changed
    }
    Spans touched;
    err = writeRanges(fd, ranges, record.OldLength, newLength, touched);
    if (close(fd) != 0 && err == 0) {
        err = errno;
        touched = {{0, std::max(record.OldLength, newLength)}};
    }
    if (err != 0) {
        // The file as it was; when even that fails the record stays for the next open.
        if (applyRecord(real, within(record, touched)) == 0) dropRecord(where);
        return err;
    }
    err = dropRecord(where);
    return err == 0 ? 0 : t_FolderNotFlushed | err;
}

int t_WriteInPlace(const std::string &path, const Text &bytes) {
    int fd = -1;
    long long size = 0;
    Text now;
    int err = t_OpenRegularFile(t_ResolvedPath(path), fd, size);
    if (err == 0) err = t_ReadOpenFile(fd, size, now);
    if (err != 0) return err;
    // The pieces that differ, compared 128 bytes at a time; neighbours join.
    const size_t piece = 128;
    std::vector<t_Range> ranges;
    size_t common = std::min(now.size(), bytes.size());
    for (size_t at = 0; at < common; at += piece) {
        size_t n = std::min(piece, common - at);
        if (memcmp(now.data() + at, bytes.data() + at, n) == 0) continue;
        if (!ranges.empty() && size_t(ranges.back().Offset) + ranges.back().Bytes.size() == at)
            ranges.back().Bytes.Elements.insert(ranges.back().Bytes.Elements.end(), bytes.data() + at, bytes.data() + at + n);
        else
            ranges.push_back({(long long)at, Text(std::vector<uint8_t>(bytes.data() + at, bytes.data() + at + n))});
    }
    if (bytes.size() > common)
        ranges.push_back({(long long)common, Text(std::vector<uint8_t>(bytes.data() + common, bytes.data() + bytes.size()))});
    if (ranges.empty() && now.size() == bytes.size()) return 0;
    return t_WriteRanges(path, ranges, (long long)bytes.size());
}

// --- rolling back ----------------------------------------------------------------

// What the record at `where` is.
enum RecordState { recordWhole, recordUnfinished, recordUnreadable };

static RecordState readRecord(const std::string &real, const std::string &where, UndoRecord &record) {
    int fd = -1;
    long long size = 0;
    Text bytes;
    int err = t_OpenRegularFile(where, fd, size);
    if (err == 0) err = t_ReadOpenFile(fd, size, bytes);
    if (err != 0) return err == ENOENT ? recordUnfinished : recordUnreadable;
    struct stat st;
    // A record of a file no longer at this name puts nothing back either.
    bool ours = decode(bytes, record) && stat(real.c_str(), &st) == 0 && record.Device == st.st_dev &&
                record.Inode == st.st_ino;
    return ours ? recordWhole : recordUnfinished;
}

// Whether the record at the path begins with the file's identity.
static bool recordOf(const std::string &where, uint64_t device, uint64_t inode) {
    int fd = open(where.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    uint8_t head[24];
    bool read = pread(fd, head, sizeof head, 0) == ssize_t(sizeof head);
    close(fd);
    Text bytes(std::vector<uint8_t>(head, head + sizeof head));
    size_t at = 8;
    uint64_t recordDevice = 0, recordInode = 0;
    return read && memcmp(head, recordMagic, 8) == 0 && get64(bytes, at, recordDevice) &&
           get64(bytes, at, recordInode) && recordDevice == device && recordInode == inode;
}

// The record of the file: beside the name, in the cache, or beside another
// name of it in the same folder (a hard link the writer used); "" for none.
static std::string findRecord(const std::string &real, const struct stat &file) {
    std::string beside = besideRecord(real), cached = cacheRecord(file.st_dev, file.st_ino);
    if (present(beside)) return beside;
    if (present(cached)) return cached;
    if (file.st_nlink < 2) return "";
    std::string folder = folderOf(real), found;
    DIR *d = opendir(folder.c_str());
    if (!d) return "";
    const std::string suffix = ".diskwright-undo";
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name[0] != '.' || name.size() <= suffix.size() + 1 || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        if (recordOf(folder + name, file.st_dev, file.st_ino)) {
            found = folder + name;
            break;
        }
    }
    closedir(d);
    return found;
}

// Rolls the file back with the record found for it, under its exclusive lock.
static int rollBack(const std::string &real, const std::string &where) {
    if (!present(where)) return t_NothingToRecover;   // rolled back by another run meanwhile
    UndoRecord record;
    RecordState state = readRecord(real, where, record);
    if (state == recordUnreadable) return t_RecoveryPending;
    if (state == recordUnfinished) {
        // Cut short before the first byte of the file was written.
        unlink(where.c_str());
        return t_NothingToRecover;
    }
    if (applyRecord(real, record) != 0) return t_RecoveryPending;
    dropRecord(where);
    return t_RolledBack;
}

int t_RecoverInterruptedSave(const std::string &path, bool locked, std::string &where) {
    std::string real = t_ResolvedPath(path);
    struct stat st;
    if (stat(real.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return t_NothingToRecover;
    where = findRecord(real, st);
    if (where.empty()) return t_NothingToRecover;
    if (access(real.c_str(), W_OK) != 0) {
        // A record this reader cannot read may be whole: the file may be half written.
        UndoRecord record;
        return readRecord(real, where, record) == recordUnfinished ? t_NothingToRecover : t_RecoveryPending;
    }
    int lock = locked ? -1 : t_LockFile(real, true);
    if (!locked && lock < 0) return t_RecoveryPending;
    int result = rollBack(real, where);
    t_UnlockFile(lock);
    return result;
}

std::string t_RecoveryNote(const std::string &name, int recovery, const std::string &record) {
    if (recovery == t_RolledBack) return name + ": an interrupted save was rolled back.";
    if (recovery == t_RecoveryPending)
        return name + ": an interrupted save is pending (undo record " + record + "); not rolled back.";
    return "";
}
