// Menus whose items the program sets (the formats of the open image): the
// host shows them; a choice is queued like a key, and the program takes it
// when that key reaches its prompt.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The key value a menu choice is queued as (a private-use character).
constexpr int t_MenuChoiceKey = 0xF8F0;

// Program thread: the items of the menu with that title, `checked` the
// index of the one ticked (-1: none).  The host shows them from then on.
void t_SetMenuChoices(const std::string &menu, const std::vector<std::string> &items, int checked);
// Main thread: the user chose an item; queued with the key t_MenuChoiceKey.
void t_ChooseMenuChoice(const std::string &menu, const std::string &item);
// Program thread: the oldest choice not taken yet; false when none is left.
bool t_TakeMenuChoice(std::string &menu, std::string &item);

// The host's half: shows the items of a menu (called on the main thread,
// at once for every menu set before it was installed).
using t_MenuChoicesShow = std::function<void(const std::string &menu, const std::vector<std::string> &items, int checked)>;
void t_SetMenuChoicesHost(t_MenuChoicesShow show);
