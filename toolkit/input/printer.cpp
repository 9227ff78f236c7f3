// The virtual printer's interface and update loop, and the screen text.
#include "printer.h"

#include <mutex>

#include "display.h"
#include "log.h"
#include "threads.h"

Text p_PrinterBuffer;
std::atomic<bool> p_PrinterChanged{false};
std::atomic<long long> p_PrinterLastUpdate{0};
std::atomic<bool> p_PrinterUpdateRunning{false};
Text t_ConsoleBuffer;

static t_Shared<t_PrinterHostServices> services;
static std::mutex bufferLock;   // p_PrinterBuffer is written and read by two threads
static std::atomic<bool> updateStarting{false};

void t_SetPrinterHostServices(t_PrinterHostServices s) { services.Set(std::move(s)); }

// Runs the work on the main thread when the printer's view exists; logs the
// operation's line otherwise.
static bool withPrinter(const char *name, const std::function<void(const t_PrinterHostServices &)> &work) {
    t_PrinterHostServices h = services.Get();
    bool exists = false;
    t_OnMainThread([&] {
        exists = h.Exists && h.Exists();
        if (exists) work(h);
    });
    if (!exists) t_Log(std::string(name) + ": Virtual printer window is nil, resource undefined.");
    return exists;
}

void p_SetRuler(const std::string &text) {
    withPrinter("p_SetRuler", [&](const t_PrinterHostServices &h) { h.SetRuler(text); });
}

void p_SetPrinter(const std::string &text) {
    withPrinter("p_SetPrinter", [&](const t_PrinterHostServices &h) { h.SetText(text); });
}

std::string p_GetPrinter() {
    std::string text;
    withPrinter("p_GetPrinter", [&](const t_PrinterHostServices &h) { text = h.GetText(); });
    return text;
}

void p_InitPrinter() {
    std::string ruler = t_PrinterRuler(160, false, true);
    withPrinter("p_InitPrinter", [&](const t_PrinterHostServices &h) {
        h.SetRuler(ruler);
        h.Setup();
    });
    {
        std::lock_guard<std::mutex> hold(bufferLock);
        p_PrinterBuffer = Text();
    }
    // One update loop only, even when two threads set the printer up at once.
    bool expected = false;
    if (!p_PrinterUpdateRunning && updateStarting.compare_exchange_strong(expected, true))
        t_RunAsync(p_PrinterAutoUpdateProcess);
}

void p_PrinterAutoUpdateProcess() {
    int number = t_ThreadNumber();
    t_Log("p_PrinterAutoUpdateProcess: Start as thread #" + std::to_string(number));
    if (number >= 3) t_NameThread("p_PrinterAutoUpdate");
    p_PrinterUpdateRunning = true;
    updateStarting = false;
    while (p_PrinterUpdateRunning) {
        t_SleepMs(10);
        if (p_PrinterChanged && t_NowMs() - p_PrinterLastUpdate >= 101) {
            p_PrinterChanged = false;
            Text pending;
            {
                std::lock_guard<std::mutex> hold(bufferLock);
                pending = p_PrinterBuffer;
            }
            p_SetPrinter(t_BytesToString(pending));
            p_PrinterLastUpdate = t_NowMs();
        }
    }
    p_PrinterUpdateRunning = false;
    t_Log("p_PrinterAutoUpdateProcess: End.");
}

std::string t_GetScreen(uint8_t window, const std::string &separator) {
    const t_Window *w = t_GuardWindow("t_GetScreen", window, t_Need::Text);
    if (!w) return "";
    std::vector<uint8_t> cells(size_t(std::max(0, w->TextWidth * w->TextHeight)));
    t_VideoRead(size_t(w->TextMemoryStart), cells.data(), cells.size());
    std::u32string all;
    for (int line = 0; line < w->TextHeight; line++) {
        for (int column = 0; column < w->TextWidth; column++)
            all.push_back(cells[size_t(line * w->TextWidth + column)]);
        for (char32_t c : t_Decode(separator)) all.push_back(c);
    }
    if (separator.empty()) return t_Encode(all);
    std::vector<std::u32string> lines;
    std::u32string current;
    for (char32_t c : all) {
        if (c == U'\r') {
            lines.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) lines.push_back(current);
    for (std::u32string &l : lines)
        while (!l.empty() && l.back() == U' ') l.pop_back();
    while (lines.size() > 1 && lines.back().empty()) lines.pop_back();
    std::u32string joined;
    for (size_t i = 0; i < lines.size(); i++) {
        if (i > 0) joined.push_back(U'\r');
        joined += lines[i];
    }
    return t_Encode(joined);
}

std::string t_PrinterRuler(int width, bool twoDigit, bool margins) {
    const std::string pattern = "....!....";
    std::string text;
    for (int k = 1; k <= width / 10 + 1; k++) {
        std::string digits = std::to_string(k);
        if (twoDigit && k >= 10)
            text += pattern.substr(0, size_t(std::max(0, 10 - int(digits.size())))) + digits;
        else
            text += pattern + digits.back();
    }
    if (!margins) return text.substr(0, size_t(std::max(0, width)));
    if (width < 2) return width == 1 ? "L" : "";
    std::string inner = text.substr(1, size_t(width - 2));
    if (width % 10 == 0 && !inner.empty() && isdigit(uint8_t(inner.back()))) inner.back() = '.';
    return "L" + inner + "R";
}
