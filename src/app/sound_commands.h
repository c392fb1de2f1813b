// The story's sound commands: WAV plays music, VOI a voice, and S1A to S2M play, loop and stop
// the two sound-effect slots. They play Ogg Vorbis streams of the sound archive on four
// channels: 0 music ("bgm/NAME.ogg"), 1 and 2 the effect slots ("se/NAME.ogg"), 3 the voice
// ("voice/NAME.ogg"). Each command keeps the scene-state records (app/scene_state.h) so that a
// saved game plays the same music and looping effects again. A stream that cannot be opened is
// named in a trace and the story goes on without it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class IArchive;
namespace TextScript {
class ScriptStateNode;
}
class ScriptStateNode_App;

inline constexpr int kMusicChannel = 0;
inline constexpr int kVoiceChannel = 3;

// What each stream channel was last started with, so that the same music is not started again.
struct ChannelStateRecord {
    std::uint32_t state = 0;  // 0 whenever a stream is started on the channel
    std::int32_t volume = 0;  // 0 to 255
    std::u16string name;      // the script's sound name
};
extern ChannelStateRecord ChannelState[4];

// Starts "PATH.ogg" of the archive on the channel; the stream id, or -1 (traced when sound is on).
int StartOggStream(std::u16string_view path, IArchive* archive, int channel, int loop, int speed, int volume, int pan);
// Music (channel 0, looping) or a voice (channel 3, once). A voice is stopped first unless
// `replay`, and not started while skipping or while the right button or a Shift key is held;
// the music or voice already playing under the same name (case ignored) goes on.
void PlayStreamSound(int channel, std::u16string_view name, bool replay);
// A sound effect in slot 1 or 2 (channel 1 or 2), once or looping.
void PlaySoundEffect(int channel, std::u16string_view name, bool loop);
// Stops the music channel and posts the game event that no music plays, for the screens outside
// the story that play their own music and end it.
void StopMusic();

// The handlers: argument 0 is the name (not read by S1M and S2M); each returns the next node.
TextScript::ScriptStateNode* ExecuteWav(ScriptStateNode_App& node);
TextScript::ScriptStateNode* ExecuteVoi(ScriptStateNode_App& node);
// S1A, S1B, S1M, S2A, S2B and S2M, by the node's code.
TextScript::ScriptStateNode* ExecuteEffectSlot(ScriptStateNode_App& node);

// Empties the names of the four channel records, so that the next music starts afresh.
void ForgetChannelNames();
// Empties the four channel records (the runtime's start-up and teardown).
void ResetSoundCommands();
