// Grey-level bitmap fonts: loading ".font" files and LZW expansion.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display_types.h"

// HeaderSize 16, Identifier "vxfn", every number 0 and no glyph data.
t_Font t_EmptyFont();

// Loads the named font file from the resources folder; a font with empty
// Data (and a log line) when it is missing or broken.
t_Font t_LoadFontResource(const std::string &name);
// The same for a font file's bytes; name is only used in log lines.
t_Font t_FontFromBytes(const std::vector<uint8_t> &file, const std::string &name);
// Format 100 becomes 0 and 102 becomes 2, with the data expanded; other
// formats are returned unchanged.
t_Font t_ExpandFont(const t_Font &font);
// LZW expansion: the first byte is the code width in bits, the rest a bit
// stream of fixed-width codes.  Empty on invalid data.
std::vector<uint8_t> t_ExpandLZW(const std::vector<uint8_t> &data);

// Replaces the font of an initialised window; the text grid stays as it is.
void t_WindowFont(uint8_t window, const t_Font &font);
