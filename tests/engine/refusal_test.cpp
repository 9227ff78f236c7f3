// A refused volume can be looked at, never changed or saved: every changing
// operation of the engine gives it back unchanged with its refusal, and the
// file on the host is never written.
#include "apple_images.h"
#include "attributes.h"
#include "definitions.h"
#include "files.h"
#include "image.h"
#include "maintenance.h"

namespace {

struct RefusedCase {
    const char *What;
    cpm_RefusalKind Kind;
    cpm_Volume (*Open)();
};

const RefusedCase refusedCases[] = {
    {"nibble 2IMG", cpm_RefusalKind::Container,
     [] { return cpm_OpenImage(twoImg(fileBytes(232960, Text(), 0xFF), 2), "disk.2mg"); }},
    {"DOS 3.3 disk", cpm_RefusalKind::NotCpm, [] { return cpm_OpenImage(dos33Disk(), "dos.dsk"); }},
    {"too short", cpm_RefusalKind::TooShort, [] { return cpm_OpenImage(fileBytes(2000, Text(), 0xE5), "tiny.dsk"); }},
    // Two files sharing blocks: a damaged disk whose reading is not sure.
    {"unclear", cpm_RefusalKind::Unclear,
     [] {
         return cpm_OpenImage(plainImage(128, {rawEntry(0, "ONE     TXT", 0, 0, 64, {2, 3, 4}, false),
                                               rawEntry(0, "TWO     TXT", 0, 0, 64, {3, 4, 5}, false)}),
                              "shared.dsk");
     }},
    {"definition of another size", cpm_RefusalKind::OtherSize,
     [] {
         Text longer = dosOrderDisk();
         longer.Elements.resize(longer.size() + 4096, 0xE5);
         return cpm_OpenImageAs(longer, "long.dsk", *cpm_FindDefinition("apple2-do"));
     }},
};

TEST(Refusals, ARefusedVolumeIsNeverChangedOrSaved) {
    cpm_SetDiagnostics(false);
    for (const RefusedCase &c : refusedCases) {
        SCOPED_TRACE(c.What);
        test_TempFolder folder;
        cpm_Volume v = c.Open();
        ASSERT_EQ(v.RefusalKind, c.Kind) << v.Refusal;
        ASSERT_NE(v.Refusal, "");
        EXPECT_TRUE(cpm_Refused(v));
        EXPECT_EQ(cpm_FormatUnclear(v), c.Kind == cpm_RefusalKind::Unclear);
        const Text image = v.Image;
        const Text name = v.Names.empty() || v.Sizes[0] < 0 ? Text("ONE.TXT") : v.Names[0];
        auto same = [&](const cpm_Volume &after, const char *operation) {
            EXPECT_EQ(after.Image, image) << operation;
            EXPECT_FALSE(after.Changed) << operation;
            EXPECT_EQ(after.RefusalKind, c.Kind) << operation;
        };

        cpm_SaveFileResult put = cpm_SaveFile(v, Text("NEW.TXT"), Text("new"));
        EXPECT_EQ(put.Message, v.Refusal);
        same(put.Volume, "save file");
        EXPECT_EQ(cpm_SaveFileRefusal(v, Text("NEW.TXT"), 3), v.Refusal);
        same(cpm_FreeName(v, name), "free name");
        for (uint8_t value : {cpm_ErasedUser, uint8_t(0), uint8_t(5)}) {
            cpm_SetUserResult erased = cpm_SetFileUser(v, name, value);
            EXPECT_EQ(erased.Message, v.Refusal);
            same(erased.Volume, "set user");
        }
        cpm_SetAttributesResult attributes = cpm_SetAttributes(v, {0}, cpm_ReadOnlyBit, 0);
        EXPECT_EQ(attributes.Message, v.Refusal);
        same(attributes.Volume, "attributes");
        same(cpm_Alphabetize(v, true, false), "sort");
        same(cpm_InitVolume(v), "init");

        // Saving, even of a volume marked changed, leaves the file alone.
        cpm_Volume changed = v;
        changed.Path = folder.write("image", "the host's bytes");
        changed.Changed = true;
        cpm_SaveVolumeResult saved = cpm_SaveVolume(changed);
        EXPECT_EQ(saved.Message, v.Refusal);
        EXPECT_EQ(gettextfromfile(changed.Path), Text("the host's bytes"));
    }
    cpm_SetDiagnostics(true);
}

}  // namespace
