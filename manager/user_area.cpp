// The current user area: a field of the current volume (its lists show that
// area's files), so that opening another volume starts again in user 0.
#include "user_area.h"

#include "display.h"
#include "entry.h"
#include "menus.h"
#include "user_areas.h"
#include "volume_state.h"

static const char *const userMenu = "User";
static int checkedUser = 0;   // the item the User menu shows checked

void cpm_ShowUserAreaInMenu() {
    if (cpm_CurrentVolume.User == checkedUser) return;
    checkedUser = cpm_CurrentVolume.User;
    t_MenuItemCheck(userMenu, checkedUser);
}

void cpm_TakeMenuChoice(const std::string &menu, int item) {
    if (menu != userMenu || item < 0 || item >= cpm_UserAreas) return;
    if (!cpm_CurrentVolume.Path.empty() && item != cpm_CurrentVolume.User) {
        cpm_CurrentVolume = cpm_SelectUser(std::move(cpm_CurrentVolume), item);
        uint8_t w = cpm_Window();
        t_Vtab(w, 2);
        t_Htab(w, 1);
        t_ClearEndOfWindow(w);
        t_Cr(w);
        cpm_PrintVolumeName(cpm_CurrentVolume);
    }
    // The menu checked nothing itself: it shows the area the volume shows.
    checkedUser = -1;
    cpm_ShowUserAreaInMenu();
}
