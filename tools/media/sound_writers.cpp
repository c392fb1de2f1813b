#include "sound_writers.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace media {

namespace {

// The libvorbis encoder state, torn down in reverse order of set-up.
class VorbisEncoder {
public:
    VorbisEncoder(int rate, int channels, float quality) {
        vorbis_info_init(&info_);
        if (vorbis_encode_init_vbr(&info_, channels, rate, quality) != 0) {
            vorbis_info_clear(&info_);
            throw std::runtime_error("libvorbisenc refuses the encoding parameters");
        }
        vorbis_comment_init(&comment_);
        vorbis_analysis_init(&dsp_, &info_);
        vorbis_block_init(&dsp_, &block_);
        // A fixed serial number keeps the output reproducible.
        ogg_stream_init(&stream_, 0x51424C31);
    }
    ~VorbisEncoder() {
        ogg_stream_clear(&stream_);
        vorbis_block_clear(&block_);
        vorbis_dsp_clear(&dsp_);
        vorbis_comment_clear(&comment_);
        vorbis_info_clear(&info_);
    }
    VorbisEncoder(const VorbisEncoder&) = delete;
    VorbisEncoder& operator=(const VorbisEncoder&) = delete;

    template <class Sample>
    std::vector<std::uint8_t> Encode(std::span<const Sample> pcm, int channels, float scale) {
        ogg_packet header, commentHeader, codeHeader;
        vorbis_analysis_headerout(&dsp_, &comment_, &header, &commentHeader, &codeHeader);
        ogg_stream_packetin(&stream_, &header);
        ogg_stream_packetin(&stream_, &commentHeader);
        ogg_stream_packetin(&stream_, &codeHeader);
        ogg_page page;
        while (ogg_stream_flush(&stream_, &page) != 0) Append(page);

        constexpr std::size_t kChunk = 4096;
        const std::size_t frames = pcm.size() / static_cast<std::size_t>(channels);
        for (std::size_t at = 0; at < frames; at += kChunk) {
            const std::size_t n = std::min(kChunk, frames - at);
            float** buffer = vorbis_analysis_buffer(&dsp_, static_cast<int>(n));
            for (std::size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] = std::clamp(static_cast<float>(pcm[(at + i) * channels + c]) * scale, -1.0f, 1.0f);
            vorbis_analysis_wrote(&dsp_, static_cast<int>(n));
            Drain();
        }
        vorbis_analysis_wrote(&dsp_, 0);
        Drain();
        while (ogg_stream_flush(&stream_, &page) != 0) Append(page);
        return std::move(out_);
    }

private:
    void Drain() {
        while (vorbis_analysis_blockout(&dsp_, &block_) == 1) {
            vorbis_analysis(&block_, nullptr);
            vorbis_bitrate_addblock(&block_);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp_, &packet) == 1) {
                ogg_stream_packetin(&stream_, &packet);
                ogg_page page;
                while (ogg_stream_pageout(&stream_, &page) != 0) Append(page);
            }
        }
    }
    void Append(const ogg_page& page) {
        out_.insert(out_.end(), page.header, page.header + page.header_len);
        out_.insert(out_.end(), page.body, page.body + page.body_len);
    }

    vorbis_info info_{};
    vorbis_comment comment_{};
    vorbis_dsp_state dsp_{};
    vorbis_block block_{};
    ogg_stream_state stream_{};
    std::vector<std::uint8_t> out_;
};

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutChunk(std::vector<std::uint8_t>& out, const char* id, std::span<const std::uint8_t> body) {
    out.insert(out.end(), id, id + 4);
    Put32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1) out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> EncodeOggVorbis(std::span<const float> interleaved, int rate, int channels, float quality) {
    return VorbisEncoder(rate, channels, quality).Encode(interleaved, channels, 1.0f);
}

std::vector<std::uint8_t> EncodeOggVorbis(std::span<const std::int16_t> interleaved, int rate, int channels,
                                          float quality) {
    return VorbisEncoder(rate, channels, quality).Encode(interleaved, channels, 1.0f / 32768.0f);
}

std::vector<std::uint8_t> MakeWave(std::span<const std::uint8_t> pcm, int rate, int channels, int bits,
                                   std::span<const std::uint8_t> listChunk) {
    std::vector<std::uint8_t> format;
    const int align = channels * bits / 8;
    Put16(format, 1);
    Put16(format, static_cast<std::uint32_t>(channels));
    Put32(format, static_cast<std::uint32_t>(rate));
    Put32(format, static_cast<std::uint32_t>(rate * align));
    Put16(format, static_cast<std::uint32_t>(align));
    Put16(format, static_cast<std::uint32_t>(bits));
    std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    PutChunk(out, "fmt ", format);
    if (!listChunk.empty()) PutChunk(out, "LIST", listChunk);
    PutChunk(out, "data", pcm);
    const auto riff = static_cast<std::uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
    return out;
}

}  // namespace media
