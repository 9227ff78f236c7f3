// Whole-file helpers on a temporary folder.
#include <gtest/gtest.h>

#include "files.h"
#include "log_capture.h"
#include "temp_folder.h"

namespace {

TEST(FileHelpers, FileExistsTellsKinds) {
    test_TempFolder folder;
    EXPECT_EQ(t_FileExists(""), -1);
    EXPECT_EQ(t_FileExists(folder.at("missing")), 0);
    EXPECT_EQ(t_FileExists(folder.file("f")), 1);
    EXPECT_EQ(t_FileExists(folder.Path), 2);
}

TEST(FileHelpers, ReadsWholeFilesAndFailsWithALogLine) {
    test_TempFolder folder;
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

}  // namespace
