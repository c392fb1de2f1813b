#include "sound/stream_channel.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "lib/report.h"
#include "sound/sound.h"
#include "sound/sound_system.h"
#include "sound/stream_control.h"

namespace {

std::array<StreamChannel, kStreamChannelCount> g_channels;
std::int32_t g_next_stream_id = 0;

bool IsChannelNumber(int n) { return n >= 0 && n < kStreamChannelCount; }

void ResetChannel(StreamChannel& channel, int index) {
    channel.buffer.reset();
    channel.control.Reset();
    channel.index = index;
    channel.total_bytes = channel.remaining_in_pass = channel.write_cursor = channel.refill_point = 0;
    channel.bytes_played = 0;
    channel.segment_bytes = channel.ring_bytes = 0;
    channel.flags = 0;
    channel.format = {};
    channel.fill = nullptr;
    channel.fade_volume = channel.fade_step = 0;
    channel.last_fade_time = 0;
    channel.stream_id = -1;
}

// Fading lowers the volume by the step for every 100 ms passed, and asks for a stop once silent.
void UpdateFade(StreamChannel& channel) {
    const std::uint32_t now = SoundClockMilliseconds();
    const std::uint32_t elapsed = now - channel.last_fade_time;
    if (elapsed < 100) return;
    if (channel.fade_volume == 0) {
        channel.flags |= kStreamStopRequested;
    } else {
        const std::int64_t drop = static_cast<std::int64_t>(elapsed / 100) * channel.fade_step;
        channel.fade_volume = static_cast<std::int32_t>(std::max<std::int64_t>(channel.fade_volume - drop, 0));
        channel.buffer->SetVolume(VolumeToAttenuation(channel.fade_volume));
    }
    channel.last_fade_time = now;
}

void UpdateChannel(StreamChannel& channel) {
    std::uint32_t status = 0;
    if (channel.buffer->GetStatus(&status) == host::kAudioOk && (status & host::kBufferLost)) channel.buffer->Restore();
    if (channel.flags & kStreamFading) UpdateFade(channel);
    if (channel.flags & kStreamStopRequested) {
        channel.buffer->Stop();
        ReleaseStreamChannel(channel);
        return;
    }
    std::uint32_t play = 0;
    if (channel.buffer->GetCurrentPosition(&play, nullptr) != host::kAudioOk) return;
    const std::uint32_t segment = channel.segment_bytes;
    const std::uint32_t ring = channel.ring_bytes;
    const std::uint32_t mark = channel.refill_point;
    // The cursor has entered the segment after the refill point: the one before it is free.
    const bool wrapped_mark = mark + 1 >= ring;
    const bool passed = wrapped_mark ? play < segment : (mark < play && play < mark + segment);
    if (passed) {
        channel.bytes_played += segment;
        if (channel.fill) channel.fill(&channel, 0);
        channel.refill_point = wrapped_mark ? segment - 1 : (mark + segment) % ring;
    }
    if (!channel.buffer) return;  // the refill released it
    if ((channel.flags & kStreamSourceEnded) && !(channel.flags & kStreamLoop) &&
        channel.bytes_played >= channel.total_bytes && channel.fill)
        channel.fill(&channel, 1);
}

}  // namespace

void ClearStreamChannels() {
    for (int i = 0; i < kStreamChannelCount; ++i) ResetChannel(g_channels[i], i);
}

int FindFreeChannel() {
    for (int i = 0; i < kStreamChannelCount; ++i)
        if (!g_channels[i].buffer) return i;
    return -1;
}

StreamChannel& GetStreamChannel(int n) { return g_channels.at(static_cast<std::size_t>(n)); }

StreamChannel* FindStreamChannel(int stream_id) {
    if (stream_id == -1) return nullptr;
    for (StreamChannel& channel : g_channels)
        if (channel.stream_id == stream_id) return &channel;
    return nullptr;
}

std::int32_t TakeNextStreamId() {
    const std::int32_t id = g_next_stream_id;
    g_next_stream_id = (id + 1) & 0x7FFFFFFF;
    return id;
}

std::unique_ptr<host::SoundBuffer> CreateStreamBuffer(const host::WaveFormat& format, std::uint32_t bytes) {
    std::unique_ptr<host::SoundBuffer> buffer;
    host::Mixer* mixer = GetSoundMixer();
    const host::AudioResult result = mixer ? mixer->CreateBuffer(format, bytes, &buffer) : host::kAudioInvalidCall;
    if (result != host::kAudioOk) {
        MessageBoxPrintf(u"DirectSound",
                         u"CreateStreamBuffer(%X)\r\n  wFormatTag=%4X\r\n  nChannels=%d\r\n  nSamplesPerSec=%d\r\n"
                         u"  nAvgBytesPerSec=%d\r\n  nBlockAlign=%d\r\n  wBitsPerSample=%d\r\n  cbSize=%d\r\n",
                         static_cast<std::uint32_t>(result), format.format_tag, format.channels, format.samples_per_sec,
                         format.avg_bytes_per_sec, format.block_align, format.bits_per_sample, format.extra_size);
        return nullptr;
    }
    return buffer;
}

void ReleaseStreamChannel(StreamChannel& channel) {
    if (channel.buffer) channel.buffer->Stop();
    channel.buffer.reset();
    channel.control.Reset();
    channel.flags = 0;
    channel.stream_id = -1;
}

void SilenceAndReleaseChannel(StreamChannel& channel) {
    if (channel.buffer && channel.segment_bytes > 0) {
        host::SoundBuffer::Region region;
        if (channel.buffer->Lock(0, kPrefillSegments * channel.segment_bytes, &region) == host::kAudioOk) {
            std::memset(region.first, 0, region.first_bytes);
            if (region.second) std::memset(region.second, 0, region.second_bytes);
            channel.buffer->Unlock(region);
        }
    }
    ReleaseStreamChannel(channel);
}

int FillStreamChannel(StreamChannel* channel, int mode) {
    SoundLockHolder hold;
    if (!channel->control) return 0;
    // The fill may release the channel, and with it the channel's reference on the control.
    ComPtr<IStreamControl> control = channel->control;
    return control->Fill(channel, mode);
}

void UpdateStreams() {
    SoundLockHolder hold;
    for (StreamChannel& channel : g_channels)
        if (channel.buffer) UpdateChannel(channel);
}

int OpenStreamChannel(int channel_number, ComPtr<IStreamControl> control, int speed, int volume, int pan, int loop) {
    if (!control) return -1;
    if (channel_number == -1) channel_number = FindFreeChannel();
    if (!IsChannelNumber(channel_number)) return -1;
    StreamChannel& channel = g_channels[channel_number];
    if (channel.buffer) return -1;
    channel.control = std::move(control);
    channel.fill = FillStreamChannel;
    ComPtr<IStreamControl> starting = channel.control;
    if (!starting->Start(&channel, speed, volume, pan, loop)) {
        SilenceAndReleaseChannel(channel);
        return -1;
    }
    return channel.stream_id;
}

int OpenStream(IArchive* archive, std::u16string_view name, int channel, int loop, int speed, int volume, int pan) {
    if (!IsSoundAvailable()) return -1;
    ComPtr<IStreamReader> reader;
    if (archive) {
        reader = ComPtr<IStreamReader>::Adopt(new CStreamArchiveReader(archive));
    } else {
        reader = ComPtr<IStreamReader>::Adopt(new CStreamFileReader());
    }
    ComPtr<IStreamControl> control = CreateOggStreamControl(reader.Detach());
    if (!control || !control->Open(name)) return -1;
    return OpenStreamChannel(channel, std::move(control), speed, volume, pan, loop);
}
