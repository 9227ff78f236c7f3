// Collections of images: scan, find, diff and dups over a generated folder
// tree of images made by cpmtools and by the engine (copies, damaged ones,
// ones that are no CP/M, files that are no images, a link loop, a FIFO, an
// unreadable file and folder), compared with what cpmls lists of each image.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "cli_run.h"
#include "files.h"
#include "image.h"
#include "peer_tools.h"
#include "write.h"

namespace fs = std::filesystem;

namespace {

// Bytes that look like nothing: a fixed pseudo-random run.
std::string noise(size_t size, uint32_t seed) {
    std::string out(size, '\0');
    for (char &c : out) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 16);
    }
    return out;
}

// "U:NAME.EXT SIZE" for every file, as cpmls -l lists them (names in capitals).
std::set<std::string> parseCpmls(const std::string &listing) {
    std::set<std::string> out;
    std::istringstream lines(listing);
    std::string line, user = "0";
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        if (line.back() == ':') {
            user = line.substr(0, line.size() - 1);
            continue;
        }
        std::istringstream words(line);
        std::string mode, size, name, word;
        words >> mode >> size;
        while (words >> word) name = word;   // after the date
        for (char &c : name) c = char(toupper((unsigned char)c));
        out.insert(user + ":" + name + " " + size);
    }
    return out;
}

class CliCollection : public test_CliTest {
  protected:
    void SetUp() override {
        test_CliTest::SetUp();
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS, "python3", "mkfifo");
        for (const char *f : {"disks", "disks/cpm", "disks/engine", "disks/copies", "disks/bad", "disks/deep",
                              "disks/deep/a", "disks/deep/a/b"})
            Folder.folder(f);
        Folder.write("hello.txt", "hello, world\r\n");
        Folder.write("big.bin", noise(20000, 1));
        Folder.write("other.txt", "another text\r\n");
        Folder.write("ws.com", noise(3000, 7) + "WordStar");
        // cpmtools images at their full size, files in user areas 0 and 3.
        std::string made = run(
            "mk() { mkfs.cpm -f $1 $2 >/dev/null && truncate -s $3 $2; } && "
            "mk ibm-3740 disks/cpm/ibm.img 256256 && cpmcp -f ibm-3740 disks/cpm/ibm.img hello.txt big.bin 0: && "
            "cpmcp -f ibm-3740 disks/cpm/ibm.img ws.com 3:WS.COM && "
            "mk kpii disks/cpm/kp.img 204800 && cpmcp -f kpii disks/cpm/kp.img ws.com other.txt 0: && "
            "mk kpii disks/deep/a/b/kp2.img 204800 && cpmcp -f kpii disks/deep/a/b/kp2.img big.bin 0: && "
            "cpmcp -f kpii disks/deep/a/b/kp2.img hello.txt 0:OTHER.TXT && "
            "cp disks/cpm/ibm.img disks/copies/ibm-again.dat && "
            "mk ibm-3740 disks/bad/records.img 256256 && cpmcp -f ibm-3740 disks/bad/records.img hello.txt big.bin 0: && "
            "$CLI convert --to edsk disks/cpm/kp.img disks/engine/kp.edsk >/dev/null && "
            "$CLI convert --to imd disks/cpm/ibm.img disks/engine/ibm.imd >/dev/null");
        ASSERT_EQ(made, "");
        // The engine's own plain volume with WS.COM in user 0.
        cpm_Volume v = cpm_MakeVolume(at("disks/engine/plain.vol"), 200);
        v = cpm_SaveFile(std::move(v), Text("WS.COM"), Text(noise(3000, 7) + "WordStar")).Volume;
        v = cpm_SaveFile(std::move(v), Text("LETTER.TXT"), Text("Dear Sir\r\n\x1A")).Volume;
        ASSERT_EQ(setbinarytofile(at("disks/engine/plain.vol"), v.Image), 0);
        // Damaged: the record count of HELLO.TXT's entry past its one block.
        std::string bytes = file("disks/bad/records.img");
        size_t directory = 2 * 26 * 128;
        for (size_t e = directory; e < directory + 64 * 32; e += 32)
            if (bytes.compare(e + 1, 8, "HELLO   ") == 0) bytes[e + 15] = 100;
        Folder.write("disks/bad/records.img", bytes);
        Folder.write("disks/bad/noise.img", noise(256256, 99));             // the size of a disk, no directory
        Folder.write("disks/bad/blank.img", std::string(256256, '\xE5'));   // readings that tie
        Folder.write("disks/notes.txt", "not a disk\n");
        Folder.write("disks/empty.img", "");
        Folder.link("disks/deep/loop", "..");
        Folder.link("disks/deep/nowhere", "missing.img");
        ASSERT_EQ(mkfifo(at("disks/deep/pipe").c_str(), 0644), 0);
    }

    // The files of an image as cpmls -l lists them.
    std::set<std::string> cpmls(const std::string &format, const std::string &image) {
        test_CliRun r = sh("cpmls -f " + format + " -l " + image);
        EXPECT_EQ(r.Status, 0) << image << r.Err;
        return parseCpmls(r.Out);
    }
};

}  // namespace

// Every image's line: container, definition, files and health; the files
// that are no images are counted, not listed; path order whatever the jobs.
TEST_F(CliCollection, ScanShowsEveryImageWithItsHealth) {
    test_CliRun r = sh("timeout 60 $CLI scan disks");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    const char *expected =
        "disks/bad/blank.img: raw, ibm-3740, 0 files, 2K used, 241K free, unclear: ibm-3740, zen9, mds-sd…\n"
        "disks/bad/noise.img: raw, not CP/M\n"
        "disks/bad/records.img: raw, ibm-3740, 2 files, 23K used, 220K free, damaged: 1 finding\n"
        "disks/copies/ibm-again.dat: raw, ibm-3740, 3 files, 26K used, 217K free, ok\n"
        "disks/cpm/ibm.img: raw, ibm-3740, 3 files, 26K used, 217K free, ok\n"
        "disks/cpm/kp.img: raw, kpii, 2 files, 8K used, 187K free, ok\n"
        "disks/deep/a/b/kp2.img: raw, kpii, 2 files, 25K used, 170K free, ok\n"
        "disks/engine/ibm.imd: ImageDisk, ibm-3740, 3 files, 26K used, 217K free, ok\n"
        "disks/engine/kp.edsk: Extended DSK, kpii, 2 files, 8K used, 187K free, ok\n"
        "disks/engine/plain.vol: raw, plain, 2 files, 10K used, 190K free, ok\n"
        "10 images: 7 ok, 1 damaged, 1 unclear, 1 not CP/M, 0 unreadable; 19 files; 2 other files; 3 skipped.\n";
    EXPECT_EQ(r.Out, expected);
    for (const char *jobs : {"1", "3", "16"})
        EXPECT_EQ(sh(std::string("$CLI scan --jobs ") + jobs + " disks").Out, expected) << jobs;
    // --all lists the rest with the reason, in path order too.
    std::string all = sh("$CLI scan --all disks").Out;
    for (const char *line : {"disks/notes.txt: not an image (no reading of its size)\n",
                             "disks/empty.img: not an image (empty)\n",
                             "disks/deep/loop: skipped (symbolic link, not followed)\n",
                             "disks/deep/nowhere: skipped (symbolic link, not followed)\n",
                             "disks/deep/pipe: skipped (not a regular file)\n"})
        EXPECT_TRUE(test_Has(all, line)) << line << all;
    EXPECT_LT(all.find("disks/deep/a/b/kp2.img"), all.find("disks/empty.img"));
}

// The files scan finds in each image are the files cpmls lists, with the
// same sizes; --json is one document, --json-lines one object a line.
TEST_F(CliCollection, ScanJsonAgreesWithCpmls) {
    ASSERT_EQ(sh("$CLI scan --json --all disks > scan.json && $CLI scan --json-lines --jobs 2 disks > scan.jsonl").Status, 0);
    const char *script = R"PY(
import json
doc = json.load(open("scan.json"))
for image in doc["images"]:
    print(image["path"], image["definition"], image["health"], image["fileCount"] == len(image["files"]))
    for f in image["files"]:
        print("  %d:%s %d %s %d" % (f["user"], f["name"], f["size"], f["attributes"], len(f["hash"])))
print("others", sorted(o["path"] for o in doc["others"]))
print("skipped", sorted(s["path"] for s in doc["skipped"]))
print("totals", doc["totals"]["images"], doc["totals"]["files"], doc["totals"]["others"])
lines = [json.loads(l) for l in open("scan.jsonl")]
print("lines", sorted(l["path"] for l in lines) == [i["path"] for i in doc["images"]],
      sorted(json.dumps(l, sort_keys=True) for l in lines) == sorted(json.dumps(i, sort_keys=True) for i in doc["images"]))
)PY";
    Folder.write("read.py", script);
    test_CliRun r = sh("python3 read.py");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(test_Has(r.Out, "others ['disks/empty.img', 'disks/notes.txt']\n")) << r.Out;
    EXPECT_TRUE(test_Has(r.Out, "skipped ['disks/deep/loop', 'disks/deep/nowhere', 'disks/deep/pipe']\n")) << r.Out;
    EXPECT_TRUE(test_Has(r.Out, "totals 10 19 2\n")) << r.Out;
    EXPECT_TRUE(test_Has(r.Out, "lines True True\n")) << r.Out;
    // Each image cpmtools reads: the same files, of the same sizes.
    struct {
        const char *Image, *Format;
    } images[] = {{"disks/cpm/ibm.img", "ibm-3740"},       {"disks/cpm/kp.img", "kpii"},
                  {"disks/deep/a/b/kp2.img", "kpii"},      {"disks/copies/ibm-again.dat", "ibm-3740"},
                  {"disks/bad/records.img", "ibm-3740"}};
    for (const auto &image : images) {
        size_t at = r.Out.find(std::string(image.Image) + " " + image.Format + " ");
        ASSERT_NE(at, std::string::npos) << image.Image << r.Out;
        std::set<std::string> listed;
        std::istringstream lines(r.Out.substr(r.Out.find('\n', at) + 1));
        for (std::string line; std::getline(lines, line) && line.rfind("  ", 0) == 0;) {
            std::istringstream words(line);
            std::string name, size;
            words >> name >> size;
            listed.insert(name + " " + size);
        }
        EXPECT_EQ(listed, cpmls(image.Format, image.Image)) << image.Image;
    }
}

// find: every match of a name or pattern with its image, user and size;
// --contains reads the bytes; no match is exit status 1.
TEST_F(CliCollection, FindAnswersWhereAFileIs) {
    struct {
        const char *Args;
        int Status;
        const char *Out;
    } cases[] = {
        {"disks WS.COM", 0,
         "disks/cpm/kp.img: 0:WS.COM, 3008 bytes\n"
         "disks/engine/kp.edsk: 0:WS.COM, 3008 bytes\n"
         "disks/engine/plain.vol: 0:WS.COM, 3008 bytes\n"},
        {"disks '*:WS.COM'", 0,
         "disks/copies/ibm-again.dat: 3:WS.COM, 3008 bytes\n"
         "disks/cpm/ibm.img: 3:WS.COM, 3008 bytes\n"
         "disks/cpm/kp.img: 0:WS.COM, 3008 bytes\n"
         "disks/engine/ibm.imd: 3:WS.COM, 3008 bytes\n"
         "disks/engine/kp.edsk: 0:WS.COM, 3008 bytes\n"
         "disks/engine/plain.vol: 0:WS.COM, 3008 bytes\n"},
        {"disks/cpm disks/deep '*.TXT'", 0,
         "disks/cpm/ibm.img: 0:HELLO.TXT, 14 bytes\n"
         "disks/cpm/kp.img: 0:OTHER.TXT, 14 bytes\n"
         "disks/deep/a/b/kp2.img: 0:OTHER.TXT, 14 bytes\n"},
        {"disks '3:*'", 0,
         "disks/copies/ibm-again.dat: 3:WS.COM, 3008 bytes\n"
         "disks/cpm/ibm.img: 3:WS.COM, 3008 bytes\n"
         "disks/engine/ibm.imd: 3:WS.COM, 3008 bytes\n"},
        {"--contains 'hello, world' disks/cpm disks/deep '*:*'", 0,
         "disks/cpm/ibm.img: 0:HELLO.TXT, 14 bytes\n"
         "disks/deep/a/b/kp2.img: 0:OTHER.TXT, 14 bytes\n"},
        {"--contains-hex '57 6f7264' disks/engine '*:*'", 0,
         "disks/engine/ibm.imd: 3:WS.COM, 3008 bytes\n"
         "disks/engine/kp.edsk: 0:WS.COM, 3008 bytes\n"
         "disks/engine/plain.vol: 0:WS.COM, 3008 bytes\n"},
        {"disks 'NOSUCH.*'", 1, ""},
        {"--contains-hex 5 disks '*'", 2, ""},
        {"disks", 2, ""},
        {"disks '16:*'", 2, ""},
    };
    for (const auto &c : cases) {
        test_CliRun r = sh(std::string("$CLI find ") + c.Args);
        EXPECT_EQ(r.Status, c.Status) << c.Args << "\n" << r.Err;
        EXPECT_EQ(r.Out, c.Out) << c.Args;
    }
    // The JSON document names the same matches.
    ASSERT_EQ(sh("$CLI find --json disks '*:WS.COM' > find.json").Status, 0);
    Folder.write("read.py", "import json\nfor m in json.load(open('find.json'))['matches']: "
                            "print(m['image'], m['user'], m['name'], m['size'], m['updated'])\n");
    EXPECT_EQ(sh("python3 read.py").Out,
              "disks/copies/ibm-again.dat 3 WS.COM 3008 None\ndisks/cpm/ibm.img 3 WS.COM 3008 None\n"
              "disks/cpm/kp.img 0 WS.COM 3008 None\ndisks/engine/ibm.imd 3 WS.COM 3008 None\n"
              "disks/engine/kp.edsk 0 WS.COM 3008 None\ndisks/engine/plain.vol 0 WS.COM 3008 None\n");
}

// diff compares file sets by name and bytes; its exit status is diff's.
TEST_F(CliCollection, DiffComparesTwoImages) {
    struct {
        const char *A, *B;
        int Status;
        const char *Out;
    } cases[] = {
        {"disks/cpm/ibm.img", "disks/engine/ibm.imd", 0,
         "Identical: 0:BIG.BIN\nIdentical: 0:HELLO.TXT\nIdentical: 3:WS.COM\n"
         "0 only in disks/cpm/ibm.img, 0 only in disks/engine/ibm.imd, 0 differ, 3 identical.\n"},
        {"disks/cpm/kp.img", "disks/deep/a/b/kp2.img", 1,
         "Only in disks/cpm/kp.img: 0:WS.COM\nOnly in disks/deep/a/b/kp2.img: 0:BIG.BIN\nDiffer: 0:OTHER.TXT\n"
         "1 only in disks/cpm/kp.img, 1 only in disks/deep/a/b/kp2.img, 1 differ, 0 identical.\n"},
        {"disks/cpm/ibm.img", "disks/bad/records.img", 1, nullptr},
        {"disks/cpm/ibm.img", "disks/bad/noise.img", 2, ""},
        {"disks/notes.txt", "disks/cpm/ibm.img", 2, ""},
        {"disks/cpm/ibm.img", "disks/none.img", 2, ""},
        {"disks/cpm/ibm.img", "disks/deep/pipe", 2, ""},
        {"disks/cpm/ibm.img", "", 2, ""},
    };
    for (const auto &c : cases) {
        test_CliRun r = sh(std::string("timeout 20 $CLI diff ") + c.A + " " + c.B);
        EXPECT_EQ(r.Status, c.Status) << c.A << " " << c.B << "\n" << r.Err;
        if (c.Out) {
            EXPECT_EQ(r.Out, c.Out) << c.A << " " << c.B;
        }
        if (c.Status == 2) {
            EXPECT_NE(r.Err, "") << c.A << " " << c.B;
        }
    }
}

// dups groups the same bytes across images and the images with the same files.
TEST_F(CliCollection, DupsFindsCopies) {
    test_CliRun r = sh("$CLI dups disks");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(test_Has(r.Out, "3:WS.COM, 3008 bytes, 6 copies:\n"
                                "  disks/copies/ibm-again.dat: 3:WS.COM\n"
                                "  disks/cpm/ibm.img: 3:WS.COM\n"
                                "  disks/cpm/kp.img: 0:WS.COM\n"
                                "  disks/engine/ibm.imd: 3:WS.COM\n"
                                "  disks/engine/kp.edsk: 0:WS.COM\n"
                                "  disks/engine/plain.vol: 0:WS.COM\n")) << r.Out;
    // Same bytes under another name are copies too.
    EXPECT_TRUE(test_Has(r.Out, "  disks/deep/a/b/kp2.img: 0:OTHER.TXT\n")) << r.Out;
    EXPECT_TRUE(test_Has(r.Out, "Images with the same 3 files:\n  disks/copies/ibm-again.dat\n  disks/cpm/ibm.img\n"
                                "  disks/engine/ibm.imd\n")) << r.Out;
    EXPECT_TRUE(test_Has(r.Out, "Images with the same 2 files:\n  disks/cpm/kp.img\n  disks/engine/kp.edsk\n")) << r.Out;
    ASSERT_EQ(sh("$CLI dups --json disks > dups.json").Status, 0);
    Folder.write("read.py", "import json\nd = json.load(open('dups.json'))\n"
                            "print(sorted(len(g['copies']) for g in d['files']), sorted(len(g['images']) for g in d['images']))\n");
    EXPECT_EQ(sh("python3 read.py").Out, "[2, 4, 5, 6] [2, 3]\n");
}

// Files that cannot be read are listed as unreadable and folders that cannot
// be read are reported, without stopping the scan; a FIFO is never opened.
TEST_F(CliCollection, UnreadableFilesAndFolders) {
    Folder.folder("disks/private");
    ASSERT_EQ(sh("cp disks/cpm/kp.img disks/private/hidden.img && cp disks/cpm/kp.img disks/locked.img").Status, 0);
    chmod(at("disks/locked.img").c_str(), 0);
    chmod(at("disks/private").c_str(), 0);
    // Root reads everything: the scan runs as another user where the tests run as root.
    std::string as = "";
    if (geteuid() == 0) {
        chmod(Folder.Path.c_str(), 0755);
        as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    test_CliRun r = sh("timeout 60 " + as + "$CLI scan disks");
    chmod(at("disks/private").c_str(), 0755);
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_TRUE(test_Has(r.Out, "disks/locked.img: unreadable: Permission denied\n")) << r.Out;
    EXPECT_EQ(r.Err, "diskwright-cli: disks/private: folder cannot be read: Permission denied\n");
    EXPECT_TRUE(test_Has(r.Out, "11 images: 7 ok, 1 damaged, 1 unclear, 1 not CP/M, 1 unreadable;")) << r.Out;
}
