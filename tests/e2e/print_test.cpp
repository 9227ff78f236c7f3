// P(rint and H(exdump as a person uses them: what the screen shows, in which
// colours, and what the virtual printer receives.
#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>
#include <QTextCursor>
#include <algorithm>
#include <filesystem>

#include "app_delegate.h"
#include "display.h"
#include "e2e.h"
#include "files.h"
#include "printer.h"
#include "threads.h"
#include "volume.h"

namespace {

// An Apple II CP/M 2.2 image of 140K (1024-byte blocks) with the files.
std::string apple140Image(const std::vector<std::pair<std::string, std::string>> &files) {
    std::string path = e2e_TempFolder() + "WORK.DSK";
    Text bytes = t_TextFill(0, 140 * 1024);
    const uint8_t signature[8] = {0x01, 0xA5, 0x27, 0xC9, 0x09, 0xD0, 0x13, 0x8A};
    std::copy(signature, signature + 8, bytes.Elements.begin());
    cpm_SetDiagnostics(false);
    cpm_Volume v = cpm_InitVolume(cpm_OpenImage(bytes, path));
    EXPECT_EQ(v.BlockSize, 1024);
    for (const auto &[name, contents] : files) v = cpm_SaveFile(std::move(v), Text(name), Text(contents)).Volume;
    cpm_SaveVolumeResult saved = cpm_SaveVolume(std::move(v));
    cpm_SetDiagnostics(true);
    EXPECT_EQ(saved.Message, "");
    return path;
}

void openLaunchImage() {
    ASSERT_TRUE(e2e_WaitFor("CP/M Volume öffnen"));
    ASSERT_TRUE(e2e_WaitFor("WORK.DSK"));
    e2e_Type("\r");
    ASSERT_TRUE(e2e_WaitFor("Volume Name: WORK.DSK"));
}

void runCommand(const std::string &key, const std::string &name) {
    e2e_Type(key);
    ASSERT_TRUE(e2e_WaitFor("Please enter filename: "));
    e2e_Type(name + "\r");
}

// Ink (high nibble of the colour byte) of a cell of window 0, from 1.
int inkAt(int column, int line) {
    const t_Window &w = t_WindowTable[0];
    return t_VideoMemory[size_t(t_ColorPlane(w) + (line - 1) * w.TextWidth + column - 1)] >> 4;
}

// The printer's whole text once it stops changing.
std::string settledPrinter() {
    std::string last = p_GetPrinter();
    for (int stable = 0, i = 0; stable < 5 && i < 300; i++) {
        t_SleepMs(10);
        std::string now = p_GetPrinter();
        stable = now == last ? stable + 1 : 0;
        last = now;
    }
    return last;
}

TEST(Print, CrLfTextWithControlLettersInColourOne) {
    std::string text = "LINE ONE\r\nLINE TWO\r\n\x1AREST AFTER THE END";
    e2e_RunProgram({apple140Image({{"NOTE.TXT", text}})}, [] {
        openLaunchImage();
        runCommand("p", "note.txt");
        ASSERT_TRUE(e2e_WaitFor("JZ"));
        e2e_Settle();
        EXPECT_EQ(e2e_Line(5), "LINE ONEM");
        EXPECT_EQ(e2e_Line(6), "JLINE TWOM");
        EXPECT_EQ(e2e_Line(7), "JZ");   // Control-Z shows and ends the file
        EXPECT_EQ(e2e_Screen().find("REST"), std::string::npos);
        struct {
            int Column, Line, Ink;
        } cells[] = {{8, 5, 12}, {9, 5, 1}, {1, 6, 1}, {2, 6, 12}, {10, 6, 1}, {1, 7, 1}, {2, 7, 1}};
        for (auto c : cells) EXPECT_EQ(inkAt(c.Column, c.Line), c.Ink) << c.Column << "," << c.Line;
        // Lines end in single carriage returns; line feeds and the rest stay out.
        EXPECT_EQ(settledPrinter(), "LINE ONE\rLINE TWO\r");
    });
}

TEST(Print, MissingFileLeavesThePrinterAlone) {
    e2e_RunProgram({apple140Image({{"NOTE.TXT", "x"}})}, [] {
        openLaunchImage();
        runCommand("p", "other.txt");
        ASSERT_TRUE(e2e_WaitFor("OTHER   .TXT not found"));
        EXPECT_EQ(settledPrinter(), "");
    });
}

// The dump line of 16 bytes at the offset, as the screen and printer show it.
std::string dumpLine(const std::string &data, size_t offset) {
    static const char digits[] = "0123456789ABCDEF";
    std::string line;
    for (int shift = 28; shift >= 0; shift -= 4) line += digits[(offset >> shift) & 15];
    line += ": ";
    std::string column;
    for (size_t k = offset; k < offset + 16; k++) {
        uint8_t b = uint8_t(data[k]);
        line += digits[b >> 4];
        line += digits[b & 15];
        line += ' ';
        uint8_t c = b & 0x7F;
        column += char(c < 32 ? c + 64 : c);
    }
    return line + " " + column;
}

TEST(Hexdump, OneBlockGivesSixtyFourLines) {
    std::string data;
    for (int k = 0; k < 1024; k++) data += char(k * 7 + 3);   // every byte value, bit 7 set or not
    e2e_RunProgram({apple140Image({{"DATA.BIN", data}})}, [data] {
        openLaunchImage();
        runCommand("h", "data.bin");
        ASSERT_TRUE(e2e_WaitFor("000003F0: "));
        e2e_Settle();
        // The window scrolls: the last lines of the dump are the last on screen.
        std::string screen = e2e_Screen();
        for (size_t offset = 0x3F0 - 16 * 10; offset <= 0x3F0; offset += 16) {
            std::string expected = dumpLine(data, offset);
            while (!expected.empty() && expected.back() == ' ') expected.pop_back();
            EXPECT_NE(screen.find(expected), std::string::npos) << expected;
        }
        std::string printed;
        for (size_t offset = 0; offset < 1024; offset += 16) printed += dumpLine(data, offset) + "\r";
        printed += "\r";
        std::string printer = settledPrinter();
        EXPECT_EQ(std::count(printer.begin(), printer.end(), '\r'), 65);
        EXPECT_EQ(t_Decode(printer), t_Decode(printed));
    });
}

// Which pixel columns of the picture hold ink (dark pixels) in the band
// of rows, for the columns from left to right.
std::vector<bool> inkColumns(const QImage &image, int left, int right, int top, int bottom) {
    std::vector<bool> ink;
    for (int x = left; x < right; x++) {
        bool dark = false;
        for (int y = top; y < bottom && !dark; y++) dark = qGray(image.pixel(x, y)) < 128;
        ink.push_back(dark);
    }
    return ink;
}

// How far (in pixels) the ruler's picture stands from the first text line's
// picture of the printer: the shift that matches their ink best, 0 when
// their columns line up.  Also how many columns hold ink in the ruler.
struct RulerFit {
    int Shift = 999;
    int InkedColumns = 0;
};

RulerFit rulerFit() {
    RulerFit fit;
    t_OnMainThread([&] {
        AppDelegate *d = t_AppDelegate();
        QWidget *window = d->VirtualPrinterWindow;
        QLineEdit *field = d->VirtualPrinterRuler;
        QPlainTextEdit *view = d->VirtualPrinterTextView;
        QImage picture = window->grab().toImage();
        QRect shown = field->visibleRegion().boundingRect();
        QRect stripArea(field->mapTo(window, shown.topLeft()), shown.size());
        QRect line = view->cursorRect(QTextCursor(view->document()));
        QRect textArea(view->viewport()->mapTo(window, QPoint(0, line.top())),
                       QSize(view->viewport()->width(), line.height()));
        int left = std::max(stripArea.left(), textArea.left()) + 40;
        int right = std::min(stripArea.right(), textArea.right()) - 40;
        std::vector<bool> ruler = inkColumns(picture, left, right, stripArea.top(), stripArea.bottom());
        std::vector<bool> text = inkColumns(picture, left, right, textArea.top(), textArea.bottom());
        fit.InkedColumns = int(std::count(ruler.begin(), ruler.end(), true));
        int best = -1;
        for (int shift = -35; shift <= 35; shift++) {
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
    e2e_RunProgram({apple140Image({{"RULER.TXT", ruler + "\r\n"}})}, [ruler] {
        openLaunchImage();
        e2e_ChooseMenu("Window", "Show Virtual Printer");
        runCommand("p", "ruler.txt");
        ASSERT_EQ(settledPrinter(), ruler + "\r");
        for (int scrolled : {0, 1, 250, 100000}) {
            t_OnMainThread([scrolled] {
                t_AppDelegate()->VirtualPrinterTextView->horizontalScrollBar()->setValue(scrolled);
            });
            RulerFit fit = rulerFit();
            EXPECT_GT(fit.InkedColumns, 100) << scrolled;
            EXPECT_LE(std::abs(fit.Shift), 1) << "scrolled " << scrolled;
        }
    });
}

}  // namespace
