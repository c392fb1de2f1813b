#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <system_error>
#include <thread>

#include "sound/sound.h"
#include "sound/sound_effects.h"
#include "sound/sound_system.h"
#include "sound/stream_channel.h"

std::uint32_t StreamBufferUnit = 4;

namespace {

// The device and the worker; everything else of the subsystem lives with its own part.
struct SoundDevice {
    std::unique_ptr<host::AudioDevice> device;
    std::atomic<bool> sound_on{false};
    std::thread worker;
};

SoundThreadBlock g_thread_block;
SoundDevice g_sound;

enum : int { kPriorityAboveNormal = 1, kPriorityHighest = 2 };

std::uint32_t OutputRate(std::uint32_t asked) {
    return asked >= host::kFrequencyMin && asked <= host::kFrequencyMax ? asked : 44100;
}

// Best effort: raising a thread's priority needs a privilege that a desktop user rarely has.
void RaiseThisThreadPriority(int priority) {
    const int nice = priority == kPriorityHighest ? -10 : -5;
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice);
}

void SoundThreadProc(SoundThreadBlock* block) {
    RaiseThisThreadPriority(block->priority);
    while (!block->stop.load()) {
        RunSoundWorkerTick();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

host::Mixer* GetSoundMixer() { return g_sound.device ? &g_sound.device->GetMixer() : nullptr; }

std::uint32_t SoundClockMilliseconds() { return g_sound.device ? g_sound.device->NowMilliseconds() : 0; }

void RunSoundWorkerTick() {
    SoundLockHolder hold;
    RestoreLostSoundBuffers();
    UpdateStreams();
}

HRESULT InitSound(const SoundParams* params, std::unique_ptr<host::AudioDevice> device) {
    TermSound();  // a second start must not leave a running worker behind
    ClearSoundEffectSlots();
    ClearStreamChannels();
    g_thread_block.stop = false;
    g_thread_block.priority = params && params->high_priority ? kPriorityHighest : kPriorityAboveNormal;
    g_sound.sound_on = false;
    if (!params || !params->enabled) return S_OK;
    if (!device) device = host::OpenSdlAudioDevice(OutputRate(params->sample_rate));
    if (!device) return S_OK;  // no device: sound stays off, quietly

    g_sound.device = std::move(device);
    g_sound.sound_on = true;
    // The music player is never made here: there is no segment-based music.
    if (g_sound.device->SetPeriodicTick(RunSoundWorkerTick)) return S_OK;
    try {
        g_sound.worker = std::thread(SoundThreadProc, &g_thread_block);
    } catch (const std::system_error&) {
        // Without its worker nothing would refill the streams: sound stays off.
        g_sound.sound_on = false;
        g_sound.device.reset();
    }
    return S_OK;
}

void TermSound() {
    if (!g_sound.sound_on) return;
    g_thread_block.stop = true;
    if (g_sound.worker.joinable()) g_sound.worker.join();
    g_sound.device->SetPeriodicTick(nullptr);
    {
        SoundLockHolder hold;
        g_sound.sound_on = false;
        FreeSoundEffectSlots();
        for (int i = 0; i < kStreamChannelCount; ++i) ReleaseStreamChannel(GetStreamChannel(i));
    }
    g_sound.device.reset();
}

int IsSoundAvailable() { return g_sound.sound_on ? 1 : 0; }

void LockSound() { g_thread_block.lock.lock(); }
void UnlockSound() { g_thread_block.lock.unlock(); }

int StartStream(IArchive* archive, std::u16string_view name, int channel, int loop, int speed, int volume, int pan) {
    SoundLockHolder hold;
    return OpenStream(archive, name, channel, loop, speed, volume, pan);
}

namespace {

void RequestStop(StreamChannel* channel) {
    if (!channel || !channel->buffer || !(channel->flags & kStreamPlaying)) return;
    channel->flags |= kStreamStopRequested;
    UpdateStreams();
}

}  // namespace

void StopStream(int stream_id) {
    SoundLockHolder hold;
    RequestStop(FindStreamChannel(stream_id));
}

void StopChannel(int channel) {
    if (channel < 0 || channel >= kStreamChannelCount) return;
    SoundLockHolder hold;
    RequestStop(&GetStreamChannel(channel));
}

int GetChannelStreamId(int channel) {
    if (channel < 0 || channel >= kStreamChannelCount) return -1;
    return GetStreamChannel(channel).stream_id.load();
}

int IsStreamPlaying(int stream_id) {
    SoundLockHolder hold;
    const StreamChannel* channel = FindStreamChannel(stream_id);
    return channel && channel->buffer && (channel->flags & kStreamPlaying) ? 1 : 0;
}

int GetStreamState(int stream_id) {
    SoundLockHolder hold;
    const StreamChannel* channel = FindStreamChannel(stream_id);
    if (!channel) return 0;
    if (channel->flags & kStreamFading) return 2;
    return channel->buffer && (channel->flags & kStreamPlaying) ? 1 : 0;
}

int SetStreamVolume(int stream_id, int volume) {
    if (stream_id == -1) return 0;
    SoundLockHolder hold;
    if (!g_sound.sound_on) return 1;
    StreamChannel* channel = FindStreamChannel(stream_id);
    if (!channel || !channel->buffer) return 0;
    channel->buffer->SetVolume(volume);
    return 1;
}

void SetMasterVolume(int volume) {
    if (host::Mixer* mixer = GetSoundMixer()) mixer->SetMasterVolume(volume);
}

int VolumeToAttenuation(int volume) {
    if (volume <= 0) return -10000;
    if (volume >= 255) return 0;
    return static_cast<int>(1000.0 * std::log10(volume / 255.0));
}
