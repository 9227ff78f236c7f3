// Menus whose items the program sets, and the choices made in them.
#include "menu_choices.h"

#include <deque>
#include <map>
#include <mutex>

#include "events.h"
#include "text.h"
#include "threads.h"
#include "video_memory.h"

namespace {
struct Shown {
    std::vector<std::string> Items;
    int Checked = -1;
};
std::mutex lock;
std::map<std::string, Shown> menus;                       // as the program set them last
std::deque<std::pair<std::string, std::string>> chosen;   // not taken yet
t_MenuChoicesShow host;
}  // namespace

void t_SetMenuChoices(const std::string &menu, const std::vector<std::string> &items, int checked) {
    t_MenuChoicesShow show;
    {
        std::lock_guard<std::mutex> hold(lock);
        menus[menu] = {items, checked};
        show = host;
    }
    if (show) t_OnMainThreadAsync([show, menu, items, checked] { show(menu, items, checked); });
}

void t_ChooseMenuChoice(const std::string &menu, const std::string &item) {
    {
        std::lock_guard<std::mutex> hold(lock);
        chosen.emplace_back(menu, item);
    }
    t_Event e;
    e.Kind = 1;
    e.Value = t_MenuChoiceKey;
    e.Description = t_EncodeChar(char32_t(t_MenuChoiceKey));
    e.Time = t_NowMs();
    t_PostKeyEvent(e);
}

bool t_TakeMenuChoice(std::string &menu, std::string &item) {
    std::lock_guard<std::mutex> hold(lock);
    if (chosen.empty()) return false;
    menu = chosen.front().first;
    item = chosen.front().second;
    chosen.pop_front();
    return true;
}

void t_SetMenuChoicesHost(t_MenuChoicesShow show) {
    std::map<std::string, Shown> already;
    {
        std::lock_guard<std::mutex> hold(lock);
        host = show;
        already = menus;
    }
    if (!show) return;
    for (const auto &[menu, shown] : already) show(menu, shown.Items, shown.Checked);
}
