// Amstrad, PCW and other disks in the containers they are downloaded in,
// none made by the engine: libdsk's dskform formats Extended DSK, CPCEMU
// DSK and ImageDisk files of its formats, cpmtools (through libdsk) puts
// the files on them, dsktrans converts between containers.  diskwright-cli
// recognises each without -f, reads every file as cpmcp reads it, writes
// what cpmtools reads back with fsck.cpm finding nothing, saves unchanged
// images byte-identical, and keeps its hands off damaged ones.
#include "cli_run.h"
#include "files.h"
#include "image.h"
#include "peer_tools.h"

namespace {

#define DSKTOOLS "dskform", "dsktrans"
#define FILES " NUMS.TXT BIN.DAT BIG.DAT 0:"

// One disk: its file, how it is made (formatted, files put), how cpmtools
// names its container and format, and the definition it is recognised as.
struct Form {
    const char *Name;
    const char *Make;
    const char *Type;        // cpmtools -T
    const char *Format;      // cpmtools -f
    const char *Definition;  // what info says, "" when several read it alike
};

const Form forms[] = {
    {"data.edsk", "dskform -type edsk -format cpcdata data.edsk && cpmcp -T edsk -f cpcdata data.edsk" FILES, "edsk",
     "cpcdata", "cpcdata"},
    {"sys.dsk", "dskform -type dsk -format cpcsys sys.dsk && cpmcp -T dsk -f cpcsys sys.dsk" FILES, "dsk", "cpcsys",
     "cpcsys"},
    {"pcw.edsk", "dskform -type edsk -format pcw180 pcw.edsk && cpmcp -T edsk -f pcw pcw.edsk" FILES, "edsk", "pcw", "pcw"},
    {"pcw720.edsk", "dskform -type edsk -format pcw720 pcw720.edsk && cpmcp -T edsk -f cf2dd pcw720.edsk" FILES, "edsk",
     "cf2dd", "pcw720"},
    {"data.imd", "dskform -type imd -format cpcdata data.imd && cpmcp -T imd -f cpcdata data.imd" FILES, "imd", "cpcdata",
     "cpcdata"},
    {"sys.imd",
     "dskform -type edsk -format cpcsys s.edsk && cpmcp -T edsk -f cpcsys s.edsk" FILES
     " && dsktrans -itype edsk -otype imd s.edsk sys.imd",
     "imd", "cpcsys", "cpcsys"},
    {"ampro.imd", "dskform -type imd -format ampro400d ampro.imd && cpmcp -T imd -f ampro400d ampro.imd" FILES, "imd",
     "ampro400d", ""},
};

const char *const fileNames[] = {"NUMS.TXT", "BIN.DAT", "BIG.DAT"};

std::string pattern(size_t n, int seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; i++) s[i] = char((i * 7 + size_t(seed) * 13 + i / 251) & 0xFF);
    return s;
}

// The offset in a one-sided Extended DSK made by dskform (track blocks of
// 0x1300 bytes, the sector list in id order) of the sector list entry of
// the k-th sector of a track.
size_t sectorInfo(int track, int k) { return 0x100 + size_t(track) * 0x1300 + 0x18 + 8 * size_t(k); }

class Containers : public test_CliTest {
  protected:
    void SetUp() override {
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS, DSKTOOLS);
        test_CliTest::SetUp();
        std::string nums;
        for (int i = 1; i <= 1500; i++) nums += std::to_string(i) + "\n";
        Folder.write("NUMS.TXT", nums);
        Folder.write("BIN.DAT", pattern(5000, 1));
        Folder.write("BIG.DAT", pattern(40000, 2));
    }
    // Runs a command line in the folder ($CLI is the tool); what it printed,
    // after "exit N: " when it failed.
    std::string run(const std::string &line) {
        test_CliRun r = sh(line);
        return r.Status == 0 ? r.Out + r.Err : "exit " + std::to_string(r.Status) + ": " + r.Out + r.Err;
    }
    // libdsk's progress lines go nowhere (a subshell of dash would let them through).
    void make(const Form &f) { ASSERT_EQ(run("sh -c '" + std::string(f.Make) + "' >/dev/null 2>&1"), "") << f.Name; }
    std::string cpmtools(const Form &f) { return std::string(" -T ") + f.Type + " -f " + f.Format + " "; }
    void patch(const std::string &name, size_t at, std::initializer_list<uint8_t> bytes) {
        std::string data = file(name);
        for (uint8_t b : bytes) data[at++] = char(b);
        Folder.write(name, data);
    }
};

}  // namespace

TEST_F(Containers, RecognisedAndReadAsCpmtoolsReadsThem) {
    for (const Form &f : forms) {
        SCOPED_TRACE(f.Name);
        make(f);
        std::string info = run("$CLI info " + std::string(f.Name));
        if (*f.Definition) {
            EXPECT_TRUE(test_Has(info, "Definition:   " + std::string(f.Definition) + " ")) << info;
        }
        EXPECT_FALSE(test_Has(info, "Refused:")) << info;
        // libdsk writes a format record into the first sector of PCW disks.
        bool pcw = std::string(f.Name).rfind("pcw", 0) == 0;
        EXPECT_EQ(test_Has(info, "  Geometry:   from the format record in the first sector"), pcw) << info;
        for (const char *name : fileNames) {
            std::string lower = name;
            for (char &c : lower) c = char(std::tolower((unsigned char)c));
            EXPECT_EQ(run("$CLI get " + std::string(f.Name) + " " + name + " got >/dev/null && cpmcp" + cpmtools(f) + f.Name +
                          " 0:" + lower + " ref && cmp got ref && cmp got " + name),
                      "")
                << name;
        }
    }
}

TEST_F(Containers, WhatIsWrittenCpmtoolsReadsBackAndUnchangedSavesAreIdentical) {
    Folder.write("new.bin", pattern(23456, 5));
    for (const Form &f : forms) {
        SCOPED_TRACE(f.Name);
        make(f);
        const std::string before = file(f.Name), name = f.Name;
        EXPECT_TRUE(cpm_FileImage(cpm_LoadVolume(at(name))).bytes() == before) << "read and saved unchanged";
        ASSERT_EQ(run("$CLI attr " + name + " '*' +R >/dev/null && $CLI attr " + name + " '*' -R >/dev/null"), "");
        EXPECT_TRUE(file(f.Name) == before) << "changed and changed back";

        ASSERT_EQ(run("$CLI put " + name + " new.bin && $CLI rm " + name + " BIN.DAT"),
                  "NEW     .BIN saved on CP/M volume.\nBIN     .DAT erased\n");
        // Sector data in place (an ImageDisk file grows where compressed records get data).
        if (std::string(f.Type) != "imd") {
            EXPECT_EQ(file(f.Name).size(), before.size());
        }
        EXPECT_EQ(run("cpmls" + cpmtools(f) + name), "0:\nbig.dat\nnew.bin\nnums.txt\n");
        EXPECT_EQ(run("cpmcp" + cpmtools(f) + name + " 0:new.bin got && cmp got new.bin"), "");
        EXPECT_EQ(run("cpmcp" + cpmtools(f) + name + " 0:big.dat got && cmp got BIG.DAT"), "");
        EXPECT_EQ(run("fsck.cpm -n" + cpmtools(f) + name + " >fsck.out"), "");
        EXPECT_EQ(file("fsck.out").find("Error"), std::string::npos) << file("fsck.out");
    }
}

// Sector lists in interleaved order (C1, C6, C2, C7, ...), as some tools
// write them: the track's sectors are taken by their ids.
TEST_F(Containers, InterleavedSectorListsReadByIds) {
    make(forms[0]);
    std::string disk = file("data.edsk");
    const int order[9] = {0, 5, 1, 6, 2, 7, 3, 8, 4};
    for (int t = 0; t < 40; t++) {
        std::string infos = disk.substr(sectorInfo(t, 0), 72), data = disk.substr(0x200 + size_t(t) * 0x1300, 9 * 512);
        for (int k = 0; k < 9; k++) {
            disk.replace(sectorInfo(t, k), 8, infos.substr(size_t(order[k]) * 8, 8));
            disk.replace(0x200 + size_t(t) * 0x1300 + size_t(k) * 512, 512, data.substr(size_t(order[k]) * 512, 512));
        }
    }
    Folder.write("mixed.edsk", disk);
    for (const char *name : fileNames)
        EXPECT_EQ(run("$CLI get mixed.edsk " + std::string(name) + " got >/dev/null && cmp got " + name), "");
    EXPECT_EQ(run("$CLI put mixed.edsk NUMS.TXT --as NEW.TXT >/dev/null && cpmcp -T edsk -f cpcdata mixed.edsk 0:new.txt got && cmp got NUMS.TXT"), "");
}

TEST_F(Containers, DamagedImagesAreReadAsFarAsTheyCanAndNeverWritten) {
    make(forms[0]);
    const std::string good = file("data.edsk");
    // Track 1's first sector: logical sector 9, bytes 4608-5119, block 4 of NUMS.TXT (blocks 2-3 before it).
    patch("data.edsk", sectorInfo(1, 0) + 4, {0x04, 0x00});
    EXPECT_EQ(run("$CLI get data.edsk BIN.DAT got >/dev/null && cmp got BIN.DAT"), "");
    test_CliRun missing = sh("$CLI get data.edsk NUMS.TXT got");
    EXPECT_NE(missing.Status, 0);
    EXPECT_TRUE(test_Has(missing.Err, "block 4 unreadable.")) << missing.Err;
    EXPECT_TRUE(test_Has(run("$CLI info data.edsk"), "Unreadable:   cylinder 1 head 0 id C1 (missing)"));

    // A data error in the directory: looked at, never written.
    Folder.write("data.edsk", good);
    patch("data.edsk", sectorInfo(0, 0) + 4, {0x20, 0x20});
    const std::string damaged = file("data.edsk");
    EXPECT_TRUE(test_Has(run("$CLI info data.edsk"), "Refused:      Directory not wholly readable: opened read-only."));
    EXPECT_EQ(run("$CLI put data.edsk BIN.DAT --as OTHER.DAT").substr(0, 7), "exit 1:");
    EXPECT_TRUE(file("data.edsk") == damaged);

    // Broken structure: a clear error, nothing written.
    struct Cut {
        const char *Name;
        size_t Keep;
        const char *Says;
    };
    const Cut cuts[] = {
        {"data.edsk", 100000, "Extended DSK image damaged: track 20 lies past the end of the file."},
        {"data.edsk", 200, "Extended DSK image damaged: the disk information block is cut short."},
        {"data.imd", 5000, "ImageDisk image damaged: track record "},
    };
    make(forms[4]);
    const std::string imd = file("data.imd");
    for (const Cut &c : cuts) {
        SCOPED_TRACE(c.Says);
        Folder.write(c.Name, (std::string(c.Name) == "data.imd" ? imd : good).substr(0, c.Keep));
        const std::string cut = file(c.Name);
        EXPECT_TRUE(test_Has(run("$CLI info " + std::string(c.Name)), c.Says));
        std::string put = run("$CLI put " + std::string(c.Name) + " BIN.DAT --as OTHER.DAT");
        EXPECT_TRUE(test_Has(put, "exit 1:") && test_Has(put, c.Says)) << put;
        EXPECT_TRUE(file(c.Name) == cut);
    }

    // A format sized by its file places no sectors: chosen for a container it reads, never writes.
    Folder.write("data.edsk", good);
    EXPECT_EQ(run("$CLI -f plain put data.edsk BIN.DAT --as OTHER.DAT"),
              "exit 1: diskwright-cli: data.edsk: plain does not read Extended DSK images: opened read-only.\n");
    EXPECT_TRUE(file("data.edsk") == good);
}

TEST_F(Containers, ConvertedImagesReadAsTheOriginal) {
    make(forms[0]);
    struct Step {
        const char *Line;
        const char *Type;    // cpmtools -T of the result, "" raw
    };
    const Step steps[] = {
        {"$CLI convert data.edsk a.imd", "imd"},
        {"$CLI convert --to dsk a.imd b.dsk", "dsk"},
        {"$CLI convert b.dsk c.edsk", "edsk"},
        {"$CLI convert c.edsk d.img", ""},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.Line);
        ASSERT_EQ(run(std::string(s.Line) + " >/dev/null"), "");
        std::string out = std::string(s.Line).substr(std::string(s.Line).rfind(' ') + 1);
        if (*s.Type) {
            EXPECT_EQ(run(std::string("cpmcp -T ") + s.Type + " -f cpcdata " + out + " 0:big.dat got && cmp got BIG.DAT"), "");
            EXPECT_TRUE(test_Has(run("$CLI info " + out), "Definition:   cpcdata"));
        }
    }
    // The raw sectors as libdsk writes them.
    ASSERT_EQ(run("dsktrans -itype edsk -otype raw data.edsk ref.img >/dev/null 2>&1"), "");
    EXPECT_TRUE(file("d.img") == file("ref.img"));

    // Unreadable sectors: kept where the kind marks them, refused or filled (and said) where not.
    patch("data.edsk", sectorInfo(1, 0) + 4, {0x04, 0x00});
    EXPECT_EQ(run("$CLI convert data.edsk e.edsk >/dev/null && $CLI info e.edsk | grep Unreadable:"),
              "Unreadable:   cylinder 1 head 0 id C1 (missing)\n");
    std::string refused = run("$CLI convert data.edsk e.img");
    EXPECT_TRUE(test_Has(refused, "exit 1:") && test_Has(refused, "--fill-unreadable")) << refused;
    EXPECT_FALSE(std::filesystem::exists(at("e.img")));
    test_CliRun filled = sh("$CLI convert --fill-unreadable data.edsk e.img");
    EXPECT_EQ(filled.Status, 0);
    EXPECT_EQ(filled.Err, "diskwright-cli: data.edsk: cylinder 1 head 0 sector C1 unreadable: filled with 0xE5\n");
    EXPECT_EQ(file("e.img").substr(4608, 512), std::string(512, '\xE5'));

    // An existing file only with --force; .dsk names two kinds.
    EXPECT_TRUE(test_Has(run("$CLI convert data.edsk a.imd"), "exists (use --force to replace it)"));
    EXPECT_EQ(run("$CLI convert --force data.edsk a.imd >/dev/null"), "");
    EXPECT_EQ(run("$CLI convert data.edsk x.dsk").substr(0, 7), "exit 2:");
}

// A container's sectors as a raw file: by cylinder, head and id, as libdsk writes them.
TEST_F(Containers, RawSectorsAsLibdskWritesThem) {
    for (const Form &f : forms) {
        SCOPED_TRACE(f.Name);
        make(f);
        ASSERT_EQ(run("rm -f out.img ref.img && $CLI convert " + std::string(f.Name) + " out.img >/dev/null"), "");
        ASSERT_EQ(run("dsktrans -itype " + std::string(f.Type) + " -otype raw " + f.Name + " ref.img >/dev/null 2>&1"), "");
        EXPECT_TRUE(file("out.img") == file("ref.img"));
    }
}
