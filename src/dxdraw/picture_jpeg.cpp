// JPEG glue: libjpeg reads from memory (the library's memory source ends short data with a
// fake end-of-image marker) and writes B, G, R rows straight into the DIB. A library error
// jumps back into a small frame that owns no C++ objects.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

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

// Warnings (corrupt data the library skipped over, a missing end marker) are traced, not shown.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    TraceLibraryMessage(u"libjpeg warning: ", text);
    ++cinfo->err->num_warnings;
}

void JpegProgressMonitor(j_common_ptr common) {
    auto* progress = reinterpret_cast<JpegProgress*>(common->progress);
    if (progress->cinfo->input_scan_number > kMaxScans) {
        TraceLibraryMessage(u"libjpeg: ", "too many scans, picture refused");
        std::longjmp(reinterpret_cast<JpegErrorManager*>(common->err)->jump, 1);
    }
}

// Reads the header and starts decompression to B, G, R rows. Owns nothing: a library error
// lands on the setjmp and returns 0.
int StartJpeg(j_decompress_ptr cinfo, JpegErrorManager* errors) {
    if (setjmp(errors->jump)) return 0;
    jpeg_read_header(cinfo, TRUE);
    // CMYK pictures would need their own colour conversion; they are not accepted.
    if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) return 0;
    if (cinfo->image_width > static_cast<JDIMENSION>(DxDraw::kMaxImageDimension) ||
        cinfo->image_height > static_cast<JDIMENSION>(DxDraw::kMaxImageDimension))
        return 0;
    cinfo->out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(cinfo);
    return cinfo->output_components == 3 ? 1 : 0;
}

// Decodes every row, the first one into the DIB's last row. Owns nothing, as above.
int ReadJpegRows(j_decompress_ptr cinfo, JpegErrorManager* errors, std::uint8_t* bottomRow, std::size_t stride) {
    if (setjmp(errors->jump)) return 0;
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = bottomRow - static_cast<std::size_t>(cinfo->output_scanline) * stride;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return 0;
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
    if (!StartJpeg(reader.cinfo(), reader.errors())) return {};

    const auto width = static_cast<std::int32_t>(reader.cinfo()->output_width);
    const auto height = static_cast<std::int32_t>(reader.cinfo()->output_height);
    DibBuffer dib = DibBuffer::Create(width, height, 24, 0);
    if (!dib) return {};
    const std::size_t stride = DxDraw::DibStride(width, 24);
    if (!ReadJpegRows(reader.cinfo(), reader.errors(), dib.rows() + (height - 1) * stride, stride)) return {};
    return dib;
}
