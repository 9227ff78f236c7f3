// The attributes of one host item on Linux: kind, size and modification
// date from lstat, creation date and the immutable attribute from statx.
#include "catalog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "log.h"
#include "text.h"

namespace {

// Each kind the host reports: its mode bits, type name, number and type code.
struct KindRow {
    mode_t Mode;
    const char *Kind;
    int KindNum;
    const char *FileType;
};

constexpr KindRow kindTable[] = {
    {S_IFREG, "NSFileTypeRegular", f_KindRegular, ""},
    {S_IFDIR, "NSFileTypeDirectory", f_KindFolder, "DIR "},
    {S_IFLNK, "NSFileTypeSymbolicLink", f_KindSymLink, "SYM "},
    {S_IFSOCK, "NSFileTypeSocket", f_KindSocket, "SOC "},
    {S_IFCHR, "NSFileTypeCharacterSpecial", f_KindCharDevice, "CHR "},
    {S_IFBLK, "NSFileTypeBlockSpecial", f_KindBlockDevice, "BLK "},
};
constexpr KindRow otherKind = {0, "NSFileTypeUnknown", f_KindOther, "ILL "};

// System files the catalogue hides besides the names beginning with ".".
constexpr const char *hiddenNames[] = {"Icon\r", "mach_kernel", "Synchronize! Volume ID"};

// Linux keeps no type and creator codes: both read as 0.
constexpr long long hostTypeCode = 0;
constexpr long long hostCreatorCode = 0;

}  // namespace

// "dd.MM.yyyy HH:mm:ss" of a count of seconds since 1970, in local time.
static std::string dateStrFromSeconds(long long seconds) {
    time_t t = time_t(seconds);
    tm local{};
    if (localtime_r(&t, &local) == nullptr) return "00.00.0000 00:00:00";
    char buf[64];
    snprintf(buf, sizeof buf, "%02d.%02d.%04lld %02d:%02d:%02d", local.tm_mday, local.tm_mon + 1,
             (long long)local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    return buf;
}

// A file time as a date; times the clock cannot hold are clamped to its range.
static f_Date dateFromTime(long long secs, long long nanos) {
    using namespace std::chrono;
    constexpr long long limit = duration_cast<seconds>(system_clock::duration::max()).count() - 1;
    if (secs > limit) secs = limit;
    if (secs < -limit) secs = -limit;
    return system_clock::time_point(duration_cast<system_clock::duration>(seconds(secs)) +
                                    duration_cast<system_clock::duration>(nanoseconds(nanos)));
}

std::string f_DateStr(f_Date date) {
    using namespace std::chrono;
    return dateStrFromSeconds(floor<seconds>(date.time_since_epoch()).count());
}

static const KindRow &kindOf(mode_t mode) {
    for (const KindRow &row : kindTable)
        if ((mode & S_IFMT) == row.Mode) return row;
    return otherKind;
}

// FS_IMMUTABLE_FL through the file's flags; only regular files and folders
// are opened, as opening a device or a pipe can have effects of its own.
static bool immutableByFlags(const std::string &path) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool immutable = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL) != 0;
    close(fd);
    return immutable;
}

bool f_IsInvisible(std::string_view name) {
    if (!name.empty() && name.front() == '.') return true;
    if (f_LowerCase(name) == "thumbs.db") return true;
    for (const char *hidden : hiddenNames)
        if (name == hidden) return true;
    return false;
}

std::string f_Extension(std::string_view name) {
    size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

f_CatItem f_FileAttributes(std::string_view pathView) {
    f_CatItem item;
    std::string path(pathView);
    struct stat st;
    if (path.empty() || lstat(path.c_str(), &st) != 0) {
        t_Log("f_FileAttributes: Error #" + std::string(std::strerror(path.empty() ? ENOENT : errno)));
    } else {
        item.Name = t_PathFileName(path);
        item.Path = t_PathDirectory(path);
        const KindRow &kind = kindOf(st.st_mode);
        item.Kind = kind.Kind;
        item.KindNum = kind.KindNum;
        if (kind.KindNum == f_KindRegular) {
            item.FileType = t_FourCharCode(hostTypeCode);
            item.FileCreator = t_FourCharCode(hostCreatorCode);
            if (item.FileType == "????" || item.FileType == "    ")
                item.FileType = f_TypeForExtension(f_Extension(item.Name));
        } else {
            item.FileType = kind.FileType;
            item.FileCreator = "----";
        }
        item.Size = int64_t(st.st_size);
        item.Modified = dateFromTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        item.ModifiedStr = dateStrFromSeconds(st.st_mtim.tv_sec);

        struct statx sx;
        bool haveStatx = statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                               STATX_BTIME, &sx) == 0;
        if (haveStatx && (sx.stx_mask & STATX_BTIME)) {
            item.Created = dateFromTime(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
            item.CreatedStr = dateStrFromSeconds(sx.stx_btime.tv_sec);
        }
        if (haveStatx && (sx.stx_attributes_mask & STATX_ATTR_IMMUTABLE))
            item.ReadOnly = (sx.stx_attributes & STATX_ATTR_IMMUTABLE) != 0;
        else if (kind.KindNum == f_KindRegular || kind.KindNum == f_KindFolder)
            item.ReadOnly = immutableByFlags(path);
    }
    item.Invisible = f_IsInvisible(item.Name);
    item.Alias = item.FileType == "fdrp" || item.FileType == "SYM ";
    return item;
}
