// BMP files on arbitrary bytes, converted into both image depths.
#include <cstddef>
#include <cstdint>

#include "dxdraw/dib.h"
#include "dxdraw/dximage.h"
#include "fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SilenceReports();
    const auto view = DxDraw::ParseBmpFile({data, size});
    if (view) {
        DxDraw::DxImage image32(32), image16(16);
        DxDraw::ConvertDibToImage(image32, *view);
        DxDraw::ConvertDibToImage(image16, *view);
    }
    DxDraw::DxImage packed(32);
    packed.LoadFromDib({data, size});
    return 0;
}
