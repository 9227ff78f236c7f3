#include "in_use.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <string>

// The marked byte: no image reaches it.
static constexpr off_t markedByte = INT64_MAX - 1;

static struct flock markLock(short type) {
    struct flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = markedByte;
    lock.l_len = 1;
    return lock;
}

bool t_MarkInUse(int fd) {
    struct flock lock = markLock(F_RDLCK);
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

bool t_MarkedInUse(std::string_view path) {
    int fd = open(std::string(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    // A write lock would conflict with the mark: the answer names it.
    struct flock lock = markLock(F_WRLCK);
    bool marked = fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    close(fd);
    return marked;
}
