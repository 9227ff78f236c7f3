// The save form: its layout, the name field and the keys shared with the list.
#include "browser_fixture.h"

namespace browsertest {
namespace {

class SaveForm : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        Folder.file("alpha.dsk");
        Folder.file("beta.dsk");
        Folder.folder("inner");
        Folder.file("inner/deep.dsk");
    }
    std::string Save(const std::string &defaultName = "", int flags = 0) {
        return Run([=, this] {
            return f_CatSave(0, Folder.Path, "Save volume", "Save as:", defaultName, 5, 15, 60, flags);
        });
    }
    test_TempFolder Folder;   // alpha.dsk beta.dsk inner
};

TEST_F(SaveForm, LayoutOfTheVolumeManager) {
    EXPECT_EQ(Save("NEW.DSK", f_CatSaveDrawOnly), "");
    EXPECT_EQ(std::make_pair(f_Browser.PageLines, f_Browser.BottomLine), std::make_pair(12, 22));   // list lines 8 to 19
    EXPECT_EQ(test_Screen(8, 12, 68), f_CatStr(f_CatList[0], 60));
    // The frame ends on line 20, the top of the name box, which closes on line 22.
    for (int line = 19; line <= 22; line++) EXPECT_EQ(std::make_pair(test_Code(11, line), test_Code(70, line)), std::make_pair(139, 138)) << line;
    EXPECT_EQ(test_Screen(20, 12, 69), t_Encode(std::u32string(58, 140)));
    EXPECT_EQ(test_Screen(22, 12, 69), t_Encode(std::u32string(58, 141)));
    EXPECT_EQ(test_Screen(21, 12, 69), " Save as: NEW.DSK" + t_Spaces(41));
    EXPECT_EQ(test_Screen(23), t_Spaces(80));
    EXPECT_EQ(t_InputGetMaxCharacters(0), 60 - 8 - 5);
}

t_Event Typed(int c) { return Key(c); }
t_Event Alt(int c) { return Key(c, true, IsCursorKey(c)); }

TEST_F(SaveForm, KeysEndTheForm) {
    const struct {
        const char *Name;
        std::vector<t_Event> Keys;
        const char *Default;
        std::string Expected;   // after the folder; "" for none
    } cases[] = {
        {"typed name", {Typed('a'), Typed('b'), Typed(Return)}, "", "ab"},
        {"default kept", {Typed(Return)}, "NEW.DSK", "NEW.DSK"},
        {"escape drops the name", {Typed('x'), Typed(Escape)}, "NEW.DSK", ""},
        {"empty name", {Typed(Return)}, "", ""},
        {"emptied name", {Typed(26), Typed(Return)}, "NEW.DSK", ""},
        {"arrows edit the field", {Typed(Home), Typed('X'), Typed(End), Typed('Y'), Typed(Return)}, "ab", "XabY"},
        {"forward delete edits the field", {Typed(Home), Typed(ForwardDelete), Typed(Return)}, "abc", "bc"},
        {"alt forward delete copies the name", {Alt(ForwardDelete), Typed(Return)}, "NEW.DSK", "alpha.dsk"},
        {"alt down moves the list", {Alt(Down), Alt(ForwardDelete), Typed(Return)}, "", "beta.dsk"},
        {"plain down does not", {Typed(Down), Alt(ForwardDelete), Typed(Return)}, "", "alpha.dsk"},
        {"copied name can be edited", {Alt(ForwardDelete), Typed(Left), Typed(0x7F), Typed(Return)}, "",
         "alpha.dk"},
        {"alt escape cancels", {Typed('a'), Alt(Escape)}, "", ""},
    };
    for (const auto &c : cases) {
        t_ClearEventQueues();
        for (const t_Event &e : c.Keys) t_PostKeyEvent(e);
        std::string expected = c.Expected.empty() ? "" : Folder.Path + c.Expected;
        EXPECT_EQ(Save(c.Default), expected) << c.Name;
    }
}

TEST_F(SaveForm, AltKeysEnterFoldersAndNamesAreCutToTheField) {
    t_PostKeyEvent(Alt(End));
    t_PostKeyEvent(Alt(Right));
    for (char c : std::string("x.dsk")) t_PostKeyEvent(Typed(c));
    t_PostKeyEvent(Typed(Return));
    EXPECT_EQ(Save(), Folder.Path + "inner/x.dsk");
    // Letters always go to the field, never to type-select.
    t_PostKeyEvent(Alt('b'));
    t_PostKeyEvent(Alt(ForwardDelete));
    t_PostKeyEvent(Typed(Return));
    EXPECT_EQ(Save(), Folder.Path + "alpha.dsk");
    // Names are cut to the field.
    std::string longName(70, 'n');
    Folder.file(longName);
    t_PostKeyEvent(Alt(End));
    t_PostKeyEvent(Alt(ForwardDelete));
    t_PostKeyEvent(Typed(Return));
    EXPECT_EQ(Save(), Folder.Path + std::string(47, 'n'));
    t_PostKeyEvent(Typed(Return));
    EXPECT_EQ(Save(longName), Folder.Path + std::string(47, 'n'));
}

TEST_F(SaveForm, EndingClearsFrameAndBoxAndClicksSelect) {
    t_PostKeyEvent(Typed(Escape));
    Save("NEW.DSK");
    for (int line = 5; line <= 22; line++) EXPECT_EQ(test_Screen(line, 11, 70), t_Spaces(60)) << line;
    EXPECT_EQ(t_WindowTable[0].TextCursorLevel, 0);
    // Clicks select while the field keeps the cursor.
    Click(30, 9);   // beta.dsk
    t_PostKeyEvent(Alt(ForwardDelete));
    t_PostKeyEvent(Typed(Return));
    EXPECT_EQ(Save(), Folder.Path + "beta.dsk");
    EXPECT_EQ(t_WindowTable[0].TextCursorLevel, 0);
    // No cell was left inverted by the cursor.
    for (int line = 1; line <= 25; line++)
        for (int column = 1; column <= 80; column++) ASSERT_FALSE(Inverse(column, line)) << column << "," << line;
}

}  // namespace
}  // namespace browsertest
