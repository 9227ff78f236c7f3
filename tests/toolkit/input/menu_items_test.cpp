// The menu item operations and the start-up clean-up, on fake menus.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "log.h"
#include "menus.h"

namespace {

std::map<std::string, std::vector<std::string>> *fakeMenus = nullptr;
std::vector<std::string> *logLines = nullptr;

class MenuItems : public testing::Test {
protected:
    std::map<std::string, std::vector<std::string>> menus;
    std::vector<std::string> log;
    void SetUp() override {
        fakeMenus = &menus;
        logLines = &log;
        t_SetLogTee([](std::string_view line) {
            if (!line.empty() && line != "\n") logLines->emplace_back(line);
        });
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
    void TearDown() override {
        t_SetLogTee(nullptr);
        t_SetMenuHostServices({});
    }
    int count(const std::string &line) const {
        int n = 0;
        for (const std::string &l : log)
            if (l.find(line) != std::string::npos) n++;
        return n;
    }
};

TEST_F(MenuItems, IndexOfItems) {
    menus["Edit"] = {"Copy Picture", "Copy Text", "", "Clear Printer"};
    struct Case {
        const char *Menu, *Item;
        int Index;
    } cases[] = {
        {"Edit", "Copy Picture", 0}, {"Edit", "Clear Printer", 3}, {"Edit", "", 2},
        {"Edit", "copy text", -1},   {"Edit", "Paste", -1},        {"Bearbeiten", "Copy Text", -2},
    };
    for (const Case &c : cases) EXPECT_EQ(t_MenuItemIndex(c.Menu, c.Item), c.Index) << c.Menu << "/" << c.Item;
    EXPECT_EQ(count("t_MenuItemIndex: Menu not found."), 1);
}

TEST_F(MenuItems, TitleAtAPositionAndTheLast) {
    menus["Window"] = {"Show Screen 0", "Hide Screen 0", ""};
    EXPECT_EQ(t_MenuItemTitle("Window", 0), "Show Screen 0");
    EXPECT_EQ(t_MenuItemTitle("Window", 1), "Hide Screen 0");
    EXPECT_EQ(t_MenuItemTitle("Window", t_LastMenuItem), "");
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(t_MenuItemTitle("Window", 3), "");
    EXPECT_EQ(t_MenuItemTitle("Window", -1), "");
    EXPECT_EQ(count("t_MenuItemTitle: Item position out of range"), 2);
    EXPECT_EQ(t_MenuItemTitle("Fenster", 0), "");
    EXPECT_EQ(count("t_MenuItemTitle: Menu not found."), 1);
}

TEST_F(MenuItems, DeleteAtAPositionAndTheLast) {
    menus["Edit"] = {"A", "B", "C"};
    t_MenuItemDelete("Edit", 1);
    EXPECT_EQ(menus["Edit"], (std::vector<std::string>{"A", "C"}));
    t_MenuItemDelete("Edit", t_LastMenuItem);
    EXPECT_EQ(menus["Edit"], (std::vector<std::string>{"A"}));
    t_MenuItemDelete("Edit", 1);
    EXPECT_EQ(count("t_MenuItemDelete: Item position out of range"), 1);
    t_MenuItemDelete("Edit", 0);
    t_MenuItemDelete("Edit", t_LastMenuItem);   // now empty
    EXPECT_EQ(count("t_MenuItemDelete: Item position out of range"), 2);
    t_MenuItemDelete("Nowhere", 0);
    EXPECT_EQ(count("t_MenuItemDelete: Menu not found."), 1);
    EXPECT_TRUE(menus["Edit"].empty());
}

TEST_F(MenuItems, CleanUpRemovesTheDesktopsExtras) {
    menus["Edit"] = {"Copy Text", "Emoji & Symbols", "Clear Console", "Start Dictation…", ""};
    menus["Bearbeiten"] = {"Kopieren", "Emoji & Symbole", ""};
    menus["Window"] = {"Show Screen 0", "Tile Window to Left of Screen", "Vollbildmodus"};
    menus["Fenster"] = {"Tile Window to Right of Screen", "Zeigen"};
    t_MenuCleanUp();
    EXPECT_EQ(menus["Edit"], (std::vector<std::string>{"Copy Text", "Clear Console"}));
    EXPECT_EQ(menus["Bearbeiten"], (std::vector<std::string>{"Kopieren"}));
    EXPECT_EQ(menus["Window"], (std::vector<std::string>{"Show Screen 0"}));
    EXPECT_EQ(menus["Fenster"], (std::vector<std::string>{"Zeigen"}));
    EXPECT_EQ(count("*** Found Window Menu Item Tile Window to Left of Screen"), 1);
    EXPECT_EQ(count("*** Found Window Menu Item Vollbildmodus"), 1);
    EXPECT_EQ(count("*** Found Fenster Menu Item Tile Window to Right of Screen"), 1);
    EXPECT_EQ(count("Menu not found."), 0);
}

// Only the English menus exist: the German ones log their lines, which is
// harmless, and the English menus keep their own items.
TEST_F(MenuItems, CleanUpWithOnlyTheEnglishMenus) {
    menus["Edit"] = {"Copy Picture", "Copy Text", "", "Clear Printer", "Clear Console"};
    menus["Window"] = {"Show Screen 0", "Hide All"};
    auto before = menus;
    t_MenuCleanUp();
    EXPECT_EQ(menus, before);
    EXPECT_EQ(count("t_MenuItemIndex: Menu not found."), 5 + 3);
    EXPECT_EQ(count("t_MenuItemTitle: Menu not found."), 1);
    EXPECT_EQ(count("t_MenuItemDelete: Menu not found."), 1);
    EXPECT_EQ(count("*** Found"), 0);
}

TEST_F(MenuItems, WithoutAHostEveryMenuIsMissing) {
    t_SetMenuHostServices({});
    EXPECT_EQ(t_MenuItemIndex("Edit", "Copy Text"), -2);
    EXPECT_EQ(t_MenuItemTitle("Edit", 0), "");
    t_MenuItemDelete("Edit", 0);
    t_MenuCleanUp();
    EXPECT_EQ(count("t_MenuItemIndex: Menu not found."), 1 + 10 + 6);
}

}   // namespace
