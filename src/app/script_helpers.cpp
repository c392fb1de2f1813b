#include "app/script_helpers.h"

#include <algorithm>
#include <limits>

#include "app/game_data.h"
#include "app/message_window.h"
#include "app/scene_views.h"
#include "app/settings.h"
#include "app/system_image.h"
#include "lib/error.h"
#include "lib/report.h"
#include "sound/sound.h"

namespace {

constexpr int kBgmChannel = 0;
constexpr int kSeChannels[] = {1, 2};
constexpr int kVoiceChannel = 3;
constexpr int kStreamChannels = 4;
constexpr int kPointerShapes = 3;
constexpr RECT kTextBackgroundSource{0, 40, 800, 240};

std::uint8_t SeenBit(std::int32_t page) { return static_cast<std::uint8_t>(0x80u >> (page % 8)); }
bool IsPage(std::int32_t page) { return page >= 0 && page < kSeenPageCount; }

void SetChannelVolume(int channel, bool on) {
    SetStreamVolume(GetChannelStreamId(channel), VolumeToAttenuation(ChannelVolume(channel, on)));
}

}  // namespace

void SetSeenFlag(std::int32_t page) {
    if (IsPage(page)) SeenFlags[page / 8] |= SeenBit(page);
}

bool IsSeenFlag(std::int32_t page) { return IsPage(page) && (SeenFlags[page / 8] & SeenBit(page)); }

std::string LoadScriptFile(std::u16string_view name) {
    constexpr std::u16string_view kSource = u"script/scr_gui";
    if (!ScriptArchive || !ProbeArchiveFile(*ScriptArchive, name))
        ThrowError(kSource, __LINE__, 0, 0, u"Script: file not found '%s'", name);
    std::optional<std::string> text =
        CatchOutOfMemory(kSource, __LINE__, name, [&] { return LoadArchiveText(*ScriptArchive, name); });
    if (!text) ThrowError(kSource, __LINE__, 0, 0, u"Script: '%s' %s", name, DescribeEntryError(*ScriptArchive, name));
    return std::move(*text);
}

int VolumeLevel(std::uint8_t percent) { return std::min<int>(percent, 100) * 255 / 100; }

int ChannelVolume(int channel, bool on) { return ChannelVolume(SettingsBlock, channel, on); }

int ChannelVolume(const SettingsBlockRecord& settings, int channel, bool on) {
    if (!on) return 0;
    if (channel == kVoiceChannel) return VolumeLevel(settings.voice_volume);
    return VolumeLevel(channel == kBgmChannel ? settings.bgm_volume : settings.se_volume) / 10;
}

void ApplyBgmVolume(bool on) { SetChannelVolume(kBgmChannel, on); }

void ApplyVoiceVolume(bool on) { SetChannelVolume(kVoiceChannel, on); }

void ApplySeVolume(bool on) {
    for (int channel : kSeChannels) SetChannelVolume(channel, on);
}

void LoadSystemSounds() {
    if (!IsSoundAvailable() || !SystemArchive) return;
    static constexpr std::u16string_view kNames[] = {u"SUBMIT.WAV", u"CANCEL.WAV"};
    for (int slot = 0; slot < 2; ++slot) {
        const auto image = LoadArchiveEntry(*SystemArchive, kNames[slot]);
        if (!image || image->size() > std::numeric_limits<std::uint32_t>::max()) {
            DebugPrintf(u"LoadSystemSounds: '%s' cannot be read\n", kNames[slot]);
            continue;
        }
        LoadSoundEffect(slot, image->data(), static_cast<std::uint32_t>(image->size()));
    }
}

void StopAllSounds() {
    for (int channel = 0; channel < kStreamChannels; ++channel) StopChannel(channel);
}

void SetMousePointer(std::int32_t shape) {
    if (shape >= 0 && shape < kPointerShapes) MousePointerShape = shape;
}

void SetRequestedLoadSlot(std::int32_t slot) { RequestedLoadSlot = slot; }

void ApplyTextBackground(const SettingsBlockRecord& settings) {
    if (!GameMessageWindow) return;
    DxDraw::DxSurfaceSprite32& background = GameMessageWindow->Background();
    background.FillRect(nullptr, 0x000000, 255);
    const auto [red, green, blue, alpha] = settings.base_color;
    DxDraw::BlendParams tint;
    tint.flags = DxDraw::BLEND_CHANNEL_MASK;
    tint.channelMask = 0xFF000000u | std::uint32_t{red} << 16 | std::uint32_t{green} << 8 | blue;
    if (SystemImage) background.Blit(0, 0, SystemImage.Get(), &kTextBackgroundSource, nullptr, &tint);
    background.SetBlendFlags(DxDraw::BLEND_SOURCE_ALPHA | DxDraw::kColumnFade);
    background.SetLevel(alpha);
    // The whole picture was drawn again, whatever the blend record did.
    background.Invalidate(DxDraw::kDirtyContents);
}
