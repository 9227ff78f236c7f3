// One Apple II CP/M disk in every form it is kept in, none of them made by
// the engine: mkfs.cpm and cpmcp make it in DOS order, MAME's floptool
// converts it to ProDOS order, and the 2IMG header around either order is
// written here.  diskwright-cli reads every file of each form byte for byte,
// saves a form unchanged, or changed and changed back, byte-identical, and a
// file it puts is read by cpmcp from the form converted back to DOS order.
#include "apple_images.h"
#include "cli_run.h"
#include "files.h"
#include "image.h"
#include "peer_tools.h"

namespace {

// One form: its file, how it is made from disk.do, and how check.do (the
// sectors in DOS order) is made from it.
struct Form {
    const char *Name;
    const char *Make;
    const char *ToDos;
    size_t Header;   // bytes before the sectors
};

#define PRODOS_FROM(in, out) "floptool flopconvert a2_16sect_dos a2_16sect_prodos " in " " out
#define DOS_FROM(in) "floptool flopconvert a2_16sect_prodos a2_16sect_dos " in " check.do"
#define SECTORS_OF(in, out) "tail -c +65 " in " | head -c 143360 >" out

const Form forms[] = {
    {"disk.do", "true", "cp disk.do check.do", 0},
    {"disk.po", PRODOS_FROM("disk.do", "disk.po"), DOS_FROM("disk.po"), 0},
    // The order is read from the directory, not from the name.
    {"prodos.dsk", PRODOS_FROM("disk.do", "prodos.dsk"), DOS_FROM("prodos.dsk"), 0},
    {"dos.2mg", "true", SECTORS_OF("dos.2mg", "check.do"), 64},
    {"prodos.2mg", "true", SECTORS_OF("prodos.2mg", "sectors.po") " && " DOS_FROM("sectors.po"), 64},
};

const char comment[] = "kept by a test";

class AppleForms : public test_CliTest {
  protected:
    void SetUp() override {
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS, "floptool");
        test_CliTest::SetUp();
        std::string names;
        for (const auto &[name, data] : tenFiles()) {
            ASSERT_EQ(setbinarytofile(at(name), data), 0);
            names += " " + name;
        }
        ASSERT_EQ(run("mkfs.cpm -f apple-do disk.do && cpmcp -f apple-do disk.do" + names +
                      " 0: && truncate -s 143360 disk.do"),
                  "");
        ASSERT_EQ(run(PRODOS_FROM("disk.do", "sectors.po")), "");
        for (const Form &f : forms) ASSERT_EQ(run(f.Make), "") << f.Name;
        ASSERT_EQ(setbinarytofile(at("dos.2mg"), twoImg(gettextfromfile(at("disk.do")), 0, 0, comment)), 0);
        ASSERT_EQ(setbinarytofile(at("prodos.2mg"), twoImg(gettextfromfile(at("sectors.po")), 1, 0, comment)), 0);
    }
    // Runs a command line in the folder ($CLI is the tool); what it printed.
    std::string run(const std::string &line) {
        test_CliRun r = sh(line);
        return r.Status == 0 ? r.Out + r.Err : "exit " + std::to_string(r.Status) + ": " + r.Out + r.Err;
    }
};

}  // namespace

TEST_F(AppleForms, EveryFileReadsByteForByte) {
    ASSERT_NE(file("disk.po"), file("disk.do"));
    for (const Form &f : forms) {
        SCOPED_TRACE(f.Name);
        std::string folder = std::string("got-") + f.Name;
        Folder.folder(folder);
        ASSERT_EQ(run("$CLI get " + std::string(f.Name) + " '*' " + folder + " >/dev/null"), "");
        for (const auto &[name, data] : tenFiles()) EXPECT_TRUE(file(folder + "/" + name) == data.bytes()) << name;
        EXPECT_EQ(run("$CLI info " + std::string(f.Name) + " | grep Format:"), "Format:       Apple II 140K CP/M\n");
    }
}

TEST_F(AppleForms, UnchangedOrChangedBackSavesByteIdentical) {
    for (const Form &f : forms) {
        SCOPED_TRACE(f.Name);
        const std::string before = file(f.Name), name = f.Name;
        EXPECT_TRUE(cpm_FileImage(cpm_LoadVolume(at(name))).bytes() == before) << "read and saved unchanged";
        ASSERT_EQ(run("$CLI attr " + name + " '*' +R >/dev/null && $CLI attr " + name + " '*' -R >/dev/null"), "");
        EXPECT_TRUE(file(f.Name) == before);
    }
}

TEST_F(AppleForms, WhatThePutWritesCpmtoolsReads) {
    Folder.write("new.bin", pattern(23456, 5).bytes());
    for (const Form &f : forms) {
        SCOPED_TRACE(f.Name);
        const std::string before = file(f.Name), name = f.Name;
        ASSERT_EQ(run("$CLI put " + name + " new.bin && $CLI rm " + name + " FILE3.DAT"),
                  "NEW     .BIN saved on CP/M volume.\nFILE3   .DAT erased\n");
        const std::string after = file(f.Name);
        ASSERT_EQ(after.size(), before.size());
        // The container's header and its comment after the sectors as they were.
        EXPECT_EQ(after.substr(0, f.Header), before.substr(0, f.Header));
        EXPECT_EQ(after.substr(f.Header + 143360), before.substr(f.Header + 143360));

        ASSERT_EQ(run("rm -f check.do sectors.po && " + std::string(f.ToDos)), "");
        EXPECT_EQ(run("cpmls -f apple-do check.do"),
                  "0:\nfile0.dat\nfile1.dat\nfile2.dat\nfile4.dat\nfile5.dat\nfile6.dat\nfile7.dat\nfile8.dat\nfile9.dat\nnew.bin\n");
        EXPECT_EQ(run("cpmcp -f apple-do check.do 0:new.bin got && cmp got new.bin"), "");
        EXPECT_EQ(run("cpmcp -f apple-do check.do 0:file1.dat got && cmp got FILE1.DAT"), "");
        EXPECT_EQ(run("fsck.cpm -f apple-do -n check.do >fsck.out"), "");
        EXPECT_EQ(file("fsck.out").find("Error"), std::string::npos) << file("fsck.out");
    }
}

// convert puts each physical sector where floptool puts it, whatever order
// it was read in.
TEST_F(AppleForms, ConvertWritesTheOrdersAsFloptoolDoes) {
    struct Row {
        const char *From, *To, *Same;
    };
    const Row rows[] = {
        {"disk.do", "a.po", "disk.po"},       {"disk.po", "b.do", "disk.do"},   {"prodos.2mg", "c.do", "disk.do"},
        {"dos.2mg", "--to do d.dsk", "disk.do"}, {"disk.po", "e.2mg", ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.From) + " -> " + r.To);
        std::string to = r.To;
        ASSERT_EQ(run("$CLI convert " + std::string(r.From) + " " + to + " >/dev/null"), "");
        to = to.substr(to.rfind(' ') + 1);
        if (*r.Same) {
            EXPECT_TRUE(file(to) == file(r.Same));
        }
        for (const auto &[name, data] : tenFiles()) EXPECT_EQ(run("$CLI get " + to + " " + name + " - | cmp - " + name), "");
    }
}
