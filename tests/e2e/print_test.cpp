// P(rint and H(exdump as a person uses them: what the screen shows, in which
// colours, and what the virtual printer receives.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

}  // namespace
