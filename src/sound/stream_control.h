// Stream controls turn a byte source into PCM for a streaming channel and drive the channel's
// ring (start, prefill, refill, stop). CStreamControl holds what every decoder shares;
// CStreamControl_Ogg decodes Ogg Vorbis.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "host/audio/wave_format.h"
#include "lib/combase.h"
#include "sound/stream_reader.h"

struct StreamChannel;

class IStreamControl : public IUnknown {
public:
    static constexpr const IID& kIid = IID_IUnknown;
    virtual int Open(std::u16string_view name) = 0;
    virtual int Stop(StreamChannel* channel) = 0;
    virtual int Start(StreamChannel* channel, int speed, int volume, int pan, int loop) = 0;
    virtual int IsReady() = 0;
    virtual int Rewind() = 0;
    // Fills `bytes` bytes of `buffer` and returns the bytes decoded (the rest is silence).
    virtual std::uint32_t ReadPCM(StreamChannel* channel, std::uint8_t* buffer, std::uint32_t bytes) = 0;
    virtual const host::WaveFormat* GetFormat() = 0;
    virtual std::uint32_t GetTotalBytes() = 0;
    virtual IStreamReader* GetReader() = 0;
    virtual int Fill(StreamChannel* channel, int mode) = 0;
    // Sets the channel's segment and ring sizes from its format.
    virtual void GetBufferSizes(StreamChannel* channel) = 0;
    virtual int Prefill(StreamChannel* channel) = 0;
    virtual void Close() = 0;

protected:
    ~IStreamControl() = default;
};

class CStreamControl : public CComImpl<IStreamControl> {
public:
    // Takes over the caller's reference on `reader`.
    explicit CStreamControl(IStreamReader* reader) : reader_(ComPtr<IStreamReader>::Adopt(reader)) {}

    int Stop(StreamChannel* channel) override;
    int Start(StreamChannel* channel, int speed, int volume, int pan, int loop) override;
    int Rewind() override { return 1; }
    const host::WaveFormat* GetFormat() override { return &format_; }
    IStreamReader* GetReader() override { return reader_.Get(); }
    int Fill(StreamChannel* channel, int mode) override;
    int Prefill(StreamChannel* channel) override;

protected:
    host::WaveFormat format_;
    ComPtr<IStreamReader> reader_;
};

// Segment size S of a channel: `unit` eighths of a second of its format, a whole number of
// blocks, at least one block; and at most what keeps the ring (8 S) within kMaxRingBytes.
std::uint32_t StreamSegmentBytes(const host::WaveFormat& format, std::uint32_t unit);
inline constexpr std::uint32_t kMaxRingBytes = 64u << 20;

class CStreamControl_Ogg final : public CStreamControl {
public:
    explicit CStreamControl_Ogg(IStreamReader* reader);
    ~CStreamControl_Ogg() override;

    int Open(std::u16string_view name) override;
    int IsReady() override { return 1; }
    int Rewind() override;
    std::uint32_t ReadPCM(StreamChannel* channel, std::uint8_t* buffer, std::uint32_t bytes) override;
    std::uint32_t GetTotalBytes() override { return total_bytes_; }
    void GetBufferSizes(StreamChannel* channel) override;
    void Close() override;

private:
    struct DecoderState;
    // Decodes up to `bytes` bytes; stops at the end of the stream or at damage it cannot pass.
    std::uint32_t Decode(std::uint8_t* buffer, std::uint32_t bytes);

    std::uint32_t total_bytes_ = 0;
    std::unique_ptr<DecoderState> state_;
};

// A new Ogg control over `reader` (taking over the caller's reference), or null when memory runs out.
ComPtr<IStreamControl> CreateOggStreamControl(IStreamReader* reader);
