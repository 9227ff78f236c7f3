// Test support: everything the diagnostic log receives while the capture
// lives (it goes to standard output as well).
#pragma once

#include <mutex>
#include <string>
#include <vector>

class test_LogCapture {
public:
    test_LogCapture();
    ~test_LogCapture();
    test_LogCapture(const test_LogCapture &) = delete;
    test_LogCapture &operator=(const test_LogCapture &) = delete;

    std::string text() const;
    // The whole lines, without their line ends.
    std::vector<std::string> lines() const;
    bool has(const std::string &line) const;
    // How often the text occurs anywhere in the log.
    int count(const std::string &part) const;
    void clear();

private:
    mutable std::mutex Lock;
    std::string Text;
};
