// Disk definitions: the diskdefs reader (strict and tolerant), the library,
// the remembered choice, and recognition among definitions of one size.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "definitions.h"
#include "files.h"
#include "image.h"
#include "read.h"
#include "volume.h"
#include "write.h"

namespace fs = std::filesystem;

namespace {

// A definition's lines between "diskdef NAME" and "end".
std::string def(const std::string &name, const std::string &body) { return "diskdef " + name + "\n" + body + "end\n"; }

const std::string base = "  seclen 256\n  tracks 40\n  sectrk 10\n  blocksize 1024\n  maxdir 64\n  boottrk 2\n";

struct FaultCase {
    std::string Text;
    std::string Error;   // what the strict reading says
};

TEST(Diskdefs, StrictReadingStopsAtTheFirstFaultWithFileAndLine) {
    const FaultCase cases[] = {
        {def("a", base + "  bogus 1\n"), "u:8: unknown keyword 'bogus'"},
        {"diskdef a\n" + base, "u:1: no end"},
        {def("a", base) + "diskdef b\n" + base + "diskdef c\n" + base + "end\n", "u:9: no end"},
        {def("a", "  seclen\n" + base), "u:2: missing value for seclen"},
        {def("a", "  seclen 256\n  tracks 40\n  sectrk 10\n  blocksize 1024\n  boottrk 2\n"), "u:1: missing maxdir"},
        {def("a", "  seclen 256\n  tracks 40\n  sectrk 10\n  blocksize 1024\n  maxdir 64\n"), "u:1: missing boottrk"},
        {def("a", base + "  skew 2\n  skewtab 0,1,2,3,4,5,6,7,8,9\n"), "u:1: skew and skewtab together"},
        {def("a", base + "  skewtab 0,1,2,3,4,5,6,7,8,8\n"), "u:1: skewtab is not an order of the sectrk sectors"},
        {def("a", base + "  skewtab 0,1,x\n"), "u:8: bad value for skewtab"},
        {def("a", base + "  os isx\n"), "u:8: ISX file systems are not supported"},
        {def("a", base + "  os 4\n"), "u:8: unknown os 4"},
        {def("a", base + "  offset 12Q\n"), "u:8: bad value for offset: 12Q"},
        {def("a", base + "  dirblks 1\n  maxdir 64\n  blocksize 1024\n  maxdir 65\n"), "u:1: dirblks too small for maxdir"},
        {def("a", "  seclen 100\n" + base.substr(13)), "u:1: seclen must be a power of two"},
        {def("a", base + "  boottrk 40\n"), "u:1: the reserved area fills the disk"},
        {"  seclen 128\n", "u:1: 'seclen' outside a definition"},
        {def("a", base) + "end\n", "u:9: 'end' outside a definition"},
    };
    for (const FaultCase &c : cases) {
        cpm_DiskdefsReading r = cpm_ParseDiskdefs(c.Text, "u", true);
        EXPECT_EQ(r.Error.substr(0, c.Error.size()), c.Error) << c.Text;
        EXPECT_TRUE(r.Definitions.empty());
    }
}

TEST(Diskdefs, TolerantReadingSkipsFaultyDefinitionsAndIgnoresOtherToolsKeywords) {
    std::string text = "# the system's file\n" + def("one", base + "  libdsk:format x\n  sides alt\n  datarate DD\n  fm NO\n  OS 3\n") +
                       "diskdef broken\n" + base + "#end\n" + def("two", base + "  skew 3 ; comment\n") +
                       def("three", base + "  os isx\n") + def("one", base + "  maxdir 32\n");
    cpm_DiskdefsReading r = cpm_ParseDiskdefs(text, "/etc/x", false);
    ASSERT_EQ(r.Definitions.size(), 2u);
    EXPECT_EQ(r.Definitions[0].Name, "two");
    EXPECT_EQ(r.Definitions[1].Name, "one");   // the later "one" replaces the earlier
    EXPECT_EQ(r.Definitions[1].Geometry.DirEntries, 32);
    EXPECT_EQ(r.Skipped, (std::vector<std::string>{"/etc/x:15: definition broken skipped: no end",
                                                   "/etc/x:39: definition three skipped: ISX file systems are not supported"}));
    EXPECT_EQ(cpm_ParseDiskdefs(text, "mine", true).Error, "mine:15: no end");
    // Only what one command needs: the definitions of one size and the one named.
    std::string sized = def("big", "  seclen 512\n  tracks 80\n  sectrk 10\n  blocksize 2048\n  maxdir 64\n  boottrk 1\n");
    cpm_DiskdefsReading some = cpm_ParseDiskdefs(text + sized, "/etc/x", false, {false, 409600, "two"});
    ASSERT_EQ(some.Definitions.size(), 2u);
    EXPECT_EQ(some.Definitions[0].Name, "two");
    EXPECT_EQ(some.Definitions[1].Name, "big");
    EXPECT_EQ(some.Definitions[1].Line, 50);   // lines passed over are counted
}

TEST(Diskdefs, GeometryFromTheKeywords) {
    struct Case {
        std::string Body;
        int DataStart, DirBlocks;
        long long Bytes;
        std::vector<int> Skew;
    };
    const std::string b = "  seclen 128\n  tracks 77\n  sectrk 26\n  blocksize 1024\n  maxdir 64\n";
    const Case cases[] = {
        // the CP/M distribution disk's translate table, 0-based
        {b + "  boottrk 2\n  skew 6\n", 6656, 2, 256256,
         {0, 6, 12, 18, 24, 4, 10, 16, 22, 2, 8, 14, 20, 1, 7, 13, 19, 25, 5, 11, 17, 23, 3, 9, 15, 21}},
        {b + "  boottrk 2\n  skew 1\n  dirblks 4\n", 6656, 4, 256256, {}},
        {b + "  boottrk 0\n  bootsec 5\n  offset 2K\n", 2048 + 640, 2, 256256 + 2048, {}},
        {b + "  boottrk 1\n  offset 3M\n", 3 * 1048576 + 3328, 2, 256256 + 3 * 1048576, {}},
        {b + "  boottrk 1\n  offset 2trk\n", 3 * 3328, 2, 256256 + 6656, {}},
        {b + "  boottrk 1\n  offset 10S\n", 1280 + 3328, 2, 256256 + 1280, {}},
    };
    for (const Case &c : cases) {
        cpm_DiskdefsReading r = cpm_ParseDiskdefs(def("d", c.Body), "u", true);
        ASSERT_EQ(r.Error, "") << c.Body;
        const cpm_Geometry &g = r.Definitions.at(0).Geometry;
        EXPECT_EQ(g.DataStart, c.DataStart) << c.Body;
        EXPECT_EQ(g.DirBlocks, c.DirBlocks) << c.Body;
        EXPECT_EQ(cpm_GeometryBytes(g), c.Bytes) << c.Body;
        EXPECT_EQ(g.SkewTable, c.Skew) << c.Body;
    }
}

// Definitions of one size for the recognition tests: a and b differ in
// their reserved areas, s1 to s4 only in skew (their directory fills the
// first data track).
const std::string testDefs =
    def("a", "  seclen 512\n  tracks 40\n  sectrk 10\n  blocksize 1024\n  maxdir 64\n  boottrk 1\n") +
    def("b", "  seclen 512\n  tracks 40\n  sectrk 10\n  blocksize 2048\n  maxdir 128\n  boottrk 2\n") +
    def("s1", "  seclen 256\n  tracks 41\n  sectrk 16\n  blocksize 1024\n  maxdir 128\n  boottrk 1\n  skew 1\n") +
    def("s2", "  seclen 256\n  tracks 41\n  sectrk 16\n  blocksize 1024\n  maxdir 128\n  boottrk 1\n  skew 3\n") +
    def("s3", "  seclen 256\n  tracks 41\n  sectrk 16\n  blocksize 1024\n  maxdir 128\n  boottrk 1\n  skew 5\n") +
    def("s4", "  seclen 256\n  tracks 41\n  sectrk 16\n  blocksize 1024\n  maxdir 128\n  boottrk 1\n  skew 7\n");

class Library : public ::testing::Test {
  protected:
    fs::path Folder;
    void SetUp() override {
        char templ[] = "/tmp/dwdefsXXXXXX";
        Folder = mkdtemp(templ);
        setenv("XDG_CONFIG_HOME", Folder.c_str(), 1);
        ASSERT_EQ(setbinarytofile(at("defs"), Text(testDefs)), 0);
        ASSERT_EQ(cpm_LoadLibrary("", "", at("defs")), "");
        cpm_SetDiagnostics(false);
    }
    void TearDown() override {
        cpm_SetDiagnostics(true);
        cpm_LoadLibrary("", "", "");
        unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(Folder);
    }
    std::string at(const std::string &name) { return (Folder / name).string(); }
    // An image of the definition with files written by the engine, as the file holds it.
    Text imageOf(const std::string &name, const std::vector<size_t> &sizes) {
        const cpm_Definition *d = cpm_FindDefinition(name);
        Text blank(std::vector<uint8_t>(size_t(cpm_GeometryBytes(d->Geometry)), 0xE5));
        cpm_Volume v = cpm_OpenImageAs(blank, at("x.img"), *d);
        for (size_t i = 0; i < sizes.size(); i++) {
            Text data(std::vector<uint8_t>(sizes[i], uint8_t(0x30 + i)));
            for (size_t k = 0; k < data.size(); k += 97) data[k] = uint8_t(k / 97);
            v = cpm_SaveFile(std::move(v), Text("F" + std::to_string(i) + ".DAT"), data).Volume;
        }
        return cpm_FileImage(v);
    }
};

TEST_F(Library, LaterFilesReplaceEarlierDefinitionsAndUsersFilesAreStrict) {
    ASSERT_EQ(setbinarytofile(at("system"), Text(def("a", base) + "diskdef bad\nend\n")), 0);
    fs::create_directories(at("diskwright"));
    ASSERT_EQ(setbinarytofile(at("diskwright/diskdefs"), Text(def("b", base + "  maxdir 32\n"))), 0);
    ASSERT_EQ(cpm_LoadLibrary(at("system"), cpm_UserDiskdefs(), at("defs")), "");
    EXPECT_EQ(cpm_FindDefinition("a")->Geometry.BlockSize, 1024);   // --diskdefs over the system file
    EXPECT_EQ(cpm_FindDefinition("b")->Source, at("defs"));
    EXPECT_EQ(cpm_FindDefinition("bad"), nullptr);
    EXPECT_NE(cpm_FindDefinition("ibm-3740"), nullptr);
    EXPECT_NE(cpm_FindDefinition("apple2-do"), nullptr);
    ASSERT_EQ(setbinarytofile(at("diskwright/diskdefs"), Text("diskdef oops\n")), 0);
    EXPECT_EQ(cpm_LoadLibrary(at("system"), cpm_UserDiskdefs(), ""), cpm_UserDiskdefs() + ":1: no end");
    EXPECT_NE(cpm_FindDefinition("s1"), nullptr);   // the library as it was
}

TEST_F(Library, DefinitionsOfOneSizeAreToldApartByTheirFiles) {
    for (const char *name : {"a", "b"}) {
        Text image = imageOf(name, {100, 5000, 20000});
        cpm_Volume v = cpm_OpenImage(image, at("x.img"));
        EXPECT_EQ(v.Definition, name) << v.Decision;
        EXPECT_EQ(v.Refusal, "");
        EXPECT_EQ(v.Sizes[0], 128);
    }
}

TEST_F(Library, DifferentReadingsThatTieOpenReadOnlyUntilAFormatIsChosen) {
    // One file: every skew reads the same directory, not the same blocks.
    Text image = imageOf("s2", {4000});
    cpm_Volume v = cpm_OpenImage(image, at("x.img"));
    EXPECT_EQ(v.Refusal, "Format unclear (s1, s2, s3\u2026): opened read-only.") << v.Decision;
    EXPECT_EQ(v.Definition, "s1");
    cpm_Volume chosen = cpm_OpenImageAs(image, at("x.img"), *cpm_FindDefinition("s2"));
    EXPECT_EQ(chosen.Refusal, "");
    EXPECT_EQ(cpm_LoadFile(chosen, Text("F0.DAT")).Data[97], 1);
    // Remembered for the file: the program and the tool read it so from then on.
    ASSERT_EQ(setbinarytofile(at("x.img"), image), 0);
    ASSERT_EQ(cpm_RememberFormat(at("x.img"), "s2"), "");
    EXPECT_EQ(cpm_RememberedFormat(at("./x.img")), "s2");
    EXPECT_EQ(cpm_LoadVolume(at("x.img")).Definition, "s2");
    EXPECT_EQ(cpm_LoadVolume(at("x.img"), "s3").Definition, "s3");   // -f wins and changes nothing
    EXPECT_EQ(cpm_RememberedFormat(at("x.img")), "s2");
    // A longer definition reads it as a short image: the missing tail as 0xE5.
    cpm_Volume asShort = cpm_LoadVolume(at("x.img"), "a");
    EXPECT_EQ(std::make_tuple(asShort.Refusal, asShort.ShortFileBytes), std::make_tuple("", (long long)image.size()));
    // A file that has since changed its size is recognised again.
    Text longer = image;
    longer.Elements.resize(image.size() + 256, 0xE5);
    ASSERT_EQ(setbinarytofile(at("x.img"), longer), 0);
    EXPECT_NE(cpm_LoadVolume(at("x.img")).Definition, "s2");
    ASSERT_EQ(setbinarytofile(at("x.img"), image), 0);
    ASSERT_EQ(cpm_RememberFormat(at("x.img"), ""), "");
    EXPECT_EQ(cpm_LoadVolume(at("x.img")).Refusal.substr(0, 14), "Format unclear");
}

TEST_F(Library, BlankDisks) {
    struct Case {
        size_t Bytes;
        const char *Path;
        std::string Definition, Refusal;
    };
    const Case cases[] = {
        {204800, "x.img", "plain", ""},                                                  // a size N(ew makes
        {256256, "x.img", "ibm-3740", "Format unclear (ibm-3740, plain): opened read-only."},   // any other size
        {143360, "x.dsk", "apple2-do", ""},                                                   // the extension rule
    };
    for (const Case &c : cases) {
        cpm_Volume v = cpm_OpenImage(Text(std::vector<uint8_t>(c.Bytes, 0xE5)), at(c.Path));
        EXPECT_EQ(v.Definition, c.Definition) << c.Bytes << " " << v.Decision;
        EXPECT_EQ(v.Refusal, c.Refusal) << c.Bytes;
    }
}

}  // namespace
