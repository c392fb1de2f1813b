// What the story currently shows and plays, in five small records: the picture, the second
// character layer, the music and the two sound-effect slots. The story commands write them, a
// save slot stores them, and after a load the story's run rebuilds picture and sound from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct SceneStateRecord {
    static constexpr std::size_t kNameBytes = 31;

    std::uint8_t mode = 0;       // what the record stands for; 0 = nothing
    char name[kNameBytes] = {};  // CP932 image or sound name with its terminator
};
static_assert(sizeof(SceneStateRecord) == 32, "a save slot stores the records byte for byte");

// The modes of the records; 0 is also "none" for the second layer and the music.
enum : std::uint8_t {
    kSceneBlack = 0,
    kSceneWhite = 1,
    kSceneGrp = 2,  // background image
    kSceneChr = 3,  // character image
    kSceneOn = 1,   // second layer shown, music playing
    kEffectOnce = 1,
    kEffectLooping = 2,
};

// Modes: black, white, background image, character image.
extern SceneStateRecord CurrentPicture;
// 0 none, 1 shown.
extern SceneStateRecord CurrentChl;
// 0 none, 1 playing.
extern SceneStateRecord CurrentBgm;
// 0 stopped, 1 played once, 2 looping.
extern SceneStateRecord CurrentS1;
extern SceneStateRecord CurrentS2;

// Sets the record's mode and its name in CP932, cut at the last whole character that fits.
void RecordScene(SceneStateRecord& record, std::uint8_t mode, std::u16string_view name);
// The record's name as wide text, read up to its terminator and never past the field (a record
// read from a save slot may lack the terminator).
std::u16string SceneName(const SceneStateRecord& record);

// Sets the five modes to 0 and keeps the names, as the game cycle does when a story starts or ends.
void ClearSceneStateModes();
// Empties the five records whole (the runtime's start-up and teardown).
void ResetSceneState();
