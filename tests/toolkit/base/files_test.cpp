// Whole-file helpers on a temporary folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "child_output.h"
#include "files.h"
#include "host_batch.h"
#include "in_place.h"
#include "in_use.h"
#include "log_capture.h"
#include "temp_folder.h"

namespace {

TEST(FileHelpers, FileExistsTellsKindsAndWholeFilesAreRead) {
    test_TempFolder folder;
    EXPECT_EQ(t_FileExists(""), -1);
    EXPECT_EQ(t_FileExists(folder.at("missing")), 0);
    EXPECT_EQ(t_FileExists(folder.file("f")), 1);
    EXPECT_EQ(t_FileExists(folder.Path), 2);
    // Whole files are read; a failure gives nothing and a log line.
    EXPECT_EQ(gettextfromfile(folder.write("f", std::string("a\0b", 3))), Text(std::string_view("a\0b", 3)));
    EXPECT_TRUE(gettextfromfile(folder.file("empty")).empty());
    test_LogCapture log;
    EXPECT_TRUE(gettextfromfile(folder.at("missing")).empty());
    EXPECT_TRUE(getbinaryfromfile(folder.Path).empty());
    EXPECT_EQ(log.count("gettextfromfile: Error #"), 1);
    EXPECT_EQ(log.count("getbinaryfromfile: Error #"), 1);
}

TEST(FileHelpers, WriteCreatesAndReplacesKeepingMode) {
    test_TempFolder folder;
    std::string path = folder.at("new");
    EXPECT_EQ(setbinarytofile(path, Text("one")), 0);
    EXPECT_EQ(gettextfromfile(path), Text("one"));
    chmod(path.c_str(), 0640);
    EXPECT_EQ(setbinarytofile(path, Text("two!")), 0);
    EXPECT_EQ(gettextfromfile(path), Text("two!"));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(folder.names(), std::set<std::string>{"new"});   // no temporary file left behind
}

TEST(FileHelpers, FailedWriteKeepsTheOldContents) {
    test_TempFolder folder;
    std::string keep = folder.write("keep", "old");
    test_LogCapture log;
    EXPECT_NE(setbinarytofile(folder.Path, Text("x")), 0);   // a folder is no file
    EXPECT_NE(setbinarytofile(folder.at("nofolder/x"), Text("x")), 0);
    EXPECT_NE(setbinarytofile(keep + "/x", Text("x")), 0);
    EXPECT_EQ(log.count("setbinarytofile: Error #"), 3);
    EXPECT_EQ(gettextfromfile(keep), Text("old"));
}

TEST(FileHelpers, ImageSavesKeepLinksOwnerModeAclAndAttributes) {
    test_TempFolder folder;
    std::string real = folder.write("real", "old"), link = folder.at("link"), hard = folder.at("hard");
    folder.link("link", "real");
    std::filesystem::create_hard_link(real, hard);
    chmod(real.c_str(), 0640);
    bool xattrs = setxattr(real.c_str(), "user.origin", "test", 4, 0) == 0;
    bool acl = test_Shell("setfacl -m u:nobody:r '" + real + "' 2>/dev/null") == 0;
    bool root = geteuid() == 0;
    if (root) { ASSERT_EQ(chown(real.c_str(), 1234, 4321), 0); }
    struct stat before, after;
    ASSERT_EQ(stat(real.c_str(), &before), 0);
    auto expectKept = [&] {
        ASSERT_EQ(stat(real.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
        if (root) { EXPECT_EQ(std::make_pair(after.st_uid, after.st_gid), std::make_pair(uid_t(1234), gid_t(4321))); }
    };

    ASSERT_EQ(setbinarytofile(link, Text("new bytes")), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));   // the link stays a link
    EXPECT_EQ(gettextfromfile(real), Text("new bytes"));
    EXPECT_EQ(gettextfromfile(hard), Text("new bytes"));   // every hard link sees it
    expectKept();
    // Without links the new file is renamed in place and still keeps it all.
    std::filesystem::remove(hard);
    ASSERT_EQ(setbinarytofile(real, Text("third")), 0);
    expectKept();
    EXPECT_NE(after.st_ino, before.st_ino);
    char value[16] = {};
    if (xattrs) { EXPECT_EQ(getxattr(real.c_str(), "user.origin", value, sizeof value), 4); }
    std::string facl;
    if (acl && test_Shell("getfacl -p '" + real + "'", &facl) >= 0) {
        EXPECT_NE(facl.find("user:nobody:r--"), std::string::npos);
    }
    EXPECT_EQ(folder.names(), (std::set<std::string>{"link", "real"}));   // no temporary file
}

TEST(FileHelpers, HostCopiesNeverFollowLinksNorOpenPipes) {
    test_TempFolder folder;
    std::string outside = folder.write("outside", "keep"), copy = folder.at("copy"), pipe = folder.at("pipe");
    std::string taken = folder.write("taken", "taken");
    folder.link("copy", outside);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    test_LogCapture log;
    EXPECT_EQ(t_WriteFile(copy, Text("data"), t_WriteHostCopy), 0);
    EXPECT_EQ(t_WriteFile(pipe, Text("data"), t_WriteHostCopy), t_NotRegularFile);   // returns at once
    EXPECT_EQ(t_WriteFile(taken, Text("data"), t_WriteHostCopy | t_WriteNoReplace), EEXIST);
    EXPECT_FALSE(std::filesystem::is_symlink(copy));
    EXPECT_EQ(gettextfromfile(copy), Text("data"));
    EXPECT_EQ(gettextfromfile(outside), Text("keep"));
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    EXPECT_EQ(gettextfromfile(taken), Text("taken"));
    int fd = -1;
    long long size = 0;
    EXPECT_EQ(t_OpenRegularFile(pipe, fd, size), t_NotRegularFile);
    EXPECT_EQ(t_OpenRegularFile("/dev/null", fd, size), t_NotRegularFile);
}

// A batch writes each target as t_WriteFile would, file by file: what is in
// the way of one file fails that file only, and no temporary stays behind.
TEST(FileHelpers, BatchWritesEachTargetAsASingleCopyWould) {
    test_TempFolder folder;
    folder.folder("sub");
    folder.folder("in-the-way");
    folder.write("outside", "keep");
    folder.link("link", folder.at("outside"));
    folder.write("old", "old contents");
    chmod(folder.at("old").c_str(), 0640);
    folder.write("taken", "taken");
    ASSERT_EQ(mkfifo(folder.at("pipe").c_str(), 0644), 0);
    struct Case {
        const char *Name;
        int How;
        const char *Bytes;
        int Result;
        const char *After;   // what the name holds afterwards; nullptr: not a file
    };
    const Case cases[] = {
        {"new", t_WriteHostCopy, "new", 0, "new"},
        {"sub/deeper", t_WriteHostCopy, "deeper", 0, "deeper"},
        {"old", t_WriteHostCopy, "replaced", 0, "replaced"},
        {"link", t_WriteHostCopy, "no link", 0, "no link"},   // the link is replaced, never followed
        {"in-the-way", t_WriteHostCopy, "x", EISDIR, nullptr},
        {"pipe", t_WriteHostCopy, "x", t_NotRegularFile, nullptr},
        {"taken", t_WriteHostCopy | t_WriteNoReplace, "x", EEXIST, "taken"},
        {"missing/file", t_WriteHostCopy, "x", ENOENT, nullptr},
        {"empty", t_WriteHostCopy | t_WriteNoReplace, "", 0, ""},
    };
    t_HostBatch batch;
    for (const Case &c : cases) t_BatchAdd(batch, folder.at(c.Name), Text(c.Bytes), c.How);
    // Nothing is at a new name before the batch is finished.
    EXPECT_EQ(t_FileExists(folder.at("new")), 0);
    EXPECT_EQ(gettextfromfile(folder.at("old")), Text("old contents"));
    t_BatchFinish(batch);
    ASSERT_EQ(batch.Files.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); i++) {
        const Case &c = cases[i];
        EXPECT_EQ(batch.Files[i].Result, c.Result) << c.Name;
        EXPECT_EQ(batch.Files[i].Fd, -1) << c.Name;
        if (c.After) {
            EXPECT_EQ(gettextfromfile(folder.at(c.Name)), Text(c.After)) << c.Name;
        }
    }
    EXPECT_FALSE(std::filesystem::is_symlink(folder.at("link")));
    EXPECT_EQ(gettextfromfile(folder.at("outside")), Text("keep"));
    struct stat st;
    ASSERT_EQ(stat(folder.at("old").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);   // a replaced file's mode passes on
    EXPECT_TRUE(std::filesystem::is_fifo(folder.at("pipe")));
    EXPECT_EQ(folder.names(), (std::set<std::string>{"empty", "in-the-way", "link", "new", "old", "outside", "pipe",
                                                     "sub", "taken"}));
    EXPECT_EQ(folder.names("sub"), std::set<std::string>{"deeper"});
}

// More files than a batch keeps open at once: every one arrives whole, in
// several folders, and a name given twice holds the later bytes.
TEST(FileHelpers, LargeBatchArrivesWhole) {
    test_TempFolder folder;
    folder.folder("a");
    folder.folder("b");
    t_HostBatch batch;
    auto bytesOf = [](int i) { return std::string(size_t(i * 37 % 5000), char('A' + i % 26)); };
    for (int i = 0; i < 600; i++)
        t_BatchAdd(batch, folder.at(std::string(i % 2 ? "a/" : "b/") + std::to_string(i)), Text(bytesOf(i)), t_WriteHostCopy);
    t_BatchAdd(batch, folder.at("a/1"), Text("again"), t_WriteHostCopy);
    t_BatchFinish(batch);
    for (const t_BatchFile &f : batch.Files) EXPECT_EQ(f.Result, 0) << f.Path;
    for (int i = 2; i < 600; i++)
        EXPECT_EQ(gettextfromfile(folder.at(std::string(i % 2 ? "a/" : "b/") + std::to_string(i))), Text(bytesOf(i))) << i;
    EXPECT_EQ(gettextfromfile(folder.at("a/1")), Text("again"));
    EXPECT_EQ(folder.names("a").size() + folder.names("b").size(), 600u);   // no temporary left
}

// Ranges written in place: the same file (every hard link sees them), its
// length as asked, and no record left behind.
TEST(FileHelpers, RangesAreWrittenInPlace) {
    test_TempFolder folder;
    std::string path = folder.write("img", "0123456789");
    struct stat before, after;
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    const struct {
        std::vector<t_Range> Ranges;
        long long Length;
        std::string After;
    } cases[] = {
        {{{2, Text("ab")}, {8, Text("XYZ")}}, -1, "01ab4567XYZ"},   // one range past the end
        {{{0, Text("Q")}}, 4, "Q1ab"},                               // cut
        {{}, 6, std::string("Q1ab\0\0", 6)},                        // grown
        {{{9, Text("!")}}, -1, std::string("Q1ab\0\0\0\0\0!", 10)},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(t_WriteRanges(path, c.Ranges, c.Length), 0);
        EXPECT_EQ(gettextfromfile(path).bytes(), c.After);
    }
    EXPECT_EQ(t_WriteInPlace(path, Text("Q1ab--")), 0);
    EXPECT_EQ(gettextfromfile(path), Text("Q1ab--"));
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(folder.names(), std::set<std::string>{"img"});
    std::string record;
    EXPECT_EQ(t_RecoverInterruptedSave(path, false, record), t_NothingToRecover);
    EXPECT_EQ(t_RecoveryNote("img", t_NothingToRecover, record), "");
}

// A held write puts the new file in place already locked and marked: a
// writer that yields to mounts is refused from the first moment, and the
// file is free once the held descriptor is closed.
TEST(FileHelpers, HeldWriteHandsOverTheNewFileLockedAndMarked) {
    test_TempFolder folder;
    std::string image = folder.write("img", "old");
    struct stat before, after;
    ASSERT_EQ(stat(image.c_str(), &before), 0);
    int held = -1;
    ASSERT_EQ(t_WriteFileHeld(image, Text("new bytes"), held), 0);
    ASSERT_GE(held, 0);
    ASSERT_EQ(stat(image.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(gettextfromfile(image), Text("new bytes"));
    EXPECT_TRUE(t_MarkedInUse(image));
    errno = 0;
    EXPECT_EQ(t_LockFile(image, true, t_LockMark::Yield), -1);
    EXPECT_EQ(errno, EBUSY);
    t_UnlockFile(held);
    EXPECT_FALSE(t_MarkedInUse(image));
    int lock = t_LockFile(image, true, t_LockMark::Yield);
    EXPECT_GE(lock, 0);
    t_UnlockFile(lock);
    // Written in place (a file of two links): nothing new to hold.
    ASSERT_EQ(::link(image.c_str(), folder.at("other").c_str()), 0);
    ASSERT_EQ(t_WriteFileHeld(image, Text("in place"), held), 0);
    EXPECT_EQ(held, -1);
    EXPECT_EQ(gettextfromfile(folder.at("other")), Text("in place"));
}

TEST(FileHelpers, StampSeesChangedBytesNotTouches) {
    test_TempFolder folder;
    std::string image = folder.write("img", "bytes");
    t_FileStamp stamp;
    ASSERT_TRUE(t_StampFile(image, stamp));
    EXPECT_TRUE(t_FileUnchanged(image, stamp));
    ASSERT_EQ(setbinarytofile(image, Text("bytes")), 0);   // a new file, the same bytes
    EXPECT_TRUE(t_FileUnchanged(image, stamp));
    ASSERT_EQ(setbinarytofile(image, Text("BYTES")), 0);
    EXPECT_FALSE(t_FileUnchanged(image, stamp));
}

// The stamp taken while a file is read whole is the one t_StampFile takes,
// whatever the size (more than its buffer, not a multiple of 8).
TEST(FileHelpers, StampWhileReadingMatchesStampOfTheFile) {
    test_TempFolder folder;
    for (size_t size : {size_t(0), size_t(7), size_t(1) << 20, (size_t(3) << 20) + 13}) {
        std::string bytes(size, 'x');
        for (size_t i = 0; i < size; i += 4093) bytes[i] = char(i >> 3);
        std::string path = folder.write("f", bytes);
        int fd = -1;
        long long length = 0;
        ASSERT_EQ(t_OpenRegularFile(path, fd, length), 0);
        Text read;
        t_FileStamp whileReading, separately;
        ASSERT_EQ(t_ReadOpenFile(fd, length, read, &whileReading), 0);
        ASSERT_TRUE(t_StampFile(path, separately));
        EXPECT_EQ(read.bytes(), bytes);
        EXPECT_EQ(whileReading.Size, (long long)size);
        EXPECT_EQ(whileReading.Hash, separately.Hash) << size;
        EXPECT_EQ(whileReading.Inode, separately.Inode);
        EXPECT_TRUE(t_FileUnchanged(path, whileReading));
    }
}

}  // namespace
