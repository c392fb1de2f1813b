// Our own mixer of sound buffers.
//
// A sound buffer is a ring of PCM bytes with a play cursor, played once or looping, with a
// volume and pan in hundredths of a decibel and a playback rate that the mixer resamples to
// the output rate. The mixer adds every playing buffer into 16-bit stereo output, scaled by a
// master volume.
//
// Threads: Mix runs on the audio thread; every buffer call may come from any other thread. One
// short mutex guards the buffers' state; it is held only to mix and for the buffer calls
// themselves, never while a caller fills a locked region. A locked region is the ring's own
// memory, written in place with no copy; until Unlock the mixer never reads it and plays
// silence there, so filling a buffer never races with the mixer reading it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "host/audio/wave_format.h"

namespace host {

class Mixer;

class SoundBuffer {
public:
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    // The region of a lock: up to two pieces when the locked range wraps around the ring.
    struct Region {
        std::uint8_t* first = nullptr;
        std::uint32_t first_bytes = 0;
        std::uint8_t* second = nullptr;
        std::uint32_t second_bytes = 0;
    };

    const WaveFormat& format() const { return format_; }
    std::uint32_t size() const { return static_cast<std::uint32_t>(data_.size()); }

    // Lock gives the ring's `bytes` bytes from `offset` (wrapping at the end; 0 means the whole
    // buffer) to read and write until Unlock; meanwhile they play as silence. One lock at a time.
    AudioResult Lock(std::uint32_t offset, std::uint32_t bytes, Region* region);
    AudioResult Unlock(const Region& region);

    AudioResult Play(bool looping);
    AudioResult Stop();
    AudioResult GetStatus(std::uint32_t* status) const;
    // Byte offsets of the next frame to be played and of the first byte that is safe to write.
    AudioResult GetCurrentPosition(std::uint32_t* play, std::uint32_t* write) const;
    AudioResult SetCurrentPosition(std::uint32_t offset);
    AudioResult SetVolume(std::int32_t volume);
    AudioResult GetVolume(std::int32_t* volume) const;
    AudioResult SetPan(std::int32_t pan);
    AudioResult GetPan(std::int32_t* pan) const;
    // 0 restores the format's own rate.
    AudioResult SetFrequency(std::uint32_t frequency);
    AudioResult GetFrequency(std::uint32_t* frequency) const;
    // Makes a lost buffer usable again; its contents are silence until refilled.
    AudioResult Restore();

private:
    friend class Mixer;
    SoundBuffer(Mixer& mixer, const WaveFormat& format, std::uint32_t bytes);

    // Adds this buffer's sound to `accumulator` (stereo float pairs); called with the mutex held.
    void MixInto(float* accumulator, std::size_t frames, float master_gain);
    void UpdateGains();

    Mixer& mixer_;
    WaveFormat format_;
    std::vector<std::uint8_t> data_;
    std::uint32_t frame_count_;
    bool locked_ = false;
    std::uint32_t lock_offset_ = 0;
    std::uint32_t lock_bytes_ = 0;
    std::uint32_t locked_first_frame_ = 0;  // the frames the lock touches; 0 frames when unlocked
    std::uint32_t locked_frames_ = 0;

    bool playing_ = false;
    bool looping_ = false;
    bool lost_ = false;
    std::uint32_t position_ = 0;  // frame
    std::uint32_t fraction_ = 0;  // of a frame, in 1/2^32
    std::int32_t volume_ = 0;
    std::int32_t pan_ = 0;
    std::uint32_t frequency_;
    float left_gain_ = 1.0f;
    float right_gain_ = 1.0f;
};

class Mixer {
public:
    explicit Mixer(std::uint32_t output_rate);
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    std::uint32_t output_rate() const { return output_rate_; }

    // Makes a stopped buffer of `bytes` bytes (a whole number of frames) filled with silence.
    AudioResult CreateBuffer(const WaveFormat& format, std::uint32_t bytes, std::unique_ptr<SoundBuffer>* out);

    AudioResult SetMasterVolume(std::int32_t volume);
    std::int32_t master_volume() const;

    // Buffers that exist now.
    std::size_t buffer_count() const;

    // Writes `frames` frames of interleaved 16-bit stereo.
    void Mix(std::int16_t* out, std::size_t frames);

    // What losing the device does: every buffer stops and forgets its contents until restored.
    void LoseAllBuffers();

private:
    friend class SoundBuffer;
    static constexpr std::size_t kBlockFrames = 512;

    mutable std::mutex mutex_;
    std::uint32_t output_rate_;
    std::int32_t master_volume_ = 0;
    float master_gain_ = 1.0f;
    std::vector<SoundBuffer*> buffers_;  // registry; each buffer removes itself when destroyed
    std::vector<float> accumulator_;
};

// Gain of an attenuation in hundredths of a decibel (-10000 is silence).
float AttenuationToGain(std::int32_t hundredths_db);

}  // namespace host
