// JPEG glue: libjpeg reads from memory (the library's memory source ends short data with a
// fake end-of-image marker) and writes B, G, R rows straight into the DIB, or B, G, R, X rows
// straight into a 32-bit image. A library error jumps back into a small frame that owns no C++
// objects.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <emmintrin.h>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include "dxdraw/library_messages.h"
#include "dxdraw/picture_decoders.h"

namespace {

using DxDraw::DibBuffer;

// A hostile progressive file can hold thousands of tiny scans; real pictures have a dozen.
constexpr int kMaxScans = 1000;
// Whole-image buffers beyond this fail instead of growing (no backing store is configured).
constexpr long kMaxLibraryMemory = 512L << 20;

struct JpegErrorManager {
    jpeg_error_mgr library;
    std::jmp_buf jump;
    int endsOfData = 0;  // times the library found the data at its end
};

struct JpegProgress {
    jpeg_progress_mgr library;
    j_decompress_ptr cinfo;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

void JpegOutputMessage(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    ShowLibraryMessage(text, u"", u"JPEG Library Error", LibraryMessageKind::Error);
}

// True for a warning that says the entropy-coded data ran out (or was cut by a marker) before
// the picture was complete, or that the data ended inside the headers or was asked for past its
// end more than once: the library would fill the rest of the picture with grey and call it
// done, and to skip a segment longer than the data it would feed itself an end marker for
// every two bytes. Meeting the end once after the headers, while reading ahead past the last
// data (a file without its end marker), is not one: the picture is whole.
bool IsTruncation(j_common_ptr common) {
    const int code = common->err->msg_code;
    if (code == JWRN_HIT_MARKER) return true;
    if (code != JWRN_JPEG_EOF || !common->is_decompressor) return false;
    const int ends = ++reinterpret_cast<JpegErrorManager*>(common->err)->endsOfData;
    return reinterpret_cast<j_decompress_ptr>(common)->output_height == 0 || ends > 1;
}

// Warnings (corrupt data the library skipped over, a missing end marker after the last row) are
// traced, not shown; data that ends before the picture does fails the decode, as any other
// truncated picture does, and stops it before it spends time and memory on rows that do not exist.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    TraceLibraryMessage(u"libjpeg warning: ", text);
    ++cinfo->err->num_warnings;
    if (IsTruncation(cinfo)) {
        TraceLibraryMessage(u"libjpeg: ", "the data ends before the picture does, picture refused");
        std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
    }
}

void JpegProgressMonitor(j_common_ptr common) {
    auto* progress = reinterpret_cast<JpegProgress*>(common->progress);
    if (progress->cinfo->input_scan_number > kMaxScans) {
        TraceLibraryMessage(u"libjpeg: ", "too many scans, picture refused");
        std::longjmp(reinterpret_cast<JpegErrorManager*>(common->err)->jump, 1);
    }
}

// Reads the header and starts decompression to rows of the given colour space (B, G, R or
// B, G, R, X). Owns nothing: a library error lands on the setjmp and returns 0.
int StartJpeg(j_decompress_ptr cinfo, JpegErrorManager* errors, J_COLOR_SPACE space, int components) {
    if (setjmp(errors->jump)) return 0;
    jpeg_read_header(cinfo, TRUE);
    // CMYK pictures would need their own colour conversion; they are not accepted.
    if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) return 0;
    if (cinfo->image_width > static_cast<JDIMENSION>(DxDraw::kMaxImageDimension) ||
        cinfo->image_height > static_cast<JDIMENSION>(DxDraw::kMaxImageDimension))
        return 0;
    cinfo->out_color_space = space;
    jpeg_start_decompress(cinfo);
    return cinfo->output_components == components ? 1 : 0;
}

// Where decoded rows go: row y counted from the top at top + y * pitch (pitch negative for
// bottom-up rows). Without scratch the library writes the rows in place. With scratch (room
// for kBatch rows of B, G, R, X pixels) they are decoded there and copied into place with the
// X byte made this system's opaque alpha (0).
constexpr JDIMENSION kBatch = 16;

// Scratch rows are whole cache lines apart, so that all of them sit one pixel off alignment.
std::size_t ScratchPitch(JDIMENSION width) { return (4 * static_cast<std::size_t>(width) + 63) / 64 * 64; }

struct RowTarget {
    std::uint8_t* top;
    std::ptrdiff_t pitch;
    std::uint8_t* scratch = nullptr;
};

void CopyOpaque(std::uint8_t* dst, const std::uint8_t* src, JDIMENSION width) {
    const __m128i colours = _mm_set1_epi32(0x00FFFFFF);
    JDIMENSION x = 0;
    for (; x + 4 <= width; x += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x),
                         _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x)), colours));
    for (; x < width; ++x) {
        std::uint32_t pixel;
        std::memcpy(&pixel, src + 4 * x, 4);
        pixel &= 0x00FFFFFFu;
        std::memcpy(dst + 4 * x, &pixel, 4);
    }
}

// Decodes every row into the target, several at a time where the library's upsampling gives
// several. Owns nothing, as above.
int ReadJpegRows(j_decompress_ptr cinfo, JpegErrorManager* errors, const RowTarget& target) {
    if (setjmp(errors->jump)) return 0;
    JSAMPROW rows[kBatch];
    const std::size_t scratchPitch = ScratchPitch(cinfo->output_width);
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION first = cinfo->output_scanline;
        const JDIMENSION count = std::min(kBatch, cinfo->output_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = target.scratch ? target.scratch + i * scratchPitch
                                     : target.top + static_cast<std::ptrdiff_t>(first + i) * target.pitch;
        const JDIMENSION read = jpeg_read_scanlines(cinfo, rows, count);
        if (read == 0) return 0;
        if (target.scratch)
            for (JDIMENSION i = 0; i < read; ++i)
                CopyOpaque(target.top + static_cast<std::ptrdiff_t>(first + i) * target.pitch, rows[i],
                           cinfo->output_width);
    }
    jpeg_finish_decompress(cinfo);
    return 1;
}

class JpegReader {
public:
    JpegReader() {
        cinfo_.err = jpeg_std_error(&errors_.library);
        errors_.library.error_exit = JpegErrorExit;
        errors_.library.output_message = JpegOutputMessage;
        errors_.library.emit_message = JpegEmitMessage;
        jpeg_create_decompress(&cinfo_);
        cinfo_.mem->max_memory_to_use = kMaxLibraryMemory;
        progress_.library.progress_monitor = JpegProgressMonitor;
        progress_.cinfo = &cinfo_;
        cinfo_.progress = &progress_.library;
    }
    ~JpegReader() { jpeg_destroy_decompress(&cinfo_); }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    j_decompress_ptr cinfo() { return &cinfo_; }
    JpegErrorManager* errors() { return &errors_; }

private:
    jpeg_decompress_struct cinfo_{};
    JpegErrorManager errors_{};
    JpegProgress progress_{};
};

}  // namespace

DibBuffer DecodeJpegToDib(std::span<const std::uint8_t> data) {
    if (data.empty()) return {};
    JpegReader reader;
    jpeg_mem_src(reader.cinfo(), data.data(), static_cast<unsigned long>(data.size()));
    if (!StartJpeg(reader.cinfo(), reader.errors(), JCS_EXT_BGR, 3)) return {};

    const auto width = static_cast<std::int32_t>(reader.cinfo()->output_width);
    const auto height = static_cast<std::int32_t>(reader.cinfo()->output_height);
    DibBuffer dib = DibBuffer::Create(width, height, 24, 0);
    if (!dib) return {};
    const std::size_t stride = DxDraw::DibStride(width, 24);
    const RowTarget target{dib.rows() + (height - 1) * stride, -static_cast<std::ptrdiff_t>(stride)};
    if (!ReadJpegRows(reader.cinfo(), reader.errors(), target)) return {};
    return dib;
}

bool DecodeJpegToImage(DxDraw::DxImage& image, std::span<const std::uint8_t> data) {
    if (image.GetDepth() == 16) {
        const DibBuffer dib = DecodeJpegToDib(data);
        return dib && image.LoadFromDib(dib.bytes());
    }
    if (image.GetDepth() != 32 || data.empty()) return false;
    JpegReader reader;
    jpeg_mem_src(reader.cinfo(), data.data(), static_cast<unsigned long>(data.size()));
    if (!StartJpeg(reader.cinfo(), reader.errors(), JCS_EXT_BGRX, 4)) return false;

    // Sized as the conversion of the 24-bit DIB would size it: bottom-up rows.
    const auto width = static_cast<int>(reader.cinfo()->output_width);
    const auto height = static_cast<int>(reader.cinfo()->output_height);
    if (!image.Create(width, height) || !image.HasPixels()) return false;
    // The library streams rows that start on a vector boundary past the cache; the scratch rows
    // start one pixel off it, so they are still in the cache when they are copied into place
    // and their X bytes set, instead of being read back from memory.
    std::vector<std::uint8_t> scratch(kBatch * ScratchPitch(reader.cinfo()->output_width) + 64);
    std::uint8_t* const rows = scratch.data() + (68 - reinterpret_cast<std::uintptr_t>(scratch.data()) % 64) % 64;
    if (!ReadJpegRows(reader.cinfo(), reader.errors(),
                      RowTarget{image.GetPixelAddress(0, 0), image.GetPitch(), rows})) {
        image.Create(0, 0);  // no half-decoded picture left behind
        return false;
    }
    return true;
}
