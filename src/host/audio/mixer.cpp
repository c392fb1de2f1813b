#include "host/audio/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/audio/mix_kernels.h"

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
      data_(bytes, SilenceByte(format)),
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
    region->first = data_.data() + offset;
    region->first_bytes = first;
    if (bytes > first) {
        region->second = data_.data();
        region->second_bytes = bytes - first;
    }
    locked_ = true;
    lock_offset_ = offset;
    lock_bytes_ = bytes;
    // Every frame the range touches, partly locked ones included.
    const std::uint32_t align = format_.block_align;
    locked_first_frame_ = offset / align;
    locked_frames_ = static_cast<std::uint32_t>(
        std::min<std::uint64_t>((std::uint64_t{offset % align} + bytes + align - 1) / align, frame_count_));
    return kAudioOk;
}

AudioResult SoundBuffer::Unlock(const Region& region) {
    std::lock_guard hold(mixer_.mutex_);
    if (!locked_ || region.first != data_.data() + lock_offset_) return kAudioInvalidParam;
    locked_ = false;
    locked_frames_ = 0;
    if (lost_) {
        // Lost while locked: what was written does not count, the buffer forgot its contents.
        const std::uint32_t first = std::min(lock_bytes_, size() - lock_offset_);
        std::memset(data_.data() + lock_offset_, SilenceByte(format_), first);
        std::memset(data_.data(), SilenceByte(format_), lock_bytes_ - first);
        return kAudioBufferLost;
    }
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

// Adds `count` frames from `frame` on, at the output rate, into stereo pairs.
template <int Bits, int Channels>
void AddFrames(const std::uint8_t* data, std::uint32_t frame, std::size_t count, float* out, float left_gain,
               float right_gain) {
    if constexpr (Bits == 16 && Channels == 2) {
        mix::AddStereo16(data + static_cast<std::size_t>(frame) * 4, count, out, left_gain, right_gain);
    } else {
        for (std::size_t k = 0; k < count; ++k) {
            float l, r;
            ReadFrame<Bits, Channels>(data, frame + static_cast<std::uint32_t>(k), l, r);
            out[2 * k] += l * left_gain;
            out[2 * k + 1] += r * right_gain;
        }
    }
}

// The frames of the ring that a lock holder may be writing: `count` frames from `first`,
// wrapping at the end of the ring. The mixer never reads them; they sound as silence.
struct LockedFrames {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    std::uint32_t frame_count = 1;

    bool Contains(std::uint32_t frame) const { return count != 0 && Into(frame) < count; }
    // Frames from `frame` on that are all locked or all unlocked, as `frame` is.
    std::uint32_t RunFrom(std::uint32_t frame) const {
        if (count == 0) return frame_count;
        const std::uint32_t into = Into(frame);
        return into < count ? count - into : frame_count - into;
    }
    // How far `frame` lies past the first locked frame, going round the ring.
    std::uint32_t Into(std::uint32_t frame) const {
        return static_cast<std::uint32_t>((std::uint64_t{frame} + frame_count - first) % frame_count);
    }
};

struct Cursor {
    std::uint32_t position;
    std::uint32_t fraction;
    bool playing;
};

// Mixes one buffer; returns the cursor after the last frame taken.
template <int Bits, int Channels>
Cursor MixFrames(const std::uint8_t* data, std::uint32_t frame_count, bool looping, const LockedFrames& locked,
                 Cursor cursor, std::uint64_t step, float* out, std::size_t frames, float left_gain, float right_gain) {
    const std::uint32_t whole = static_cast<std::uint32_t>(step >> 32);
    const std::uint32_t part = static_cast<std::uint32_t>(step);
    std::size_t i = 0;
    // Played at the output rate: frames map one to one, in runs up to the end of the ring or
    // to the edge of a locked range.
    if (step == (std::uint64_t{1} << 32) && cursor.fraction == 0) {
        while (i < frames) {
            const std::size_t run =
                std::min<std::size_t>({frames - i, frame_count - cursor.position, locked.RunFrom(cursor.position)});
            if (!locked.Contains(cursor.position))
                AddFrames<Bits, Channels>(data, cursor.position, run, out + 2 * i, left_gain, right_gain);
            i += run;
            cursor.position += static_cast<std::uint32_t>(run);
            if (cursor.position == frame_count) {
                if (!looping) return {0, 0, false};
                cursor.position = 0;
            }
        }
        return cursor;
    }
    auto read = [&](std::uint32_t frame, float& l, float& r) {
        if (locked.Contains(frame)) {
            l = r = 0.0f;
        } else {
            ReadFrame<Bits, Channels>(data, frame, l, r);
        }
    };
    for (; i < frames; ++i) {
        float l, r;
        read(cursor.position, l, r);
        if (cursor.fraction != 0) {
            std::uint32_t next = cursor.position + 1;
            float nl = 0.0f, nr = 0.0f;
            if (next < frame_count) {
                read(next, nl, nr);
            } else if (looping) {
                read(0, nl, nr);
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
    const LockedFrames locked{locked_first_frame_, locked_frames_, frame_count_};
    Cursor cursor{position_, fraction_, true};
    const std::uint8_t* data = data_.data();
    const int kind = format_.bits_per_sample * 10 + format_.channels;
    switch (kind) {
        case 161:
            cursor =
                MixFrames<16, 1>(data, frame_count_, looping_, locked, cursor, step, accumulator, frames, left, right);
            break;
        case 162:
            cursor =
                MixFrames<16, 2>(data, frame_count_, looping_, locked, cursor, step, accumulator, frames, left, right);
            break;
        case 81:
            cursor =
                MixFrames<8, 1>(data, frame_count_, looping_, locked, cursor, step, accumulator, frames, left, right);
            break;
        case 82:
            cursor =
                MixFrames<8, 2>(data, frame_count_, looping_, locked, cursor, step, accumulator, frames, left, right);
            break;
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
        mix::ToSamples(acc, 2 * block, out);
        out += 2 * block;
        frames -= block;
    }
}

void Mixer::LoseAllBuffers() {
    std::lock_guard hold(mutex_);
    for (SoundBuffer* buffer : buffers_) {
        buffer->lost_ = true;
        buffer->playing_ = false;
        // A locked range belongs to its holder until Unlock, which then silences it.
        const std::size_t size = buffer->size();
        const std::size_t kept_from = buffer->locked_ ? buffer->lock_offset_ : size;
        const std::size_t kept_end = kept_from + (buffer->locked_ ? buffer->lock_bytes_ : 0);
        const std::uint8_t silence = SilenceByte(buffer->format_);
        std::uint8_t* data = buffer->data_.data();
        if (kept_end <= size) {
            std::memset(data, silence, kept_from);
            std::memset(data + kept_end, silence, size - kept_end);
        } else {  // the lock wraps round the ring's end
            std::memset(data + (kept_end - size), silence, kept_from - (kept_end - size));
        }
    }
}

}  // namespace host
