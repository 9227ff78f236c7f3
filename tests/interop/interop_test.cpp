// The engine against an independent implementation: Debian's cpmtools.
//
// Both directions on every format (Apple II disks in DOS order, ProDOS order
// and 2IMG among them): files that cpmtools writes list and read back
// identically through the engine, whatever the file is called; files the
// engine writes, erases, sorts or initialises read back identically with
// cpmcp, byte for byte, and pass fsck.cpm.
// Each test needs cpmtools (skipped without it, failed where CI runs).
//
// Known faults of cpmtools 2.23 that the tests go around (our format rules hold):
// - with boottrk 0 it reads and writes blocks past the first track at the
//   wrong offset (16-bit volumes; here also the second directory block of
//   8-bit ones), so plain volumes are described with one extra leading
//   track, added and stripped around each cpmtools call;
// - cpmcp aborts on a 16-bit volume that holds an empty file, so cpmtools
//   writes empty files only on 8-bit volumes.
#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

#include "apple_images.h"
#include "check.h"
#include "cli_run.h"
#include "directory.h"
#include "files.h"
#include "image.h"
#include "listing.h"
#include "maintenance.h"
#include "peer_tools.h"
#include "read.h"
#include "volume.h"
#include "write.h"

namespace fs = std::filesystem;

// cpmtools reads ./diskdefs instead of its own file, so apple-do is repeated
// here as Debian's cpmtools defines it: its skew table is exactly the inverse
// of cpm_SkewTable140.  A plain volume is seen with one extra leading track.
static std::string diskdef(const std::string &name, int seclen, int tracks, int sectrk, int blocksize, int maxdir,
                           const std::string &skew, int boottrk) {
    return "diskdef " + name + "\n  seclen " + std::to_string(seclen) + "\n  tracks " + std::to_string(tracks) +
           "\n  sectrk " + std::to_string(sectrk) + "\n  blocksize " + std::to_string(blocksize) + "\n  maxdir " +
           std::to_string(maxdir) + (skew.empty() ? "" : "\n  skewtab " + skew) + "\n  boottrk " +
           std::to_string(boottrk) + "\n  os 2.2\nend\n\n";
}

static std::string diskdefs() {
    std::string all = diskdef("apple-do", 256, 35, 16, 1024, 64, "0,6,12,3,9,15,14,5,11,2,8,7,13,4,10,1", 3) +
                      diskdef("apple-po", 256, 35, 16, 1024, 64, "0,9,3,12,6,15,1,10,4,13,7,8,2,11,5,14", 3) +
                      diskdef("dw-800k", 512, 100, 16, 2048, 256, "0,2,4,6,8,10,12,14,1,3,5,7,9,11,13,15", 2);
    for (int kb : {256, 512, 514, 2048}) all += diskdef("dw-plain" + std::to_string(kb), 512, kb / 2 + 1, 4, 2048, 128, "", 1);
    return all;
}

// One format as both sides see it.  cpmtools sees the sectors (after an
// extra leading track, for plain volumes); the engine's file may hold them in
// a 2IMG container.
struct Format {
    const char *Name;
    const char *Diskdef;
    size_t ImageBytes;          // the sectors
    size_t Lead;                // extra leading track only cpmtools sees
    std::vector<uint8_t> Signature;
    bool Wide;                  // 16-bit block numbers
    cpm_Format Kind;
    cpm_Order Order;
    const char *Extension = ".img";   // of the engine's file
    int TwoImg = -1;                  // its 2IMG format field; -1: no container
};

static const std::vector<uint8_t> cpm22 = {0x01, 0xA5, 0x27, 0xC9, 0x09, 0xD0, 0x13, 0x8A};
static const std::vector<uint8_t> cpm30 = {0x01, 0xA5, 0x27, 0xC9, 0x00, 0x00, 0x00, 0x00};

static const Format formats[] = {
    {"140K CP/M 2.2", "apple-do", 143360, 0, cpm22, false, cpm_Format::Apple140K22, cpm_Order::Dos},
    {"140K CP/M 3.0", "apple-do", 143360, 0, cpm30, false, cpm_Format::Apple140K30, cpm_Order::Dos},
    {"140K ProDOS order", "apple-po", 143360, 0, cpm22, false, cpm_Format::Apple140K22, cpm_Order::ProDos, ".po"},
    {"140K 2IMG ProDOS order", "apple-po", 143360, 0, cpm30, false, cpm_Format::Apple140K30, cpm_Order::ProDos, ".2mg", 1},
    {"140K 2IMG DOS order", "apple-do", 143360, 0, cpm22, false, cpm_Format::Apple140K22, cpm_Order::Dos, ".2img", 0},
    {"800K CP/M 3.0", "dw-800k", 819200, 0, {0x01, 0x8A, 0x4A, 0x4A}, true, cpm_Format::Apple800K, cpm_Order::Interleave800},
    {"plain 256K", "dw-plain256", 262144, 2048, {}, false, cpm_Format::Plain, cpm_Order::AsStored},
    {"plain 512K", "dw-plain512", 524288, 2048, {}, false, cpm_Format::Plain, cpm_Order::AsStored},
    {"plain 514K", "dw-plain514", 526336, 2048, {}, true, cpm_Format::Plain, cpm_Order::AsStored},
    {"plain 2048K", "dw-plain2048", 2097152, 2048, {}, true, cpm_Format::Plain, cpm_Order::AsStored},
};

// The sizes of the edges: one record, one block, one extent, one entry;
// past 512K the extent number goes on in S2, so the file's entries of S2 1
// must follow those of S2 0 whose EX they repeat.
static std::vector<size_t> sizesFor(const Format &f) {
    std::vector<size_t> s = {1, 127, 128, 129, 1000, 1023, 1024, 1025, 2047, 2048, 2049, 16383, 16384, 16385, 40000};
    if (f.ImageBytes >= 300000) s.insert(s.end(), {32767, 32768, 32769});
    if (f.ImageBytes >= 800000) s.push_back(100000);
    if (f.ImageBytes >= 2000000) s.push_back(600000);
    return s;
}

static std::string fileName(size_t i) { return "F" + std::to_string(i) + ".DAT"; }

static std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

class Interop : public test_CliTest, public ::testing::WithParamInterface<Format> {
  protected:
    void SetUp() override {
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS);
        Folder.write("diskdefs", diskdefs());
        test_CliTest::SetUp();
    }
    // Runs a shell command in the folder (where cpmtools finds ./diskdefs).
    int sh(const std::string &command, std::string *output = nullptr) {
        test_CliRun r = test_CliTest::sh(command + " 2>&1");
        if (output) *output = r.Out;
        return r.Status;
    }
    std::string tool(const char *program) { return std::string(program) + " -f " + GetParam().Diskdef + " "; }

    // The engine's file as cpmtools sees it, and back; an unchanged volume
    // saves byte-identical.
    void writeForCpmtools(const cpm_Volume &v, const std::string &name) {
        Text bytes = cpm_FileImage(v);
        if (GetParam().TwoImg >= 0) bytes.Elements.erase(bytes.Elements.begin(), bytes.Elements.begin() + 64);
        ASSERT_EQ(setbinarytofile(at(name), Text(std::vector<uint8_t>(GetParam().Lead, 0xE5)) + bytes), 0);
    }
    cpm_Volume readFromCpmtools(const std::string &name) {
        const Format &f = GetParam();
        Text bytes = gettextfromfile(at(name));
        bytes.Elements.erase(bytes.Elements.begin(), bytes.Elements.begin() + long(f.Lead));
        if (f.TwoImg >= 0) bytes = twoImg(bytes, uint32_t(f.TwoImg), 0, "");
        cpm_Volume v = cpm_OpenImage(bytes, at(name + f.Extension));
        EXPECT_EQ(cpm_FileImage(v), bytes);
        return v;
    }
    // A blank volume of the format, initialised by the engine.
    cpm_Volume blankVolume() {
        const Format &f = GetParam();
        Text bytes = fileBytes(f.ImageBytes, Text(f.Signature), 0xE5);
        if (f.TwoImg >= 0) bytes = twoImg(bytes, uint32_t(f.TwoImg), 0, "");
        cpm_Volume v = cpm_InitVolume(cpm_OpenImage(bytes, at(std::string("engine") + f.Extension)));
        EXPECT_EQ(v.Order, f.Order) << v.Decision;
        EXPECT_EQ(v.Geometry.DirEntries, f.ImageBytes == 819200 ? 256 : f.ImageBytes == 143360 ? 64 : 128);
        EXPECT_EQ(cpm_WideBlocks(v), f.Wide);
        return v;
    }
    // The names cpmls lists (lower case, as it prints them).
    std::set<std::string> cpmls(const std::string &image, const std::string &user = "0:") {
        std::string out;
        EXPECT_EQ(sh(tool("cpmls") + image, &out), 0) << out;
        std::set<std::string> names;
        std::string current, line;
        for (std::istringstream lines(out); std::getline(lines, line);)
            if (!line.empty() && line.back() == ':') current = line;
            else if (!line.empty() && current == user) names.insert(line);
        return names;
    }
    // Checks the image with fsck.cpm, read-only.
    void expectClean(const std::string &image) {
        std::string out;
        EXPECT_EQ(sh(tool("fsck.cpm") + "-n " + image, &out), 0) << out;
        EXPECT_EQ(out.find("Error"), std::string::npos) << out;
    }
    // Reads a file with cpmcp; what cpmcp gives is the file's whole records.
    Text cpmcp(const std::string &image, const std::string &name, const std::string &user = "0:") {
        fs::remove(at("out.bin"));
        std::string out;
        EXPECT_EQ(sh(tool("cpmcp") + image + " " + user + name + " out.bin", &out), 0) << out;
        return gettextfromfile(at("out.bin"));
    }
};

TEST_P(Interop, CpmtoolsWritesEngineReads) {
    const Format &f = GetParam();
    ASSERT_EQ(setbinarytofile(at("cpm.img"), Text(std::vector<uint8_t>(f.ImageBytes + f.Lead, 0xE5))), 0);
    ASSERT_EQ(sh(tool("mkfs.cpm") + "cpm.img"), 0);
    if (!f.Signature.empty()) {   // the signature in the first sector, where the format needs one
        Text img = gettextfromfile(at("cpm.img"));
        std::copy(f.Signature.begin(), f.Signature.end(), img.Elements.begin());
        ASSERT_EQ(setbinarytofile(at("cpm.img"), img), 0);
    }
    std::vector<size_t> sizes = sizesFor(f);
    if (!f.Wide) sizes.push_back(0);
    std::string names;
    for (size_t i = 0; i < sizes.size(); i++) {
        ASSERT_EQ(setbinarytofile(at(lower(fileName(i))), pattern(sizes[i], int(i))), 0);
        names += " " + lower(fileName(i));
    }
    std::string out;
    ASSERT_EQ(sh(tool("cpmcp") + "cpm.img" + names + " 0:", &out), 0) << out;

    cpm_Volume v = readFromCpmtools("cpm.img");
    EXPECT_EQ(std::make_tuple(v.Format, v.Order, v.Refusal), std::make_tuple(f.Kind, f.Order, "")) << v.Decision;
    // The files decide, whatever the name says.
    EXPECT_EQ(cpm_OpenImage(cpm_FileImage(v), "cpm.img").Order, f.Order);
    std::set<std::string> listed;
    for (int i = 0; i < v.Geometry.DirEntries; i++)
        if (cpm_IsListed(v, i)) listed.insert(lower(cpm_HostName(v.Names[size_t(i)])));
    EXPECT_EQ(listed, cpmls("cpm.img"));
    for (size_t i = 0; i < sizes.size(); i++) {
        SCOPED_TRACE(fileName(i) + ", " + std::to_string(sizes[i]) + " bytes");
        Text want = pattern(sizes[i], int(i));
        cpm_FileData file = cpm_LoadFile(v, Text(fileName(i)));
        ASSERT_TRUE(file.Found);
        EXPECT_EQ(cpm_RecordedSize(v, file.Name), (long long)((sizes[i] + 127) / 128 * 128));
        EXPECT_EQ(file.Size, (long long)sizes[i]);   // the byte count of the last record
        size_t blocks = (sizes[i] + size_t(v.Geometry.BlockSize) - 1) / size_t(v.Geometry.BlockSize);
        EXPECT_EQ(file.Data.size(), blocks * size_t(v.Geometry.BlockSize));
        ASSERT_GE(file.Data.size(), want.size());
        EXPECT_TRUE(std::equal(want.Elements.begin(), want.Elements.end(), file.Data.Elements.begin()));
    }
    // The engine's listing counts every file cpmtools wrote.
    std::vector<std::string> lines = cpm_DirectoryLines(v, cpm_LongListing);
    EXPECT_EQ(lines.back().substr(0, lines.back().find(' ')), std::to_string(sizes.size()));
}

TEST_P(Interop, EngineWritesCpmtoolsReads) {
    cpm_Volume v = blankVolume();
    std::vector<size_t> sizes = sizesFor(GetParam());
    sizes.push_back(0);
    for (size_t i = 0; i < sizes.size(); i++) {
        const auto used = v.UsedKB;
        cpm_SaveFileResult r = cpm_SaveFile(std::move(v), Text(fileName(i)), pattern(sizes[i], int(i)));
        ASSERT_EQ(r.Message, "") << fileName(i);
        v = std::move(r.Volume);
        if (sizes[i] == 0) { EXPECT_EQ(v.UsedKB, used) << "an empty file is one entry without blocks"; }
    }
    writeForCpmtools(v, "ours.img");
    std::set<std::string> expected;
    for (size_t i = 0; i < sizes.size(); i++) expected.insert(lower(fileName(i)));
    EXPECT_EQ(cpmls("ours.img"), expected);
    for (size_t i = 0; i < sizes.size(); i++) {
        SCOPED_TRACE(fileName(i));
        EXPECT_EQ(cpmcp("ours.img", fileName(i)), pattern(sizes[i], int(i)));
    }
    expectClean("ours.img");
}

TEST_P(Interop, EraseSortAndWriteAgain) {
    cpm_Volume v = blankVolume();
    std::vector<size_t> sizes = {40000, 3000, 16384, 700, 20000, 1};
    for (size_t i = 0; i < sizes.size(); i++)
        v = cpm_SaveFile(std::move(v), Text(fileName(i)), pattern(sizes[i], int(i))).Volume;
    v = cpm_SetFileUser(std::move(v), Text(fileName(0)), 0xE5).Volume;
    v = cpm_SetFileUser(std::move(v), Text(fileName(3)), 0xE5).Volume;
    writeForCpmtools(v, "erased.img");
    EXPECT_EQ(cpmls("erased.img"), (std::set<std::string>{"f1.dat", "f2.dat", "f4.dat", "f5.dat"}));
    expectClean("erased.img");

    v = cpm_SetFileUser(std::move(v), Text(fileName(3)), 0).Volume;   // unerased by name
    v = cpm_Alphabetize(std::move(v), true, false);
    cpm_SaveFileResult r = cpm_SaveFile(std::move(v), Text("NEW.DAT"), pattern(30000, 99));   // reuses F0's blocks
    ASSERT_EQ(r.Message, "");
    v = std::move(r.Volume);
    v = cpm_Alphabetize(std::move(v), false, true);
    writeForCpmtools(v, "sorted.img");
    EXPECT_EQ(cpmls("sorted.img"), (std::set<std::string>{"f1.dat", "f2.dat", "f3.dat", "f4.dat", "f5.dat", "new.dat"}));
    for (size_t i = 1; i < sizes.size(); i++) EXPECT_EQ(cpmcp("sorted.img", fileName(i)), pattern(sizes[i], int(i)));
    EXPECT_EQ(cpmcp("sorted.img", "NEW.DAT"), pattern(30000, 99));
    expectClean("sorted.img");

    v = cpm_InitVolume(std::move(v));
    writeForCpmtools(v, "init.img");
    EXPECT_TRUE(cpmls("init.img").empty());
    expectClean("init.img");
}

TEST_P(Interop, OtherUsersKeepTheirEntriesAndBlocks) {
    // A file of another user is neither overwritten nor
    // shares its blocks.  Real disks reserve their boot area under user 31
    // (unit-tested in read_write_test.cpp); fsck.cpm of a CP/M 2.2 diskdef
    // calls users above 15 a bad status, so user 15 stands in for it here.
    cpm_Volume v = blankVolume();
    writeForCpmtools(v, "users.img");
    ASSERT_EQ(setbinarytofile(at("boot.sys"), pattern(9000, 31)), 0);
    ASSERT_EQ(sh(tool("cpmcp") + "users.img boot.sys 15:BOOT.SYS"), 0);
    v = readFromCpmtools("users.img");
    // The figures count every user area's files.
    EXPECT_EQ(v.UsedKB, (v.Geometry.DirBlocks + (9000 + v.Geometry.BlockSize - 1) / v.Geometry.BlockSize) * (v.Geometry.BlockSize / 1024));
    for (size_t i = 0; i < 3; i++) {
        cpm_SaveFileResult r = cpm_SaveFile(std::move(v), Text(fileName(i)), pattern(5000 + 7000 * i, int(i)));
        ASSERT_EQ(r.Message, "");
        v = std::move(r.Volume);
    }
    writeForCpmtools(v, "users.img");
    expectClean("users.img");
    EXPECT_EQ(cpmls("users.img", "15:"), (std::set<std::string>{"boot.sys"}));
    EXPECT_EQ(cpmcp("users.img", "BOOT.SYS", "15:"), pattern(9000, 31));   // cpmtools keeps its own byte count (S1)
    for (size_t i = 0; i < 3; i++) EXPECT_EQ(cpmcp("users.img", fileName(i)), pattern(5000 + 7000 * i, int(i)));
}

// Record counts that do not fit an entry's blocks, on every format (one or
// two logical extents per entry, 8- and 16-bit block numbers): the check
// reports what fsck.cpm reports as a bad record count, and nothing else.
TEST_P(Interop, CheckJudgesRecordCountsAsFsckDoes) {
    struct Case {
        const char *What;
        int Ex, Rc, Blocks;      // Blocks: in units of the blocks of one extent (B), plus `More`
        int More;
        bool Bad;
        bool Gap = false;        // a 0 after the first block; Rc then counts blocks' worth of records
    } cases[] = {
        {"no records, one block", 0, 0, 0, 1, true},
        {"one record, one block", 0, 1, 0, 1, false},
        {"one record, two blocks", 0, 1, 0, 2, true},
        {"a full extent", 0, 128, 1, 0, false},
        {"a full extent, one block short", 0, 128, 1, -1, true},
        {"second extent: none of its blocks, no records", 1, 0, 1, 0, false},
        {"second extent: one block, no records", 1, 0, 1, 1, true},
        {"second extent: one block, one record", 1, 1, 1, 1, false},
        {"second extent: one record, none of its blocks", 1, 1, 1, 0, true},
        // fsck.cpm counts the blocks an entry names, not the slots.
        {"a gap in the blocks, records for the blocks named", 0, 2, 0, 2, false, true},
        {"a gap in the blocks, records to the last slot", 0, 3, 0, 2, true, true},
    };
    for (const Case &c : cases) {
        cpm_Volume v = blankVolume();
        const int perExtent = cpm_ExtentBytes / v.Geometry.BlockSize;
        if (c.Ex >= cpm_ExtentsPerEntry(v)) continue;   // one logical extent per entry
        SCOPED_TRACE(c.What);
        std::vector<int> blocks;
        for (int k = 0; k < c.Blocks * perExtent + c.More; k++) blocks.push_back(v.Geometry.DirBlocks + 3 + k);
        if (c.Gap) blocks.insert(blocks.begin() + 1, 0);
        putEntry(v, 0, 0, "A       DAT", c.Ex, 0, c.Gap ? c.Rc * v.Geometry.BlockSize / 128 : c.Rc, blocks);
        v = cpm_Rebuild(std::move(v));
        writeForCpmtools(v, "rc.img");
        std::string out;
        sh(tool("fsck.cpm") + "-n rc.img", &out);
        EXPECT_EQ(out.find("Bad record count") != std::string::npos, c.Bad) << out;
        std::vector<std::string> kinds;
        for (const cpm_Finding &f : cpm_CheckVolume(v).Findings) kinds.push_back(cpm_FindingName(f.Kind));
        EXPECT_EQ(kinds.size(), c.Bad ? 1u : 0u);
        if (!kinds.empty()) {
            EXPECT_EQ(kinds[0].rfind("records-", 0), 0u) << kinds[0];
        }
    }
}

// --- user areas 0-15 through diskwright-cli --------------------------------------
// Files cpmcp puts into users 0-15 list, read, erase, unerase and copy out
// per user; files the tool writes into a user area read back with cpmcp, and
// fsck.cpm stays clean.  On the plain 256K volume only.
class Users : public Interop {
  protected:
    // The tool in the folder.
    test_CliRun cli(const std::string &arguments) { return test_CliTest::sh("$CLI " + arguments); }
    std::pair<int, std::string> outOf(const std::string &arguments) {
        test_CliRun r = cli(arguments);
        return {r.Status, r.Out};
    }
    std::pair<int, std::string> errOf(const std::string &arguments) {
        test_CliRun r = cli(arguments);
        return {r.Status, r.Err};
    }
    // Runs a cpmtools command on cpm.img, which is the tool's img.vol with
    // the leading track only cpmtools sees; changes go back into img.vol.
    int cpmtools(const std::string &command, std::string *out = nullptr) {
        const size_t lead = GetParam().Lead;
        EXPECT_EQ(setbinarytofile(at("cpm.img"), Text(std::vector<uint8_t>(lead, 0xE5)) + gettextfromfile(at("img.vol"))), 0);
        int status = sh(command, out);
        Text back = gettextfromfile(at("cpm.img"));
        back.Elements.erase(back.Elements.begin(), back.Elements.begin() + long(lead));
        EXPECT_EQ(setbinarytofile(at("img.vol"), back), 0);
        return status;
    }
    void expectCliVolumeClean() {
        cpmtools("true");   // cpm.img as img.vol is now
        expectClean("cpm.img");
    }
};

// The bytes of PIP.COM in user u: whole records, so both tools read them alike.
static std::string pipOf(int u) { return std::string(128 * size_t(1 + u), char('a' + u)); }

TEST_P(Users, OneFilePerUserListsReadsErasesAndUnerasesPerUser) {
    ASSERT_EQ(cli("new img.vol 256").Status, 0);
    for (int u = 0; u < 16; u++) {
        Folder.write("pip" + std::to_string(u), pipOf(u));
        ASSERT_EQ(cpmtools(tool("cpmcp") + "cpm.img pip" + std::to_string(u) + " " + std::to_string(u) + ":pip.com"), 0);
    }
    EXPECT_EQ(outOf("ls img.vol"), std::make_pair(0, std::string("Volume Name: img.vol (256K)\n\nPIP     .COM   2 | \n\n1 files, 36K used, 220K free.\n")));
    auto [status, out] = outOf("ls --user 15 img.vol");
    EXPECT_EQ(std::make_pair(status, out.substr(0, out.find('\n'))), std::make_pair(0, std::string("Volume Name: img.vol (256K), User 15")));
    std::tie(status, out) = outOf("ls --all img.vol");
    for (int u = 0; u < 16; u++) EXPECT_NE(out.find("User " + std::to_string(u) + ":\n"), std::string::npos) << u;

    for (int u : {0, 1, 5, 15}) {
        std::string name = std::to_string(u) + ":pip.com";
        ASSERT_EQ(cli("get --trim img.vol " + name + " ours").Status, 0);
        ASSERT_EQ(cpmtools(tool("cpmcp") + "cpm.img " + name + " theirs"), 0);
        EXPECT_EQ(file("ours"), pipOf(u)) << name;
        EXPECT_EQ(file("theirs"), file("ours")) << name;
    }
    // Erasing user 3's file leaves the same name in user 5 alone; unerasing
    // puts it back into the user it is named with.
    EXPECT_EQ(outOf("rm img.vol 3:pip.com"), std::make_pair(0, std::string("PIP     .COM erased\n")));
    EXPECT_NE(cli("type img.vol 3:pip.com").Status, 0);
    ASSERT_EQ(cli("get --trim img.vol 5:PIP.COM five").Status, 0);
    EXPECT_EQ(file("five"), pipOf(5));
    EXPECT_EQ(errOf("unrm img.vol 14:pip.com"),   // beside user 14's live one
              std::make_pair(1, std::string("diskwright-cli: img.vol: PIP     .COM could not be unerased: File exists.\n")));
    ASSERT_EQ(cli("unrm img.vol 3:pip.com").Status, 0);
    ASSERT_EQ(cpmtools(tool("cpmcp") + "cpm.img 3:pip.com theirs"), 0);
    EXPECT_EQ(file("theirs"), pipOf(3));
    expectCliVolumeClean();
    ASSERT_EQ(cli("rm img.vol 3:pip.com 14:pip.com").Status, 0);
    EXPECT_EQ(errOf("unrm img.vol 3:pip.com"), std::make_pair(1, std::string("diskwright-cli: img.vol: PIP     .COM could not be unerased: Erased entries of two files.\n")));
}

TEST_P(Users, WritesIntoUserAreasAndCopiesEveryUserOut) {
    Folder.write("data", std::string(3000, 'd'));
    Folder.write("more", std::string(20000, 'm'));
    // The same name in another user area.
    ASSERT_EQ(cli("new img.vol 256 && $CLI put img.vol data --as 0:same.txt && $CLI put img.vol data --as 5:same.txt && "
                  "$CLI put img.vol more --user 7").Status, 0);
    EXPECT_EQ(errOf("put img.vol more --user 7"), std::make_pair(1, std::string("diskwright-cli: img.vol: MORE    .    could not be saved: File exists.\n")));
    EXPECT_EQ(cli("put img.vol more --user 16").Status, 2);
    std::string out;
    ASSERT_EQ(cpmtools(tool("cpmls") + "cpm.img", &out), 0);
    EXPECT_EQ(out, "0:\nsame.txt\n\n5:\nsame.txt\n\n7:\nmore\n");
    ASSERT_EQ(cpmtools(tool("cpmcp") + "cpm.img 7:more theirs"), 0);
    EXPECT_EQ(file("theirs"), std::string(20000, 'm'));
    expectCliVolumeClean();

    Folder.folder("flat");
    EXPECT_EQ(errOf("get img.vol '*' flat"), std::make_pair(0, std::string("2 files in other user areas not copied (use '*:*').\n")));
    Folder.folder("users");
    ASSERT_EQ(cli("get --trim img.vol '*:*' users").Status, 0);
    EXPECT_EQ(file("users/0/SAME.TXT"), std::string(3000, 'd'));
    EXPECT_EQ(file("users/5/SAME.TXT"), file("users/0/SAME.TXT"));
    EXPECT_EQ(file("users/7/MORE."), file("theirs"));
    Folder.folder("seven");
    ASSERT_EQ(cli("get img.vol '7:*' seven").Status, 0);
    EXPECT_TRUE(fs::exists(at("seven/MORE.")));
    EXPECT_EQ(cli("get img.vol '16:*' seven").Status, 2);
}

static void PrintTo(const Format &f, std::ostream *o) { *o << f.Name; }

INSTANTIATE_TEST_SUITE_P(Formats, Interop, ::testing::ValuesIn(formats), [](const auto &info) {
    std::string n = info.param.Name;
    for (char &c : n)
        if (!isalnum((unsigned char)c)) c = '_';
    return n;
});

// Patterns with a user prefix: "5:*.COM" matches in user area 5 only,
// "*:*.COM" in every user area, each copied into its user's subfolder.
TEST_P(Users, PatternsMatchWithinTheirUserAreas) {
    ASSERT_EQ(cli("new img.vol 256").Status, 0);
    const struct { int User; const char *Name; } files[] = {{0, "a.com"}, {5, "b.com"}, {5, "c.txt"}, {9, "d.com"}};
    for (const auto &f : files) {
        Folder.write("src", std::string(128, f.Name[0]));
        ASSERT_EQ(cpmtools(tool("cpmcp") + "cpm.img src " + std::to_string(f.User) + ":" + f.Name), 0);
    }
    // Each case: arguments, exit status, the headings in order ("" for none).
    const struct { const char *Arguments; int Status; std::vector<std::string> Headings; } cases[] = {
        {"type img.vol '5:*.COM'", 0, {"==> 5:B       .COM <=="}},
        {"blocks img.vol '9:D.*'", 0, {"==> 9:D       .COM <=="}},
        {"dump img.vol '*:?.COM'", 0, {"==> A       .COM <==", "==> 5:B       .COM <==", "==> 9:D       .COM <=="}},
        {"type img.vol '5:C.TXT'", 0, {}},
        {"type img.vol '7:*.COM'", 1, {}},
        {"type img.vol '16:*.COM'", 2, {}},
    };
    for (const auto &c : cases) {
        test_CliRun r = cli(c.Arguments);
        EXPECT_EQ(r.Status, c.Status) << c.Arguments << ": " << r.Err;
        std::vector<std::string> headings;
        for (size_t at = r.Out.find("==> "); at != std::string::npos; at = r.Out.find("==> ", at + 1))
            headings.push_back(r.Out.substr(at, r.Out.find('\n', at) - at));
        EXPECT_EQ(headings, c.Headings) << c.Arguments;
    }
    EXPECT_EQ(errOf("type img.vol '7:*.COM'"), std::make_pair(1, std::string("diskwright-cli: img.vol: no file matches 7:*.COM\n")));

    fs::create_directory(at("coms"));
    ASSERT_EQ(cli("get --trim img.vol '*:*.COM' coms").Status, 0);
    EXPECT_EQ(file("coms/0/A.COM"), std::string(128, 'a'));
    EXPECT_EQ(file("coms/5/B.COM"), std::string(128, 'b'));
    EXPECT_EQ(file("coms/9/D.COM"), std::string(128, 'd'));
    EXPECT_FALSE(fs::exists(at("coms/5/C.TXT")));

    EXPECT_EQ(outOf("rm img.vol '5:*.COM'"), std::make_pair(0, std::string("B       .COM erased\n")));
    ASSERT_EQ(cli("unrm img.vol '5:B.*'").Status, 0);
    EXPECT_EQ(outOf("attr img.vol '*:*.COM' +R"), std::make_pair(0, std::string("A       .COM attributes: R\n5:B       .COM attributes: R\n9:D       .COM attributes: R\n")));
    auto [status, out] = outOf("ls --json --all img.vol");
    ASSERT_EQ(status, 0);
    for (const char *user : {"\"user\": 0,", "\"user\": 5,", "\"user\": 9,"}) EXPECT_NE(out.find(user), std::string::npos) << user;
    expectCliVolumeClean();
}

INSTANTIATE_TEST_SUITE_P(Plain256, Users, ::testing::Values(formats[6]), [](const auto &) { return std::string("plain_256K"); });
