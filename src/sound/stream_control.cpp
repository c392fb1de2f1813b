#include "sound/stream_control.h"

#include <algorithm>
#include <cstring>

#include "sound/sound.h"
#include "sound/stream_channel.h"

std::uint32_t StreamSegmentBytes(const host::WaveFormat& format, std::uint32_t unit) {
    const std::uint64_t align = std::max<std::uint16_t>(format.block_align, 1);
    std::uint64_t bytes = (static_cast<std::uint64_t>(format.samples_per_sec) * format.block_align * unit) >> 3;
    // A zero size would make a ring of nothing (and a division by zero when wrapping).
    bytes = std::max<std::uint64_t>(bytes, 1);
    bytes = (bytes + align - 1) / align * align;
    const std::uint64_t largest = kMaxRingBytes / kRingSegments / align * align;
    return static_cast<std::uint32_t>(std::min(bytes, largest));
}

namespace {

void WriteSilence(const host::WaveFormat& format, std::uint8_t* data, std::uint32_t bytes) {
    std::memset(data, host::SilenceByte(format), bytes);
}

}  // namespace

int CStreamControl::Start(StreamChannel* channel, int speed, int volume, int pan, int loop) {
    channel->format = format_;
    // The speed changes pitch and duration together: the buffer plays at a scaled rate.
    const std::uint64_t factor = static_cast<std::uint32_t>(speed);
    channel->format.samples_per_sec =
        static_cast<std::uint32_t>(std::min<std::uint64_t>((format_.samples_per_sec * factor) >> 12, UINT32_MAX));
    channel->format.avg_bytes_per_sec =
        static_cast<std::uint32_t>(std::min<std::uint64_t>((format_.avg_bytes_per_sec * factor) >> 12, UINT32_MAX));
    GetBufferSizes(channel);
    channel->total_bytes = GetTotalBytes();
    channel->remaining_in_pass = channel->total_bytes;
    channel->flags = 0;
    channel->write_cursor = 0;
    channel->bytes_played = 0;

    channel->buffer = CreateStreamBuffer(channel->format, channel->ring_bytes);
    if (!channel->buffer) return 0;
    channel->flags = kStreamPlaying | (loop ? static_cast<std::uint32_t>(kStreamLoop) : 0u);
    if (!Prefill(channel)) return 0;

    channel->stream_id = TakeNextStreamId();
    host::SoundBuffer& buffer = *channel->buffer;
    buffer.SetPan(pan);
    buffer.SetVolume(volume);
    buffer.SetCurrentPosition(0);
    buffer.Play(true);
    return 1;
}

int CStreamControl::Prefill(StreamChannel* channel) {
    const std::uint32_t bytes = kPrefillSegments * channel->segment_bytes;
    host::SoundBuffer::Region region;
    if (channel->buffer->Lock(0, bytes, &region) != host::kAudioOk) return 0;
    if (region.second) {  // the ring holds 8 segments, so the first 4 never wrap
        channel->buffer->Unlock(region);
        return 0;
    }
    // A looping stream shorter than the prefill simply rewinds as often as needed.
    ReadPCM(channel, region.first, bytes);
    channel->write_cursor = bytes % channel->ring_bytes;
    channel->refill_point = channel->segment_bytes - 1;
    channel->bytes_played = 0;
    channel->buffer->Unlock(region);
    return 1;
}

int CStreamControl::Stop(StreamChannel* channel) {
    if (channel->buffer) channel->buffer->Stop();
    SilenceAndReleaseChannel(*channel);
    return 1;
}

int CStreamControl::Fill(StreamChannel* channel, int mode) {
    if (channel->flags & kStreamStopRequested) return Stop(channel);
    const bool ended = channel->flags & kStreamSourceEnded;
    const bool loops = channel->flags & kStreamLoop;
    if (mode == 1) return ended && !loops ? Stop(channel) : 1;
    if (mode != 0) return 1;

    const std::uint32_t segment = channel->segment_bytes;
    host::SoundBuffer::Region region;
    if (channel->buffer->Lock(channel->write_cursor, segment, &region) != host::kAudioOk) return 0;
    if (!ended || loops) {
        ReadPCM(channel, region.first, region.first_bytes);
        if (region.second) ReadPCM(channel, region.second, region.second_bytes);
    } else {
        WriteSilence(channel->format, region.first, region.first_bytes);
        if (region.second) WriteSilence(channel->format, region.second, region.second_bytes);
    }
    channel->buffer->Unlock(region);
    channel->write_cursor = (channel->write_cursor + segment) % channel->ring_bytes;
    return 1;
}
