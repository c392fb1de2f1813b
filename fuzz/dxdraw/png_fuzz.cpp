// The png decoder on arbitrary bytes, and the image conversion of whatever it accepts.
#include <cstddef>
#include <cstdint>

#include "dxdraw/dib.h"
#include "dxdraw/dximage.h"
#include "dxdraw/picture_decoders.h"
#include "fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SilenceReports();
    const DxDraw::DibBuffer dib = DecodePngToDib({data, size});
    if (dib) {
        DxDraw::DxImage image(32);
        image.LoadFromDib(dib.bytes());
    }
    DxDraw::DxImage direct(32);
    DecodePngToImage(direct, {data, size});
    return 0;
}
