#include "app/sound_commands.h"

#include "app/app_script.h"
#include "app/frame_step.h"
#include "app/game_data.h"
#include "app/game_events.h"
#include "app/scene_state.h"
#include "app/scene_views.h"
#include "app/script_helpers.h"
#include "app/settings.h"
#include "lib/report.h"
#include "script/text_fold.h"
#include "sound/sound.h"

ChannelStateRecord ChannelState[4];

namespace {

using TextScript::ScriptStateNode;

constexpr int kNormalSpeed = 4096;
constexpr int kCentre = 0;
constexpr std::u16string_view kStop = u"00";
// A held Shift key or right button keeps voices quiet, as skipping does.
constexpr std::uint32_t kVoiceQuietHeld = kInputLeftShift | kInputRightShift | kInputMouseRight;

bool IsStop(std::u16string_view name) { return TextScript::EqualIgnoringCase(name, kStop); }

void StopChannelStream(int channel) { StopStream(GetChannelStreamId(channel)); }

bool IsMessage(const ScriptStateNode* node) { return node && node->code == ScriptStateNode::kMessage; }

}  // namespace

int StartOggStream(std::u16string_view path, IArchive* archive, int channel, int loop, int speed, int volume, int pan) {
    const std::u16string file = std::u16string(path) + u".ogg";
    const int stream = StartStream(archive, file, channel, loop, speed, volume, pan);
    if (stream == -1 && IsSoundAvailable()) DebugPrintf(u"StartOggStream: cannot play '%s'\n", file);
    return stream;
}

void PlayStreamSound(int channel, std::u16string_view name, bool replay) {
    const int stream = GetChannelStreamId(channel);
    const bool voice = channel == kVoiceChannel;
    if (voice && !SettingsBlock.enable_voice) return StopStream(stream);
    if (voice && !replay) {
        StopStream(stream);
        if (SkipMode || (InputState.held & kVoiceQuietHeld)) return;
    }
    ChannelStateRecord& record = ChannelState[channel];
    if (GetStreamState(stream) == 1 && TextScript::EqualIgnoringCase(record.name, name)) return;
    StopStream(stream);
    const bool on = voice ? SettingsBlock.enable_voice : SettingsBlock.enable_bgm;
    record = {0, ChannelVolume(channel, on), std::u16string(name)};
    const std::u16string path = (channel == kMusicChannel ? u"bgm/" : u"voice/") + record.name;
    StartOggStream(path, SoundArchive.Get(), channel, channel == kMusicChannel ? 1 : 0, kNormalSpeed,
                   VolumeToAttenuation(record.volume), kCentre);
    PostGameEvent(voice ? "voice" : "music", {name});
}

void PlaySoundEffect(int channel, std::u16string_view name, bool loop) {
    StopChannelStream(channel);
    const int volume = ChannelVolume(channel, SettingsBlock.enable_se);
    StartOggStream(u"se/" + std::u16string(name), SoundArchive.Get(), channel, loop ? 1 : 0, kNormalSpeed,
                   VolumeToAttenuation(volume), kCentre);
    PostGameEvent("effect", {channel == 1 ? u"1" : u"2", name});
}

void StopMusic() {
    StopChannel(kMusicChannel);
    PostGameEvent("music", {u""});
}

ScriptStateNode* ExecuteWav(ScriptStateNode_App& node) {
    const std::u16string_view name = node.Arg(0);
    if (IsStop(name)) {
        StopChannelStream(kMusicChannel);
        CurrentBgm.mode = 0;
        PostGameEvent("music", {u""});
    } else {
        RecordScene(CurrentBgm, kSceneOn, name);
        PlayStreamSound(kMusicChannel, name, false);
    }
    return node.next();
}

ScriptStateNode* ExecuteVoi(ScriptStateNode_App& node) {
    // A voice beside a message is played by the message when it begins.
    if (IsMessage(node.next()) || IsMessage(node.prev())) return node.next();
    const std::u16string_view name = node.Arg(0);
    if (IsStop(name))
        StopChannelStream(kVoiceChannel);
    else
        PlayStreamSound(kVoiceChannel, name, false);
    return node.next();
}

ScriptStateNode* ExecuteEffectSlot(ScriptStateNode_App& node) {
    const bool second = node.code >= ScriptStateNode::kS2a;
    const int channel = second ? 2 : 1;
    SceneStateRecord& record = second ? CurrentS2 : CurrentS1;
    const std::u16string_view name = node.Arg(0);
    switch (node.code - (second ? ScriptStateNode::kS2a : ScriptStateNode::kS1a)) {
        case 0:
            RecordScene(record, kEffectOnce, name);
            PlaySoundEffect(channel, name, false);
            break;
        case 1:
            RecordScene(record, kEffectLooping, name);
            PlaySoundEffect(channel, name, true);
            break;
        default:
            StopChannelStream(channel);
            record.mode = 0;
            break;
    }
    return node.next();
}

void ForgetChannelNames() {
    for (ChannelStateRecord& record : ChannelState) record.name.clear();
}

void ResetSoundCommands() {
    for (ChannelStateRecord& record : ChannelState) record = {};
}
