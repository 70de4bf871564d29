// png2bmp: the program's PNG to 8-bit BMP conversion as a process of its
// own, so that it can be timed beside other converters.
#include <cstdio>

#include "imaging/png_to_bmp.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: png2bmp IN.png OUT.bmp\n", stderr);
        return 2;
    }
    const nimbrel::ConvertResult r = nimbrel::convertPngToBmp(argv[2], argv[1]);
    if (!r.ok()) {
        std::fprintf(stderr, "png2bmp: %s: %s %s\n", argv[1], nimbrel::pngStatusText(r.status),
                     r.detail.c_str());
        return 1;
    }
    return 0;
}
