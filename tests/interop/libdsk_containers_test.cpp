// Containers of libdsk's long tail: raw disks that cpmtools made, turned
// into TeleDisk, CopyQM, CFI, JV3, YAZE, QRST and LDBS files by libdsk's
// own dsktrans, are recognised without being told, read exactly as cpmtools
// reads the raw disk, and refuse every change without touching the file.
// Skipped where cpmtools or libdsk-utils is missing (failed where CI runs).
#include "cli_run.h"
#include "peer_tools.h"

namespace {

struct Disk {
    const char *Definition;   // cpmtools' name
    const char *LibdskFormat; // dsktrans -format
    long long Bytes;          // the raw image, whole
};
const Disk disks[] = {
    {"pcw", "pcw180", 184320},
    {"ibmpc-514ss", "ibm160", 163840},
};

struct Container {
    const char *Type;         // dsktrans -otype
    const char *Name;         // as the refusal names it
    // CFI records no geometry: libdsk takes it from the boot sector, or
    // assumes a PCW disk when that names none.
    bool OnlyPcw = false;
};
const Container containers[] = {
    {"tele", "TeleDisk"}, {"copyqm", "CopyQM"}, {"cfi", "CFI", true}, {"jv3", "JV3"},
    {"ydsk", "YAZE"},     {"qrst", "QRST"},     {"ldbs", "LDBS"},
};

class LibdskContainers : public test_CliTest {
  protected:
    void SetUp() override {
        test_CliTest::SetUp();
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS, "dsktrans");
        std::string text;
        for (int i = 0; i < 2500; i++) text += "record " + std::to_string(i) + "\r\n";
        Folder.write("long.txt", text);   // several extents' worth of blocks
        Folder.write("one.com", std::string(1, '\xC3'));
        std::string binary;
        for (int i = 0; i < 5000; i++) binary += char(i * 7);
        Folder.write("bin.dat", binary);
    }
    // A raw disk of the definition, cpmtools' files on it, padded to its size.
    void makeRaw(const Disk &d) {
        std::string f = d.Definition;
        ASSERT_EQ(run("mkfs.cpm -f " + f + " raw.img && cpmcp -f " + f + " raw.img long.txt one.com bin.dat 0: && "
                      "truncate -s " + std::to_string(d.Bytes) + " raw.img"),
                  "");
    }
};

}  // namespace

TEST_F(LibdskContainers, ReadAsCpmtoolsReadsTheRawDiskAndRefuseChanges) {
    for (const Disk &d : disks) {
        makeRaw(d);
        for (const Container &c : containers) {
            if (c.OnlyPcw && std::string(d.Definition) != "pcw") continue;
            SCOPED_TRACE(std::string(d.Definition) + " as " + c.Type);
            std::string image = std::string("disk.") + c.Type;
            ASSERT_EQ(sh(std::string("dsktrans -itype raw -format ") + d.LibdskFormat + " -otype " + c.Type +
                         " raw.img " + image + " >/dev/null")
                          .Status,
                      0);
            std::string before = file(image);
            test_CliRun ls = sh("$CLI ls " + image);
            EXPECT_EQ(ls.Status, 0);
            EXPECT_TRUE(test_Has(ls.Err, std::string(c.Name) + " image: opened read-only; convert it to write.")) << ls.Err;
            EXPECT_TRUE(test_Has(ls.Out, "3 files")) << ls.Out;
            for (const char *name : {"long.txt", "one.com", "bin.dat"}) {
                ASSERT_EQ(run(std::string("rm -f theirs ours && cpmcp -f ") + d.Definition + " raw.img 0:" + name +
                              " theirs && $CLI get " + image + " " + name + " ours >/dev/null 2>&1"),
                          "");
                EXPECT_TRUE(file("ours") == file("theirs")) << name;
            }
            // Every change refused; the file untouched.
            for (const std::string &change : {"put " + image + " one.com --as new.com", "rm " + image + " one.com",
                                              "attr " + image + " one.com +R", "init " + image}) {
                test_CliRun r = sh("$CLI " + change + " </dev/null");
                EXPECT_NE(r.Status, 0) << change;
                EXPECT_TRUE(test_Has(r.Err, std::string(c.Name) + " image: opened read-only")) << change << ": " << r.Err;
            }
            EXPECT_TRUE(file(image) == before);
        }
    }
}

// A TeleDisk file cut short does not decode: read as the bytes it is, never
// as a container and never written; the raw disk itself is claimed by no
// container's structure test (CFI's chain of tracks, JV3's header).
TEST_F(LibdskContainers, UndecodableFilesAreReadAsTheirBytes) {
    makeRaw(disks[0]);
    ASSERT_EQ(sh("dsktrans -itype raw -format pcw180 -otype tele raw.img disk.td0 >/dev/null").Status, 0);
    std::string td0 = file("disk.td0");
    Folder.write("half.td0", td0.substr(0, td0.size() / 2));
    for (const char *name : {"half.td0"}) {
        test_CliRun info = sh(std::string("$CLI info ") + name);
        EXPECT_TRUE(test_Has(info.Out, "Container:    none")) << name << ": " << info.Out;
        EXPECT_TRUE(test_Has(info.Err, "Not a CP/M volume")) << name << ": " << info.Err;
    }
    test_CliRun put = sh("$CLI -f pcw put raw.img one.com --as two.com");
    EXPECT_EQ(put.Status, 0) << put.Err;
    EXPECT_TRUE(test_Has(run("$CLI info raw.img"), "Container:    none"));
}
