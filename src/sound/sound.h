// The sound subsystem's interface: one output device, four streaming channels fed by Ogg Vorbis
// decoders, 128 sound-effect slots, one lock and a worker thread that refills the streams every
// 10 ms. Volumes are attenuations in hundredths of a decibel (-10000 to 0); the game's 0..255
// scale is converted by VolumeToAttenuation. With sound off every function stays callable and
// does nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "host/audio/audio_device.h"
#include "lib/combase.h"

class IArchive;

struct SoundParams {
    std::int32_t enabled = 1;           // 0 leaves sound off
    std::uint32_t sample_rate = 44100;  // of the output
    std::uint32_t channels = 2;
    std::uint32_t bits_per_sample = 16;
    std::uint32_t cooperative_level = 2;
    std::int32_t high_priority = 0;      // nonzero: the worker asks for the higher priority
    std::int32_t make_music_player = 0;  // no music player exists here; must be 0
};

// Length of one ring segment of a stream in eighths of a second; set before InitSound.
extern std::uint32_t StreamBufferUnit;

// Starts sound on `device`, or on the default output device when none is given. Returns 0 also
// when sound stays off (disabled, or no device could be opened).
HRESULT InitSound(const SoundParams* params, std::unique_ptr<host::AudioDevice> device = nullptr);
void TermSound();
int IsSoundAvailable();

// The sound lock (re-entrant).
void LockSound();
void UnlockSound();
class SoundLockHolder {
public:
    SoundLockHolder() { LockSound(); }
    ~SoundLockHolder() { UnlockSound(); }
    SoundLockHolder(const SoundLockHolder&) = delete;
    SoundLockHolder& operator=(const SoundLockHolder&) = delete;
};

// Opens and starts a stream from `archive` (or from a disk file when null) on `channel` (0..3,
// or -1 for the lowest free one). Speed is in 1/4096 (4096 = as recorded). Returns the stream
// id, or -1.
int StartStream(IArchive* archive, std::u16string_view name, int channel, int loop, int speed, int volume, int pan);
void StopStream(int stream_id);
void StopChannel(int channel);
int GetChannelStreamId(int channel);
int IsStreamPlaying(int stream_id);
int GetStreamState(int stream_id);  // 0 stopped or unknown, 1 playing, 2 fading
int SetStreamVolume(int stream_id, int volume);
void SetMasterVolume(int volume);
int VolumeToAttenuation(int volume);

// Loads a RIFF WAVE image into a slot (0..127), replacing what was there.
void LoadSoundEffect(int slot, const void* image, std::uint32_t size);
