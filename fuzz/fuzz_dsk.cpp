// libFuzzer target: the CPCEMU DSK and Extended DSK codec.  Byte 0 picks
// the signature (bit 0: Extended); the rest is the file after its first
// eight bytes.
#include "fuzz_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    const char *magic = (data[0] & 1) ? "EXTENDED" : "MV - CPC";
    Text file(magic);
    file.Elements.insert(file.Elements.end(), data + 1, data + size);
    fuzz_Codec(fuzz_CodecNamed((data[0] & 1) ? "Extended DSK" : "CPCEMU DSK"), file);
    return 0;
}
