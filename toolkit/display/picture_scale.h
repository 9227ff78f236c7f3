// Scaling of a window's picture to the size its view shows it at: 32-bit
// pixels (0xAARRGGBB, opaque) from a source picture into a destination of
// any size, written once, straight into the destination.
#pragma once

#include <cstdint>
#include <vector>

// When the destination is a whole multiple of the source in both directions
// every pixel becomes a block (nearest neighbour).  Otherwise each
// destination pixel mixes the two nearest source pixels in each direction:
// enlarging, by how much of it each covers (so most pixels copy one source
// pixel and edges stay as sharp as the scale allows); shrinking, by the
// distance of its centre.  Rows are mixed first, at the source's width, and
// each mixed row is then spread across one destination row.
//
// The scaler keeps its tables and one row between calls of the same sizes.
struct t_PictureScaler {
    int SourceWidth = 0, SourceHeight = 0, TargetWidth = 0, TargetHeight = 0;
    // One direction's map: for every target pixel the first source pixel and
    // the share (0-128) of the next one.
    struct Tap {
        int Index;
        int Weight;
    };
    std::vector<Tap> Columns, Rows;
    // Eight target columns at a time for the byte-shuffle path, as four
    // pairs.  A pair loads the four source pixels from its base and shuffles
    // each column's pixel and right neighbour next to each other, channel by
    // channel, to be multiplied by the two shares in one step.  The pairs are
    // kept in the order 0, 2, 1, 3: pairs 0 and 2 fill the two halves of one
    // 32-byte register, 1 and 3 the other, and packing the two gives the
    // eight columns in order.
    struct alignas(32) Group {
        uint8_t Order[4][16];
        int8_t Shares[4][16];
        int Base[4];
    };
    std::vector<Group> Groups;
    std::vector<uint32_t> Mixed;   // two source rows mixed
    std::vector<uint32_t> Kept[2];  // source rows made by t_PictureRows
    int KeptRow[2] = {-1, -1};
};

void t_ScalePicture(t_PictureScaler &scaler, const uint32_t *source, int width, int height, int sourceStride,
                    uint32_t *target, int targetWidth, int targetHeight, int targetStride);

// A source picture made row by row as the scaler needs it, so that no
// whole copy of it is written and read again: Fill writes row y (width
// pixels) and answers whether it could.  Each row is made at most once per
// call.
struct t_PictureRows {
    bool (*Fill)(void *context, int y, uint32_t *row);
    void *Context;
};
// false when a row could not be made (the target is then incomplete).
bool t_ScalePictureRows(t_PictureScaler &scaler, const t_PictureRows &rows, int width, int height,
                        uint32_t *target, int targetWidth, int targetHeight, int targetStride);

// The instruction sets the scaler may use, narrowest first.  It uses the
// widest the processor has; tests and benchmarks limit it to compare the
// paths.  Returns the widest now in use.
enum class t_ScaleInstructions { Plain, Ssse3, Avx2 };
t_ScaleInstructions t_LimitScaleInstructions(t_ScaleInstructions widest);

// The whole factor k when the target is exactly k times the source, else 0.
int t_WholeFactor(int width, int height, int targetWidth, int targetHeight);
