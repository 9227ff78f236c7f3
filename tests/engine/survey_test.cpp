// One host file as a collection sees it: what is an image and what is not
// (by contents, whatever the name), what never blocks, each slice of a card
// on its own, and the file hashes that let copies be found across images.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <future>

#include "files.h"
#include "image.h"
#include "slices.h"
#include "survey.h"
#include "temp_folder.h"
#include "volume.h"
#include "write.h"

namespace {

// A plain volume of 200K holding the files given.
Text plainVolume(const std::vector<std::pair<std::string, std::string>> &files) {
    cpm_Volume v = cpm_MakeVolume("/tmp/unused.vol", 200);
    for (const auto &[name, bytes] : files) v = cpm_SaveFile(std::move(v), Text(name), Text(bytes)).Volume;
    return v.Image;
}

}  // namespace

TEST(Survey, WhatIsAnImageAndWhatIsNot) {
    cpm_SetDiagnostics(false);
    test_TempFolder folder;
    ASSERT_EQ(setbinarytofile(folder.at("work.txt"), plainVolume({{"A.TXT", "alpha"}})), 0);   // an image, whatever its name
    folder.write("notes.img", "just some text, not a disk\n");
    folder.write("empty.img", "");
    folder.write("blank.img", std::string(256256, '\xE5'));   // the size of an 8-inch disk: an image, readings tie
    folder.write("noise.img", std::string(256256, '\x17'));   // the same size, no directory
    folder.folder("folder.img");
    ASSERT_EQ(mkfifo(folder.at("pipe.img").c_str(), 0644), 0);
    ASSERT_EQ(setbinarytofile(folder.at("card.img"), cpm_NewSlicedImage("hd1k", 3)), 0);
    struct {
        const char *Name;
        bool IsImage;
        const char *Health, *NotImage, *Container;
        int Files, Slices;
    } rows[] = {
        {"work.txt", true, "ok", "", "raw", 1, 0},
        {"notes.img", false, "", "no reading of its size", "", 0, 0},
        {"empty.img", false, "", "empty", "", 0, 0},
        {"blank.img", true, "unclear: ", "", "raw", 0, 0},
        {"noise.img", true, "not CP/M", "", "raw", 0, 0},
        {"folder.img", false, "", "not a regular file", "", 0, 0},
        {"pipe.img", false, "", "not a regular file", "", 0, 0},
        {"missing.img", false, "", "cannot be opened: No such file or directory", "", 0, 0},
        {"card.img", true, "ok", "", "raw", 0, 3},
        {"card.img@2", true, "ok", "", "raw", 0, 3},
        {"card.img@3", false, "", "no slice 3 (3 slices)", "", 0, 3},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.Name);
        // A pipe without a writer would block a plain open for ever.
        auto pending = std::async(std::launch::async, [&] { return cpm_SurveyImage(folder.at(r.Name)); });
        ASSERT_EQ(pending.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        cpm_Survey s = pending.get();
        EXPECT_EQ(s.IsImage, r.IsImage);
        EXPECT_EQ(s.Health.substr(0, std::string(r.Health).size()), r.Health) << s.Health;
        EXPECT_EQ(s.NotImage, r.NotImage);
        EXPECT_EQ(s.Container, r.Container);
        EXPECT_EQ(s.FileCount, r.Files);
        EXPECT_EQ(s.Slices, r.Slices);
        EXPECT_EQ(s.ImageHash.empty(), !r.IsImage || s.Health.rfind("unreadable", 0) == 0);
    }
}

TEST(Survey, FilesInUserAndNameOrderWithHashesOfTheirBytes) {
    cpm_SetDiagnostics(false);
    test_TempFolder folder;
    cpm_Volume v = cpm_MakeVolume(folder.at("a.vol"), 200);
    v = cpm_SaveFile(std::move(v), Text("ZED.COM"), Text(std::string(3000, 'z'))).Volume;
    v = cpm_SaveFile(std::move(v), Text("ALPHA"), Text("same bytes")).Volume;
    v = cpm_SaveFile(std::move(v), Text("LATER.TXT"), Text("same bytes"), 4).Volume;
    ASSERT_EQ(setbinarytofile(folder.at("a.vol"), v.Image), 0);
    ASSERT_EQ(setbinarytofile(folder.at("b.vol"), plainVolume({{"OTHER.TXT", "same bytes"}, {"ZED.COM", std::string(3000, 'y')}})), 0);
    cpm_SurveyOptions withBytes;
    withBytes.WithBytes = true;
    cpm_Survey a = cpm_SurveyImage(folder.at("a.vol"), withBytes), b = cpm_SurveyImage(folder.at("b.vol"));
    ASSERT_EQ(a.Files.size(), 3u);
    std::vector<std::string> names;
    for (const cpm_SurveyFile &f : a.Files) names.push_back(std::to_string(f.User) + ":" + f.Name + " " + std::to_string(f.Size));
    EXPECT_EQ(names, (std::vector<std::string>{"0:ALPHA 10", "0:ZED.COM 3000", "4:LATER.TXT 10"}));
    EXPECT_EQ(a.Files[0].Bytes, Text("same bytes"));
    EXPECT_EQ(a.Files[0].Hash, a.Files[2].Hash);   // the same bytes, another user and name
    EXPECT_EQ(a.Files[0].Hash, b.Files[0].Hash);   // and another image
    EXPECT_NE(a.Files[1].Hash, b.Files[1].Hash);   // the same name, other bytes
    EXPECT_EQ(a.Files[0].Hash.size(), 16u);
    EXPECT_TRUE(b.Files[0].Bytes.empty());         // only when asked for
    EXPECT_NE(a.ImageHash, b.ImageHash);
    // Without hashes nothing but the directory is read.
    cpm_SurveyOptions noHashes;
    noHashes.Hashes = false;
    cpm_Survey quick = cpm_SurveyImage(folder.at("a.vol"), noHashes);
    EXPECT_EQ(quick.FileCount, 3);
    EXPECT_EQ(quick.ImageHash, "");
    EXPECT_EQ(quick.Files[1].Hash, "");
}
