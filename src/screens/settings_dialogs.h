// The two settings dialogs the menu and the title open: the system settings (screen mode, display
// speed, the two skip options, the text background's colour and opacity, the message font) and
// the sound settings (voice, music and effect switches, four volumes, a voice and an effect to
// test them). Each edits a copy of the settings block; its opener compares the copy with the
// live block when the dialog ends with OK and applies what changed.
//
// A switched-off channel stays silent whatever the dialog does, but for its own test: a volume
// heard while a slider moves, on cancel and on OK is 0 on a channel whose switch is off (the
// switch as the dialog shows it while it is open, the live one afterwards). The voice and effect
// tests play at the dialog's volume with the switch taken as on for the moment.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/settings.h"
#include "host/ui/dialog.h"

class SystemSettingsDialog : public host::Dialog {
public:
    enum : int {
        kWindowRadio = 1028,
        kFullScreenRadio = 1029,
        kNormalSpeedRadio = 1030,
        kFastSpeedRadio = 1031,
        kRedSlider = 1032,  // then green, blue and opacity
        kOpacitySlider = 1035,
        kDefaultButton = 1036,
        kFontCombo = 1037,
        kSkipUnreadCheck = 1043,
        kSkipChoiceCheck = 1044,
        kSwatch = 1045,
    };
    static constexpr std::uint8_t kDefaultColour[4] = {32, 32, 240, 160};

    // Edits `block`; the combo box offers those of `faces` that fit the block's face field.
    SystemSettingsDialog(SettingsBlockRecord& block, std::span<const std::u16string> faces);

    void OnInit() override;
    void OnCommand(int id, int notify) override;
    void OnScroll(int id, int position) override;

private:
    // The sliders stand for 255 - value: the brightest colour at the top.
    void ShowColour();
    void PaintColorSwatch();

    SettingsBlockRecord& block_;
    std::vector<std::u16string> faces_;
};

class SoundSettingsDialog : public host::Dialog {
public:
    enum : int {
        kVoiceOnRadio = 1046,
        kVoiceOffRadio = 1047,
        kBgmOnRadio = 1048,
        kBgmOffRadio = 1049,
        kSeOnRadio = 1050,
        kSeOffRadio = 1051,
        kMainSlider = 1052,  // then music, voice and effects
        kSeSlider = 1055,
        kVoiceTestButton = 1056,
        kSeTestButton = 1057,
    };

    explicit SoundSettingsDialog(SettingsBlockRecord& block);

    void OnInit() override;
    void OnCommand(int id, int notify) override;
    void OnScroll(int id, int position) override;

private:
    // The block being edited with the switches as the dialog shows them now.
    SettingsBlockRecord Shown();
    void TestVoice();
    void TestEffect();

    SettingsBlockRecord& block_;
};

// The master volume and the four channels' streams set from the block: what the player hears
// with those settings.
void ApplySoundVolumes(const SettingsBlockRecord& settings);

// The menu's and the title's openers. The system settings switch the screen through the window
// procedure's screen-mode command, mark the display speed (2), the skip options (4, 8) and the
// font (0x10) as changed in ChangeMask, and rebuild the message window's background for a new
// colour; the sound settings store the switches and volumes and set what is heard. Cancel
// changes nothing (the volumes tried while the dialog was open are taken back).
void OpenSystemSettings(host::ModalUi& modal);
void OpenSoundSettings(host::ModalUi& modal);
