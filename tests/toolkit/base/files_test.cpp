// Whole-file helpers on a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
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

}  // namespace
