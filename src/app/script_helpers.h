// Small services the story commands, the screens and the start-up share: page-read flags,
// script files, channel volumes, the system sounds, the mouse pointer, the load request and the
// message window's background.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct SettingsBlockRecord;

// Page numbers outside 0 to 16383 are neither set nor found.
void SetSeenFlag(std::int32_t page);
bool IsSeenFlag(std::int32_t page);

// The whole entry of the script archive (CP932 text). A missing entry raises the error exception
// "Script: file not found '%s'"; one that is there but cannot be read (too large, not a file,
// damaged, or more than memory holds) raises it with what is wrong.
std::string LoadScriptFile(std::u16string_view name);

// A percentage of the settings block on the game's 0 to 255 scale. The block keeps the number the
// settings file holds, up to 255; what is heard stops at 100 %.
int VolumeLevel(std::uint8_t percent);

// Channel volumes from the settings block on the game's 0 to 255 scale: music (channel 0) at a
// tenth of its percentage, voices (channel 3) at its percentage, effects (channels 1 and 2) at
// a tenth; 0 when switched off. The Apply functions set a channel's stream to it; a channel
// without a stream is left alone.
int ChannelVolume(int channel, bool on);
// The same from another block (one a settings dialog is editing).
int ChannelVolume(const SettingsBlockRecord& settings, int channel, bool on);
void ApplyBgmVolume(bool on);
void ApplyVoiceVolume(bool on);
void ApplySeVolume(bool on);

// "SUBMIT.WAV" into effect slot 0 and "CANCEL.WAV" into slot 1 from the system archive, when
// sound is on; a missing one is traced and left out.
void LoadSystemSounds();
void StopAllSounds();

// Shapes 0 to 2; another value is ignored. The window's own pointer shows in this system, so
// the shape is only kept.
void SetMousePointer(std::int32_t shape);
void SetRequestedLoadSlot(std::int32_t slot);

// Rebuilds the background of the game's message window (nothing while there is none): the
// background part of the system image with each colour channel masked by the settings' base
// colour, over opaque black, blended at the base colour's alpha.
void ApplyTextBackground(const SettingsBlockRecord& settings);
