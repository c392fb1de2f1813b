#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "lib/report.h"
#include "lib/scope_guard.h"
#include "sound/pcm16.h"
#include "sound/sound.h"
#include "sound/stream_channel.h"
#include "sound/stream_control.h"

struct CStreamControl_Ogg::DecoderState {
    OggVorbis_File file{};
    CStreamControl_Ogg* owner = nullptr;
    bool open = false;
    // Set once the library has reported damage it cannot decode. After a failed set-up the
    // library keeps a half-built decoder that a later read or seek would use (and crash in),
    // so the stream is never touched again.
    bool broken = false;
};

namespace {

IStreamReader* ReaderOf(void* source) { return static_cast<CStreamControl_Ogg*>(source)->GetReader(); }

size_t ReadCallback(void* buffer, size_t size, size_t count, void* source) {
    if (size == 0 || count == 0) return 0;
    const size_t wanted = std::min<size_t>(count, UINT32_MAX / size) * size;
    const std::uint32_t got = ReaderOf(source)->Read(buffer, static_cast<std::uint32_t>(wanted));
    return got / size;
}

int SeekCallback(void* source, ogg_int64_t offset, int origin) {
    // A failed seek must say so, or the decoder reads from the wrong place believing it moved.
    return ReaderOf(source)->Seek(offset, origin) < 0 ? -1 : 0;
}

long TellCallback(void* source) { return static_cast<long>(ReaderOf(source)->Tell()); }

const ov_callbacks kCallbacks = {ReadCallback, SeekCallback, nullptr, TellCallback};

// How near its end a stream must hold a whole page. The library finds a stream's length by
// looking back from the end for its last page, a chunk of this size at a time, reading on to the
// end again for each chunk: a tail without pages (a download cut short and filled with zeros)
// costs time in the square of its size before the open fails or goes on. A page is at most
// 65,307 bytes, so a stream that ends with a page has one starting in this window, and there the
// library's search ends with its first chunk.
constexpr std::uint32_t kLastPageWindow = 64 << 10;

// Whether a whole page (capture pattern "OggS" and checksum) starts in the last kLastPageWindow
// bytes of the reader's stream. The reader is left at the stream's start.
bool HasPageNearEnd(IStreamReader& reader) {
    const auto window = static_cast<std::uint32_t>(std::min<std::uint64_t>(reader.GetSize(), kLastPageWindow));
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    const ScopeExit clear([&sync] { ogg_sync_clear(&sync); });
    char* tail = ogg_sync_buffer(&sync, static_cast<long>(window));
    if (!tail || reader.Seek(-static_cast<std::int64_t>(window), kStreamSeekEnd) < 0) return false;
    const std::uint32_t got = reader.Read(tail, window);
    if (reader.Seek(0, kStreamSeekSet) != 0 || ogg_sync_wrote(&sync, static_cast<long>(got)) != 0) return false;
    ogg_page page;
    for (;;) {
        const long step = ogg_sync_pageseek(&sync, &page);
        if (step > 0) return true;
        if (step == 0) return false;  // what is left is no whole page
    }
}

}  // namespace

ComPtr<IStreamControl> CreateOggStreamControl(IStreamReader* reader) {
    auto* control = new (std::nothrow) CStreamControl_Ogg(reader);
    if (!control) {
        if (reader) reader->Release();
        return nullptr;
    }
    return ComPtr<IStreamControl>::Adopt(control);
}

CStreamControl_Ogg::CStreamControl_Ogg(IStreamReader* reader)
    : CStreamControl(reader), state_(std::make_unique<DecoderState>()) {
    state_->owner = this;
}

CStreamControl_Ogg::~CStreamControl_Ogg() { Close(); }

int CStreamControl_Ogg::Open(std::u16string_view name) {
    Close();
    if (!reader_ || !reader_->Open(name)) return 0;
    if (!HasPageNearEnd(*reader_)) {
        DebugOutput(FormatString(u"Ogg stream '%s': no page near its end; taken as broken\n", name));
        reader_->Close();
        return 0;
    }
    // The callbacks find the control through the data source pointer.
    if (ov_open_callbacks(state_->owner, &state_->file, nullptr, 0, kCallbacks) != 0) {
        reader_->Close();
        return 0;
    }
    state_->open = true;
    const vorbis_info* info = ov_info(&state_->file, -1);
    const ogg_int64_t samples = ov_pcm_total(&state_->file, -1);
    if (!info || info->channels <= 0 || info->channels > 255 || info->rate <= 0 || info->rate > INT32_MAX ||
        samples < 0) {
        Close();
        return 0;
    }
    const std::uint64_t block_align = 2u * static_cast<std::uint32_t>(info->channels);
    const std::uint64_t total = static_cast<std::uint64_t>(samples) * block_align;
    if (total > UINT32_MAX) {  // the channel counts bytes in 32 bits
        Close();
        return 0;
    }
    format_ = {};
    format_.format_tag = host::kWaveFormatPcm;
    format_.channels = static_cast<std::uint16_t>(info->channels);
    format_.samples_per_sec = static_cast<std::uint32_t>(info->rate);
    format_.bits_per_sample = 16;
    format_.block_align = static_cast<std::uint16_t>(block_align);
    format_.avg_bytes_per_sec = static_cast<std::uint32_t>(block_align * format_.samples_per_sec);
    total_bytes_ = static_cast<std::uint32_t>(total);
    return 1;
}

void CStreamControl_Ogg::Close() {
    if (state_->open) ov_clear(&state_->file);
    state_->open = false;
    state_->broken = false;
    state_->file = {};
    if (reader_) reader_->Close();
}

int CStreamControl_Ogg::Rewind() {
    if (state_->open && !state_->broken && ov_pcm_seek(&state_->file, 0) != 0) state_->broken = true;
    return 1;
}

void CStreamControl_Ogg::GetBufferSizes(StreamChannel* channel) {
    channel->segment_bytes = StreamSegmentBytes(channel->format, StreamBufferUnit);
    channel->ring_bytes = kRingSegments * channel->segment_bytes;
}

std::uint32_t CStreamControl_Ogg::Decode(std::uint8_t* buffer, std::uint32_t bytes) {
    if (!state_->open || state_->broken) return 0;
    // The library hands out its decoded floats, and they are interleaved straight into the
    // buffer: one pass, where its own 16-bit read converts one sample at a time.
    const std::uint32_t frame_bytes = format_.block_align;
    std::uint32_t done = 0;
    while (done < bytes) {
        const std::uint32_t frames = std::min<std::uint32_t>((bytes - done) / frame_bytes, INT_MAX);
        if (frames == 0) break;  // not room for a whole frame
        int link = 0;
        float** pcm = nullptr;
        const long got = ov_read_float(&state_->file, &pcm, static_cast<int>(frames), &link);
        if (got == OV_HOLE) continue;  // a gap in the data: decoding goes on after it
        if (got == 0) break;           // the end
        if (got < 0) {                 // damage the decoder cannot get past: the stream ends here, for good
            state_->broken = true;
            break;
        }
        // A chained stream whose later part has another layout cannot be played as this one.
        const vorbis_info* info = ov_info(&state_->file, link);
        if (!info || info->channels != format_.channels) break;
        InterleavePcm16(pcm, format_.channels, static_cast<std::size_t>(got), buffer + done);
        done += static_cast<std::uint32_t>(got) * frame_bytes;
    }
    return done;
}

std::uint32_t CStreamControl_Ogg::ReadPCM(StreamChannel* channel, std::uint8_t* buffer, std::uint32_t bytes) {
    const std::uint32_t total = channel->total_bytes;
    // An empty stream cannot be looped: it only ever gives silence.
    const bool loops = (channel->flags & kStreamLoop) && total > 0;
    const std::uint8_t silence = host::SilenceByte(format_);
    auto decode_exactly = [&](std::uint8_t* at, std::uint32_t count) {
        const std::uint32_t got = Decode(at, count);
        std::memset(at + got, silence, count - got);
        return got;
    };

    if (channel->flags & kStreamSourceEnded) {
        if (!loops) {
            std::memset(buffer, silence, bytes);
            return 0;
        }
        channel->remaining_in_pass = total;
        channel->flags &= ~kStreamSourceEnded;
        Rewind();
    }
    std::uint32_t remaining = std::min(channel->remaining_in_pass, total);
    if (bytes <= remaining) {
        const std::uint32_t got = decode_exactly(buffer, bytes);
        remaining -= bytes;
        channel->remaining_in_pass = remaining;
        if (remaining == 0) channel->flags |= kStreamSourceEnded;
        return got;
    }

    std::uint32_t got = decode_exactly(buffer, remaining);
    std::uint32_t filled = remaining;
    if (!loops) {
        std::memset(buffer + filled, silence, bytes - filled);
        channel->flags |= kStreamSourceEnded;
        channel->remaining_in_pass = 0;
        return got;
    }
    // Each new pass starts from the stream's beginning, as often as the request needs. Whole
    // passes after the first are copies of it, so that a very short loop does not cost one
    // seek and decode per pass; the last, partial pass is decoded so that the decoder stands
    // where the next read goes on.
    const std::uint8_t* first_pass = nullptr;
    std::uint32_t first_pass_decoded = 0;
    while (filled < bytes) {
        const std::uint32_t take = std::min(bytes - filled, total);
        if (first_pass && take == total) {
            std::memcpy(buffer + filled, first_pass, total);
            got += first_pass_decoded;
        } else {
            Rewind();
            const std::uint32_t decoded = decode_exactly(buffer + filled, take);
            got += decoded;
            if (take == total && !first_pass) {
                first_pass = buffer + filled;
                first_pass_decoded = decoded;
            }
        }
        filled += take;
        remaining = total - take;
    }
    channel->remaining_in_pass = remaining;
    if (remaining == 0) channel->flags |= kStreamSourceEnded;
    return got;
}
