// libFuzzer target: any bytes as a DDS file, through our DDS reader: the header's checks, then
// the decoder of every stored level (DXT blocks and masked formats).
#include "d3dx9/image.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    D3DXIMAGE_INFO info{};
    if (FAILED(d3dx9::ReadDdsInfo(data, size, info))) return 0;
    d3dx9::DecodedImage image;
    if (FAILED(d3dx9::DecodeDds(data, size, image))) return 0;
    // What the header promised is what the decoder gives.
    if (image.levels.empty() || image.levels[0].width != info.Width ||
        image.levels[0].height != info.Height)
        __builtin_trap();
    for (const d3dx9::ArgbImage& level : image.levels)
        if (level.texels.size() != size_t(level.width) * level.height) __builtin_trap();
    return 0;
}
