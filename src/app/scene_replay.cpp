#include "app/scene_replay.h"

#include "app/picture_commands.h"
#include "app/scene_state.h"
#include "app/sound_commands.h"

namespace {

void ReplayLoopingEffect(int channel, const SceneStateRecord& record) {
    if (record.mode == kEffectLooping) PlaySoundEffect(channel, SceneName(record), true);
}

}  // namespace

void ReplaySceneState() {
    if (CurrentBgm.mode != 0) PlayStreamSound(kMusicChannel, SceneName(CurrentBgm), true);
    ReplayLoopingEffect(1, CurrentS1);
    ReplayLoopingEffect(2, CurrentS2);
    switch (CurrentPicture.mode) {
        case kSceneBlack: ShowPlainPicture(false); break;
        case kSceneWhite: ShowPlainPicture(true); break;
        case kSceneGrp: ComposeGrpPicture(SceneName(CurrentPicture)); break;
        case kSceneChr: ComposeCharPicture(SceneName(CurrentPicture), CharLayer::kChr); break;
        default: break;
    }
    if (CurrentChl.mode != 0) ComposeCharPicture(SceneName(CurrentChl), CharLayer::kChl);
}
