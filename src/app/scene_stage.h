// The scene's views for the time the story runs: the 24 layer groups under the base group, the
// cover group above them with the black and white cover sprites, the picture sprite on layer 0,
// the work surface the next picture is composed on, and the hidden message window on layer 23. The records of
// scene_views.h point at them while the stage lives and are empty again after it.
#pragma once

#include <cstdint>

namespace DxDraw {
class DxScreenSurface;
}

// The message window's words the story commands read: the flag the window starts with (cleared
// for the story) and the speed factor of the reveal.
inline constexpr int kWindowStartFlagWord = 1;
inline constexpr int kWindowSpeedFactorWord = 0;
inline constexpr std::int32_t kStorySpeedFactor = 10;

class SceneStage {
public:
    // Builds the views under `screen`; a failure half-way takes down what was built.
    explicit SceneStage(DxDraw::DxScreenSurface& screen);
    // Destroys every view, releases the surfaces, empties the records and stops the four stream
    // channels. Never throws, so that it may run while a request or an error unwinds.
    ~SceneStage();
    SceneStage(const SceneStage&) = delete;
    SceneStage& operator=(const SceneStage&) = delete;

private:
    // The destructor's work; it also takes down a stage whose construction failed half-way.
    static void TearDown() noexcept;
};
