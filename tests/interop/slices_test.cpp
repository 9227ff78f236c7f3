// Card images of many CP/M slices against cpmtools: slices made one by one
// with mkfs.cpm and cpmcp (hd512/hd1k definitions written here, as users
// write them), put together with and without a partition table, then each
// slice read, listed and written through IMAGE@N and read back by cpmtools,
// fsck.cpm clean, the other slices byte for byte as they were.  A 2 GiB
// sparse card is listed and written in little memory; a table that points
// past the file's end is refused before anything is read or written.
#include <sys/stat.h>

#include "cli_run.h"
#include "peer_tools.h"

namespace {

#ifdef __SANITIZE_ADDRESS__
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

const char *const diskdefs = R"(diskdef hd512
  seclen 512
  tracks 1040
  sectrk 16
  blocksize 4096
  maxdir 512
  skew 0
  boottrk 16
  os 2.2
end
diskdef hd1k
  seclen 512
  tracks 1024
  sectrk 16
  blocksize 4096
  maxdir 1024
  skew 0
  boottrk 2
  os 2.2
end
diskdef kpiv
  seclen 512
  tracks 80
  sectrk 10
  blocksize 2048
  maxdir 64
  dirblks 2
  boottrk 1
  os 2.2
end
)";

// card.py OUT SIZE [TYPE:FIRST_SECTOR:SECTORS ...] [FILE@OFFSET ...]: a
// sparse file of SIZE bytes with a partition table of those entries (when
// any) and the files at their offsets.  extract.py IMAGE OFFSET LENGTH OUT.
const char *const cardScript = R"(import struct, sys
out, size = sys.argv[1], int(sys.argv[2])
with open(out, 'wb') as f:
    f.truncate(size)
    entries = [a for a in sys.argv[3:] if '@' not in a]
    if entries:
        mbr = bytearray(512)
        for i, e in enumerate(entries):
            t, first, n = (int(x, 0) for x in e.split(':'))
            mbr[446 + 16 * i + 4] = t
            mbr[446 + 16 * i + 8:446 + 16 * i + 16] = struct.pack('<II', first, n)
        mbr[510:512] = b'\x55\xaa'
        f.seek(0); f.write(mbr)
    for a in sys.argv[3:]:
        if '@' in a:
            name, at = a.rsplit('@', 1)
            f.seek(int(at)); f.write(open(name, 'rb').read())
)";
const char *const extractScript = R"(import sys
f = open(sys.argv[1], 'rb'); f.seek(int(sys.argv[2]))
open(sys.argv[4], 'wb').write(f.read(int(sys.argv[3])))
)";

constexpr long long hd512Bytes = 8519680, hd1kBytes = 8388608, mb = 1048576;

// One card layout: the slices' definition and bytes, where they lie, and the
// partition table (none: "").
struct Layout {
    const char *Name;
    const char *Definition;
    long long SliceBytes;
    long long First;          // offset of slice 0
    long long Stride;         // from one slice to the next
    long long FileBytes;      // of the whole card
    const char *Table;        // card.py's partition entries
    int Slices;
};

const Layout layouts[] = {
    {"hd1k behind a table", "hd1k", hd1kBytes, mb, hd1kBytes, mb + 3 * hd1kBytes, "0x2E:2048:49152", 3},
    {"hd1k without a table", "hd1k", hd1kBytes, 0, hd1kBytes, 3 * hd1kBytes, "", 3},
    {"hd512 without a table", "hd512", hd512Bytes, 0, hd512Bytes, 3 * hd512Bytes, "", 3},
    {"hd512, the last slice cut short", "hd512", hd512Bytes, 0, hd512Bytes, 2 * hd512Bytes + 400 * 1024, "", 3},
};

class Slices : public test_CliTest {
  protected:
    void SetUp() override {
        test_CliTest::SetUp();
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS, "python3");
        Folder.write("diskdefs", diskdefs);   // cpmtools reads ./diskdefs before its own
        Folder.write("card.py", cardScript);
        Folder.write("extract.py", extractScript);
    }
    // A slice file made by cpmtools, holding SLICEi.TXT ("slice i").
    void makeSlice(const char *definition, long long bytes, int i) {
        std::string n = std::to_string(i);
        Folder.write("s" + n + ".txt", "slice " + n + "\n");
        ASSERT_EQ(run("truncate -s " + std::to_string(bytes) + " s" + n + ".img && mkfs.cpm -f " + definition + " s" + n +
                      ".img && cpmcp -f " + definition + " s" + n + ".img s" + n + ".txt 0:SLICE" + n + ".TXT"),
                  "");
    }
    // The first MB of a file (a card may be gigabytes of holes).
    std::string head(const std::string &name) {
        std::string bytes(1 << 20, '\0');
        std::ifstream in(at(name), std::ios::binary);
        in.read(bytes.data(), std::streamsize(bytes.size()));
        bytes.resize(size_t(in.gcount()));
        return bytes;
    }
    // Slice i of the card, cut out as a file of its own for cpmtools.
    void extract(const Layout &l, int i, const std::string &out) {
        ASSERT_EQ(run("python3 extract.py card.img " + std::to_string(l.First + i * l.Stride) + " " +
                      std::to_string(l.SliceBytes) + " " + out + " && truncate -s " + std::to_string(l.SliceBytes) + " " + out),
                  "");
    }
    void build(const Layout &l) {
        std::string parts;
        for (int i = 0; i < l.Slices; i++) {
            makeSlice(l.Definition, l.SliceBytes, i);
            parts += " s" + std::to_string(i) + ".img@" + std::to_string(l.First + i * l.Stride);
        }
        ASSERT_EQ(run("python3 card.py big.img " + std::to_string(l.First + l.Slices * l.Stride) + " " + l.Table + parts +
                      " && head -c " + std::to_string(l.FileBytes) + " big.img > card.img && rm big.img"),
                  "");
    }
};

}  // namespace

TEST_F(Slices, EachSliceReadWrittenAndCheckedByCpmtools) {
    for (const Layout &l : layouts) {
        SCOPED_TRACE(l.Name);
        build(l);
        std::string info = run("$CLI info card.img");
        EXPECT_TRUE(test_Has(info, "Slices:       " + std::to_string(l.Slices))) << info;
        EXPECT_TRUE(test_Has(info, std::string(l.Table[0] ? "type 0x2E" : "Partitions:   none"))) << info;
        EXPECT_TRUE(test_Has(run("$CLI info --json card.img"), "\"state\": \"1 file\"")) << info;
        // Without a slice named: slice 0, said once; a change is refused and writes nothing.
        test_CliRun listed = sh("$CLI ls card.img");
        EXPECT_EQ(listed.Status, 0);
        EXPECT_TRUE(test_Has(listed.Out, "SLICE0")) << listed.Out;
        EXPECT_EQ(listed.Err, "diskwright-cli: card.img: slice 0 of " + std::to_string(l.Slices) + " (use IMAGE@N)\n");
        std::string before = file("card.img");
        test_CliRun refused = sh("$CLI rm card.img SLICE0.TXT");
        EXPECT_EQ(refused.Status, 1);
        EXPECT_EQ(refused.Err, "diskwright-cli: card.img: " + std::to_string(l.Slices) + " slices: name one as IMAGE@N\n");
        EXPECT_EQ(file("card.img"), before);
        for (int i = 0; i < l.Slices; i++) {
            SCOPED_TRACE("slice " + std::to_string(i));
            std::string n = std::to_string(i);
            EXPECT_EQ(run("$CLI get card.img@" + n + " SLICE" + n + ".TXT -"), "slice " + n + "\n");
            EXPECT_EQ(run("$CLI get --slice " + n + " card.img SLICE" + n + ".TXT -"), "slice " + n + "\n");
            EXPECT_TRUE(test_Has(run("$CLI ls card.img@" + n), "Volume Name: card.img@" + n + " (")) << i;
            EXPECT_TRUE(test_Has(run("$CLI info --json card.img@" + n), "\"slice\": " + n + ", \"slices\": " +
                                                                            std::to_string(l.Slices)));
            // Written through @N: cpmtools reads the new file back, the rest is as it was.
            before = file("card.img");
            Folder.write("new.txt", std::string(5000 + i, char('a' + i)));
            ASSERT_EQ(run("$CLI put card.img@" + n + " new.txt >/dev/null && $CLI rm card.img@" + n + " SLICE" + n +
                          ".TXT >/dev/null"),
                      "");
            std::string after = file("card.img");
            ASSERT_GE(after.size(), before.size());
            long long from = l.First + i * l.Stride, to = std::min<long long>(from + l.SliceBytes, (long long)before.size());
            EXPECT_TRUE(before.compare(0, size_t(from), after, 0, size_t(from)) == 0) << "bytes before the slice changed";
            EXPECT_TRUE(before.compare(size_t(to), std::string::npos, after, size_t(to), before.size() - size_t(to)) == 0)
                << "bytes after the slice changed";
            extract(l, i, "one.img");
            EXPECT_EQ(run(std::string("cpmls -f ") + l.Definition + " one.img"), "0:\nnew.txt\n");
            EXPECT_EQ(run(std::string("cpmcp -f ") + l.Definition + " one.img 0:NEW.TXT back.txt && cmp back.txt new.txt"), "");
            int status = -1;
            std::string fsck = run(std::string("fsck.cpm -n -f ") + l.Definition + " one.img", &status);
            EXPECT_EQ(status, 0) << fsck;
        }
        EXPECT_FALSE(test_Has(run("ls -a"), "diskwright-undo"));
    }
}

TEST_F(Slices, NewCardImagesAreEmptySlicesCpmtoolsTakes) {
    struct Row {
        const char *Definition;
        long long First, SliceBytes, FileBytes;
        const char *Table;
    };
    const Row rows[] = {{"hd1k", mb, hd1kBytes, mb + 4 * hd1kBytes, "type 0x2E, sectors 2048-67583"},
                        {"hd512", 0, hd512Bytes, 4 * hd512Bytes, "Partitions:   none"}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.Definition);
        ASSERT_EQ(run(std::string("$CLI new --format ") + r.Definition + " --slices 4 card.img --force"),
                  std::string("Image of 4 ") + r.Definition + " slices created: card.img\n");
        EXPECT_EQ((long long)file("card.img").size(), r.FileBytes);
        std::string info = run("$CLI info card.img");
        EXPECT_TRUE(test_Has(info, r.Table)) << info;
        EXPECT_TRUE(test_Has(info, "  3:   ")) << info;
        Folder.write("x.txt", "x\n");
        ASSERT_EQ(run("$CLI put card.img@3 x.txt"), "X       .TXT saved on CP/M volume.\n");
        Layout l{"", r.Definition, r.SliceBytes, r.First, r.SliceBytes, r.FileBytes, "", 4};
        extract(l, 3, "three.img");
        EXPECT_EQ(run(std::string("cpmls -f ") + r.Definition + " three.img"), "0:\nx.txt\n");
        int status = -1;
        run(std::string("fsck.cpm -n -f ") + r.Definition + " three.img", &status);
        EXPECT_EQ(status, 0);
    }
}

// A full-size card is sparse: listing it and writing its last slice read
// and write that slice alone, in little memory, and never fill the holes.
TEST_F(Slices, SparseTwoGigabyteCardInLittleMemory) {
    TEST_REQUIRE_TOOLS("/usr/bin/time");
    makeSlice("hd1k", hd1kBytes, 0);
    const long long last = mb + 254 * hd1kBytes;
    ASSERT_EQ(run("python3 card.py card.img " + std::to_string(mb + 255 * hd1kBytes) + " 0x2E:2048:" +
                  std::to_string(255 * 16384) + " s0.img@" + std::to_string(mb) + " s0.img@" + std::to_string(last)),
              "");
    struct stat st0;
    ASSERT_EQ(stat(at("card.img").c_str(), &st0), 0);
    struct Row {
        const char *Command;
        const char *Shows;
    };
    const Row rows[] = {
        {"info card.img", "  254: hd1k     at 2131755008: 1 file"},
        {"ls card.img@254", "SLICE0  .TXT"},
        {"put card.img@254 s0.txt --as MORE.TXT", "MORE    .TXT saved on CP/M volume."},
        {"get card.img@254 MORE.TXT -", "slice 0"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.Command);
        test_CliRun t = sh("/usr/bin/time -f 'RSS %M' $CLI " + std::string(r.Command));
        EXPECT_EQ(t.Status, 0) << t.Err;
        EXPECT_TRUE(test_Has(t.Out, r.Shows)) << t.Out;
        long rss = std::stol(t.Err.substr(t.Err.rfind("RSS ") + 4));
        // AddressSanitizer's shadow memory and quarantine are resident too:
        // the sanitizer build checks the commands, the release build the memory.
        if (!sanitized) {
            EXPECT_LT(rss, 64 * 1024) << "KB";
        }
    }
    struct stat st1;
    ASSERT_EQ(stat(at("card.img").c_str(), &st1), 0);
    EXPECT_EQ(st1.st_ino, st0.st_ino) << "written in place";
    EXPECT_EQ(st1.st_size, st0.st_size);
    EXPECT_LT((long long)st1.st_blocks * 512, 64 * mb) << "the holes stay holes";
    Layout l{"", "hd1k", hd1kBytes, mb, hd1kBytes, st1.st_size, "", 255};
    extract(l, 254, "last.img");
    EXPECT_EQ(run("cpmls -f hd1k last.img"), "0:\nmore.txt\nslice0.txt\n");
    extract(l, 0, "first.img");
    EXPECT_EQ(run("cmp first.img s0.img"), "");
}

// Files that are not cards of slices, or whose table cannot be trusted.
TEST_F(Slices, RefusedAndOrdinaryFiles) {
    makeSlice("hd1k", hd1kBytes, 0);
    struct Row {
        const char *Name;
        const char *Make;      // shell commands making card.img
        const char *Command;
        int Status;
        const char *Says;      // part of standard output and error
    };
    const Row rows[] = {
        {"a table past the file's end", "python3 card.py card.img 9437184 0x2E:2048:49152 s0.img@1048576", "put card.img@0 s0.txt",
         1, "partition 1 (type 0x2E) lies past the end of the file"},
        {"a table past the file's end, listed", "python3 card.py card.img 9437184 0x2E:2048:49152 s0.img@1048576",
         "info card.img", 1, "lies past the end of the file"},
        {"4 GiB of zeros", "truncate -s 4G card.img", "info card.img", 1, "card.img: Image file too large."},
        {"one slice of zeros: no slice, the usual rules", "truncate -s 8519680 card.img", "info card.img", 0,
         "Refused:      Not a CP/M volume"},
        {"a name with @ that exists is that file", "cp s0.img card.img@1", "ls card.img@1", 0, "SLICE0  .TXT"},
        {"a slice number past the last", "cp s0.img card.img", "ls card.img@1", 1, "no slice 1 (1 slice)"},
        {"an unformatted slice is never written", "python3 card.py card.img 17825792 0x2E:2048:32768 s0.img@1048576",
         "put card.img@1 s0.txt", 1, "Slice 1 is unformatted: opened read-only."},
        {"a CP/M partition of its own (0x52) beside slices",
         "truncate -s 409600 f.img && mkfs.cpm -f kpiv f.img && cpmcp -f kpiv f.img s0.txt 0:EIGHT.TXT && "
         "python3 card.py card.img 10485760 0x52:2048:800 0x2E:4096:16384 f.img@1048576 s0.img@2097152",
         "info card.img", 0, "  0:   kpiv     at 1048576: 1 file"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.Name);
        run("rm -f card.img 'card.img@1'");
        ASSERT_EQ(run(r.Make), "");
        std::string before = head("card.img");
        int status = -1;
        std::string said = run("$CLI " + std::string(r.Command), &status);
        EXPECT_EQ(status, r.Status) << said;
        EXPECT_TRUE(test_Has(said, r.Says)) << said;
        EXPECT_EQ(head("card.img"), before);
    }
    // The partition's volume is read and written as any image of its size.
    EXPECT_EQ(run("$CLI get card.img@0 EIGHT.TXT -"), "slice 0\n");
    ASSERT_EQ(run("$CLI put card.img@0 s0.txt --as NINE.TXT >/dev/null && python3 extract.py card.img 1048576 409600 f2.img"), "");
    EXPECT_EQ(run("cpmls -f kpiv f2.img"), "0:\neight.txt\nnine.txt\n");
    EXPECT_EQ(run("$CLI get card.img@1 SLICE0.TXT -"), "slice 0\n");
}

// Boards with slices of their own layout: a definition with slices and slicesize.
TEST_F(Slices, UserDefinitionsOfSlices) {
    Folder.write("board", "diskdef board2m\n  seclen 512\n  tracks 64\n  sectrk 64\n  blocksize 2048\n  maxdir 256\n"
                          "  boottrk 1\n  os 2.2\n  slices 4\n  slicesize 2162688\nend\n");
    Folder.write("diskdefs", std::string(diskdefs) + "diskdef board2m\n  seclen 512\n  tracks 64\n  sectrk 64\n"
                                                     "  blocksize 2048\n  maxdir 256\n  boottrk 1\n  os 2.2\nend\n");
    for (int i = 0; i < 3; i++) makeSlice("board2m", 2097152, i);
    ASSERT_EQ(run("python3 card.py card.img 6488064 s0.img@0 s1.img@2162688 s2.img@4325376"), "");
    std::string info = run("$CLI --diskdefs board info card.img");
    EXPECT_TRUE(test_Has(info, "Slices:       3")) << info;
    EXPECT_TRUE(test_Has(info, "  2:   board2m  at 4325376: 1 file")) << info;
    EXPECT_EQ(run("$CLI --diskdefs board get card.img@2 SLICE2.TXT -"), "slice 2\n");
    // The keywords are checked as strictly as the others.
    Folder.write("bad", "diskdef b\n  seclen 512\n  tracks 64\n  sectrk 64\n  blocksize 2048\n  maxdir 256\n"
                        "  boottrk 1\n  slicesize 4096\nend\n");
    int status = -1;
    EXPECT_TRUE(test_Has(run("$CLI --diskdefs bad info card.img", &status), "slicesize")) << status;
    EXPECT_EQ(status, 2);
}
