// The same Apple II CP/M disk in DOS order, ProDOS order and 2IMG reads
// identically, and saves back in the order and container it came in.
#include "apple_images.h"

namespace {

struct Form {
    const char *Name;          // file name: its extension takes part in ties only
    Text Bytes;
    cpm_Order Order;
    cpm_ContainerKind Container;
};

std::vector<Form> formsOf(const Text &dos) {
    Text proDos = toProDosOrder(dos);
    return {
        {"disk.do", dos, cpm_Order::Dos, cpm_ContainerKind::None},
        {"disk.dsk", dos, cpm_Order::Dos, cpm_ContainerKind::None},
        {"disk.img", dos, cpm_Order::Dos, cpm_ContainerKind::None},
        {"disk.po", proDos, cpm_Order::ProDos, cpm_ContainerKind::None},
        {"disk.img", proDos, cpm_Order::ProDos, cpm_ContainerKind::None},
        {"named-wrong.do", proDos, cpm_Order::ProDos, cpm_ContainerKind::None},
        {"named-wrong.po", dos, cpm_Order::Dos, cpm_ContainerKind::None},
        {"disk.2mg", twoImg(dos, 0), cpm_Order::Dos, cpm_ContainerKind::TwoImg},
        {"disk.2img", twoImg(proDos, 1), cpm_Order::ProDos, cpm_ContainerKind::TwoImg},
        {"header says 52.2mg", twoImg(proDos, 1, 0, "", 52), cpm_Order::ProDos, cpm_ContainerKind::TwoImg},
    };
}

class AppleOrders : public ::testing::Test {
  protected:
    void SetUp() override { cpm_SetDiagnostics(false); }
    void TearDown() override { cpm_SetDiagnostics(true); }
};

TEST_F(AppleOrders, EveryFormListsAndReadsTheSame) {
    FileList files = tenFiles();
    Text dos = dosOrderDisk(files);
    cpm_Volume reference = cpm_OpenImage(dos, "disk.do");
    ASSERT_EQ(reference.Format, cpm_Format::Apple140K);
    ASSERT_EQ(listedFiles(reference), 10);
    for (const Form &f : formsOf(dos)) {
        SCOPED_TRACE(f.Name);
        cpm_Volume v = cpm_OpenImage(f.Bytes, f.Name);
        EXPECT_EQ(v.Order, f.Order) << v.Decision;
        EXPECT_EQ(v.Container.Kind, f.Container);
        EXPECT_EQ(v.Refusal, "");
        EXPECT_EQ(v.Image, reference.Image);
        EXPECT_EQ(listingBody(v), listingBody(reference));
        for (const auto &[name, data] : files) {
            cpm_FileData read = cpm_LoadFile(v, Text(name));
            ASSERT_TRUE(read.Found) << name;
            EXPECT_TRUE(std::equal(data.Elements.begin(), data.Elements.end(), read.Data.Elements.begin())) << name;
        }
        EXPECT_EQ(cpm_FileImage(v), f.Bytes) << "an unchanged image saves byte-identical";
    }
}

TEST_F(AppleOrders, WritingKeepsOrderAndContainer) {
    FileList files = tenFiles();
    Text dos = dosOrderDisk(files);
    Text added = pattern(12345, 7);
    for (const Form &f : formsOf(dos)) {
        SCOPED_TRACE(f.Name);
        cpm_Volume v = cpm_OpenImage(f.Bytes, f.Name);
        v = cpm_SetFileUser(std::move(v), Text("FILE1.DAT"), cpm_ErasedUser).Volume;
        cpm_SaveFileResult r = cpm_SaveFile(std::move(v), Text("ADDED.BIN"), added);
        ASSERT_EQ(r.Message, "");
        Text saved = cpm_FileImage(r.Volume);
        ASSERT_EQ(saved.size(), f.Bytes.size());
        // Header and comment chunk exactly as read.
        size_t data = f.Container == cpm_ContainerKind::TwoImg ? 64 : 0;
        EXPECT_TRUE(std::equal(f.Bytes.data(), f.Bytes.data() + data, saved.data()));
        EXPECT_TRUE(std::equal(f.Bytes.data() + data + 143360, f.Bytes.data() + f.Bytes.size(), saved.data() + data + 143360));
        // The sectors in the order they came in: converted to DOS order by
        // the test's own table, the disk holds the new file.
        Text sectors(std::vector<uint8_t>(saved.data() + data, saved.data() + data + 143360));
        Text asDos = f.Order == cpm_Order::ProDos ? toDosOrder(sectors) : sectors;
        cpm_Volume back = cpm_OpenImage(asDos, "back.do");
        cpm_FileData read = cpm_LoadFile(back, Text("ADDED.BIN"));
        ASSERT_TRUE(read.Found);
        EXPECT_TRUE(std::equal(added.Elements.begin(), added.Elements.end(), read.Data.Elements.begin()));
        EXPECT_FALSE(cpm_LoadFile(back, Text("FILE0.DAT")).Data.empty());
    }
}

// A bootable disk in ProDOS order carries the same boot sector as one in DOS
// order: its directory, not its first bytes or its name, gives the order.
TEST_F(AppleOrders, BootableProDosOrderDiskNamedDsk) {
    FileList files = tenFiles();
    Text dos = dosOrderDisk(files, signature140(true));
    test_LogCapture log;
    cpm_SetDiagnostics(true);
    cpm_Volume v = cpm_OpenImage(toProDosOrder(dos), "/disks/BOOT.DSK");
    cpm_SetDiagnostics(false);
    EXPECT_EQ(v.Format, cpm_Format::Apple140K22);
    EXPECT_EQ(v.Order, cpm_Order::ProDos) << v.Decision;
    EXPECT_EQ(v.Image, cpm_OpenImage(dos, "boot.do").Image);
    std::vector<std::string> lines = log.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "cpm_LoadVolume: Apple II 140K CP/M 2.2 Volume found: BOOT.DSK");
    EXPECT_EQ(lines[1].rfind("cpm_LoadVolume: none, ProDOS order, most good entries (DOS order ", 0), 0u) << lines[1];
}

TEST_F(AppleOrders, BlankDisksTakeFilesBehindTheBootTracks) {
    for (const char *name : {"blank.do", "blank.po", "blank.dsk", "blank.2mg", "blank.2img"}) {
        SCOPED_TRACE(name);
        Text blank(std::vector<uint8_t>(143360, 0xE5));
        cpm_Volume v = cpm_OpenImage(blank, name);
        EXPECT_EQ(v.Format, cpm_Format::Apple140K) << v.Decision;
        EXPECT_EQ(v.Order, std::string(name) == "blank.po" ? cpm_Order::ProDos : cpm_Order::Dos);
        v = cpm_SaveFile(std::move(v), Text("A.TXT"), pattern(5000, 1)).Volume;
        Text saved = cpm_FileImage(v);
        for (size_t i = 0; i < 12288; i++) ASSERT_EQ(saved[i], 0xE5) << "boot tracks written at " << i;
        cpm_Volume again = cpm_OpenImage(saved, name);
        EXPECT_EQ(again.Order, v.Order) << again.Decision;
        EXPECT_EQ(cpm_LoadFile(again, Text("A.TXT")).Data, cpm_LoadFile(v, Text("A.TXT")).Data);
    }
}

// An 800K disk without the signature stores 512-byte blocks in plain
// ProDOS block order; with it, the 2:1 interleave of each group.
TEST_F(AppleOrders, EightHundredKSignatureDecidesTheInterleave) {
    struct Case {
        Text Head;
        cpm_Order Order;
    };
    for (const Case &c : {Case{Text(), cpm_Order::ProDosBlocks}, Case{signature800(), cpm_Order::Interleave800}}) {
        SCOPED_TRACE(int(c.Order));
        Text blank(std::vector<uint8_t>(819200, 0xE5));
        for (size_t i = 0; i < c.Head.size(); i++) blank[i] = c.Head[i];
        cpm_Volume v = cpm_OpenImage(blank, "big.po");
        EXPECT_EQ(v.Format, cpm_Format::Apple800K);
        EXPECT_EQ(v.Order, c.Order) << v.Decision;
        EXPECT_NE(v.Decision.find(c.Order == cpm_Order::Interleave800 ? "(800K signature)" : "(no 800K signature)"),
                  std::string::npos)
            << v.Decision;
        Text data = pattern(5000, 9);
        v = cpm_SaveFile(std::move(v), Text("A.TXT"), data).Volume;
        Text saved = cpm_FileImage(v);
        // The first data block after the four directory blocks: block 4 at
        // 16384 + 8192 in CP/M order.  Its second 512 bytes follow the first
        // in ProDOS block order, and are file block 2 of the group when interleaved.
        size_t group = 16384 + 8192, second = c.Order == cpm_Order::ProDosBlocks ? group + 512 : group + 1024;
        EXPECT_TRUE(std::equal(data.data(), data.data() + 512, saved.data() + group));
        EXPECT_TRUE(std::equal(data.data() + 512, data.data() + 1024, saved.data() + second));
        EXPECT_EQ(cpm_OpenImage(saved, "big.po").Order, c.Order);
    }
}

TEST_F(AppleOrders, TwoImgFlagsAndNibbles) {
    Text dos = dosOrderDisk(tenFiles());
    cpm_Volume locked = cpm_OpenImage(twoImg(dos, 0, 0x80000000u), "locked.2mg");
    EXPECT_TRUE(locked.ReadOnly);
    EXPECT_EQ(locked.Refusal, "");
    EXPECT_EQ(listedFiles(locked), 10);

    cpm_Volume nibbles = cpm_OpenImage(twoImg(Text(std::vector<uint8_t>(232960, 0xFF)), 2), "disk.2mg");
    EXPECT_EQ(nibbles.Refusal, cpm_NibblesMessage);
    EXPECT_EQ(nibbles.Refusal, "Nibble images are not supported.");

    // A header whose data lie outside the file is no container: what is
    // left is no CP/M disk either.
    Text broken = twoImg(dos, 0);
    putLe(broken, 0x1C, 0x7FFFFFF0u);
    cpm_Volume v = cpm_OpenImage(broken, "broken.2mg");
    EXPECT_EQ(v.Container.Kind, cpm_ContainerKind::None);
    EXPECT_EQ(v.Refusal, cpm_NotCpmMessage);
}

TEST_F(AppleOrders, LoadsFromTheFileAndSavesItBack) {
    test_TempFolder folder;
    Text file = twoImg(toProDosOrder(dosOrderDisk(tenFiles())), 1);
    std::string path = folder.write("disk.2mg", file.bytes());
    cpm_Volume v = cpm_LoadVolume(path);
    EXPECT_EQ(v.Order, cpm_Order::ProDos);
    v.Changed = true;
    ASSERT_EQ(cpm_SaveVolume(v).Message, "");
    EXPECT_EQ(gettextfromfile(path), file);
}

}  // namespace
