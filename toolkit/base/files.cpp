// Whole-file reads and writes, locks and stamps on POSIX.
#include "files.h"

#include "in_use.h"

#include <atomic>
#include <ctime>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#include "in_place.h"
#include "write_steps.h"
#include "log.h"

std::string t_ErrorText(int code) {
    if (code == t_NotRegularFile) return "not a regular file";
    if (t_SavedButNotFlushed(code))
        return "saved, but the folder could not be flushed: " + std::string(std::strerror(code & ~t_FolderNotFlushed));
    return std::strerror(code);
}

int t_FileExists(std::string_view path) {
    if (path.empty()) return -1;
    struct stat st;
    if (stat(std::string(path).c_str(), &st) != 0) return 0;
    return S_ISDIR(st.st_mode) ? 2 : 1;
}

// Reads to the end into out, which holds room for `size` bytes: no copy of
// the whole when the size was right, a doubling growth when the file grew.
static int readToEnd(int fd, long long size, Text &out) {
    std::vector<uint8_t> bytes(size > 0 ? size_t(size) : 0);
    size_t done = 0;
    for (;;) {
        uint8_t probe[65536];
        bool full = done == bytes.size();
        ssize_t n = full ? read(fd, probe, sizeof probe) : read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        if (full) bytes.insert(bytes.end(), probe, probe + n);
        done += size_t(n);
    }
    bytes.resize(done);
    out = Text(std::move(bytes));
    return 0;
}

int t_OpenRegularFile(std::string_view path, int &fd, long long &size) {
    // Opened without waiting: a named pipe without a writer would block the
    // open for ever.  Only a regular file has an end to read to.
    fd = open(std::string(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno;
    struct stat st;
    int err = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : t_NotRegularFile;
    if (err != 0) {
        close(fd);
        fd = -1;
        return err;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size = st.st_size;
    return 0;
}

constexpr uint64_t hashStart = 0xCBF29CE484222325ull;

// The hash of a stamp: four lanes of the mix t_HashBytes uses, 32 bytes at a
// time, so that the lanes' multiplications overlap (about four times the
// speed of one lane).  A change of any 8-byte word changes its lane's end
// value, and so the whole.  Stamps live only in memory, never on disk.
struct StampHash {
    uint64_t Lane[4] = {hashStart, hashStart ^ 1, hashStart ^ 2, hashStart ^ 3};
};
constexpr uint64_t hashMultiplier = 0x9E3779B97F4A7C15ull;
// Adds the bytes; only the last piece may be other than a multiple of 32.
static void stampAdd(StampHash &s, const uint8_t *p, size_t n) {
    size_t k = 0;
    for (; k + 32 <= n; k += 32)
        for (int i = 0; i < 4; i++) {
            uint64_t w;
            memcpy(&w, p + k + 8 * i, 8);
            s.Lane[i] = (s.Lane[i] ^ w) * hashMultiplier;
            s.Lane[i] ^= s.Lane[i] >> 29;
        }
    for (; k < n; k++) s.Lane[k % 4] = (s.Lane[k % 4] ^ p[k]) * 0x100000001B3ull;
}
static uint64_t stampValue(const StampHash &s, uint64_t size) {
    uint64_t h = s.Lane[0] ^ size;
    for (int i = 1; i < 4; i++) {
        h = (h ^ s.Lane[i]) * hashMultiplier;
        h ^= h >> 29;
    }
    return h;
}
static void statInto(const struct stat &st, t_FileStamp &stamp);

int t_ReadOpenFile(int fd, long long size, Text &out, t_FileStamp *stamp) {
    int err = readToEnd(fd, size, out);
    struct stat st;
    if (stamp && err == 0 && fstat(fd, &st) == 0) {
        statInto(st, *stamp);
        stamp->Size = (long long)out.size();
        StampHash h;
        stampAdd(h, out.data(), out.size());
        stamp->Hash = stampValue(h, out.size());
    }
    close(fd);
    return err;
}

// Reads the whole file, or gives the error number.  Block devices are read
// too (a disk given as an image); pipes, sockets and character devices
// (/dev/zero) are refused.
static int readWhole(const std::string &path, Text &out) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        int err = errno;
        close(fd);
        return err;
    }
    if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
        close(fd);
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return t_ReadOpenFile(fd, st.st_size, out);
}

static Text readLogged(std::string_view path, const char *logPrefix) {
    Text out;
    int err = readWhole(std::string(path), out);
    if (err != 0) {
        t_Log(std::string(logPrefix) + t_ErrorText(err));
        return Text();
    }
    return out;
}

Text gettextfromfile(std::string_view path) { return readLogged(path, "gettextfromfile: Error #"); }

Text getbinaryfromfile(std::string_view path) { return readLogged(path, "getbinaryfromfile: Error #"); }

// --- writing ---------------------------------------------------------------------

static int writeAll(int fd, const Text &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        done += size_t(n);
    }
    return 0;
}

std::string t_FolderOf(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The file a chain of symbolic links ends at (the path itself when it is no
// link; the last link's target when that does not exist yet).
static std::string linkTarget(std::string path) {
    for (int hops = 0; hops < 40; hops++) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> buf(size_t(st.st_size > 0 ? st.st_size : 255) + 1);
        ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
        if (n < 0 || size_t(n) >= buf.size()) return path;
        std::string to(buf.data(), size_t(n));
        path = to[0] == '/' ? to : t_FolderOf(path) + to;
    }
    return path;
}

// The replaced file's owner, group, mode, ACL and extended attributes onto
// the new one.  Owner and group only where the process may give them; an
// attribute the file system or the process cannot set is left out.
static void copyIdentity(const std::string &from, const struct stat &old, int to) {
    if (fchown(to, old.st_uid, old.st_gid) != 0 && fchown(to, uid_t(-1), old.st_gid) != 0) {
        // Neither: the new file stays the writer's own.
    }
    fchmod(to, old.st_mode & 07777);
    ssize_t length = listxattr(from.c_str(), nullptr, 0);
    if (length <= 0) return;
    std::vector<char> names(static_cast<size_t>(length));
    length = listxattr(from.c_str(), names.data(), names.size());
    for (ssize_t at = 0; at < length;) {
        const char *name = names.data() + at;
        at += ssize_t(strlen(name)) + 1;
        ssize_t size = getxattr(from.c_str(), name, nullptr, 0);
        if (size < 0) continue;
        std::vector<char> value(size_t(size) + 1);
        size = getxattr(from.c_str(), name, value.data(), value.size());
        if (size >= 0) fsetxattr(to, name, value.data(), size_t(size), 0);
    }
}

int t_SyncFolder(const std::string &folder) {
    int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    int err = fsync(fd) != 0 ? errno : 0;
    if (close(fd) != 0 && err == 0) err = errno;
    return err;
}

// ".NAME.RANDOM.tmp" in the folder, the name cut so that the whole stays a
// valid name: a leftover of a killed run never stands in the way.
static std::string temporaryName(const std::string &folder, const std::string &name) {
    static std::atomic<unsigned> serial{0};
    uint64_t random = 0;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != sizeof random)
        random = (uint64_t(getpid()) << 32) ^ uint64_t(time(nullptr)) ^ (uint64_t(serial++) << 48);
    char part[24];
    snprintf(part, sizeof part, "%016llx", (unsigned long long)random);
    return folder + "." + name.substr(0, 200) + "." + part + ".tmp";
}

// Renames without replacing anything at the target.
static int renameNoReplace(const std::string &from, const std::string &to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without it: a hard link fails the same way on an existing name.
    if (link(from.c_str(), to.c_str()) != 0) return errno;
    unlink(from.c_str());
    return 0;
}

int t_WriteTemporary(std::string &path, const Text &bytes, int how, std::string &temp, int &fd) {
    bool image = (how & t_WriteHostCopy) == 0, noReplace = (how & t_WriteNoReplace) != 0;
    fd = -1;
    struct stat old;
    if (noReplace && lstat(path.c_str(), &old) == 0) return EEXIST;   // a link at the name too
    if (image) path = linkTarget(path);
    std::string folder = t_FolderOf(path), name = path.substr(folder.size());
    if (path.empty() || name.empty()) return ENOENT;
    bool present = lstat(path.c_str(), &old) == 0;
    if (present && noReplace) return EEXIST;
    if (present && S_ISDIR(old.st_mode)) return EISDIR;
    bool replacing = present && S_ISREG(old.st_mode);
    if (present && !replacing && !S_ISLNK(old.st_mode)) return t_NotRegularFile;
    if (replacing && access(path.c_str(), W_OK) != 0) return errno;   // a read-only file stays as it is
    if (image && replacing && old.st_nlink > 1) return t_WriteInPlaceWanted;

    for (int tries = 0; fd < 0 && tries < 100; tries++) {
        temp = temporaryName(folder, name);
        // Readable too, so that a held write can mark it in use (t_WriteFileHeld).
        fd = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, replacing ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    // Locked while it is ours: a later batch into the folder removes only a
    // temporary that no living writer holds (t_BatchFinish).
    if (fd >= 0) flock(fd, LOCK_EX | LOCK_NB);
    if (fd < 0) {
        int err = errno;
        // A folder that takes no new file: an image the user may write is written in place.
        if (image && replacing && (err == EACCES || err == EPERM || err == EROFS)) return t_WriteInPlaceWanted;
        return err;
    }
    if (replacing) copyIdentity(path, old, fd);
    int err = writeAll(fd, bytes);
    if (err != 0) {
        close(fd);
        fd = -1;
        unlink(temp.c_str());
    }
    return err;
}

int t_RenameIntoPlace(const std::string &temp, const std::string &path, bool noReplace) {
    int err = noReplace ? renameNoReplace(temp, path) : rename(temp.c_str(), path.c_str()) != 0 ? errno : 0;
    if (err != 0) unlink(temp.c_str());
    return err;
}

// With `held`, the temporary is marked in use (it is locked already) and
// kept open through the rename, so the new file is never unheld.
static int writeFile(std::string path, const Text &bytes, int how, int *held = nullptr) {
    std::string temp;
    int fd = -1;
    int err = t_WriteTemporary(path, bytes, how, temp, fd);
    if (err == t_WriteInPlaceWanted) return t_WriteInPlace(path, bytes);
    if (err != 0) return err;
    bool keep = held && t_MarkInUse(fd);
    if (fsync(fd) != 0) err = errno;
    if (!keep && close(fd) != 0 && err == 0) err = errno;
    if (err == 0) err = t_RenameIntoPlace(temp, path, (how & t_WriteNoReplace) != 0);
    else unlink(temp.c_str());
    if (keep && err != 0) close(fd);
    if (err != 0) return err;
    if (keep) *held = fd;
    err = t_SyncFolder(t_FolderOf(path));
    return err == 0 ? 0 : t_FolderNotFlushed | err;
}

int t_WriteFile(std::string_view path, const Text &bytes, int how) { return writeFile(std::string(path), bytes, how); }

int t_WriteFileHeld(std::string_view path, const Text &bytes, int &held) {
    held = -1;
    return writeFile(std::string(path), bytes, t_WriteImage, &held);
}

int setbinarytofile(std::string_view path, const Text &bytes) {
    int err = writeFile(std::string(path), bytes, t_WriteImage);
    if (err != 0) t_Log("setbinarytofile: Error #" + t_ErrorText(err));
    return err;
}

// --- locks and stamps --------------------------------------------------------------

int t_LockFile(std::string_view path, bool exclusive) { return t_LockFile(path, exclusive, t_LockMark::None); }

// A mount marks the file before it locks it, and others look for the mark
// only when the lock is taken: whoever finds the lock held and no mark waits
// for a holder that is not a mount, so nobody waits for a mount's lock.
int t_LockFile(std::string_view pathView, bool exclusive, t_LockMark mark) {
    std::string path(pathView);
    int how = exclusive ? LOCK_EX : LOCK_SH;
    for (int tries = 0; tries < 1000; tries++) {
        int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) return -1;
        int err = 0;
        if (mark == t_LockMark::Set && !t_MarkInUse(fd)) err = errno;
        bool locked = false;
        if (err == 0 && mark == t_LockMark::Yield) {
            locked = flock(fd, how | LOCK_NB) == 0;
            if (!locked && errno == EWOULDBLOCK && t_MarkedInUse(path)) err = EBUSY;
        }
        while (err == 0 && !locked && flock(fd, how) != 0)
            if (errno != EINTR) err = errno;
        struct stat held, now;
        if (err == 0 && fstat(fd, &held) != 0) err = errno;
        if (err == 0 && stat(path.c_str(), &now) != 0) err = errno;
        if (err == 0 && held.st_dev == now.st_dev && held.st_ino == now.st_ino) return fd;
        close(fd);   // a writer renamed a new file in place while we waited: lock that one
        if (err != 0) {
            errno = err;
            return -1;
        }
    }
    errno = EAGAIN;
    return -1;
}

void t_UnlockFile(int fd) {
    if (fd >= 0) close(fd);   // closing the last descriptor releases the lock
}

// A 64-bit hash of the bytes, eight at a time, going on from h.
static uint64_t hashBytes(uint64_t h, const uint8_t *p, size_t n) {
    const uint64_t mul = 0x9E3779B97F4A7C15ull;
    size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        uint64_t w;
        memcpy(&w, p + k, 8);
        h = (h ^ w) * mul;
        h ^= h >> 29;
    }
    for (; k < n; k++) h = (h ^ p[k]) * 0x100000001B3ull;
    return h;
}

uint64_t t_HashBytes(const uint8_t *bytes, size_t size) { return hashBytes(hashStart, bytes, size); }

static void statInto(const struct stat &st, t_FileStamp &stamp) {
    stamp.Device = st.st_dev;
    stamp.Inode = st.st_ino;
    stamp.Size = st.st_size;
    stamp.ModifiedNs = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
}

bool t_StampFile(std::string_view path, t_FileStamp &stamp) {
    int fd = open(std::string(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    StampHash h;
    uint64_t size = 0;
    // A buffer that stays in the cache: an image is read through it piece by
    // piece, never held whole (a larger one is only more memory to clear).
    static thread_local std::vector<uint8_t> buffer(size_t(64) << 10);
    // Hashed a full buffer at a time (a multiple of 32 bytes), so that the hash
    // is the one of all the bytes at once that t_ReadOpenFile gives.
    for (bool end = false; ok && !end;) {
        size_t filled = 0;
        while (filled < buffer.size()) {
            ssize_t n = read(fd, buffer.data() + filled, buffer.size() - filled);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = n == 0;
                end = true;
                break;
            }
            filled += size_t(n);
        }
        stampAdd(h, buffer.data(), filled);
        size += filled;
    }
    close(fd);
    if (!ok) return false;
    statInto(st, stamp);
    stamp.Hash = stampValue(h, size);
    return true;
}

bool t_FileUnchanged(std::string_view path, const t_FileStamp &stamp) {
    // The bytes, always: a writer may put the time back, and some file
    // systems keep times to two seconds.
    t_FileStamp now;
    return t_StampFile(path, now) && now.Size == stamp.Size && now.Hash == stamp.Hash;
}

std::string t_ResolvedPath(const std::string &path) {
    char *real = realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string out = real;
    free(real);
    return out;
}
