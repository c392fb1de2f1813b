#include "sound/sound_effects.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "lib/report.h"
#include "sound/sound.h"
#include "sound/sound_system.h"

namespace {

std::array<SoundEffectSlot, kSoundEffectSlotCount> g_slots;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool ParseChunks(std::span<const std::uint8_t> image, host::WaveFormat* format, const std::uint8_t** data,
                 std::uint32_t* data_size) {
    if (image.size() < 12 || std::memcmp(image.data(), "RIFF", 4) != 0 || std::memcmp(image.data() + 8, "WAVE", 4) != 0)
        return false;
    // Chunks must lie inside both what the RIFF header claims and what the image really holds.
    const std::uint64_t end = std::min<std::uint64_t>(8ull + U32(image.data() + 4), image.size());
    bool want_format = format != nullptr;
    bool want_data = data != nullptr || data_size != nullptr;
    std::uint64_t at = 12;
    while (want_format || want_data) {
        if (at + 8 > end) return false;
        const std::uint8_t* header = image.data() + at;
        const std::uint32_t size = U32(header + 4);
        const std::uint64_t body = at + 8;
        if (body + size > end) return false;
        const std::uint8_t* p = image.data() + body;
        if (want_format && std::memcmp(header, "fmt ", 4) == 0) {
            if (size < 14) return false;
            *format = {};
            format->format_tag = U16(p);
            format->channels = U16(p + 2);
            format->samples_per_sec = U32(p + 4);
            format->avg_bytes_per_sec = U32(p + 8);
            format->block_align = U16(p + 12);
            // Only what the chunk holds is read. A chunk of 14 (or 15) bytes is the old format
            // record, which has no sample size: a block holds one sample of each channel, so the
            // sample size is the block's share of one channel. A block that does not split evenly
            // leaves it 0, which no buffer plays.
            if (size >= 16) {
                format->bits_per_sample = U16(p + 14);
            } else if (format->channels != 0 && format->block_align % format->channels == 0) {
                format->bits_per_sample =
                    static_cast<std::uint16_t>(std::min(format->block_align / format->channels * 8u, 0xFFFFu));
            }
            if (size >= 18) format->extra_size = U16(p + 16);
            want_format = false;
        } else if (want_data && std::memcmp(header, "data", 4) == 0) {
            if (data) *data = p;
            if (data_size) *data_size = size;
            want_data = false;
        }
        at = body + size + (size & 1);
    }
    return true;
}

}  // namespace

int ParseWaveImage(std::span<const std::uint8_t> image, host::WaveFormat* format, const std::uint8_t** data,
                   std::uint32_t* data_size) {
    if (ParseChunks(image, format, data, data_size)) return 1;
    DebugPrintf(u"Could not parse wave resource!\n");
    return 0;
}

int FillSoundBuffer(std::uint32_t data_size, host::SoundBuffer& buffer, const std::uint8_t* data) {
    host::SoundBuffer::Region region;
    if (data_size == 0 || data_size > buffer.size() || buffer.Lock(0, data_size, &region) != host::kAudioOk) {
        DebugPrintf(u"Could not fill sound buffer!\n");
        return 0;
    }
    std::memcpy(region.first, data, region.first_bytes);
    if (region.second) std::memcpy(region.second, data + region.first_bytes, region.second_bytes);
    buffer.Unlock(region);
    return 1;
}

std::unique_ptr<host::SoundBuffer> CreateStaticSoundBuffer(host::Mixer& mixer, std::span<const std::uint8_t> image) {
    host::WaveFormat format;
    const std::uint8_t* data = nullptr;
    std::uint32_t data_size = 0;
    if (!ParseWaveImage(image, &format, &data, &data_size)) return nullptr;
    // The buffer holds whole frames; a trailing partial frame is not sound.
    if (format.block_align != 0) data_size -= data_size % format.block_align;
    std::unique_ptr<host::SoundBuffer> buffer;
    if (mixer.CreateBuffer(format, data_size, &buffer) != host::kAudioOk) return nullptr;
    if (!FillSoundBuffer(data_size, *buffer, data)) return nullptr;
    return buffer;
}

void ClearSoundEffectSlots() {
    for (SoundEffectSlot& slot : g_slots) slot = {};
}

void FreeSoundEffectSlots() { ClearSoundEffectSlots(); }

const SoundEffectSlot& GetSoundEffectSlot(int slot) { return g_slots.at(static_cast<std::size_t>(slot)); }

void LoadSoundEffect(int slot, const void* image, std::uint32_t size) {
    host::Mixer* mixer = GetSoundMixer();
    if (!mixer || slot < 0 || slot >= kSoundEffectSlotCount || (!image && size != 0)) return;
    SoundEffectSlot loaded;
    const auto* bytes = static_cast<const std::uint8_t*>(image);
    loaded.image.assign(bytes, bytes + size);
    loaded.image_size = size;
    loaded.buffer = CreateStaticSoundBuffer(*mixer, loaded.image);
    // The worker sweeps the slots, so it must never see one half replaced.
    SoundEffectSlot old;
    {
        SoundLockHolder hold;
        old = std::exchange(g_slots[slot], std::move(loaded));
    }
}

void RestoreLostSoundBuffers() {
    for (SoundEffectSlot& slot : g_slots) {
        if (!slot.buffer) continue;
        std::uint32_t status = 0;
        if (slot.buffer->GetStatus(&status) != host::kAudioOk || !(status & host::kBufferLost)) continue;
        if (slot.buffer->Restore() != host::kAudioOk) continue;
        const std::uint8_t* data = nullptr;
        std::uint32_t data_size = 0;
        if (!ParseWaveImage(slot.image, nullptr, &data, &data_size)) continue;
        data_size = std::min(data_size, slot.buffer->size());
        FillSoundBuffer(data_size, *slot.buffer, data);
    }
}
