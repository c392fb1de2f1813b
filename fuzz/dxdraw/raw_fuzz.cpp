// The raw 16-bit picture record on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "dxdraw/dximage.h"
#include "dxdraw/picture_decoders.h"
#include "fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SilenceReports();
    DxDraw::DxImage image(16);
    LoadRawImage16(image, {data, size});
    return 0;
}
