// Date stamps in the engine: the day count over its whole range against the
// C library's calendar, and a directory prepared for stamps a second time
// after files were erased (entries move): each file keeps its data, its
// stamps and the order of its extents.
#include <ctime>
#include <map>

#include "entries.h"
#include "fixtures.h"
#include "label.h"
#include "listing.h"
#include "patterns.h"
#include "read.h"
#include "stamps.h"

TEST(Stamps, EveryDayReadsAsTheCalendarHasIt) {
    struct tm zero = {};
    zero.tm_year = 77;
    zero.tm_mon = 11;
    zero.tm_mday = 31;
    time_t dayZero = timegm(&zero);
    for (int d = 1; d <= 0xFFFF; d++) {
        time_t at = dayZero + time_t(d) * 86400;
        struct tm t;
        gmtime_r(&at, &t);
        char expected[40];
        strftime(expected, sizeof expected, "%Y-%m-%d 13:07", &t);
        ASSERT_EQ(cpm_StampText({d, 13, 7}), expected) << d;
        cpm_Stamp back = cpm_StampOfDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, 13, 7);
        ASSERT_EQ(back.Days, d);
        uint8_t bytes[4];
        cpm_PutStamp(bytes, back);
        ASSERT_EQ(bytes[2], 0x13);
        ASSERT_EQ(bytes[3], 0x07);
        ASSERT_EQ(cpm_ReadStamp(bytes).Days, d);
    }
    EXPECT_EQ(cpm_StampText({0, 0, 0}), "");
}

TEST(Stamps, SecondInitKeepsEachFilesStampsAndExtents) {
    cpm_Volume v = freshPlain(256);
    std::map<std::string, Text> data;
    for (int k = 0; k < 12; k++) {
        std::string name = "F" + std::to_string(k) + ".DAT";
        // F5 spans three entries (16K a block group on this disk).
        Text bytes(std::vector<uint8_t>(k == 5 ? 40000 : 300 + 50 * k, uint8_t('A' + k)));
        data[name] = bytes;
        v = cpm_SaveFile(std::move(v), Text(name), bytes).Volume;
    }
    cpm_LabelChange stamps;
    stamps.InitStamps = true;
    stamps.UpdateStamps = 1;
    cpm_LabelResult r = cpm_SetLabel(std::move(v), stamps);
    ASSERT_EQ(r.Message, "");
    v = std::move(r.Volume);
    // Each file its own dates, then holes: every other file erased.
    std::map<std::string, int> year;
    int y = 1980;
    for (const cpm_FileMatch &f : cpm_MatchFiles(v, Text("*"))) {
        year[cpm_DisplayString(f.Name)] = y;
        for (int e : f.Entries) cpm_PutStamp(cpm_StampBytesOf(v, e), cpm_StampOfDate(y, 1, 2, 3, 4));
        y++;
    }
    for (int k = 0; k < 12; k += 2)
        v = cpm_SetFileUser(std::move(v), Text("F" + std::to_string(k) + ".DAT"), cpm_ErasedUser).Volume;
    stamps.UpdateStamps = -1;
    r = cpm_SetLabel(std::move(v), stamps);
    ASSERT_EQ(r.Message, "");
    v = std::move(r.Volume);
    std::vector<cpm_FileMatch> files = cpm_MatchFiles(v, Text("*"));
    ASSERT_EQ(files.size(), 6u);
    for (const cpm_FileMatch &f : files) {
        std::string shown = cpm_DisplayString(f.Name);
        SCOPED_TRACE(shown);
        int previous = -1;
        for (int e : f.Entries) {
            EXPECT_NE(e % 4, 3);
            EXPECT_EQ(cpm_StampText(cpm_StampsOf(v, e).First), std::to_string(year[shown]) + "-01-02 03:04");
            EXPECT_GT(cpm_EntryExtent(v, e), previous);
            previous = cpm_EntryExtent(v, e);
        }
        std::string host = cpm_HostName(f.Name);
        cpm_FileData file = cpm_LoadFile(v, f.Name);
        EXPECT_EQ(Text(std::vector<uint8_t>(file.Data.Elements.begin(), file.Data.Elements.begin() + long(file.Size))), data[host]);
    }
    EXPECT_EQ(cpm_EntryBytes(v, 0)[0], cpm_LabelUser);
    EXPECT_EQ(cpm_LabelOf(v).Flags, cpm_LabelExistsBit | cpm_CreateStampsBit | cpm_UpdateStampsBit);
}
