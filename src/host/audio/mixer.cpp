#include "host/audio/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace host {

float AttenuationToGain(std::int32_t hundredths_db) {
    if (hundredths_db <= kVolumeMin) return 0.0f;
    if (hundredths_db >= 0) return 1.0f;
    return static_cast<float>(std::pow(10.0, hundredths_db / 2000.0));
}

// ---- SoundBuffer ------------------------------------------------------------------------------

SoundBuffer::SoundBuffer(Mixer& mixer, const WaveFormat& format, std::uint32_t bytes)
    : mixer_(mixer),
      format_(format),
      data_(bytes, format.bits_per_sample == 8 ? 0x80 : 0),
      staging_(bytes),
      frame_count_(bytes / format.block_align),
      frequency_(format.samples_per_sec) {}

SoundBuffer::~SoundBuffer() {
    std::lock_guard hold(mixer_.mutex_);
    auto& list = mixer_.buffers_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

AudioResult SoundBuffer::Lock(std::uint32_t offset, std::uint32_t bytes, Region* region) {
    if (!region) return kAudioInvalidParam;
    *region = {};
    const std::uint32_t total = size();
    if (bytes == 0) bytes = total;
    if (offset >= total || bytes > total) return kAudioInvalidParam;
    std::lock_guard hold(mixer_.mutex_);
    if (lost_) return kAudioBufferLost;
    if (locked_) return kAudioInvalidCall;
    const std::uint32_t first = std::min(bytes, total - offset);
    std::memcpy(staging_.data() + offset, data_.data() + offset, first);
    std::memcpy(staging_.data(), data_.data(), bytes - first);
    region->first = staging_.data() + offset;
    region->first_bytes = first;
    if (bytes > first) {
        region->second = staging_.data();
        region->second_bytes = bytes - first;
    }
    locked_ = true;
    lock_offset_ = offset;
    lock_bytes_ = bytes;
    return kAudioOk;
}

AudioResult SoundBuffer::Unlock(const Region& region) {
    std::lock_guard hold(mixer_.mutex_);
    if (!locked_ || region.first != staging_.data() + lock_offset_) return kAudioInvalidParam;
    locked_ = false;
    if (lost_) return kAudioBufferLost;
    const std::uint32_t first = std::min(lock_bytes_, size() - lock_offset_);
    std::memcpy(data_.data() + lock_offset_, staging_.data() + lock_offset_, first);
    std::memcpy(data_.data(), staging_.data(), lock_bytes_ - first);
    return kAudioOk;
}

AudioResult SoundBuffer::Play(bool looping) {
    std::lock_guard hold(mixer_.mutex_);
    if (lost_) return kAudioBufferLost;
    playing_ = true;
    looping_ = looping;
    return kAudioOk;
}

AudioResult SoundBuffer::Stop() {
    std::lock_guard hold(mixer_.mutex_);
    playing_ = false;
    return kAudioOk;
}

AudioResult SoundBuffer::GetStatus(std::uint32_t* status) const {
    if (!status) return kAudioInvalidParam;
    std::lock_guard hold(mixer_.mutex_);
    *status = (playing_ ? kBufferPlaying : 0) | (playing_ && looping_ ? kBufferLooping : 0) | (lost_ ? kBufferLost : 0);
    return kAudioOk;
}

AudioResult SoundBuffer::GetCurrentPosition(std::uint32_t* play, std::uint32_t* write) const {
    std::lock_guard hold(mixer_.mutex_);
    if (lost_) return kAudioBufferLost;
    // The mixer takes whole blocks at once, so everything before the play cursor has been read.
    const std::uint32_t offset = position_ * format_.block_align;
    if (play) *play = offset;
    if (write) *write = offset;
    return kAudioOk;
}

AudioResult SoundBuffer::SetCurrentPosition(std::uint32_t offset) {
    std::lock_guard hold(mixer_.mutex_);
    if (lost_) return kAudioBufferLost;
    if (offset >= size()) return kAudioInvalidParam;
    position_ = offset / format_.block_align;
    fraction_ = 0;
    return kAudioOk;
}

AudioResult SoundBuffer::SetVolume(std::int32_t volume) {
    if (volume < kVolumeMin || volume > kVolumeMax) return kAudioInvalidParam;
    std::lock_guard hold(mixer_.mutex_);
    volume_ = volume;
    UpdateGains();
    return kAudioOk;
}

AudioResult SoundBuffer::GetVolume(std::int32_t* volume) const {
    if (!volume) return kAudioInvalidParam;
    std::lock_guard hold(mixer_.mutex_);
    *volume = volume_;
    return kAudioOk;
}

AudioResult SoundBuffer::SetPan(std::int32_t pan) {
    if (pan < kPanLeft || pan > kPanRight) return kAudioInvalidParam;
    std::lock_guard hold(mixer_.mutex_);
    pan_ = pan;
    UpdateGains();
    return kAudioOk;
}

AudioResult SoundBuffer::GetPan(std::int32_t* pan) const {
    if (!pan) return kAudioInvalidParam;
    std::lock_guard hold(mixer_.mutex_);
    *pan = pan_;
    return kAudioOk;
}

AudioResult SoundBuffer::SetFrequency(std::uint32_t frequency) {
    if (frequency == 0) frequency = format_.samples_per_sec;
    if (frequency < kFrequencyMin || frequency > kFrequencyMax) return kAudioInvalidParam;
    std::lock_guard hold(mixer_.mutex_);
    frequency_ = frequency;
    return kAudioOk;
}

AudioResult SoundBuffer::GetFrequency(std::uint32_t* frequency) const {
    if (!frequency) return kAudioInvalidParam;
    std::lock_guard hold(mixer_.mutex_);
    *frequency = frequency_;
    return kAudioOk;
}

AudioResult SoundBuffer::Restore() {
    std::lock_guard hold(mixer_.mutex_);
    lost_ = false;
    return kAudioOk;
}

void SoundBuffer::UpdateGains() {
    const float gain = AttenuationToGain(volume_);
    // A positive pan attenuates the left side, a negative one the right side.
    left_gain_ = gain * (pan_ > 0 ? AttenuationToGain(-pan_) : 1.0f);
    right_gain_ = gain * (pan_ < 0 ? AttenuationToGain(pan_) : 1.0f);
}

namespace {

// Reads one frame as a left/right pair in 16-bit units.
template <int Bits, int Channels>
inline void ReadFrame(const std::uint8_t* data, std::uint32_t frame, float& left, float& right) {
    if constexpr (Bits == 16) {
        std::int16_t s[Channels];
        std::memcpy(s, data + static_cast<std::size_t>(frame) * 2 * Channels, sizeof s);
        left = s[0];
        right = s[Channels - 1];
    } else {
        const std::uint8_t* p = data + static_cast<std::size_t>(frame) * Channels;
        left = static_cast<float>((p[0] - 128) * 256);
        right = static_cast<float>((p[Channels - 1] - 128) * 256);
    }
}

struct Cursor {
    std::uint32_t position;
    std::uint32_t fraction;
    bool playing;
};

// Mixes one buffer; returns the cursor after the last frame taken.
template <int Bits, int Channels>
Cursor MixFrames(const std::uint8_t* data, std::uint32_t frame_count, bool looping, Cursor cursor,
                 std::uint64_t step, float* out, std::size_t frames, float left_gain, float right_gain) {
    const std::uint32_t whole = static_cast<std::uint32_t>(step >> 32);
    const std::uint32_t part = static_cast<std::uint32_t>(step);
    std::size_t i = 0;
    // Played at the output rate: frames map one to one up to the end of the ring.
    if (step == (std::uint64_t{1} << 32) && cursor.fraction == 0) {
        while (i < frames) {
            const std::size_t run = std::min<std::size_t>(frames - i, frame_count - cursor.position);
            for (std::size_t k = 0; k < run; ++k, ++i) {
                float l, r;
                ReadFrame<Bits, Channels>(data, cursor.position + static_cast<std::uint32_t>(k), l, r);
                out[2 * i] += l * left_gain;
                out[2 * i + 1] += r * right_gain;
            }
            cursor.position += static_cast<std::uint32_t>(run);
            if (cursor.position == frame_count) {
                if (!looping) return {0, 0, false};
                cursor.position = 0;
            }
        }
        return cursor;
    }
    for (; i < frames; ++i) {
        float l, r;
        ReadFrame<Bits, Channels>(data, cursor.position, l, r);
        if (cursor.fraction != 0) {
            std::uint32_t next = cursor.position + 1;
            float nl = 0.0f, nr = 0.0f;
            if (next < frame_count) {
                ReadFrame<Bits, Channels>(data, next, nl, nr);
            } else if (looping) {
                ReadFrame<Bits, Channels>(data, 0, nl, nr);
            }
            const float t = static_cast<float>(cursor.fraction) * (1.0f / 4294967296.0f);
            l += (nl - l) * t;
            r += (nr - r) * t;
        }
        out[2 * i] += l * left_gain;
        out[2 * i + 1] += r * right_gain;

        const std::uint64_t sum = static_cast<std::uint64_t>(cursor.fraction) + part;
        cursor.fraction = static_cast<std::uint32_t>(sum);
        std::uint64_t position = static_cast<std::uint64_t>(cursor.position) + whole + (sum >> 32);
        if (position >= frame_count) {
            if (!looping) return {0, 0, false};
            position %= frame_count;
        }
        cursor.position = static_cast<std::uint32_t>(position);
    }
    return cursor;
}

}  // namespace

void SoundBuffer::MixInto(float* accumulator, std::size_t frames, float master_gain) {
    if (!playing_ || lost_ || frame_count_ == 0) return;
    const std::uint64_t step = (static_cast<std::uint64_t>(frequency_) << 32) / mixer_.output_rate_;
    const float left = left_gain_ * master_gain;
    const float right = right_gain_ * master_gain;
    Cursor cursor{position_, fraction_, true};
    const std::uint8_t* data = data_.data();
    const int kind = format_.bits_per_sample * 10 + format_.channels;
    switch (kind) {
        case 161: cursor = MixFrames<16, 1>(data, frame_count_, looping_, cursor, step, accumulator, frames, left, right); break;
        case 162: cursor = MixFrames<16, 2>(data, frame_count_, looping_, cursor, step, accumulator, frames, left, right); break;
        case 81: cursor = MixFrames<8, 1>(data, frame_count_, looping_, cursor, step, accumulator, frames, left, right); break;
        case 82: cursor = MixFrames<8, 2>(data, frame_count_, looping_, cursor, step, accumulator, frames, left, right); break;
        default: cursor.playing = false; break;
    }
    position_ = cursor.position;
    fraction_ = cursor.fraction;
    playing_ = cursor.playing;
}

// ---- Mixer ------------------------------------------------------------------------------------

Mixer::Mixer(std::uint32_t output_rate) : output_rate_(output_rate), accumulator_(2 * kBlockFrames) {}

Mixer::~Mixer() = default;

AudioResult Mixer::CreateBuffer(const WaveFormat& format, std::uint32_t bytes, std::unique_ptr<SoundBuffer>* out) {
    if (!out) return kAudioInvalidParam;
    out->reset();
    if (!IsPlayableFormat(format)) return kAudioBadFormat;
    if (bytes == 0 || bytes % format.block_align != 0) return kAudioInvalidParam;
    std::unique_ptr<SoundBuffer> buffer;
    try {
        buffer.reset(new SoundBuffer(*this, format, bytes));
    } catch (const std::bad_alloc&) {
        return kAudioOutOfMemory;
    }
    std::lock_guard hold(mutex_);
    buffers_.push_back(buffer.get());
    *out = std::move(buffer);
    return kAudioOk;
}

AudioResult Mixer::SetMasterVolume(std::int32_t volume) {
    if (volume < kVolumeMin || volume > kVolumeMax) return kAudioInvalidParam;
    std::lock_guard hold(mutex_);
    master_volume_ = volume;
    master_gain_ = AttenuationToGain(volume);
    return kAudioOk;
}

std::int32_t Mixer::master_volume() const {
    std::lock_guard hold(mutex_);
    return master_volume_;
}

std::size_t Mixer::buffer_count() const {
    std::lock_guard hold(mutex_);
    return buffers_.size();
}

void Mixer::Mix(std::int16_t* out, std::size_t frames) {
    std::lock_guard hold(mutex_);
    while (frames > 0) {
        const std::size_t block = std::min(frames, kBlockFrames);
        float* acc = accumulator_.data();
        std::fill(acc, acc + 2 * block, 0.0f);
        for (SoundBuffer* buffer : buffers_) buffer->MixInto(acc, block, master_gain_);
        for (std::size_t i = 0; i < 2 * block; ++i) {
            out[i] = static_cast<std::int16_t>(std::lrint(std::clamp(acc[i], -32768.0f, 32767.0f)));
        }
        out += 2 * block;
        frames -= block;
    }
}

void Mixer::LoseAllBuffers() {
    std::lock_guard hold(mutex_);
    for (SoundBuffer* buffer : buffers_) {
        buffer->lost_ = true;
        buffer->playing_ = false;
        std::fill(buffer->data_.begin(), buffer->data_.end(), buffer->format_.bits_per_sample == 8 ? 0x80 : 0);
    }
}

}  // namespace host
