// Whole-file reads and writes on POSIX.
#include "files.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "log.h"

std::string t_ErrorText(int code) { return std::strerror(code); }

int t_FileExists(std::string_view path) {
    if (path.empty()) return -1;
    struct stat st;
    if (stat(std::string(path).c_str(), &st) != 0) return 0;
    return S_ISDIR(st.st_mode) ? 2 : 1;
}

// Reads the whole file, or gives the error number.
static int readWhole(const std::string &path, Text &out) {
    // Opened without waiting: a named pipe without a writer would block the
    // open for ever.  Only regular files and block devices have an end to
    // read to; pipes, sockets and character devices (/dev/zero) are refused.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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
    // Read straight into the result; a file that grows while it is read is
    // read to its end all the same.
    std::vector<uint8_t> bytes(st.st_size > 0 ? size_t(st.st_size) : 0);
    size_t done = 0;
    for (;;) {
        if (done == bytes.size()) bytes.resize(bytes.size() + 65536);
        ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int err = errno;
            close(fd);
            return err;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    bytes.resize(done);
    close(fd);
    out = Text(std::move(bytes));
    return 0;
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

int setbinarytofile(std::string_view pathView, const Text &bytes) {
    static std::atomic<unsigned> serial{0};
    std::string path(pathView);
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    int err = 0;
    struct stat old;
    bool replacing = stat(path.c_str(), &old) == 0;
    if (path.empty() || name.empty()) err = ENOENT;
    else if (replacing && S_ISDIR(old.st_mode)) err = EISDIR;
    else if (replacing && access(path.c_str(), W_OK) != 0) err = errno;   // a read-only file stays as it is
    std::string temp = folder + "." + name + "." + std::to_string(getpid()) + "." + std::to_string(serial++) + ".tmp";
    int fd = -1;
    if (err == 0) {
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) err = errno;
    }
    if (err == 0) {
        if (replacing) fchmod(fd, old.st_mode & 07777);
        err = writeAll(fd, bytes);
        if (err == 0 && fsync(fd) != 0) err = errno;
        if (close(fd) != 0 && err == 0) err = errno;
        if (err == 0 && rename(temp.c_str(), path.c_str()) != 0) err = errno;
        if (err != 0) unlink(temp.c_str());
    }
    if (err != 0) {
        t_Log("setbinarytofile: Error #" + t_ErrorText(err));
        return err;
    }
    return 0;
}
