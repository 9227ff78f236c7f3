// The hexdump lines, and a file shown as plain text.
#include "hexdump.h"

std::vector<std::string> cpm_HexdumpLines(const Text &data) {
    std::vector<std::string> lines;
    lines.reserve(data.size() / 16 + 1);
    std::string line;
    Text column;
    for (size_t k = 0; k < data.size(); k++) {
        uint8_t b = data[k];
        if (k % 16 == 0) {
            line = t_Hex8((long long)k) + ": ";
            column = Text();
        }
        line += t_Hex2(b) + " ";
        uint8_t c = b & 0x7F;
        column.push_back(c < 32 ? uint8_t(c + 64) : c);
        if (k % 16 == 15) {
            lines.push_back(line + " " + t_TextToString(column));
            line.clear();
        }
    }
    if (!line.empty()) lines.push_back(line);   // a last, partial line has no character column
    return lines;
}

std::vector<std::string> cpm_TypeLines(const Text &data) {
    std::vector<std::string> lines;
    std::string line;
    bool afterCR = false;
    for (uint8_t b : data.Elements) {
        if (b == 0x1A) break;
        b &= 0x7F;
        bool lf = b == 0x0A;
        if (b == 0x0D || (lf && !afterCR)) {
            lines.push_back(line);
            line.clear();
        } else if (b >= 0x20 || b == 0x09) {
            line += char(b);
        }
        afterCR = b == 0x0D;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}
