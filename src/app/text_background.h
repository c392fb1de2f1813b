// The message window's background: the system image's window band, tinted by the settings' base
// colour and shown as opaque as its alpha.
#pragma once

struct SettingsBlockRecord;

// Rebuilds the background of the story's message window from `settings`; nothing while there is
// no such window. Without a system image the background stays plain black.
void ApplyTextBackground(const SettingsBlockRecord& settings);
