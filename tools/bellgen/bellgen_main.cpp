// dw-bellgen: writes the bell sound of the toolkit, a 0.3 second chord.
//
//   dw-bellgen OUT.aif
#include <cstdio>

#include "aiff.h"
#include "files.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dw-bellgen OUT.aif\n");
        return 2;
    }
    constexpr uint32_t rate = 22050;
    const std::vector<uint8_t> bytes = snd_AiffBytes(snd_BellSamples(rate, 0.3), rate);
    if (setbinarytofile(argv[1], Text(bytes)) != 0) {
        std::fprintf(stderr, "dw-bellgen: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %zu bytes\n", argv[1], bytes.size());
    return 0;
}
