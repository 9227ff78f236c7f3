// mount: an image's files as a folder, served through FUSE.  The operations
// are the plain procedures of mount_volume.cpp; this file only hands them
// the kernel's requests, saves on time, and sets the mount up and down.
// One thread serves the requests; the timed saves run on a second one, and
// one mutex keeps the volume to one of them at a time.
#define FUSE_USE_VERSION 31

#include <fuse.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <thread>

#include "cli.h"
#include "image.h"
#include "in_place.h"
#include "mount_image.h"
#include "mount_volume.h"

using Clock = std::chrono::steady_clock;

// Saved this long after the last write, and at most this long after the first unsaved one.
static constexpr auto quietSave = std::chrono::seconds(2);
static constexpr auto latestSave = std::chrono::seconds(10);

namespace {
struct Mount {
    cli_MountVolume Volume;
    cli_MountImage Image;
    bool Foreground = false;
    std::mutex Lock;
    Clock::time_point LastWrite, FirstUnsaved;
    bool Stopping = false;
    std::condition_variable Wake;
};
}
static Mount *mounted = nullptr;

// A line of the mount's log: standard error in the foreground, else the system log.
static void logLine(const std::string &line) {
    if (line.empty()) return;
    if (mounted && !mounted->Foreground) syslog(LOG_WARNING, "%s", line.c_str());
    else fprintf(stderr, "diskwright-cli: %s\n", line.c_str());
}

// Under the lock: saves now.
static void saveNow(Mount &m) { logLine(cli_MountSave(m.Volume, m.Image)); }

// Under the lock: a change was made; the clocks of the timed save start.
static int noteChange(Mount &m, int result) {
    if (result < 0 || !m.Volume.Changed) return result;
    Clock::time_point now = Clock::now();
    m.LastWrite = now;
    if (m.FirstUnsaved == Clock::time_point()) m.FirstUnsaved = now;
    return result;
}

static void timedSaves(Mount &m) {
    std::unique_lock<std::mutex> held(m.Lock);
    while (!m.Stopping) {
        m.Wake.wait_for(held, std::chrono::milliseconds(100));
        if (!m.Volume.Changed) {
            m.FirstUnsaved = Clock::time_point();
            continue;
        }
        Clock::time_point now = Clock::now();
        if (now - m.LastWrite < quietSave && now - m.FirstUnsaved < latestSave) continue;
        saveNow(m);
        if (!m.Volume.Changed) m.FirstUnsaved = Clock::time_point();
    }
}

// --- the kernel's requests -------------------------------------------------------------

#define HELD std::lock_guard<std::mutex> held_(mounted->Lock)

static void *fsInit(fuse_conn_info *, fuse_config *config) {
    // An unlinked open file is gone at once: a hidden ".fuse_hidden" name is no CP/M name.
    config->hard_remove = 1;
    config->use_ino = 0;
    return nullptr;
}

static int fsGetattr(const char *path, struct stat *st, fuse_file_info *) {
    HELD;
    return cli_MountGetattr(mounted->Volume, path, *st);
}

static int fsReaddir(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *,
                     fuse_readdir_flags) {
    HELD;
    std::vector<std::string> names;
    if (int err = cli_MountList(mounted->Volume, path, names); err != 0) return err;
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags(0));
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags(0));
    for (const std::string &n : names) fill(buffer, n.c_str(), nullptr, 0, fuse_fill_dir_flags(0));
    return 0;
}

static int fsOpen(const char *path, fuse_file_info *fi) {
    HELD;
    fi->fh = 0;
    return cli_MountOpen(mounted->Volume, path, (fi->flags & O_ACCMODE) != O_RDONLY);
}

static int fsRead(const char *path, char *buffer, size_t size, off_t offset, fuse_file_info *) {
    HELD;
    return int(cli_MountRead(mounted->Volume, path, buffer, size, offset));
}

static int fsWrite(const char *path, const char *bytes, size_t size, off_t offset, fuse_file_info *fi) {
    HELD;
    fi->fh = 1;   // written: saved when it is closed
    return noteChange(*mounted, int(cli_MountWrite(mounted->Volume, path, bytes, size, offset)));
}

static int fsCreate(const char *path, mode_t, fuse_file_info *fi) {
    HELD;
    fi->fh = 1;
    return noteChange(*mounted, cli_MountCreate(mounted->Volume, path));
}

static int fsTruncate(const char *path, off_t size, fuse_file_info *) {
    HELD;
    return noteChange(*mounted, cli_MountTruncate(mounted->Volume, path, size));
}

static int fsUnlink(const char *path) {
    HELD;
    return noteChange(*mounted, cli_MountUnlink(mounted->Volume, path));
}

static int fsRename(const char *from, const char *to, unsigned int flags) {
    HELD;
    if (flags & ~unsigned(RENAME_NOREPLACE)) return -EINVAL;
    return noteChange(*mounted, cli_MountRename(mounted->Volume, from, to, flags & RENAME_NOREPLACE));
}

static int fsChmod(const char *path, mode_t mode, fuse_file_info *) {
    HELD;
    return noteChange(*mounted, cli_MountChmod(mounted->Volume, path, mode));
}

// Owners and times are the mount's own: accepted and not kept, so that
// cp -p and touch work.
static int fsChown(const char *path, uid_t, gid_t, fuse_file_info *) {
    HELD;
    struct stat st;
    return cli_MountGetattr(mounted->Volume, path, st);
}

static int fsUtimens(const char *path, const struct timespec *, fuse_file_info *) {
    HELD;
    struct stat st;
    return cli_MountGetattr(mounted->Volume, path, st);
}

static int fsMkdir(const char *path, mode_t) {
    HELD;
    return cli_MountMkdir(mounted->Volume, path);
}

static int fsRmdir(const char *path) {
    HELD;
    return cli_MountRmdir(mounted->Volume, path);
}

static int fsStatfs(const char *, struct statvfs *st) {
    HELD;
    return cli_MountStatfs(mounted->Volume, *st);
}

// A change that could not be saved (a failed save, or a mount turned
// read-only by another writer) fails the fsync.
static int fsFsync(const char *, int, fuse_file_info *) {
    HELD;
    saveNow(*mounted);
    return mounted->Volume.Changed ? -EIO : 0;
}

static int fsRelease(const char *, fuse_file_info *fi) {
    HELD;
    if (fi->fh) saveNow(*mounted);
    return 0;
}

static int fsGetxattr(const char *path, const char *name, char *value, size_t size) {
    HELD;
    std::string text;
    if (int err = cli_MountGetXattr(mounted->Volume, path, name, text); err != 0) return err;
    if (size == 0) return int(text.size());
    if (size < text.size()) return -ERANGE;
    memcpy(value, text.data(), text.size());
    return int(text.size());
}

static int fsListxattr(const char *path, char *list, size_t size) {
    HELD;
    std::vector<std::string> names;
    if (int err = cli_MountListXattr(mounted->Volume, path, names); err != 0) return err;
    std::string all;
    for (const std::string &n : names) all += n + '\0';
    if (size == 0) return int(all.size());
    if (size < all.size()) return -ERANGE;
    memcpy(list, all.data(), all.size());
    return int(all.size());
}

static int fsSetxattr(const char *path, const char *name, const char *value, size_t size, int) {
    HELD;
    return noteChange(*mounted, cli_MountSetXattr(mounted->Volume, path, name, std::string(value, size)));
}

static int fsRemovexattr(const char *, const char *name) {
    return std::string(name).rfind("user.cpm.", 0) == 0 ? -EPERM : -ENODATA;
}

static fuse_operations operations() {
    fuse_operations ops{};
    ops.init = fsInit;
    ops.getattr = fsGetattr;
    ops.readdir = fsReaddir;
    ops.open = fsOpen;
    ops.read = fsRead;
    ops.write = fsWrite;
    ops.create = fsCreate;
    ops.truncate = fsTruncate;
    ops.unlink = fsUnlink;
    ops.rename = fsRename;
    ops.chmod = fsChmod;
    ops.chown = fsChown;
    ops.utimens = fsUtimens;
    ops.mkdir = fsMkdir;
    ops.rmdir = fsRmdir;
    ops.statfs = fsStatfs;
    ops.fsync = fsFsync;
    ops.release = fsRelease;
    ops.getxattr = fsGetxattr;
    ops.listxattr = fsListxattr;
    ops.setxattr = fsSetxattr;
    ops.removexattr = fsRemovexattr;
    return ops;
}

// --- setting up --------------------------------------------------------------------------

// "" when the folder can take a mount, else why not.
static std::string folderRefusal(const std::string &folder) {
    struct stat st;
    if (stat(folder.c_str(), &st) != 0) return folder + ": no such folder";
    if (!S_ISDIR(st.st_mode)) return folder + ": not a folder";
    DIR *dir = opendir(folder.c_str());
    if (!dir) return folder + ": " + strerror(errno);
    bool empty = true;
    while (dirent *e = readdir(dir))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) empty = false;
    closedir(dir);
    return empty ? "" : folder + ": folder is not empty";
}

// "" when this system can mount, else why not.
static std::string systemRefusal() {
    if (access("/dev/fuse", R_OK | W_OK) != 0)
        return "/dev/fuse: " + std::string(strerror(errno)) + ": this system cannot mount (the fuse module is not loaded)";
    if (std::system("command -v fusermount3 >/dev/null 2>&1") != 0)
        return "fusermount3 not found: install the fuse3 package";
    return "";
}

static int refuse(const std::string &line) {
    cli_Err("diskwright-cli: " + line);
    return cli_Refused;
}

int cli_Mount(const cli_Parsed &line) {
    const cli_Args &args = line.Operands;
    std::string userText;
    bool hasUser = cli_Option(line, "--user", userText), all = cli_Flag(line, "--all");
    if (args.size() != 2 || (hasUser && all)) return cli_UsageOf("mount");
    int user = hasUser ? cli_UserOption(userText) : 0;
    if (user < 0) return cli_UsageOf("mount");
    const std::string &folder = args[1];
    // The mount serves from the root folder: the image is named from there.
    std::string here;
    if (char *cwd = getcwd(nullptr, 0)) {
        here = std::string(cwd) + "/";
        free(cwd);
    }
    auto fromRoot = [&](const std::string &path) { return path.empty() || path[0] == '/' ? path : here + path; };
    const std::string &image = args[0];
    if (std::string refusal = folderRefusal(folder); !refusal.empty()) return refuse(refusal);
    if (std::string refusal = systemRefusal(); !refusal.empty()) return refuse(refusal);
    std::string file = fromRoot(cli_SliceFile(cli_SlicePath(line, image)));
    if (std::string refusal = cpm_ImageFileRefusal(file); !refusal.empty()) return refuse(image + ": " + refusal);

    static Mount m;
    mounted = &m;
    m.Foreground = cli_Flag(line, "-F") || cli_Flag(line, "--foreground");
    if (std::string refusal = cli_MountHold(m.Image, image, file); !refusal.empty()) return refuse(refusal);
    // An interrupted in-place save is rolled back under the lock; one that
    // cannot be leaves the image read-only.
    std::string record;
    int recovery = t_RecoverInterruptedSave(file, true, record);
    if (recovery != t_NothingToRecover) cli_Err("diskwright-cli: " + t_RecoveryNote(image, recovery, record));
    cpm_Volume volume;
    if (!cli_Open(line, image, volume)) return cli_Refused;
    if (recovery == t_RecoveryPending) volume.ReadOnly = true;
    volume.Path = fromRoot(volume.Path);
    bool readOnly = cli_Flag(line, "--read-only");
    bool allUsers = all || (!hasUser && cli_MountAllUsersByDefault(volume));
    m.Volume = cli_MountOf(std::move(volume), allUsers, user, readOnly);
    if (m.Volume.ReadOnly && !readOnly) cli_Err("diskwright-cli: " + image + ": mounted read-only");
    struct stat st;
    if (stat(file.c_str(), &st) == 0) m.Volume.ImageTime = st.st_mtime;
    m.Volume.Uid = getuid();
    m.Volume.Gid = getgid();

    // A comma of the path is escaped: it would end the option.
    std::string name;
    for (char c : file) name += c == ',' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    std::string options = "fsname=" + name + ",subtype=cpm,default_permissions";
    if (m.Volume.ReadOnly) options += ",ro";
    std::vector<std::string> words = {"diskwright-cli", "-o", options};
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(w.data());
    fuse_args fargs = FUSE_ARGS_INIT(int(argv.size()), argv.data());
    fuse_operations ops = operations();
    fuse *f = fuse_new(&fargs, &ops, sizeof ops, nullptr);
    fuse_opt_free_args(&fargs);   // the arguments the library added while it parsed them
    if (!f) return refuse(folder + ": could not be mounted");
    if (fuse_mount(f, folder.c_str()) != 0) {
        fuse_destroy(f);
        return refuse(folder + ": could not be mounted");
    }
    if (!m.Foreground) openlog("diskwright-cli", LOG_PID, LOG_USER);
    if (fuse_daemonize(m.Foreground) != 0) {
        fuse_unmount(f);
        fuse_destroy(f);
        return refuse(folder + ": could not go to the background");
    }
    fuse_set_signal_handlers(fuse_get_session(f));
    std::thread saver(timedSaves, std::ref(m));
    int loop = fuse_loop(f);
    {
        std::lock_guard<std::mutex> held(m.Lock);
        m.Stopping = true;
        saveNow(m);
    }
    m.Wake.notify_all();
    saver.join();
    fuse_remove_signal_handlers(fuse_get_session(f));
    fuse_unmount(f);
    fuse_destroy(f);
    cli_MountRelease(m.Image);
    return loop == 0 && !m.Volume.Changed ? cli_Ok : cli_Refused;
}
