// Decoding and mixing four 44.1 kHz stereo streams, beside the library alone decoding the same
// four streams (the reference) and the mixer alone. The "realtime" counter is seconds of
// sound per second of work: the target is >= 200 for the four streams on one core.
#include <benchmark/benchmark.h>
#include <vorbis/vorbisfile.h>

#include <cstring>
#include <memory>
#include <vector>

#include "host/audio/test_audio_device.h"
#include "sound/sound.h"
#include "sound/stream_channel.h"
#include "sound/tone.h"

namespace {

constexpr int kRate = 44100;

// A 4 s stereo stream standing in for game music: two tones over a bed of noise, different on
// each side, at the quality such music is usually encoded with (about 128 kbit/s).
const std::vector<std::uint8_t>& Music() {
    static const std::vector<std::uint8_t> bytes = [] {
        auto a = soundtest::Sine(441.0, 4.0, kRate, 2, 0.3);
        auto b = soundtest::Sine(1234.5, 4.0, kRate, 2, 0.2);
        std::uint32_t noise = 12345;
        for (std::size_t i = 0; i < a.size(); ++i) {
            noise = noise * 1664525u + 1013904223u;
            const int hiss = static_cast<int>(noise >> 20) - 2048;  // about -36 dB
            a[i] = static_cast<std::int16_t>(a[i] + (i % 2 ? b[i] : 0) + hiss);
        }
        return soundtest::EncodeOggVorbis(a, kRate, 2, 0.4f);
    }();
    return bytes;
}

void SetRealtime(benchmark::State& state, double seconds_per_iteration) {
    state.counters["realtime"] = benchmark::Counter(seconds_per_iteration * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}

// The reference: the library alone decoding four streams from memory, one second of each per
// iteration, with nothing around it.
class MemoryDecoder {
public:
    explicit MemoryDecoder(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {
        ov_callbacks callbacks{};
        callbacks.read_func = [](void* out, size_t size, size_t count, void* self) -> size_t {
            auto* d = static_cast<MemoryDecoder*>(self);
            const size_t n = std::min(size * count, d->bytes_.size() - d->at_);
            std::memcpy(out, d->bytes_.data() + d->at_, n);
            d->at_ += n;
            return n / size;
        };
        callbacks.seek_func = [](void* self, ogg_int64_t offset, int whence) -> int {
            auto* d = static_cast<MemoryDecoder*>(self);
            const ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? d->at_ : d->bytes_.size();
            d->at_ = static_cast<size_t>(base + offset);
            return 0;
        };
        callbacks.tell_func = [](void* self) -> long {
            return static_cast<long>(static_cast<MemoryDecoder*>(self)->at_);
        };
        ok_ = ov_open_callbacks(this, &file_, nullptr, 0, callbacks) == 0;
    }
    ~MemoryDecoder() {
        if (ok_) ov_clear(&file_);
    }
    bool ok() const { return ok_; }
    // Decodes `bytes` bytes, starting over at the end.
    void Decode(char* out, std::size_t bytes) {
        std::size_t done = 0;
        while (done < bytes) {
            int link;
            const long got = ov_read(&file_, out + done, static_cast<int>(bytes - done), 0, 2, 1, &link);
            if (got <= 0) {
                ov_pcm_seek(&file_, 0);
                continue;
            }
            done += static_cast<std::size_t>(got);
        }
    }

private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t at_ = 0;
    OggVorbis_File file_{};
    bool ok_ = false;
};

void BM_ReferenceDecodeFourStreams(benchmark::State& state) {
    std::vector<std::unique_ptr<MemoryDecoder>> decoders;
    for (int i = 0; i < 4; ++i) decoders.push_back(std::make_unique<MemoryDecoder>(Music()));
    if (!decoders[0]->ok()) {
        state.SkipWithError("open");
        return;
    }
    std::vector<char> pcm(kRate * 4);
    for (auto _ : state) {
        for (auto& decoder : decoders) decoder->Decode(pcm.data(), pcm.size());
        benchmark::DoNotOptimize(pcm.data());
    }
    SetRealtime(state, 1.0);
}
BENCHMARK(BM_ReferenceDecodeFourStreams)->Unit(benchmark::kMillisecond);

// The whole path: four looping streams on the four channels, refilled by the worker's ticks
// and mixed by the device, one second of sound per iteration.
void BM_FourStreamsDecodeAndMix(benchmark::State& state) {
    soundtest::TempFolder folder;
    const auto file = folder.Write("music.ogg", Music());
    auto owned = std::make_unique<host::TestAudioDevice>(kRate);
    host::TestAudioDevice* device = owned.get();
    device->set_capturing(false);
    SoundParams params;
    InitSound(&params, std::move(owned));
    for (int channel = 0; channel < 4; ++channel)
        if (StartStream(nullptr, Utf8ToUtf16(file.string()), channel, 1, 4096, -600, 0) < 0) {
            state.SkipWithError("stream did not start");
            TermSound();
            return;
        }
    for (auto _ : state) device->Advance(1000);
    TermSound();
    SetRealtime(state, 1.0);
}
BENCHMARK(BM_FourStreamsDecodeAndMix)->Unit(benchmark::kMillisecond);

// The mixer alone with four playing stereo buffers, one second of output per iteration.
void BM_MixFourBuffers(benchmark::State& state) {
    host::Mixer mixer(kRate);
    host::WaveFormat format{host::kWaveFormatPcm, 2, kRate, kRate * 4, 4, 16, 0};
    std::vector<std::unique_ptr<host::SoundBuffer>> buffers(4);
    for (auto& buffer : buffers) {
        mixer.CreateBuffer(format, 8 * 88200, &buffer);
        buffer->SetVolume(-600);
        buffer->Play(true);
    }
    buffers[3]->SetFrequency(22050);  // one resampled
    std::vector<std::int16_t> out(2 * kRate);
    for (auto _ : state) {
        mixer.Mix(out.data(), kRate);
        benchmark::DoNotOptimize(out.data());
    }
    SetRealtime(state, 1.0);
}
BENCHMARK(BM_MixFourBuffers)->Unit(benchmark::kMillisecond);

}  // namespace
