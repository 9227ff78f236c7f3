// Disk definitions against Debian's cpmtools: a dozen geometries of other
// CP/M machines, made with mkfs.cpm and filled with cpmcp, are recognised
// without naming the format and read exactly as cpmtools reads them; files
// the engine writes are read back by cpmcp and pass fsck.cpm.
//
// cpmtools reads ./diskdefs in the folder it runs in, and the engine's
// library is loaded from the same file, so both sides see the same
// definitions.  Where cpmtools 2.23 is wrong the engine is not bent to it:
// - with boottrk 0 and 16-bit block numbers it misplaces blocks, so every
//   16-bit definition here reserves at least one track (bsec reserves half a
//   track with bootsec and stays 8-bit);
// - fsck.cpm flags the label that its own mkfs.cpm writes for "os 3"
//   ("Bad access date hour ... hour=e5"), so the check is that our writes
//   add no error to what fsck.cpm says of the disk before them.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "check.h"
#include "child_output.h"
#include "definitions.h"
#include "directory.h"
#include "files.h"
#include "fixtures.h"
#include "image.h"
#include "listing.h"
#include "maintenance.h"
#include "peer_tools.h"
#include "read.h"
#include "temp_folder.h"
#include "volume.h"
#include "write.h"

// Modelled on real machines: 128- to 1024-byte sectors, skew and skewtab,
// 1K to 4K blocks, reserved tracks and sectors, logicalextents, offsets in
// bytes and in sectors (a sector there is the definition's, not a record).
// Two pairs share a size with different reserved areas and blocks (kpii and
// dd200, kpiv and mordsdd): their files tell them apart.
struct Definition {
    const char *Name;
    size_t Bytes;
    int SecLen, Tracks, SecTrk, BlockSize, MaxDir;
    const char *More;   // the definition's other lines
};

static const Definition definitions[] = {
    {"ibm-3740", 256256, 128, 77, 26, 1024, 64, "skew 6\nboottrk 2"},
    {"osb1", 102400, 256, 40, 10, 1024, 64, "skew 2\nboottrk 3"},
    {"kpii", 204800, 512, 40, 10, 1024, 64, "dirblks 4\nboottrk 1"},
    {"dd200", 204800, 512, 40, 10, 2048, 128, "boottrk 2"},
    {"kpiv", 409600, 512, 80, 10, 2048, 64, "dirblks 2\nboottrk 1"},
    {"mordsdd", 409600, 1024, 80, 5, 2048, 128, "skew 3\nboottrk 2"},
    {"attwp", 655360, 256, 80, 32, 2048, 128,
     "boottrk 1\nlogicalextents 1\n"
     "skewtab 0,2,4,6,8,10,12,14,1,3,5,7,9,11,13,15,16,18,20,22,24,26,28,30,17,19,21,23,25,27,29,31"},
    {"hd4k", 2621440, 512, 160, 32, 4096, 512, "boottrk 2\nos 3"},
    {"le4k", 1474560, 512, 80, 36, 4096, 256, "boottrk 2\nlogicalextents 1"},
    {"offhd", 1052672, 512, 64, 32, 2048, 256, "boottrk 1\noffset 4K"},
    {"offs512", 26 * 512 + 368640, 512, 40, 18, 2048, 128, "boottrk 1\noffset 26s"},
    {"offs256", 26 * 256 + 327680, 256, 80, 16, 2048, 128, "boottrk 2\noffset 26S"},
    {"bsec", 368640, 512, 40, 18, 2048, 128, "boottrk 0\nbootsec 9"},
    {"sk1024", 630784, 1024, 77, 8, 2048, 192, "skewtab 0,3,6,1,4,7,2,5\nboottrk 2"},
    {"p2hd", 1048576, 128, 256, 32, 2048, 256, "skew 1\nboottrk 2\nos p2dos"},
};

// The definitions as a diskdefs file, one keyword a line.
static std::string diskdefsText() {
    std::string text = "# test definitions\n";
    for (const Definition &d : definitions)
        text += "diskdef " + std::string(d.Name) + "\n  seclen " + std::to_string(d.SecLen) + "\n  tracks " +
                std::to_string(d.Tracks) + "\n  sectrk " + std::to_string(d.SecTrk) + "\n  blocksize " +
                std::to_string(d.BlockSize) + "\n  maxdir " + std::to_string(d.MaxDir) + "\n  " + d.More + "\nend\n";
    return text;
}

// The sizes of the files cpmtools puts in: one record, a block, an extent, several entries.
static const size_t sizes[] = {1, 1000, 2048, 16384, 33000, 129};

static std::string name(size_t i) { return "f" + std::to_string(i) + ".dat"; }

class Geometry : public ::testing::TestWithParam<Definition> {
  protected:
    test_TempFolder Folder;
    void SetUp() override {
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS);
        Folder.write("diskdefs", diskdefsText());
        ASSERT_EQ(cpm_LoadLibrary("", "", at("diskdefs")), "");
        cpm_SetDiagnostics(false);
    }
    void TearDown() override {
        cpm_SetDiagnostics(true);
        cpm_LoadLibrary("", "", "");
    }
    std::string at(const std::string &file) { return Folder.at(file); }
    int sh(const std::string &command, std::string *output = nullptr) {
        return test_Shell("cd '" + Folder.Path + "' && " + command + " 2>&1", output);
    }
    std::string tool(const char *program) { return std::string(program) + " -f " + GetParam().Name + " "; }
    std::set<std::string> cpmls(const std::string &user) {
        std::string out;
        EXPECT_EQ(sh(tool("cpmls") + "cpm.img " + user + "'*'", &out), 0) << out;
        std::set<std::string> names;
        size_t start = 0;
        for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
            if (out[end - 1] != ':') names.insert(out.substr(start, end - start));
        return names;
    }
    Text cpmcp(const std::string &from) {
        std::filesystem::remove(at("out.bin"));
        std::string out;
        EXPECT_EQ(sh(tool("cpmcp") + "cpm.img " + from + " out.bin", &out), 0) << out;
        return gettextfromfile(at("out.bin"));
    }
    // A disk of the definition made by mkfs.cpm, files put in by cpmcp, one of them into user 3.
    void makeDisk() {
        ASSERT_EQ(setbinarytofile(at("cpm.img"), Text(std::vector<uint8_t>(GetParam().Bytes, 0xE5))), 0);
        std::string out, names;
        ASSERT_EQ(sh(tool("mkfs.cpm") + "cpm.img", &out), 0) << out;
        for (size_t i = 0; i < std::size(sizes); i++) {
            ASSERT_EQ(setbinarytofile(at(name(i)), pattern(sizes[i], int(i))), 0);
            names += " " + name(i);
        }
        ASSERT_EQ(sh(tool("cpmcp") + "cpm.img" + names + " 0:", &out), 0) << out;
        ASSERT_EQ(sh(tool("cpmcp") + "cpm.img f1.dat 3:other.dat", &out), 0) << out;
    }
};

TEST_P(Geometry, RecognisedAndReadAsCpmtoolsReadsThem) {
    makeDisk();
    cpm_Volume recognised = cpm_LoadVolume(at("cpm.img"));
    cpm_Volume chosen = cpm_LoadVolume(at("cpm.img"), GetParam().Name);
    EXPECT_EQ(recognised.Definition, GetParam().Name) << recognised.Decision;
    EXPECT_EQ(recognised.Refusal, "") << recognised.Decision;
    EXPECT_EQ(chosen.Refusal, "");
    EXPECT_EQ(cpm_DirectoryLines(recognised, cpm_LongListing), cpm_DirectoryLines(chosen, cpm_LongListing));
    std::set<std::string> listed;
    for (int i = 0; i < recognised.Geometry.DirEntries; i++)
        if (cpm_IsListed(recognised, i)) listed.insert(cpm_HostName(recognised.Names[size_t(i)]));
    std::set<std::string> expected;
    for (const std::string &n : cpmls("0:")) expected.insert(cpm_HostName(cpm_MakeName(Text(n))));
    EXPECT_EQ(listed, expected);
    for (size_t i = 0; i < std::size(sizes); i++) {
        SCOPED_TRACE(name(i));
        cpm_FileData file = cpm_LoadFile(recognised, Text(name(i)));
        ASSERT_TRUE(file.Found);
        long long recorded = cpm_RecordedSize(recognised, file.Name);
        EXPECT_EQ(recorded, (long long)(sizes[i] + 127) / 128 * 128);
        // cpmcp and the engine cut the last record to the byte count cpmtools keeps.
        EXPECT_EQ(file.Size, (long long)sizes[i]);
        Text bytes(std::vector<uint8_t>(file.Data.Elements.begin(), file.Data.Elements.begin() + long(sizes[i])));
        EXPECT_EQ(bytes, cpmcp("0:" + name(i)));
        EXPECT_EQ(cpm_LoadFile(chosen, Text(name(i))).Data, file.Data);
    }
}

TEST_P(Geometry, EngineWritesCpmtoolsReads) {
    makeDisk();
    std::string before, out;
    sh(tool("fsck.cpm") + "-n cpm.img | grep Error", &before);
    cpm_Volume v = cpm_LoadVolume(at("cpm.img"));
    ASSERT_EQ(v.Refusal, "") << v.Decision;
    v = cpm_SetFileUser(std::move(v), Text("F2.DAT"), cpm_ErasedUser).Volume;
    for (unsigned k = 0; k < 2; k++) {
        cpm_SaveFileResult r = cpm_SaveFile(std::move(v), Text("NEW" + std::to_string(k) + ".DAT"), pattern(20000 - 11000 * k, int(90 + k)));
        ASSERT_EQ(r.Message, "");
        v = std::move(r.Volume);
    }
    ASSERT_EQ(cpm_SaveVolume(std::move(v)).Message, "");
    sh(tool("fsck.cpm") + "-n cpm.img | grep Error", &out);
    EXPECT_EQ(out, before);
    EXPECT_EQ(sh(tool("fsck.cpm") + "-n cpm.img", &out), 0) << out;
    // The engine's check agrees: cpmtools' files and the engine's are sound.
    for (const cpm_Finding &f : cpm_CheckVolume(cpm_LoadVolume(at("cpm.img"))).Findings)
        ADD_FAILURE() << "#" << f.Entry << " " << cpm_FindingName(f.Kind) << ": " << f.Message;
    EXPECT_EQ(cpmls("0:"), (std::set<std::string>{"f0.dat", "f1.dat", "f3.dat", "f4.dat", "f5.dat", "new0.dat", "new1.dat"}));
    for (unsigned k = 0; k < 2; k++) EXPECT_EQ(cpmcp("0:new" + std::to_string(k) + ".dat"), pattern(20000 - 11000 * k, int(90 + k)));
    // The files cpmtools wrote are intact, the other user's too (cpmtools keeps its byte count).
    for (size_t i : {0, 1, 3, 4, 5}) EXPECT_EQ(cpmcp("0:" + name(i)), pattern(sizes[i], int(i))) << name(i);
    EXPECT_EQ(cpmcp("3:other.dat"), pattern(sizes[1], 1));

    // Sorted and initialised by the engine, the disk stays one cpmtools reads.
    v = cpm_Alphabetize(cpm_LoadVolume(at("cpm.img")), false, true);
    ASSERT_EQ(cpm_SaveVolume(std::move(v)).Message, "");
    EXPECT_EQ(cpmcp("0:new0.dat"), pattern(20000, 90));
    EXPECT_EQ(cpmcp("0:" + name(4)), pattern(sizes[4], 4));
    ASSERT_EQ(cpm_SaveVolume(cpm_InitVolume(cpm_LoadVolume(at("cpm.img")))).Message, "");
    EXPECT_EQ(sh(tool("cpmls") + "cpm.img", &out), 0);   // (cpmls aborts on a pattern that matches nothing)
    EXPECT_EQ(out, "");
    EXPECT_EQ(sh(tool("fsck.cpm") + "-n cpm.img", &out), 0) << out;
}

// Debian's own file: read tolerantly, its one definition without an end
// skipped with a line that names it; cpmtools' Apple II definitions read as
// the built-in formats.
TEST(SystemDiskdefs, DebiansFileIsReadTolerantly) {
    TEST_REQUIRE_TOOLS(TEST_CPMTOOLS);
    ASSERT_EQ(t_FileExists(cpm_SystemDiskdefs), 1) << cpm_SystemDiskdefs;
    cpm_DiskdefsReading r = cpm_ParseDiskdefs(gettextfromfile(cpm_SystemDiskdefs).bytes(), cpm_SystemDiskdefs, false);
    EXPECT_GE(r.Definitions.size(), 130u);
    for (const std::string &line : r.Skipped) EXPECT_EQ(line.rfind(std::string(cpm_SystemDiskdefs) + ":", 0), 0u) << line;
    EXPECT_NE(cpm_ParseDiskdefs(gettextfromfile(cpm_SystemDiskdefs).bytes(), "x", true).Error, "");
    ASSERT_EQ(cpm_LoadLibrary(cpm_SystemDiskdefs, "", ""), "");
    EXPECT_EQ(cpm_FindDefinition("apple-do")->SameAs, "apple2-do");
    EXPECT_EQ(cpm_FindDefinition("apple-po")->SameAs, "apple2-po");
    EXPECT_EQ(cpm_FindDefinition("ibm-3740")->Source, cpm_SystemDiskdefs);
    cpm_LoadLibrary("", "", "");
}

static void PrintTo(const Definition &d, std::ostream *o) { *o << d.Name; }
INSTANTIATE_TEST_SUITE_P(Definitions, Geometry, ::testing::ValuesIn(definitions),
                         [](const ::testing::TestParamInfo<Definition> &i) {
                             std::string n = i.param.Name;
                             for (char &c : n)
                                 if (!isalnum((unsigned char)c)) c = '_';
                             return n;
                         });
