#include "sound/tone.h"

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace soundtest {

std::vector<std::int16_t> Sine(double hz, double seconds, int rate, int channels, double amplitude) {
    const auto frames = static_cast<std::size_t>(std::llround(seconds * rate));
    std::vector<std::int16_t> pcm(frames * channels);
    for (std::size_t i = 0; i < frames; ++i) {
        const double v = amplitude * 32767.0 * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c) pcm[i * channels + c] = static_cast<std::int16_t>(std::lround(v));
    }
    return pcm;
}

std::vector<std::uint8_t> EncodeOggVorbis(std::span<const std::int16_t> pcm, int rate, int channels, float quality) {
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) throw std::runtime_error("vorbis_encode_init_vbr");
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1234);

    std::vector<std::uint8_t> out;
    auto write_page = [&](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) write_page(page);

    const std::size_t frames = pcm.size() / channels;
    std::size_t done = 0;
    bool finished = false;
    while (!finished) {
        const std::size_t chunk = std::min<std::size_t>(4096, frames - done);
        if (chunk == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(chunk));
            for (std::size_t i = 0; i < chunk; ++i)
                for (int c = 0; c < channels; ++c) buffer[c][i] = pcm[(done + i) * channels + c] / 32768.0f;
            vorbis_analysis_wrote(&dsp, static_cast<int>(chunk));
            done += chunk;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    write_page(page);
                    if (ogg_page_eos(&page)) finished = true;
                }
            }
        }
        if (chunk == 0) finished = true;
    }
    while (ogg_stream_flush(&stream, &page) != 0) write_page(page);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

namespace {
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

std::vector<std::uint8_t> MakeWave(std::span<const std::uint8_t> pcm, int rate, int channels, int bits,
                                   std::span<const std::uint8_t> extra_chunk) {
    std::vector<std::uint8_t> format;
    const int align = channels * bits / 8;
    Put16(format, 1);
    Put16(format, channels);
    Put32(format, rate);
    Put32(format, rate * align);
    Put16(format, align);
    Put16(format, bits);
    std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    PutChunk(out, "fmt ", format);
    if (!extra_chunk.empty()) PutChunk(out, "LIST", extra_chunk);
    PutChunk(out, "data", pcm);
    const std::uint32_t riff = static_cast<std::uint32_t>(out.size() - 8);
    std::memcpy(out.data() + 4, &riff, 4);
    return out;
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "soundtest-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempFolder::Write(const std::string& name, std::span<const std::uint8_t> bytes) const {
    const std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::vector<std::uint8_t> DecodeWithLibrary(const std::filesystem::path& file) {
    OggVorbis_File vf;
    if (ov_fopen(file.c_str(), &vf) != 0) throw std::runtime_error("not Ogg Vorbis: " + file.string());
    std::vector<std::uint8_t> pcm;
    char chunk[4096];
    int link = 0;
    long got;
    while ((got = ov_read(&vf, chunk, sizeof chunk, 0, 2, 1, &link)) != 0) {
        if (got > 0)
            pcm.insert(pcm.end(), chunk, chunk + got);
        else if (got != OV_HOLE)
            break;
    }
    ov_clear(&vf);
    return pcm;
}

std::vector<double> Channel(std::span<const std::int16_t> stereo, int channel) {
    std::vector<double> out(stereo.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = stereo[2 * i + channel];
    return out;
}

double Rms(std::span<const double> samples) {
    if (samples.empty()) return 0.0;
    double sum = 0.0;
    for (double s : samples) sum += s * s;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

double LargestStep(std::span<const double> samples) {
    double largest = 0.0;
    for (std::size_t i = 1; i < samples.size(); ++i) largest = std::max(largest, std::abs(samples[i] - samples[i - 1]));
    return largest;
}

std::size_t SoundingLength(std::span<const double> samples, double threshold) {
    std::size_t first = samples.size(), last = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > threshold) {
            first = std::min(first, i);
            last = i;
        }
    }
    return first <= last && first < samples.size() ? last - first + 1 : 0;
}

std::size_t LongestQuietRun(std::span<const double> samples, double threshold) {
    std::size_t longest = 0, run = 0;
    for (double s : samples) {
        run = std::abs(s) < threshold ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

}  // namespace soundtest
