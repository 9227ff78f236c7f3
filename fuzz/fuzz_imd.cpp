// libFuzzer target: the ImageDisk codec.  The input is the file after its
// "IMD " signature.
#include "fuzz_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Text file("IMD ");
    file.Elements.insert(file.Elements.end(), data, data + size);
    fuzz_Codec(fuzz_CodecNamed("ImageDisk"), file);
    return 0;
}
