// Recipes of the sample game's sounds.
#pragma once

#include <string>

#include "sound_file.h"

namespace mkdemo {

// Music pieces by name: TITLE, CGMODE, BGM01 .. BGM04.
Sound Music(const std::string& name);
// Effects by name: WAVES, WIND (loops), GULL, DOOR, BELL, STEP, FIREWORK, INS02.
Sound Effect(const std::string& name);
// The interface sounds: a rising blip to decide, a falling one to cancel.
Sound SubmitSound();
Sound CancelSound();
// A voice line for a name such as "A0003": the first letter picks the speaker, the text's
// length the number of syllables.
Sound VoiceFor(const std::string& name, std::size_t textLength);

}  // namespace mkdemo
