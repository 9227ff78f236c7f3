// Start-up time as a person sees it: from the start of the application to
// the first screen they can act on (the browser), and on to the command
// prompt.  Prints the figures; the performance report collects them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "e2e.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

TEST(Measure, StartUpToTheFirstScreens) {
    Clock::time_point start = Clock::now();
    double browser = 0, prompt = 0;
    e2e_RunProgram({}, [&] {
        ASSERT_TRUE(e2e_WaitFor("CP/M Volume öffnen", 10000));
        browser = msSince(start);
        Clock::time_point cancel = Clock::now();
        e2e_Type("\x1B");
        ASSERT_TRUE(e2e_WaitFor("Diskwright: V(olume", 10000));
        prompt = msSince(cancel);
    });
    printf("start-up: browser shown after %.0f ms; prompt %.0f ms after Escape\n", browser, prompt);
}

}  // namespace
