// The texts of a file shown as a hexdump or as text, as lines.
#pragma once

#include <string>
#include <vector>

#include "text.h"

// "00000000: 48 45 ... 1A  HELLO, WORLD!MJZ", one line per 16 bytes.
std::vector<std::string> cpm_HexdumpLines(const Text &data);
// The file as text: up to the first Control-Z, bit 7 cleared, CR LF (or a
// lone CR or LF) ends a line, tabs kept, other control bytes dropped.
std::vector<std::string> cpm_TypeLines(const Text &data);
