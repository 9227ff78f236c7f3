// The menu item operations and the start-up clean-up, on fake menus.
#include <gtest/gtest.h>

#include <map>

#include "log_capture.h"
#include "menus.h"

namespace {

using Menus = std::map<std::string, std::vector<std::string>>;
Menus *fakeMenus = nullptr;

class MenuItems : public testing::Test {
protected:
    Menus menus;
    test_LogCapture log;
    void SetUp() override {
        fakeMenus = &menus;
        t_MenuHostServices h;
        h.MenuItems = [](const std::string &title) -> std::optional<std::vector<std::string>> {
            auto found = fakeMenus->find(title);
            if (found == fakeMenus->end()) return std::nullopt;
            return found->second;
        };
        h.DeleteMenuItem = [](const std::string &title, int index) {
            auto &items = (*fakeMenus)[title];
            items.erase(items.begin() + index);
        };
        t_SetMenuHostServices(h);
    }
    void TearDown() override { t_SetMenuHostServices({}); }
};

TEST_F(MenuItems, IndexTitleAndDeletionOfItems) {
    menus["Edit"] = {"Copy Picture", "Copy Text", "", "Clear Printer"};
    const std::tuple<const char *, const char *, int> cases[] = {
        {"Edit", "Copy Picture", 0}, {"Edit", "Clear Printer", 3}, {"Edit", "", 2},
        {"Edit", "copy text", -1},   {"Edit", "Paste", -1},        {"Bearbeiten", "Copy Text", -2},
    };
    for (const auto &[menu, item, index] : cases) EXPECT_EQ(t_MenuItemIndex(menu, item), index) << menu << "/" << item;
    EXPECT_EQ(log.lines(), std::vector<std::string>{"t_MenuItemIndex: Menu not found."});

    log.clear();
    EXPECT_EQ(t_MenuItemTitle("Edit", 1), "Copy Text");
    EXPECT_EQ(t_MenuItemTitle("Edit", t_LastMenuItem), "Clear Printer");
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(t_MenuItemTitle("Edit", 4) + t_MenuItemTitle("Edit", -1) + t_MenuItemTitle("Fenster", 0), "");
    EXPECT_EQ(log.count("t_MenuItemTitle: Item position out of range"), 2);
    EXPECT_EQ(log.count("t_MenuItemTitle: Menu not found."), 1);
    // Deleting at a position and the last item.
    menus["Edit"] = {"A", "B", "C"};
    t_MenuItemDelete("Edit", 1);
    EXPECT_EQ(menus["Edit"], (std::vector<std::string>{"A", "C"}));
    t_MenuItemDelete("Edit", t_LastMenuItem);
    EXPECT_EQ(menus["Edit"], (std::vector<std::string>{"A"}));
    t_MenuItemDelete("Edit", 1);
    t_MenuItemDelete("Edit", 0);
    t_MenuItemDelete("Edit", t_LastMenuItem);   // now empty
    t_MenuItemDelete("Nowhere", 0);
    EXPECT_TRUE(menus["Edit"].empty());
    EXPECT_EQ(log.count("t_MenuItemDelete: Item position out of range"), 2);
    EXPECT_EQ(log.count("t_MenuItemDelete: Menu not found."), 1);
}

TEST_F(MenuItems, CleanUpRemovesTheDesktopsExtras) {
    menus["Edit"] = {"Copy Text", "Emoji & Symbols", "Clear Console", "Start Dictation…", ""};
    menus["Bearbeiten"] = {"Kopieren", "Emoji & Symbole", ""};
    menus["Window"] = {"Show Screen 0", "Tile Window to Left of Screen", "Vollbildmodus"};
    menus["Fenster"] = {"Tile Window to Right of Screen", "Zeigen"};
    t_MenuCleanUp();
    EXPECT_EQ(menus, (Menus{{"Edit", {"Copy Text", "Clear Console"}}, {"Bearbeiten", {"Kopieren"}},
                            {"Window", {"Show Screen 0"}}, {"Fenster", {"Zeigen"}}}));
    EXPECT_EQ(log.count("*** Found Window Menu Item Tile Window to Left of Screen"), 1);
    EXPECT_EQ(log.count("*** Found Window Menu Item Vollbildmodus"), 1);
    EXPECT_EQ(log.count("*** Found Fenster Menu Item Tile Window to Right of Screen"), 1);
    EXPECT_EQ(log.count("Menu not found."), 0);
}

}  // namespace
