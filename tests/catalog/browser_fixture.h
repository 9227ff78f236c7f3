// Helpers that drive the browser through the event queues on the headless
// text window and read its screen back.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "browser.h"
#include "browser_state.h"
#include "catalog.h"
#include "display.h"
#include "events.h"
#include "file_events.h"
#include "line_input.h"
#include "text.h"
#include "temp_folder.h"
#include "text_window.h"
#include "windows.h"

namespace browsertest {

// "prefix" followed by the number in two digits and ".dsk".
inline std::string Numbered(const char *prefix, int n) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%02d.dsk", prefix, n);
    return name;
}

// Key values of the key table.
enum : int {
    Left = 0x08, Right = 0x15, Up = 0x0B, Down = 0x0A, Home = 0x02, End = 0x05,
    PageUp = 0x12, PageDown = 0x03, Return = 0x0D, Escape = 0x1B, ForwardDelete = 0x07,
};

inline bool IsCursorKey(int v) { return v == Left || v == Right || v == Up || v == Down || v == Home || v == End || v == PageUp || v == PageDown; }

inline t_Event Key(int value, bool option = false, bool cursorKey = false) {
    t_Event e;
    e.Kind = t_EventKey;
    e.Value = value;
    e.OptionPressed = option;
    e.CursorKeyPressed = cursorKey;
    return e;
}

inline void PostKeys(const std::vector<int> &keys, bool option = false) {
    for (int k : keys) t_PostKeyEvent(Key(k, option, IsCursorKey(k)));
}

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_InitTextWindow0();
        // A host that has every window, so the window metrics come from the
        // window manager as in the program.
        t_WindowHostServices host;
        host.Exists = [](uint8_t) { return true; };
        t_SetWindowHostServices(host);
        t_ClearEventQueues();
        t_ClearFileEvents();
        t_FullArea(0);
        t_Normal(0);
        t_Vtab(0, 1);
        t_Htab(0, 1);
        t_ClearEndOfWindow(0);
        testing::internal::CaptureStdout();
    }
    void TearDown() override {
        // The log lines, and the failure messages written between them.
        std::string log = testing::internal::GetCapturedStdout();
        if (HasFailure()) std::fprintf(stderr, "%s", log.c_str());
        t_SetWindowHostServices({});
        t_ClearEventQueues();
        t_ClearFileEvents();
    }

    // Runs a browser call that must end by itself; a call that still waits
    // after some seconds is ended with Escape and fails the test.
    std::string Run(std::function<std::string()> call) {
        auto result = std::async(std::launch::async, std::move(call));
        if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the browser did not end";
            for (int i = 0; i < 5 && result.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready; i++)
                PostKeys({Escape, Escape});
        }
        return result.get();
    }

    std::string Open(const std::string &folder, int flags = 0, int width = 60, const std::string &filter = "") {
        return Run([=] { return f_CatOpen(0, folder, "CP/M Volume öffnen", filter, 5, 15, width, flags); });
    }

    // The open form drawn and left on screen, for the handlers to work on.
    void Show(const std::string &folder, int width = 60, int flags = 0) {
        f_CatOpen(0, folder, "Title", "", 5, 15, width, f_CatDrawOnly | flags);
    }

    static bool Inverse(int column, int line) { return test_Colour(column, line) == 0x0C; }

    // A mouse click in the text cell (column, line) of window 0.
    static void Click(int column, int line) {
        const t_Window &w = t_WindowTable[0];
        double x = (column - 1) * w.Font.Width + 1;
        double y = w.Height - (line - 1) * w.Font.Height - 1;
        viewMouseDown(0, x, y, 1, 0, false);
    }

    static std::string Name(int index) { return f_CatList.at(size_t(index)).Name; }
};

}  // namespace browsertest
