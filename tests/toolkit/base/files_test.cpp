// Whole-file helpers on a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "files.h"

namespace fs = std::filesystem;

namespace {

class FileHelpers : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("dw-files-" + std::to_string(getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        chmod(folder.c_str(), 0755);
        fs::remove_all(folder);
    }
    std::string path(const char *name) { return (folder / name).string(); }
    fs::path folder;
};

TEST_F(FileHelpers, FileExistsTellsKinds) {
    std::ofstream(path("f")) << "x";
    EXPECT_EQ(t_FileExists(""), -1);
    EXPECT_EQ(t_FileExists(path("missing")), 0);
    EXPECT_EQ(t_FileExists(path("f")), 1);
    EXPECT_EQ(t_FileExists(folder.string()), 2);
}

TEST_F(FileHelpers, ReadsWholeFilesAndFailsQuietly) {
    std::ofstream(path("f"), std::ios::binary) << std::string("a\0b", 3);
    std::ofstream(path("empty"));
    EXPECT_EQ(gettextfromfile(path("f")), Text(std::string_view("a\0b", 3)));
    EXPECT_TRUE(gettextfromfile(path("empty")).empty());

    testing::internal::CaptureStdout();
    EXPECT_TRUE(gettextfromfile(path("missing")).empty());
    EXPECT_TRUE(getbinaryfromfile(folder.string()).empty());
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("gettextfromfile: Error #"), std::string::npos);
    EXPECT_NE(log.find("getbinaryfromfile: Error #"), std::string::npos);
}

TEST_F(FileHelpers, UnreadableFileGivesEmptyBytes) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    std::ofstream(path("secret")) << "x";
    chmod(path("secret").c_str(), 0);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(gettextfromfile(path("secret")).empty());
    testing::internal::GetCapturedStdout();
}

TEST_F(FileHelpers, WriteCreatesAndReplacesKeepingMode) {
    EXPECT_EQ(setbinarytofile(path("new"), Text("one")), 0);
    EXPECT_EQ(gettextfromfile(path("new")), Text("one"));
    chmod(path("new").c_str(), 0640);
    EXPECT_EQ(setbinarytofile(path("new"), Text("two!")), 0);
    EXPECT_EQ(gettextfromfile(path("new")), Text("two!"));
    struct stat st;
    ASSERT_EQ(stat(path("new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(FileHelpers, FailedWriteKeepsTheOldContents) {
    std::ofstream(path("keep")) << "old";
    testing::internal::CaptureStdout();
    EXPECT_NE(setbinarytofile(folder.string(), Text("x")), 0);   // a folder is no file
    EXPECT_NE(setbinarytofile(path("nofolder/x"), Text("x")), 0);
    if (geteuid() != 0) {
        chmod(folder.c_str(), 0555);
        EXPECT_NE(setbinarytofile(path("keep"), Text("new")), 0);
        chmod(folder.c_str(), 0755);
    }
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("setbinarytofile: Error #"), std::string::npos);
    EXPECT_EQ(gettextfromfile(path("keep")), Text("old"));
}

// Runs a shell command; its standard output.
std::string shell(const std::string &command) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    char buf[512];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
    return out;
}

TEST_F(FileHelpers, ImageSavesKeepLinksOwnerModeAclAndAttributes) {
    std::ofstream(path("real")) << "old";
    fs::create_symlink("real", path("link"));
    fs::create_hard_link(path("real"), path("hard"));
    chmod(path("real").c_str(), 0640);
    bool xattrs = setxattr(path("real").c_str(), "user.origin", "test", 4, 0) == 0;
    bool acl = system("command -v setfacl >/dev/null 2>&1") == 0 &&
               system(("setfacl -m u:nobody:r '" + path("real") + "' 2>/dev/null").c_str()) == 0;
    bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(path("real").c_str(), 1234, 4321), 0);
    }
    struct stat before;
    ASSERT_EQ(stat(path("real").c_str(), &before), 0);

    ASSERT_EQ(setbinarytofile(path("link"), Text("new bytes")), 0);
    EXPECT_TRUE(fs::is_symlink(path("link")));              // the link stays a link
    EXPECT_EQ(gettextfromfile(path("real")), Text("new bytes"));
    EXPECT_EQ(gettextfromfile(path("hard")), Text("new bytes"));   // every hard link sees it
    struct stat after;
    ASSERT_EQ(stat(path("real").c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
    if (root) {
        EXPECT_EQ(std::make_pair(after.st_uid, after.st_gid), std::make_pair(uid_t(1234), gid_t(4321)));
    }
    // Without links the new file is renamed in place and still keeps it all.
    fs::remove(path("hard"));
    ASSERT_EQ(setbinarytofile(path("real"), Text("third")), 0);
    ASSERT_EQ(stat(path("real").c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
    if (root) {
        EXPECT_EQ(std::make_pair(after.st_uid, after.st_gid), std::make_pair(uid_t(1234), gid_t(4321)));
    }
    char value[16] = {};
    if (xattrs) {
        EXPECT_EQ(getxattr(path("real").c_str(), "user.origin", value, sizeof value), 4);
    }
    if (acl) {
        EXPECT_NE(shell("getfacl -p '" + path("real") + "' 2>/dev/null").find("user:nobody:r--"), std::string::npos);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);   // no temporary file
}

TEST_F(FileHelpers, HostCopiesNeverFollowLinksNorOpenPipes) {
    std::ofstream(path("outside")) << "keep";
    fs::create_symlink(path("outside"), path("copy"));
    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0644), 0);
    std::ofstream(path("taken")) << "taken";
    testing::internal::CaptureStdout();
    EXPECT_EQ(t_WriteFile(path("copy"), Text("data"), t_WriteHostCopy), 0);
    EXPECT_EQ(t_WriteFile(path("pipe"), Text("data"), t_WriteHostCopy), t_NotRegularFile);   // returns at once
    EXPECT_EQ(t_WriteFile(path("taken"), Text("data"), t_WriteHostCopy | t_WriteNoReplace), EEXIST);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(fs::is_symlink(path("copy")));
    EXPECT_EQ(gettextfromfile(path("copy")), Text("data"));
    EXPECT_EQ(gettextfromfile(path("outside")), Text("keep"));
    EXPECT_TRUE(fs::is_fifo(path("pipe")));
    EXPECT_EQ(gettextfromfile(path("taken")), Text("taken"));
    int fd = -1;
    long long size = 0;
    EXPECT_EQ(t_OpenRegularFile(path("pipe"), fd, size), t_NotRegularFile);
    EXPECT_EQ(t_OpenRegularFile("/dev/null", fd, size), t_NotRegularFile);
}

TEST_F(FileHelpers, StampSeesChangedBytesNotTouches) {
    std::ofstream(path("img")) << "bytes";
    t_FileStamp stamp;
    ASSERT_TRUE(t_StampFile(path("img"), stamp));
    EXPECT_TRUE(t_FileUnchanged(path("img"), stamp));
    ASSERT_EQ(setbinarytofile(path("img"), Text("bytes")), 0);   // a new file, the same bytes
    EXPECT_TRUE(t_FileUnchanged(path("img"), stamp));
    ASSERT_EQ(setbinarytofile(path("img"), Text("BYTES")), 0);
    EXPECT_FALSE(t_FileUnchanged(path("img"), stamp));
}

}  // namespace
