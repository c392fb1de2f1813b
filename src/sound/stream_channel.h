// The four streaming channels: each plays one stream from a ring of 8 segments in a sound
// buffer; 4 segments are decoded ahead and the worker refills one whenever the play cursor has
// left one.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "host/audio/mixer.h"
#include "lib/combase.h"

class IArchive;
class IStreamControl;

inline constexpr int kStreamChannelCount = 4;
inline constexpr std::uint32_t kRingSegments = 8;
inline constexpr std::uint32_t kPrefillSegments = 4;

enum StreamFlags : std::uint32_t {
    kStreamPlaying = 0x1,
    kStreamSourceEnded = 0x2,
    kStreamLoop = 0x4,
    kStreamStopRequested = 0x8,
    kStreamFading = 0x10,
};

struct StreamChannel;
using StreamFillCallback = int (*)(StreamChannel* channel, int mode);

struct StreamChannel {
    std::int32_t index = 0;
    std::uint32_t total_bytes = 0;        // PCM bytes of the whole stream
    std::uint32_t remaining_in_pass = 0;  // not yet decoded in this pass
    std::uint32_t write_cursor = 0;       // ring offset of the next segment to fill
    std::uint32_t refill_point = 0;       // last byte of a segment
    std::uint64_t bytes_played = 0;
    std::uint32_t segment_bytes = 0;  // S
    std::uint32_t ring_bytes = 0;     // T = 8 S
    std::uint32_t flags = 0;          // StreamFlags
    host::WaveFormat format;
    std::unique_ptr<host::SoundBuffer> buffer;  // null when the channel is free
    StreamFillCallback fill = nullptr;
    ComPtr<IStreamControl> control;
    std::int32_t fade_volume = 0;  // 0..255
    std::int32_t fade_step = 0;    // volume units per 100 ms
    std::uint32_t last_fade_time = 0;
    std::atomic<std::int32_t> stream_id{-1};  // read without the lock
};

void ClearStreamChannels();
int FindFreeChannel();
StreamChannel& GetStreamChannel(int n);
// The channel holding `stream_id`, or null (also for -1).
StreamChannel* FindStreamChannel(int stream_id);
// The next stream id (0, 1, ... wrapping within 31 bits); under the lock.
std::int32_t TakeNextStreamId();

int OpenStream(IArchive* archive, std::u16string_view name, int channel, int loop, int speed, int volume, int pan);
// Takes over the caller's reference on `control`.
int OpenStreamChannel(int channel, ComPtr<IStreamControl> control, int speed, int volume, int pan, int loop);
void ReleaseStreamChannel(StreamChannel& channel);
void SilenceAndReleaseChannel(StreamChannel& channel);
int FillStreamChannel(StreamChannel* channel, int mode);
void UpdateStreams();
// A buffer of `bytes` bytes for `format`; shows the failure box and gives null when it cannot be made.
std::unique_ptr<host::SoundBuffer> CreateStreamBuffer(const host::WaveFormat& format, std::uint32_t bytes);
