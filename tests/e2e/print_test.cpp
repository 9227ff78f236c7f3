// P(rint and H(exdump as a person uses them: what the screen shows, in which
// colours, and what the virtual printer receives.
#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>
#include <QTextCursor>
#include <algorithm>
#include <optional>

#include "display.h"
#include "e2e.h"
#include "hexdump.h"
#include "host_windows.h"
#include "printer.h"
#include "text_window.h"
#include "threads.h"
#include "volume.h"
#include "windows.h"

namespace {

void runCommand(const std::string &key, const std::string &name) {
    e2e_OpenLaunchImage("WORK.DSK");
    e2e_Command(key, "Please enter filename: ");
    e2e_Type(name + "\r");
}

// The printer's whole text once it stops changing.
std::string settledPrinter() { return e2e_Settled(p_GetPrinter); }

TEST(Print, CrLfTextWithControlLettersInColourOne) {
    test_TempFolder folder;
    e2e_RunProgram({e2e_MakeImage(folder.at("WORK.DSK"), 128, {{"NOTE.TXT", "LINE ONE\r\nLINE TWO\r\n\x1A" "REST AFTER THE END"}})}, [] {
        runCommand("p", "note.txt");
        ASSERT_TRUE(e2e_WaitFor("JZ"));
        e2e_Settle();
        EXPECT_EQ(e2e_Line(5), "LINE ONEM");
        EXPECT_EQ(e2e_Line(6), "JLINE TWOM");
        EXPECT_EQ(e2e_Line(7), "JZ");   // Control-Z shows and ends the file
        EXPECT_FALSE(e2e_OnScreen("REST"));
        // Ink (the high nibble of the colour byte): 12 for text, 1 for control letters.
        const std::tuple<int, int, int> cells[] = {{5, 5, 12}, {8, 5, 12}, {9, 5, 1}, {1, 6, 1}, {2, 6, 12},
                                                   {10, 6, 1}, {1, 7, 1}, {2, 7, 1}};
        for (auto [column, line, ink] : cells) EXPECT_EQ(test_Colour(column, line) >> 4, ink) << column << "," << line;
        // Lines end in single carriage returns; line feeds and the rest stay out.
        EXPECT_EQ(settledPrinter(), "LINE ONE\rLINE TWO\r");
    });
}

// The screen and the printer show the engine's dump lines.
TEST(Hexdump, OneBlockGivesALinePerSixteenBytes) {
    std::string data;
    for (int k = 0; k < 2048; k++) data += char(k * 7 + 3);   // every byte value, bit 7 set or not
    test_TempFolder folder;
    e2e_RunProgram({e2e_MakeImage(folder.at("WORK.DSK"), 128, {{"DATA.BIN", data}})}, [data] {
        runCommand("h", "data.bin");
        ASSERT_TRUE(e2e_WaitFor("000007F0: "));
        e2e_Settle();
        std::vector<std::string> lines = cpm_HexdumpLines(Text(data));
        ASSERT_EQ(lines.size(), 128u);
        // The window scrolls: the last lines of the dump are the last on screen.
        std::string screen = e2e_Screen();
        for (size_t i = 117; i < 128; i++) {
            std::string expected = lines[i];
            while (!expected.empty() && expected.back() == ' ') expected.pop_back();
            EXPECT_NE(screen.find(expected), std::string::npos) << expected;
        }
        std::string printed;
        for (const std::string &line : lines) printed += line + "\r";
        std::string printer = settledPrinter();
        EXPECT_EQ(std::count(printer.begin(), printer.end(), '\r'), 129);
        EXPECT_EQ(t_Decode(printer), t_Decode(printed + "\r"));
    });
}

// A long file of every byte value in a scattered order.
std::string bytesOfLength(size_t size) {
    std::string data(size, 0);
    for (size_t k = 0; k < size; k++) data[k] = char((k * 2654435761u) >> 11);
    return data;
}

// The dump lines as the screen holds them (trailing blanks cut).
std::vector<std::string> screenDump(const std::string &data) {
    std::vector<std::string> lines = cpm_HexdumpLines(Text(data));
    for (std::string &line : lines)
        while (!line.empty() && line.back() == ' ') line.pop_back();
    return lines;
}

// The screen line that holds the dump line starting with the offset, 0 when none.
int lineWith(const std::string &start) {
    for (int n = 1; n <= 25; n++)
        if (e2e_Line(n).rfind(start, 0) == 0) return n;
    return 0;
}

// Whether window 0's picture is what drawing each of its cells gives now:
// the picture is taken, every cell is marked to be drawn again from the
// text block, and the two pictures must be the same.
bool pictureIsItsText() {
    std::optional<t_Image> shown = t_WindowImage(0);
    const t_Window &w = t_WindowTable[0];
    for (int line = 1; line <= w.TextHeight; line++)
        for (int column = 1; column <= w.TextWidth; column++) t_MarkCell(0, w, column, line);
    std::optional<t_Image> drawn = t_WindowImage(0);
    return shown && drawn && shown->Pixels == drawn->Pixels;
}

// The screen after a long dump: the last dump lines, line for line, above
// the prompt; the picture holds exactly those characters.
TEST(Hexdump, LongFileEndsWithItsLastLinesInOrder) {
    const std::string data = bytesOfLength(256 * 1024);
    test_TempFolder folder;
    e2e_RunProgram({e2e_MakeImage(folder.at("WORK.DSK"), 1024, {{"DATA.BIN", data}})}, [data] {
        runCommand("h", "data.bin");
        const std::vector<std::string> lines = screenDump(data);
        ASSERT_EQ(lines.size(), 16384u);
        ASSERT_TRUE(e2e_WaitFor(lines.back(), 20000));
        // The prompt comes back on the first line once the printer has the dump.
        ASSERT_TRUE(e2e_WaitFor(e2e_Prompt1, 20000));
        e2e_Settle();
        EXPECT_EQ(e2e_Line(1), e2e_Prompt1);
        const int last = lineWith("0003FFF0: ");
        ASSERT_GE(last, 20);
        for (int n = 2; n <= last; n++) EXPECT_EQ(e2e_Line(n), lines[lines.size() - size_t(last - n) - 1]) << n;
        EXPECT_TRUE(pictureIsItsText());
        const std::string printer = settledPrinter();
        EXPECT_EQ(std::count(printer.begin(), printer.end(), '\r'), 16385);
    });
}

// P of a long text: every line shows as J, the line and M, the last ones
// line for line.
TEST(Print, LongTextEndsWithItsLastLinesInOrder) {
    std::vector<std::string> textLines;
    std::string text;
    for (int n = 0; text.size() < 452 * 1024; n++) {
        std::string line = std::to_string(n) + " " + std::string(size_t(n * 7 % 60), char('a' + n % 26)) + ".";
        textLines.push_back(line);
        text += line + "\r\n";
    }
    test_TempFolder folder;
    e2e_RunProgram({e2e_MakeImage(folder.at("WORK.DSK"), 1024, {{"TEXT.TXT", text}})}, [textLines] {
        runCommand("p", "text.txt");
        ASSERT_TRUE(e2e_WaitFor("J" + textLines.back() + "M", 20000));
        ASSERT_TRUE(e2e_WaitFor(e2e_Prompt1, 20000));
        e2e_Settle();
        EXPECT_EQ(e2e_Line(1), e2e_Prompt1);
        int last = 0;
        for (int n = 1; n <= 25; n++)
            if (e2e_Line(n) == "J" + textLines.back() + "M") last = n;
        ASSERT_GE(last, 20);
        for (int n = 2; n <= last; n++)
            EXPECT_EQ(e2e_Line(n), "J" + textLines[textLines.size() - size_t(last - n) - 1] + "M") << n;
        EXPECT_TRUE(pictureIsItsText());
        std::string printed;
        for (const std::string &line : textLines) printed += line + "\r";
        EXPECT_EQ(settledPrinter(), printed);
    });
}

// Control-S pauses a dump that runs faster than the screen is shown: the
// screen at the pause is the dump's lines up to that point, line for line
// and drawn; a key goes on, and the printer gets every line in order.
TEST(Hexdump, PausedAndResumedLongDumpPrintsEveryLineInOrder) {
    const std::string data = bytesOfLength(1024 * 1024);
    test_TempFolder folder;
    e2e_RunProgram({e2e_MakeImage(folder.at("WORK.DSK"), 2048, {{"BIG.BIN", data}})}, [data] {
        const std::vector<std::string> lines = screenDump(data);
        e2e_OpenLaunchImage("WORK.DSK");
        e2e_Command("h", "Please enter filename: ");
        e2e_Type("big.bin\r");
        ASSERT_TRUE(e2e_WaitFor("0000"));
        e2e_TypeControl('s');
        e2e_Settle();
        // Paused: consecutive dump lines end with the latest, which is not the last.
        int bottom = 0;
        for (int n = 1; n <= 25; n++)
            if (e2e_Line(n).size() > 10 && e2e_Line(n)[8] == ':') bottom = n;
        ASSERT_GT(bottom, 20);
        const std::string latest = e2e_Line(bottom);
        const size_t at = size_t(std::stoul(latest.substr(0, 8), nullptr, 16) / 16);
        ASSERT_LT(at + 1, lines.size()) << "the dump ended before the pause";
        for (int n = 1; n <= bottom; n++) EXPECT_EQ(e2e_Line(n), lines[at - size_t(bottom - n)]) << n;
        EXPECT_TRUE(pictureIsItsText());
        EXPECT_EQ(settledPrinter().find("00000000: "), std::string::npos);
        e2e_Type(" ");
        ASSERT_TRUE(e2e_WaitFor(lines.back(), 30000));
        std::string printed;
        for (const std::string &line : cpm_HexdumpLines(Text(data))) printed += line + "\r";
        EXPECT_EQ(t_Decode(settledPrinter()), t_Decode(printed + "\r"));
    });
}

// How far (in pixels) the ruler's picture stands from the first text line's
// picture of the printer: the shift that matches their ink (dark pixels) best,
// 0 when their columns line up.  Also how many columns hold ink in the ruler.
struct RulerFit {
    int Shift = 999;
    int InkedColumns = 0;
};

RulerFit rulerFit() {
    RulerFit fit;
    t_OnMainThread([&] {
        QWidget *window = t_HostWindow(t_PrinterWindow);
        QLineEdit *field = t_WindowRuler(t_PrinterWindow);
        QPlainTextEdit *view = t_WindowTextView(t_PrinterWindow);
        QImage picture = window->grab().toImage();
        QRect shown = field->visibleRegion().boundingRect();
        QRect stripArea(field->mapTo(window, shown.topLeft()), shown.size());
        QRect line = view->cursorRect(QTextCursor(view->document()));
        QRect textArea(view->viewport()->mapTo(window, QPoint(0, line.top())),
                       QSize(view->viewport()->width(), line.height()));
        int left = std::max(stripArea.left(), textArea.left()) + 40;
        int right = std::min(stripArea.right(), textArea.right()) - 40;
        // Which pixel columns hold ink in the band of rows, left to right.
        auto ink = [&](QRect band) {
            std::vector<bool> columns;
            for (int x = left; x < right; x++) {
                bool dark = false;
                for (int y = band.top(); y < band.bottom() && !dark; y++) dark = qGray(picture.pixel(x, y)) < 128;
                columns.push_back(dark);
            }
            return columns;
        };
        std::vector<bool> ruler = ink(stripArea), text = ink(textArea);
        fit.InkedColumns = int(std::count(ruler.begin(), ruler.end(), true));
        for (int shift = -35, best = -1; shift <= 35; shift++) {
            int same = 0;
            for (size_t x = 35; x + 35 < ruler.size(); x++) same += ruler[x] == text[size_t(int(x) + shift)];
            if (same > best) best = same, fit.Shift = shift;
        }
    });
    return fit;
}

TEST(Print, PrinterRulerStandsOverTheTextColumns) {
    // The printer's first line is the ruler's own text: its picture must
    // stand exactly under the ruler, from "L" on, scrolled or not.
    std::string ruler = t_PrinterRuler(160, false, true);
    test_TempFolder folder;
    e2e_RunProgram({e2e_MakeImage(folder.at("WORK.DSK"), 128, {{"RULER.TXT", ruler + "\r\n"}})}, [ruler] {
        e2e_ChooseMenu("Window", "Show Virtual Printer");
        runCommand("p", "ruler.txt");
        ASSERT_EQ(settledPrinter(), ruler + "\r");
        for (int scrolled : {0, 1, 250, 100000}) {
            t_OnMainThread([scrolled] {
                t_WindowTextView(t_PrinterWindow)->horizontalScrollBar()->setValue(scrolled);
            });
            RulerFit fit = rulerFit();
            EXPECT_GT(fit.InkedColumns, 100) << scrolled;
            EXPECT_LE(std::abs(fit.Shift), 1) << "scrolled " << scrolled;
        }
    });
}

}  // namespace
