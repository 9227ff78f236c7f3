// Builds the image file of a fuzz input (see fuzz_engine.h).
#include "fuzz_engine.h"
#include "image.h"
#include "maintenance.h"
#include "volume.h"

#include <algorithm>

struct FuzzGeometry {
    size_t FileBytes;
    std::vector<uint8_t> Signature;
};

static const FuzzGeometry geometries[8] = {
    {65536, {}},
    {143360, {0x01, 0xA5, 0x27, 0xC9, 0x09, 0xD0, 0x13, 0x8A}},
    {143360, {0x01, 0xA5, 0x27, 0xC9}},
    {131072, {0x01, 0x8A, 0x4A, 0x4A}},   // 800K layout, short: 8-bit block numbers
    {262144, {}},
    {143360 + 700, {0x01, 0xA5, 0x27, 0xC9, 0x09, 0xD0, 0x13, 0x8A}},   // a part track at the end
    {819200, {0x01, 0x8A, 0x4A, 0x4A}},
    {526336, {}},                          // 514K: 16-bit block numbers
};

Text fuzz_ImageOf(const uint8_t *data, size_t size) {
    if (size == 0) return Text();
    if (!(data[0] & 0x80)) return Text(std::vector<uint8_t>(data + 1, data + size));
    const FuzzGeometry &g = geometries[data[0] & 7];
    Text file{std::vector<uint8_t>(g.FileBytes, 0)};
    std::copy(g.Signature.begin(), g.Signature.end(), file.Elements.begin());
    cpm_Volume v = cpm_InitVolume(fuzz_Unrefused(cpm_OpenImage(file, "blank")));
    size_t room = size_t(v.Geometry.DirBlocks) * size_t(v.Geometry.BlockSize);
    std::copy(data + 1, data + 1 + std::min(size - 1, room), v.Image.data() + v.Geometry.DataStart);
    return cpm_FileImage(v);
}
