// Writing a grey picture as an 8-bit greyscale PNG file (deflate by zlib).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "contact_sheet.h"

// The PNG file's bytes; empty for an empty picture.
std::vector<uint8_t> fg_PngBytes(const fg_GreyImage &image);
