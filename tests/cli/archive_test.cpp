// Zipped and gzipped images, made by python3's zipfile and gzip from a disk
// that cpmtools wrote: read as cpmtools reads the disk, never written;
// several images listed and addressed as ARCHIVE.zip:MEMBER; members that
// are (or say they are) larger than an image may be are refused, before
// inflating or as soon as inflating passes the limit.
#include "cli_run.h"
#include "codec_archive.h"
#include "files.h"
#include "peer_tools.h"

namespace {

class Archives : public test_CliTest {
  protected:
    void SetUp() override {
        test_CliTest::SetUp();
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS, "python3");
        std::string text;
        for (int i = 0; i < 2000; i++) text += "line " + std::to_string(i) + "\r\n";
        Folder.write("nums.txt", text);
        ASSERT_EQ(run("mkfs.cpm -f pcw disk.img && cpmcp -f pcw disk.img nums.txt 0: && truncate -s 184320 disk.img && "
                      "mkfs.cpm -f pcw other.img && cpmcp -f pcw other.img nums.txt 0:OTHER.TXT && truncate -s 184320 other.img"),
                  "");
    }
    // Runs python3 with the folder as its working folder.
    void python(const std::string &program) {
        Folder.write("make.py", "import zipfile, gzip, struct\n" + program);
        ASSERT_EQ(run("python3 make.py"), "");
    }
};

}  // namespace

TEST_F(Archives, OneImageReadsLikeTheDiskAndIsNeverWritten) {
    python("raw = open('disk.img', 'rb').read()\n"
           "with zipfile.ZipFile('one.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
           "    z.writestr('README.TXT', 'about the disk')\n"
           "    z.writestr('games/disk.img', raw)\n"
           "open('disk.img.gz', 'wb').write(gzip.compress(raw))\n");
    ASSERT_EQ(run("cpmcp -f pcw disk.img 0:nums.txt theirs"), "");
    struct Case {
        const char *Image, *Container;
    };
    for (Case c : {Case{"one.zip", "zip"}, Case{"disk.img.gz", "gzip"}}) {
        SCOPED_TRACE(c.Image);
        std::string image = c.Image, before = file(image);
        test_CliRun get = sh("$CLI get " + image + " nums.txt ours");
        EXPECT_EQ(get.Status, 0);
        EXPECT_EQ(get.Err, "diskwright-cli: " + image + ": Compressed image: opened read-only.\n");
        EXPECT_TRUE(file("ours") == file("theirs"));
        EXPECT_TRUE(test_Has(run("$CLI info " + image), std::string("Container:    ") + c.Container + "\n"));
        for (const std::string &change : {"put " + image + " nums.txt --as new.txt", "rm " + image + " nums.txt"}) {
            test_CliRun r = sh("$CLI " + change);
            EXPECT_NE(r.Status, 0) << change;
            EXPECT_TRUE(test_Has(r.Err, "Compressed image: opened read-only.")) << r.Err;
        }
        EXPECT_TRUE(file(image) == before);
    }
}

TEST_F(Archives, SeveralImagesListedOpenedFirstAndAddressedByName) {
    python("with zipfile.ZipFile('set.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
           "    z.writestr('a.img', open('disk.img', 'rb').read())\n"
           "    z.writestr('b.img', open('other.img', 'rb').read())\n"
           "    z.writestr('c.img', open('disk.img', 'rb').read())\n");
    test_CliRun info = sh("$CLI info set.zip");
    EXPECT_TRUE(test_Has(info.Out, "Image:        a.img (opened)\nImage:        b.img\nImage:        c.img\n")) << info.Out;
    EXPECT_TRUE(test_Has(info.Err, "diskwright-cli: set.zip: 3 images; opened a.img (the tool's set.zip:MEMBER opens another).\n"))
        << info.Err;
    EXPECT_TRUE(test_Has(run("$CLI ls set.zip 2>/dev/null"), "NUMS    .TXT"));
    EXPECT_TRUE(test_Has(run("$CLI ls set.zip:b.img 2>/dev/null"), "OTHER   .TXT"));
    test_CliRun missing = sh("$CLI ls set.zip:d.img");
    EXPECT_NE(missing.Status, 0);
    EXPECT_TRUE(test_Has(missing.Err, "no such image file")) << missing.Err;
    // A file that has the name is that file, whatever the archive holds.
    ASSERT_EQ(run("cp other.img 'set.zip:a.img'"), "");
    EXPECT_TRUE(test_Has(run("$CLI ls 'set.zip:a.img' 2>&1"), "OTHER   .TXT"));
    EXPECT_TRUE(test_Has(run("$CLI info 'set.zip:a.img'"), "Container:    none\n"));
}

// A member whose header states more than an image may hold is refused at
// once; one that only grows past it while inflating, as soon as it does;
// an archive cut short is refused with the reason.  None is read as raw.
TEST_F(Archives, OversizedAndBrokenArchivesAreRefused) {
    python("raw = open('disk.img', 'rb').read()\n"
           "with zipfile.ZipFile('says.zip', 'w', zipfile.ZIP_DEFLATED) as z: z.writestr('disk.img', raw)\n"
           "b = bytearray(open('says.zip', 'rb').read())\n"
           "big = struct.pack('<I', 0x7FFFFFFF)\n"
           "b[22:26] = big\n"
           "c = b.rfind(b'PK\\x01\\x02'); b[c + 24:c + 28] = big\n"
           "open('says.zip', 'wb').write(b)\n"
           "open('cut.zip', 'wb').write(open('says.zip', 'rb').read()[:3000])\n"
           "open('grows.gz', 'wb').write(gzip.compress(raw + bytes(300000)))\n"
           "with zipfile.ZipFile('lzma.zip', 'w', zipfile.ZIP_LZMA) as z: z.writestr('disk.img', raw)\n");
    struct Case {
        const char *Image, *Refusal;
    };
    // An LZMA member's decoder would reserve what the member asks for: refused before inflating.
    for (Case c : {Case{"says.zip", "Image file too large."}, Case{"cut.zip", "Compressed image could not be read"},
                   Case{"lzma.zip", "Compressed image could not be read: LZMA and XZ zip members are not supported."}}) {
        test_CliRun r = sh(std::string("$CLI ls ") + c.Image);
        EXPECT_NE(r.Status, 0) << c.Image;
        EXPECT_TRUE(test_Has(r.Err, c.Refusal)) << c.Image << ": " << r.Err;
        EXPECT_EQ(r.Out, "") << c.Image;
    }
    // Inflating stops at the limit it is given.
    Text grows = getbinaryfromfile(at("grows.gz"));
    cpm_Medium medium;
    EXPECT_EQ(cpm_DecodeArchiveMember(grows, "", medium, 400000), "Image file too large.");
    EXPECT_TRUE(medium.NoSectors);
    EXPECT_EQ(cpm_DecodeArchiveMember(grows, "", medium, 500000), "");
    EXPECT_EQ(medium.Bytes.size(), 184320u + 300000u);
}
