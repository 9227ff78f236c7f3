// The records of the emulated display: colours, fonts, windows and images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Four unsigned bytes in this order.  Packed into one 32-bit word, Alpha is
// the lowest byte, then Red, Green, Blue.
struct t_RGBColor {
    uint8_t Alpha = 0xFF;
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    friend bool operator==(const t_RGBColor &, const t_RGBColor &) = default;
};

// One grey-level bitmap font of fixed cell size.  Empty Data means that
// there is no usable font.
struct t_Font {
    int HeaderSize = 16;
    std::vector<uint8_t> Identifier = {'v', 'x', 'f', 'n'};
    int Format = 0;
    int64_t Size = 0;
    uint8_t Start = 0;
    uint8_t End = 0;
    int Width = 0;
    int Height = 0;
    int Reserved = 0;
    std::vector<uint8_t> Data;
};

// Glyph data formats.
enum : int {
    t_FontFormatRaw = 0,        // uncompressed, not drawable as text
    t_FontFormatGrey = 2,       // one grey byte per pixel, 0 = paper, 255 = ink
    t_FontFormatRawLZW = 100,   // format 0, LZW-compressed
    t_FontFormatGreyLZW = 102,  // format 2, LZW-compressed
};

struct t_Rect {
    double X = 0, Y = 0, Width = 0, Height = 0;
};

// One toolkit window: host objects, graphic block, text grid and area,
// cursor, attributes, refresh flags and line-input state.  Fields written
// by one thread and read by another (the refresh flags) are accessed
// through std::atomic_ref, so they are kept naturally aligned.
struct t_Window {
    bool Initialized = false;
    bool Visible = false;
    bool IgnoreEvents = false;
    bool AutoUpdate = false;
    bool QuickUpdate = false;
    bool ScrollLock = false;
    bool VerticalBlank = true;
    alignas(8) int64_t UpdateStarted = 0;    // milliseconds
    alignas(8) int64_t UpdateFinished = 0;   // milliseconds
    alignas(8) int64_t UpdateDuration = 0;   // microseconds
    int RefreshRate = 30;
    void *Window = nullptr;                  // host window (opaque to the display core)
    void *View = nullptr;                    // host view
    t_Rect DrawingRect;
    int TitleHeight = 0;
    int BorderWidth = 0;
    int BorderHeight = 0;
    t_RGBColor RGBColorBorder;
    int BitDepth = 0;
    int Width = 0;
    int Height = 0;
    t_RGBColor RGBColor;
    int DrawingMode = 0;
    int PositionX = 0;
    int PositionY = 0;
    int MemoryStart = -1;
    int MemoryEnd = -1;
    t_Font Font;
    int TextWidth = 0;
    int TextHeight = 0;
    int TextFirstColumn = 0;
    int TextLastColumn = 0;
    int TextFirstLine = 0;
    int TextLastLine = 0;
    int TextHpos = 0;
    int TextVpos = 0;
    uint8_t TextColor = 0;
    bool TextInverse = false;
    int TextDisplayMode = 0;
    int TextCursorLevel = 0;
    int TextRedirectOutput = 1;
    std::string InputString;
    bool InputFinished = false;
    int InputMode = 0;
    int InputHpos = 0;
    int InputVpos = 0;
    int InputCursorPos = 0;
    int InputMaxCharacters = 0;
    int LoResOffsetX = 0;
    int LoResOffsetY = 0;
    int LoResMode = 0;
    int TextMemoryStart = -1;
    int TextMemoryEnd = -1;
};

// A window image: Width x Height pixels, each one 32-bit word holding
// alpha, red, green and blue from the most significant byte down
// (0xAARRGGBB, alpha always 0xFF), rows Width words long.  This is the
// host's native 32-bit image layout, so the host shows it without a copy.
struct t_Image {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
};
