// The jpeg decoder on arbitrary bytes, the image conversion of whatever it accepts, and the
// straight decode into a 32-bit image.
#include <cstddef>
#include <cstdint>

#include "dxdraw/dib.h"
#include "dxdraw/dximage.h"
#include "dxdraw/picture_decoders.h"
#include "fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SilenceReports();
    const DxDraw::DibBuffer dib = DecodeJpegToDib({data, size});
    if (dib) {
        DxDraw::DxImage image(32);
        image.LoadFromDib(dib.bytes());
    }
    DxDraw::DxImage direct(32);
    DecodeJpegToImage(direct, {data, size});
    return 0;
}
