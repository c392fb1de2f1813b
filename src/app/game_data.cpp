#include "app/game_data.h"

#include <algorithm>

ComPtr<IArchive> SystemArchive;
ComPtr<IArchive> ScriptArchive;
ComPtr<IArchive> SoundArchive;
std::vector<std::u16string> FontFaces;
std::uint8_t SeenFlags[kSeenFlagBytes] = {};
std::int32_t RequestedLoadSlot = 0;
std::int32_t LastUsedSlot = -1;
std::int32_t MousePointerShape = 0;

void ResetGameData() {
    SystemArchive.Reset();
    ScriptArchive.Reset();
    SoundArchive.Reset();
    FontFaces.clear();
    std::fill(std::begin(SeenFlags), std::end(SeenFlags), std::uint8_t{0});
    RequestedLoadSlot = 0;
    LastUsedSlot = -1;
    MousePointerShape = 0;
}
