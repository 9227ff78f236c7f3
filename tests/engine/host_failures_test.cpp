// Host failures injected while images are saved and read.  The tests run as
// root here, where file permissions stop no write; the failures are made
// with what stops root too: the immutable attribute, a read-only bind mount,
// a full file system, a parent that is a regular file, a folder that is
// gone, and /proc.  A case whose means the host does not offer is skipped.
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "files.h"
#include "hardening_support.h"
#include "log.h"

namespace {

bool run(const std::string &command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// A volume with a file in it and unsaved changes, meant for path.
cpm_Volume changedVolume(const std::string &path) {
    cpm_Volume v = cpm_MakeVolume(path, 128);
    return cpm_SaveFile(std::move(v), Text("NOTE.TXT"), Text(std::string(5000, 'n'))).Volume;
}

// Where a save is to fail, and how to undo the setup.
struct FailingTarget {
    std::string Path;            // "" when the host cannot make this failure
    std::function<void()> Undo;  // run after the case
};

struct SaveFailureCase {
    const char *Name;
    std::function<FailingTarget(const ScratchFolder &)> Make;
};

const SaveFailureCase saveFailures[] = {
    {"immutable image file",
     [](const ScratchFolder &f) -> FailingTarget {
         std::string path = f.file("locked.dsk");
         writeFile(path, Text("old image"));
         if (!run("chattr +i '" + path + "'")) return {};
         return {path, [path] { run("chattr -i '" + path + "'"); }};
     }},
    {"read-only bind mount",
     [](const ScratchFolder &f) -> FailingTarget {
         std::string inner = f.file("inner"), ro = f.file("ro");
         fs::create_directory(inner);
         fs::create_directory(ro);
         writeFile(inner + "/image.dsk", Text("old image"));
         if (mount(inner.c_str(), ro.c_str(), nullptr, MS_BIND, nullptr) != 0) return {};
         if (mount(nullptr, ro.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
             umount(ro.c_str());
             return {};
         }
         return {ro + "/image.dsk", [ro] { umount(ro.c_str()); }};
     }},
    {"full file system",
     [](const ScratchFolder &f) -> FailingTarget {
         std::string small = f.file("small");
         fs::create_directory(small);
         if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=160k") != 0) return {};
         // The old image fits; the new one (written beside it first) does not.
         writeFile(small + "/image.dsk", Text(std::vector<uint8_t>(100 * 1024, 0xE5)));
         return {small + "/image.dsk", [small] { umount(small.c_str()); }};
     }},
    {"parent is a regular file",
     [](const ScratchFolder &f) -> FailingTarget {
         writeFile(f.file("plain"), Text("not a folder"));
         return {f.file("plain") + "/image.dsk", [] {}};
     }},
    {"folder that disappeared",
     [](const ScratchFolder &f) -> FailingTarget {
         std::string gone = f.file("gone");
         fs::create_directory(gone);
         fs::remove(gone);
         return {gone + "/image.dsk", [] {}};
     }},
    {"/proc",
     [](const ScratchFolder &) -> FailingTarget {
         if (t_FileExists("/proc/self") != 2) return {};
         return {"/proc/dw-hardening-image.dsk", [] {}};
     }},
    {"path is a folder",
     [](const ScratchFolder &f) -> FailingTarget {
         fs::create_directory(f.file("folder.dsk"));
         return {f.file("folder.dsk"), [] {}};
     }},
    {"empty path", [](const ScratchFolder &) -> FailingTarget { return {"", [] {}}; }},
};

class HostFailures : public ::testing::Test {
protected:
    void SetUp() override { cpm_SetDiagnostics(false); }
    void TearDown() override { cpm_SetDiagnostics(true); }
};

// A failed save says why, leaves the file as it was (no half-written image,
// no temporary file) and the volume in memory as it was.
TEST_F(HostFailures, FailedSaveKeepsFileAndVolume) {
    int skipped = 0;
    for (const SaveFailureCase &c : saveFailures) {
        SCOPED_TRACE(c.Name);
        ScratchFolder folder;
        FailingTarget target = c.Make(folder);
        if (target.Path.empty() && std::string(c.Name) != "empty path") {
            skipped++;
            continue;
        }
        const std::string parent = target.Path.substr(0, target.Path.rfind('/') + 1);
        const bool parentListed = !parent.empty() && t_FileExists(parent) == 2 && parent != "/proc/";
        std::set<std::string> before;
        if (parentListed)
            for (const auto &e : fs::directory_iterator(parent)) before.insert(e.path().filename().string());
        const Text oldFile = readFile(target.Path);

        const cpm_Volume volume = changedVolume(target.Path);
        cpm_SaveVolumeResult r = cpm_SaveVolume(volume);
        EXPECT_FALSE(r.Message.empty()) << "a failed save reported success";
        EXPECT_TRUE(r.Volume.Changed);
        EXPECT_EQ(r.Volume.Image, volume.Image);
        EXPECT_EQ(r.Volume.Names, volume.Names);
        EXPECT_EQ(r.Volume.Path, volume.Path);
        EXPECT_EQ(readFile(target.Path), oldFile) << "the file on disk changed";
        if (parentListed) {
            std::set<std::string> after;
            for (const auto &e : fs::directory_iterator(parent)) after.insert(e.path().filename().string());
            EXPECT_EQ(after, before) << "a temporary file was left behind";
        }
        // The file helper gives the error number that the message describes.
        int err = setbinarytofile(target.Path, volume.Image);
        EXPECT_NE(err, 0);
        EXPECT_EQ(t_ErrorText(err), r.Message);
        target.Undo();
    }
    if (skipped) std::printf("%d failure kinds not available on this host\n", skipped);
}

// A read-only volume is never written, even where the host would allow it.
TEST_F(HostFailures, ReadOnlyVolumeIsNotWritten) {
    ScratchFolder folder;
    std::string path = folder.file("image.dsk");
    writeFile(path, Text("old image"));
    cpm_Volume v = changedVolume(path);
    v.ReadOnly = true;
    cpm_SaveVolumeResult r = cpm_SaveVolume(v);
    EXPECT_EQ(r.Message, "Image file is read-only.");
    EXPECT_EQ(readFile(path), Text("old image"));
    EXPECT_TRUE(r.Volume.Changed);
}

// An image file replaced or removed while its volume is open: saving writes
// the volume whole (never a mixture of the two images) and reloading gives
// what is on disk.
TEST_F(HostFailures, ImageFileReplacedWhileOpen) {
    struct Change {
        const char *Name;
        std::function<void(const std::string &)> Apply;
    };
    const Change changes[] = {
        {"replaced by a longer file", [](const std::string &p) { writeFile(p + ".new", Text(std::vector<uint8_t>(300 * 1024, 0x11))); fs::rename(p + ".new", p); }},
        {"truncated in place", [](const std::string &p) { fs::resize_file(p, 1000); }},
        {"overwritten in place", [](const std::string &p) { writeFile(p, Text(std::vector<uint8_t>(64 * 1024, 0x22))); }},
        {"removed", [](const std::string &p) { fs::remove(p); }},
        {"replaced by a folder", [](const std::string &p) { fs::remove(p); fs::create_directory(p); }},
    };
    for (const Change &c : changes) {
        SCOPED_TRACE(c.Name);
        ScratchFolder folder;
        std::string path = folder.file("image.dsk");
        ASSERT_EQ(cpm_SaveVolume(cpm_MakeVolume(path, 128)).Message, "");
        cpm_Volume open = cpm_LoadVolume(path);
        open = cpm_SaveFile(std::move(open), Text("NEW.TXT"), Text(std::string(3000, 'z'))).Volume;
        c.Apply(path);
        const Text onDisk = readFile(path);
        cpm_Volume undo = cpm_LoadVolume(path);
        if (t_FileExists(path) == 1) {
            EXPECT_EQ(undo.Image, onDisk) << "reloading gave something else";
        } else {
            EXPECT_TRUE(undo.Path.empty());
        }

        cpm_SaveVolumeResult r = cpm_SaveVolume(open);
        Text after = readFile(path);
        if (r.Message.empty()) {
            EXPECT_EQ(after, cpm_FileImage(open)) << "saved image differs from the volume";
        } else {
            EXPECT_EQ(after, onDisk) << "failed save changed the file";
        }
        EXPECT_EQ(folder.names().size(), 1u) << "a temporary file was left behind";
    }
}

// Host files that vanish, or are no regular files, between listing and
// reading: the reader logs and gives nothing, and never waits.
TEST_F(HostFailures, ReadingFilesThatAreGoneOrSpecial) {
    ScratchFolder folder;
    std::string vanished = folder.file("vanished.dsk");
    writeFile(vanished, Text("image"));
    ASSERT_EQ(t_FileExists(vanished), 1);   // listed
    fs::remove(vanished);                   // then gone before it is read

    std::string fifo = folder.file("pipe.dsk");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);

    std::string socketPath = folder.file("socket.dsk");
    int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);

    struct ReadCase {
        const char *Name;
        std::string Path;
    };
    const ReadCase cases[] = {
        {"vanished file", vanished},
        {"named pipe without a writer", fifo},
        {"socket", socketPath},
        {"endless character device", "/dev/zero"},
    };
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.Name);
        std::string log;
        t_SetLogTee([&log](std::string_view s) { log += s; });
        Text bytes = getbinaryfromfile(c.Path);
        t_SetLogTee(nullptr);
        EXPECT_EQ(bytes.size(), 0u);
        EXPECT_EQ(log.rfind("getbinaryfromfile: Error #", 0), 0u) << log;
        // Opening such a path as a volume gives no volume.
        cpm_Volume v = cpm_LoadVolume(c.Path);
        EXPECT_TRUE(v.Path.empty());
        EXPECT_TRUE(v.Image.empty());
    }
    close(sock);
}

}  // namespace
