// One slice of a card saved on its own: a change made on disk to that
// slice since it was read refuses the save, a change to another slice does
// not, and what is written is that slice's changed pieces alone.
#include <gtest/gtest.h>

#include "files.h"
#include "image.h"
#include "read.h"
#include "slices.h"
#include "temp_folder.h"
#include "volume.h"
#include "write.h"

namespace {

// The file's byte at an offset, changed in place (as another program would).
void poke(const std::string &path, long long offset, uint8_t value) {
    Text bytes = gettextfromfile(path);
    bytes[size_t(offset)] = value;
    ASSERT_EQ(setbinarytofile(path, bytes), 0);
}

}  // namespace

TEST(SliceSave, OnlyItsOwnChangedBytesAndOnlyWhenItsBytesAreAsRead) {
    cpm_SetDiagnostics(false);
    test_TempFolder folder;
    const std::string card = folder.at("card.img");
    const long long first = 1 << 20, slice = 8 << 20;
    struct Row {
        const char *Name;
        long long PokedAt;     // a byte changed on disk after slice 1 was read; -1 none
        const char *Message;
    };
    const Row rows[] = {
        {"nothing changed on disk", -1, ""},
        {"slice 0 changed on disk", first + 20000, ""},
        {"slice 1's directory changed on disk", first + slice + 16384 + 32 * 7, "Image changed on disk: not saved."},
        {"slice 1's last byte changed on disk", first + 2 * slice - 1, "Image changed on disk: not saved."},
        {"slice 2 changed on disk", first + 2 * slice + 5, ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.Name);
        ASSERT_EQ(setbinarytofile(card, cpm_NewSlicedImage("hd1k", 3)), 0);
        cpm_Volume v = cpm_LoadVolume(card + "@1");
        ASSERT_EQ(v.Refusal, "");
        ASSERT_EQ(std::make_tuple(v.Slice, v.SliceCount, v.SliceOffset), std::make_tuple(1, 3, first + slice));
        v = cpm_SaveFile(std::move(v), Text("NEW.TXT"), Text(std::string(5000, 'n'))).Volume;
        if (r.PokedAt >= 0) poke(card, r.PokedAt, 0x42);
        Text before = gettextfromfile(card);
        cpm_SaveVolumeResult saved = cpm_SaveVolume(std::move(v));
        EXPECT_EQ(saved.Message, r.Message);
        Text after = gettextfromfile(card);
        ASSERT_EQ(after.size(), before.size());
        // What changed lies in slice 1's directory and the blocks of the file, or nowhere.
        std::vector<long long> changed;
        for (size_t i = 0; i < after.size(); i++)
            if (after[i] != before[i]) changed.push_back((long long)i);
        if (*r.Message) {
            EXPECT_TRUE(changed.empty());
            EXPECT_TRUE(saved.Volume.Changed);
            continue;
        }
        ASSERT_FALSE(changed.empty());
        EXPECT_GE(changed.front(), first + slice + 16384);
        EXPECT_LT(changed.back(), first + slice + 16384 + 32768 + 2 * 4096);
        EXPECT_FALSE(saved.Volume.Changed);
        EXPECT_TRUE(cpm_LoadFile(cpm_LoadVolume(card + "@1"), Text("NEW.TXT")).Found);
        // Saved again after a second change: the hash follows the saved bytes.
        cpm_Volume again = cpm_SaveFile(std::move(saved.Volume), Text("TWO.TXT"), Text("2")).Volume;
        EXPECT_EQ(cpm_SaveVolume(std::move(again)).Message, "");
    }
    cpm_SetDiagnostics(true);
}
