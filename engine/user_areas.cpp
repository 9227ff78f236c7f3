// User areas: CP/M keeps files in user areas 0-15.  A volume's lists show
// one of them (its User); every operation that finds, reads, writes, erases
// or unerases files takes the user area as an argument.
#include "user_areas.h"

#include <algorithm>

#include "directory.h"
#include "entries.h"

cpm_Volume cpm_SelectUser(cpm_Volume volume, int user) {
    volume.User = std::clamp(user, 0, cpm_UserAreas - 1);
    return cpm_Rebuild(std::move(volume));
}

std::vector<int> cpm_UsersWithFiles(const cpm_Volume &volume) {
    // The entries the lists of each user area would show as files.
    bool has[cpm_UserAreas] = {};
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (cpm_IsListedFile(e)) has[e[0]] = true;
    }
    std::vector<int> users;
    for (int u = 0; u < cpm_UserAreas; u++)
        if (has[u]) users.push_back(u);
    return users;
}
