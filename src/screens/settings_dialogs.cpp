#include "screens/settings_dialogs.h"

#include <algorithm>
#include <iterator>

#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/menu_commands.h"
#include "app/scene_state.h"
#include "app/script_helpers.h"
#include "app/sound_commands.h"
#include "host/fonts/font_faces.h"
#include "lib/scope_guard.h"
#include "lib/text_field.h"
#include "sound/sound.h"

namespace {

using host::ControlKind;

constexpr int kColourSliders = 4;
constexpr int kColourMax = 255;
constexpr host::Rect kSwatchRect{200, 166, 300, 266};
constexpr int kVolumeSliders = 4;
constexpr int kVolumeMax = 100;
constexpr int kEffectChannels[] = {1, 2};
constexpr int kSeChannel = 1;

// The radio group ids of the dialogs: one group per pair of buttons.
enum : int { kScreenGroup = 1, kSpeedGroup, kVoiceGroup, kBgmGroup, kSeGroup };

void SetChannelVolume(int channel, int volume) {
    SetStreamVolume(GetChannelStreamId(channel), VolumeToAttenuation(volume));
}

}  // namespace

void ApplySoundVolumes(const SettingsBlockRecord& settings) {
    SetMasterVolume(VolumeToAttenuation(VolumeLevel(settings.main_volume)));
    SetChannelVolume(kMusicChannel, ChannelVolume(settings, kMusicChannel, settings.enable_bgm != 0));
    SetChannelVolume(kVoiceChannel, ChannelVolume(settings, kVoiceChannel, settings.enable_voice != 0));
    for (int channel : kEffectChannels)
        SetChannelVolume(channel, ChannelVolume(settings, channel, settings.enable_se != 0));
}

SystemSettingsDialog::SystemSettingsDialog(SettingsBlockRecord& block, std::span<const std::u16string> faces)
    : Dialog(u"システム設定", 420, 340), block_(block) {
    // A face that does not fit the field whole could not be stored as it is shown.
    for (const std::u16string& face : faces)
        if (face.size() < SettingsBlockRecord::kFontNameUnits) faces_.push_back(face);
    Add({kWindowRadio, ControlKind::RadioButton, {12, 10, 132, 32}, u"ウィンドウ"}).group = kScreenGroup;
    Add({kFullScreenRadio, ControlKind::RadioButton, {140, 10, 260, 32}, u"全画面"}).group = kScreenGroup;
    Add({kNormalSpeedRadio, ControlKind::RadioButton, {12, 40, 132, 62}, u"通常"}).group = kSpeedGroup;
    Add({kFastSpeedRadio, ControlKind::RadioButton, {140, 40, 260, 62}, u"高速"}).group = kSpeedGroup;
    Add({kSkipUnreadCheck, ControlKind::CheckBox, {12, 72, 400, 94}, u"未読でスキップ等を止める"});
    Add({kSkipChoiceCheck, ControlKind::CheckBox, {12, 102, 400, 124}, u"選択時にスキップ等を解除"});
    static constexpr const char16_t* kColourLabels[kColourSliders] = {u"R", u"G", u"B", u"透過"};
    for (int i = 0; i < kColourSliders; ++i) {
        const int left = 12 + 44 * i;
        Add({0, ControlKind::Static, {left, 140, left + 40, 160}, kColourLabels[i]});
        host::Control& slider = Add({kRedSlider + i, ControlKind::Slider, {left, 166, left + 24, 266}});
        slider.vertical = true;
        slider.minimum = 0;
        slider.maximum = kColourMax;
        slider.page_size = 16;
    }
    Add({kSwatch, ControlKind::Picture, kSwatchRect});
    Add({kDefaultButton, ControlKind::Button, {312, 166, 408, 192}, u"Default"});
    Add({0, ControlKind::Static, {12, 282, 110, 302}, u"フォント指定"});
    Add({kFontCombo, ControlKind::ComboBox, {116, 278, 316, 302}});
    Add({1, ControlKind::DefaultButton, {320, 306, 408, 332}, u"OK"});
}

void SystemSettingsDialog::OnInit() {
    SetCheck(block_.full_screen ? kFullScreenRadio : kWindowRadio, 1);
    SetCheck(block_.display_speed ? kFastSpeedRadio : kNormalSpeedRadio, 1);
    SetCheck(kSkipUnreadCheck, block_.text_skip1 ? 1 : 0);
    SetCheck(kSkipChoiceCheck, block_.text_skip2 ? 1 : 0);
    ShowColour();
    SetItems(kFontCombo, faces_);
    // The whole name, not a prefix of a longer one: "ＭＳ 明朝" is not "ＭＳ 明朝 Bold".
    const auto find = [this](std::u16string_view face) {
        const auto found = std::find(faces_.begin(), faces_.end(), face);
        return found == faces_.end() ? -1 : static_cast<int>(found - faces_.begin());
    };
    int selection = find(FieldText(block_.font_name));
    if (selection < 0) selection = find(host::kDefaultMinchoFace);
    SetSelection(kFontCombo, selection);
}

void SystemSettingsDialog::ShowColour() {
    for (int i = 0; i < kColourSliders; ++i) SetSliderPosition(kRedSlider + i, kColourMax - block_.base_color[i]);
    PaintColorSwatch();
}

void SystemSettingsDialog::PaintColorSwatch() {
    host::Control* swatch = Find(kSwatch);
    if (!swatch) return;
    const auto [red, green, blue, alpha] = block_.base_color;
    swatch->picture_width = kSwatchRect.width();
    swatch->picture_height = kSwatchRect.height();
    swatch->pixels.assign(static_cast<std::size_t>(swatch->picture_width) * swatch->picture_height,
                          0xFF000000u | std::uint32_t{red} << 16 | std::uint32_t{green} << 8 | blue);
    ++swatch->version;
}

void SystemSettingsDialog::OnScroll(int id, int position) {
    if (id < kRedSlider || id > kOpacitySlider) return;
    block_.base_color[id - kRedSlider] = static_cast<std::uint8_t>(kColourMax - std::clamp(position, 0, kColourMax));
    PaintColorSwatch();
}

void SystemSettingsDialog::OnCommand(int id, int notify) {
    if (notify != host::kNotifyClicked) return;
    switch (id) {
        case kDefaultButton:
            std::copy(std::begin(kDefaultColour), std::end(kDefaultColour), std::begin(block_.base_color));
            ShowColour();
            break;
        case 1: {
            block_.full_screen = Check(kWindowRadio) ? 0 : 1;
            block_.display_speed = Check(kNormalSpeedRadio) ? 0 : 1;
            block_.text_skip1 = Check(kSkipUnreadCheck) ? 1 : 0;
            block_.text_skip2 = Check(kSkipChoiceCheck) ? 1 : 0;
            const int selection = Selection(kFontCombo);
            CopyField16(block_.font_name, selection >= 0
                                              ? std::u16string_view(faces_[static_cast<std::size_t>(selection)])
                                              : std::u16string_view(host::kDefaultMinchoFace));
            End(1);
            break;
        }
        case 2: End(-1); break;
        default: break;
    }
}

void OpenSystemSettings(host::ModalUi& modal) {
    // The live block says what the display shows now (Alt+Return may have switched it).
    if (MainWindowHandle) SettingsBlock.full_screen = MainWindowHandle->IsFullScreen() ? 1 : 0;
    SettingsBlockRecord copy = SettingsBlock;
    SystemSettingsDialog dialog(copy, FontFaces);
    if (modal.RunDialog(dialog) == -1) return;
    if (copy.full_screen != SettingsBlock.full_screen && MainWindowProcedure) {
        // As the menu's screen-mode command does it; a switch the display refused leaves the
        // window, and the block says so.
        MainWindowProcedure->WindowProc({host::kMsgCommand, kMenuScreenMode, 0, {}});
        if (MainWindowHandle) copy.full_screen = MainWindowHandle->IsFullScreen() ? 1 : 0;
    }
    if (copy.display_speed != SettingsBlock.display_speed) ChangeMask |= kChangeDisplaySpeed;
    if (copy.text_skip1 != SettingsBlock.text_skip1) ChangeMask |= kChangeSkipUnread;
    if (copy.text_skip2 != SettingsBlock.text_skip2) ChangeMask |= kChangeSkipChoice;
    if (!std::equal(std::begin(copy.base_color), std::end(copy.base_color), std::begin(SettingsBlock.base_color)))
        ApplyTextBackground(copy);
    if (FieldText(copy.font_name) != FieldText(SettingsBlock.font_name)) ChangeMask |= kChangeRebuildViews;
    SettingsBlock = copy;
}

SoundSettingsDialog::SoundSettingsDialog(SettingsBlockRecord& block)
    : Dialog(u"サウンド設定", 470, 300), block_(block) {
    struct Switch {
        const char16_t* label;
        int on, off, group;
    };
    static constexpr Switch kSwitches[] = {{u"ボイス", kVoiceOnRadio, kVoiceOffRadio, kVoiceGroup},
                                           {u"ＢＧＭ", kBgmOnRadio, kBgmOffRadio, kBgmGroup},
                                           {u"効果音", kSeOnRadio, kSeOffRadio, kSeGroup}};
    for (int i = 0; i < 3; ++i) {
        const Switch& s = kSwitches[i];
        // Each button's label keeps a clear gap before the next button's mark.
        const int left = 12 + 150 * i;
        Add({0, ControlKind::Static, {left, 8, left + 144, 28}, s.label});
        Add({s.on, ControlKind::RadioButton, {left, 32, left + 68, 54}, u"あり"}).group = s.group;
        Add({s.off, ControlKind::RadioButton, {left + 76, 32, left + 144, 54}, u"なし"}).group = s.group;
    }
    // The voice and effect sliders are labelled by their test buttons.
    Add({0, ControlKind::Static, {12, 78, 104, 98}, u"全体音量"});
    Add({0, ControlKind::Static, {12, 118, 104, 138}, u"BGM"});
    Add({kVoiceTestButton, ControlKind::Button, {12, 154, 104, 180}, u"ボイス"});
    Add({kSeTestButton, ControlKind::Button, {12, 194, 104, 220}, u"効果音"});
    for (int i = 0; i < kVolumeSliders; ++i) {
        const int top = 76 + 40 * i;
        host::Control& slider = Add({kMainSlider + i, ControlKind::Slider, {112, top, 456, top + 24}});
        slider.minimum = 0;
        slider.maximum = kVolumeMax;
        slider.page_size = 10;
    }
    Add({1, ControlKind::DefaultButton, {368, 262, 456, 288}, u"OK"});
}

void SoundSettingsDialog::OnInit() {
    SetCheck(block_.enable_voice ? kVoiceOnRadio : kVoiceOffRadio, 1);
    SetCheck(block_.enable_bgm ? kBgmOnRadio : kBgmOffRadio, 1);
    SetCheck(block_.enable_se ? kSeOnRadio : kSeOffRadio, 1);
    const std::uint8_t volumes[kVolumeSliders] = {block_.main_volume, block_.bgm_volume, block_.voice_volume,
                                                  block_.se_volume};
    for (int i = 0; i < kVolumeSliders; ++i) SetSliderPosition(kMainSlider + i, volumes[i]);
}

SettingsBlockRecord SoundSettingsDialog::Shown() {
    SettingsBlockRecord shown = block_;
    shown.enable_voice = static_cast<std::uint8_t>(Check(kVoiceOnRadio));
    shown.enable_bgm = static_cast<std::uint8_t>(Check(kBgmOnRadio));
    shown.enable_se = static_cast<std::uint8_t>(Check(kSeOnRadio));
    return shown;
}

void SoundSettingsDialog::OnScroll(int id, int position) {
    std::uint8_t* const volumes[kVolumeSliders] = {&block_.main_volume, &block_.bgm_volume, &block_.voice_volume,
                                                   &block_.se_volume};
    if (id < kMainSlider || id > kSeSlider) return;
    *volumes[id - kMainSlider] = static_cast<std::uint8_t>(std::clamp(position, 0, kVolumeMax));
    ApplySoundVolumes(Shown());
}

void SoundSettingsDialog::TestVoice() {
    StopChannel(kVoiceChannel);
    {
        // A test is heard whatever the switches say, the live one or the dialog's: the player
        // tries the volume before deciding on the switch. The next preview, Cancel or OK sets the
        // channel back to what its switch allows.
        const std::uint8_t live = SettingsBlock.enable_voice;
        const ScopeExit restore([live] { SettingsBlock.enable_voice = live; });
        SettingsBlock.enable_voice = 1;
        PlayStreamSound(kVoiceChannel, u"V_TEST", true);
    }
    SetChannelVolume(kVoiceChannel, ChannelVolume(block_, kVoiceChannel, true));
}

void SoundSettingsDialog::TestEffect() {
    // Slot 1 looping keeps its sound: the test takes the second slot's channel instead.
    const int channel = CurrentS1.mode == kEffectLooping ? kEffectChannels[1] : kSeChannel;
    PlaySoundEffect(channel, u"INS02", false);  // stops the channel first
    SetChannelVolume(channel, ChannelVolume(block_, channel, true));
}

void SoundSettingsDialog::OnCommand(int id, int notify) {
    if (notify != host::kNotifyClicked) return;
    switch (id) {
        case kVoiceTestButton: TestVoice(); break;
        case kSeTestButton: TestEffect(); break;
        case 1: {
            const SettingsBlockRecord shown = Shown();
            block_.enable_voice = shown.enable_voice;
            block_.enable_bgm = shown.enable_bgm;
            block_.enable_se = shown.enable_se;
            End(1);
            break;
        }
        case 2: End(-1); break;
        default: break;
    }
}

void OpenSoundSettings(host::ModalUi& modal) {
    SettingsBlockRecord copy = SettingsBlock;
    SoundSettingsDialog dialog(copy);
    // However the dialog ends, what is heard afterwards is what the live block says: the
    // volumes tried in the dialog are taken back on cancel, and a test sound on a channel
    // switched off falls silent.
    const ScopeExit apply([] { ApplySoundVolumes(SettingsBlock); });
    if (modal.RunDialog(dialog) != -1) SettingsBlock = copy;
}
