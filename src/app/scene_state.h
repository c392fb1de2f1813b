// What the story currently shows and plays, in five small records: the picture, the second
// character layer, the music and the two sound-effect slots. The story commands write them, a
// save slot stores them, and after a load the story's run rebuilds picture and sound from them.
#pragma once

#include <cstddef>
#include <cstdint>

struct SceneStateRecord {
    static constexpr std::size_t kNameBytes = 31;

    std::uint8_t mode = 0;       // what the record stands for; 0 = nothing
    char name[kNameBytes] = {};  // CP932 image or sound name with its terminator
};
static_assert(sizeof(SceneStateRecord) == 32, "a save slot stores the records byte for byte");

// Modes: 0 black, 1 white, 2 background image, 3 character image.
extern SceneStateRecord CurrentPicture;
// 0 none, 1 shown.
extern SceneStateRecord CurrentChl;
// 0 none, 1 playing.
extern SceneStateRecord CurrentBgm;
// 0 stopped, 1 played once, 2 looping.
extern SceneStateRecord CurrentS1;
extern SceneStateRecord CurrentS2;

// Sets the five modes to 0 and keeps the names, as the game cycle does when a story starts or ends.
void ClearSceneStateModes();
// Empties the five records whole (the runtime's start-up and teardown).
void ResetSceneState();
