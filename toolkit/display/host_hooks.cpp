// Headless defaults of the host contract and their replacement.
#include "host_hooks.h"

#include <mutex>

// Stands for a view when no host is installed.
static int headlessView;

static t_DisplayHost headlessHost() {
    t_DisplayHost h;
    h.GetView = [](uint8_t window) -> void * { return window <= 7 ? &headlessView : nullptr; };
    h.GetHostWindow = [](uint8_t window) -> void * { return window <= 12 ? &headlessView : nullptr; };
    h.RedrawView = [](uint8_t, bool) {};
    h.SetBorderColor = [](uint8_t, t_RGBColor) {};
    h.Bell = [] {};
    h.SizeWindow = [](uint8_t) {};
    h.SetTitle = [](uint8_t, const std::string &) {};
    h.SetTitleVisible = [](uint8_t, bool) {};
    h.ScreenSize = [](uint8_t) { return std::pair<int, int>(1920, 1080); };
    h.ApplicationName = [] { return std::string("Diskwright"); };
    h.MemoryInitialized = [] {};
    return h;
}

static t_DisplayHost installed = headlessHost();

// The hooks are installed once on the main thread before the program thread
// starts, and only read afterwards.
void t_SetDisplayHost(t_DisplayHost host) {
    t_DisplayHost h = headlessHost();
    if (host.GetView) h.GetView = std::move(host.GetView);
    if (host.GetHostWindow) h.GetHostWindow = std::move(host.GetHostWindow);
    if (host.RedrawView) h.RedrawView = std::move(host.RedrawView);
    if (host.SetBorderColor) h.SetBorderColor = std::move(host.SetBorderColor);
    if (host.Bell) h.Bell = std::move(host.Bell);
    if (host.SizeWindow) h.SizeWindow = std::move(host.SizeWindow);
    if (host.SetTitle) h.SetTitle = std::move(host.SetTitle);
    if (host.SetTitleVisible) h.SetTitleVisible = std::move(host.SetTitleVisible);
    if (host.ScreenSize) h.ScreenSize = std::move(host.ScreenSize);
    if (host.ApplicationName) h.ApplicationName = std::move(host.ApplicationName);
    if (host.MemoryInitialized) h.MemoryInitialized = std::move(host.MemoryInitialized);
    installed = std::move(h);
}

const t_DisplayHost &t_Host() { return installed; }
