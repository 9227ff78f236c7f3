// Host files written by get, as cpmcp writes them: created or truncated and
// written whole.  The image itself is saved with setbinarytofile (temporary
// file, flush, rename); doing that for every copied file would cost a
// hundred flushes and renames for a get '*', more than the whole copy.
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "cli.h"
#include "text.h"

int cli_WriteHostFile(const std::string &path, const Text &data) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    int err = 0;
    for (size_t done = 0; done < data.size() && err == 0;) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno != EINTR) err = errno;
        if (n > 0) done += size_t(n);
    }
    if (close(fd) != 0 && err == 0) err = errno;
    return err;
}
