#include "sound_file.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace mkdemo {

namespace {

std::ofstream OpenForWriting(const std::filesystem::path& path) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    if (!out) throw std::runtime_error("cannot write " + path.string());
    return out;
}

// The libvorbis encoder state, torn down in reverse order of set-up.
class VorbisEncoder {
public:
    VorbisEncoder(const Sound& sound, float quality) {
        vorbis_info_init(&info_);
        if (vorbis_encode_init_vbr(&info_, 1, sound.rate, quality) != 0) {
            vorbis_info_clear(&info_);
            throw std::runtime_error("libvorbisenc refuses the encoding parameters");
        }
        vorbis_comment_init(&comment_);
        vorbis_comment_add_tag(&comment_, "ENCODER", "mkdemo");
        vorbis_analysis_init(&dsp_, &info_);
        vorbis_block_init(&dsp_, &block_);
        // A fixed serial number keeps the build reproducible.
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

    void Encode(const Sound& sound, std::ofstream& out) {
        ogg_packet header, commentHeader, codeHeader;
        vorbis_analysis_headerout(&dsp_, &comment_, &header, &commentHeader, &codeHeader);
        ogg_stream_packetin(&stream_, &header);
        ogg_stream_packetin(&stream_, &commentHeader);
        ogg_stream_packetin(&stream_, &codeHeader);
        ogg_page page;
        while (ogg_stream_flush(&stream_, &page) != 0) Write(page, out);

        constexpr std::size_t kChunk = 4096;
        for (std::size_t at = 0; at < sound.samples.size(); at += kChunk) {
            std::size_t n = std::min(kChunk, sound.samples.size() - at);
            float** buffer = vorbis_analysis_buffer(&dsp_, int(n));
            for (std::size_t i = 0; i < n; ++i) buffer[0][i] = std::clamp(sound.samples[at + i], -1.0f, 1.0f);
            vorbis_analysis_wrote(&dsp_, int(n));
            Drain(out);
        }
        vorbis_analysis_wrote(&dsp_, 0);
        Drain(out);
    }

private:
    void Drain(std::ofstream& out) {
        while (vorbis_analysis_blockout(&dsp_, &block_) == 1) {
            vorbis_analysis(&block_, nullptr);
            vorbis_bitrate_addblock(&block_);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp_, &packet) == 1) {
                ogg_stream_packetin(&stream_, &packet);
                ogg_page page;
                while (ogg_stream_pageout(&stream_, &page) != 0) Write(page, out);
            }
        }
        ogg_page page;
        while (ogg_stream_flush(&stream_, &page) != 0) Write(page, out);
    }
    static void Write(const ogg_page& page, std::ofstream& out) {
        out.write(reinterpret_cast<const char*>(page.header), page.header_len);
        out.write(reinterpret_cast<const char*>(page.body), page.body_len);
    }

    vorbis_info info_{};
    vorbis_comment comment_{};
    vorbis_dsp_state dsp_{};
    vorbis_block block_{};
    ogg_stream_state stream_{};
};

}  // namespace

void WriteOgg(const std::filesystem::path& path, const Sound& sound, float quality) {
    std::ofstream out = OpenForWriting(path);
    VorbisEncoder encoder(sound, quality);
    encoder.Encode(sound, out);
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteWav(const std::filesystem::path& path, const Sound& sound) {
    std::ofstream out = OpenForWriting(path);
    auto u16 = [&](std::uint16_t v) { out.put(char(v & 255)).put(char(v >> 8)); };
    auto u32 = [&](std::uint32_t v) { u16(std::uint16_t(v & 0xFFFF)), u16(std::uint16_t(v >> 16)); };
    std::uint32_t bytes = std::uint32_t(sound.samples.size() * 2);
    out.write("RIFF", 4), u32(36 + bytes), out.write("WAVE", 4);
    out.write("fmt ", 4), u32(16), u16(1), u16(1), u32(sound.rate), u32(sound.rate * 2), u16(2), u16(16);
    out.write("data", 4), u32(bytes);
    for (float s : sound.samples) u16(std::uint16_t(std::int16_t(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f))));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace mkdemo
