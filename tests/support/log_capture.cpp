#include "log_capture.h"

#include "log.h"

test_LogCapture::test_LogCapture() {
    t_SetLogTee([this](std::string_view s) {
        std::lock_guard<std::mutex> hold(Lock);
        Text += s;
    });
}

test_LogCapture::~test_LogCapture() { t_SetLogTee(nullptr); }

std::string test_LogCapture::text() const {
    std::lock_guard<std::mutex> hold(Lock);
    return Text;
}

void test_LogCapture::clear() {
    std::lock_guard<std::mutex> hold(Lock);
    Text.clear();
}

std::vector<std::string> test_LogCapture::lines() const {
    std::vector<std::string> out;
    std::string all = text();
    size_t at = 0;
    for (size_t nl; (nl = all.find('\n', at)) != std::string::npos; at = nl + 1) out.push_back(all.substr(at, nl - at));
    return out;
}

bool test_LogCapture::has(const std::string &line) const {
    for (const std::string &l : lines())
        if (l == line) return true;
    return false;
}

int test_LogCapture::count(const std::string &part) const {
    int n = 0;
    std::string all = text();
    for (size_t at = all.find(part); at != std::string::npos; at = all.find(part, at + 1)) n++;
    return n;
}
