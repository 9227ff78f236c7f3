#include "host_state.h"

#include "log.h"
#include "text.h"

std::atomic<int> t_TitleBarHeight{0};
std::function<void()> t_TerminateHandler = [] {};

void initvxtools() {
    t_Log("initvxtools: Start.");
    t_BuildHexTables();
    t_Log("initvxtools: End.");
}
