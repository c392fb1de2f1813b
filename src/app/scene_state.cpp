#include "app/scene_state.h"

SceneStateRecord CurrentPicture;
SceneStateRecord CurrentChl;
SceneStateRecord CurrentBgm;
SceneStateRecord CurrentS1;
SceneStateRecord CurrentS2;

namespace {
SceneStateRecord* const kRecords[] = {&CurrentPicture, &CurrentChl, &CurrentBgm, &CurrentS1, &CurrentS2};
}  // namespace

void ClearSceneStateModes() {
    for (SceneStateRecord* record : kRecords) record->mode = 0;
}

void ResetSceneState() {
    for (SceneStateRecord* record : kRecords) *record = SceneStateRecord{};
}
