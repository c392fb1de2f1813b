// The game's data and the records kept for the whole run beside the scene: the three archives,
// the faces offered for the message text, the page-read flags, the slot a load request names and
// the mouse-pointer shape.
//
// The start-up opens the archives and the game cycles use them until the program ends. The
// runtime's start-up and teardown (app/runtime.h) empty every record through ResetGameData.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "lib/combase.h"

// "system.saf" (system parts, sound effects), the scripts with their pictures, the music and voices.
extern ComPtr<IArchive> SystemArchive;
extern ComPtr<IArchive> ScriptArchive;
extern ComPtr<IArchive> SoundArchive;

// The faces the system settings offer for the message text, listed at start-up.
extern std::vector<std::u16string> FontFaces;

// One bit per page number n (0 to 16383): bit 0x80 >> (n mod 8) of byte n / 8. Saved with the
// common record of the save data.
inline constexpr std::size_t kSeenFlagBytes = 2048;
inline constexpr std::int32_t kSeenPageCount = kSeenFlagBytes * 8;
extern std::uint8_t SeenFlags[kSeenFlagBytes];

// The zero-based slot a load request asks for; a load unwind ends the game cycle with it.
extern std::int32_t RequestedLoadSlot;

// The index (number - 1) of the slot saved last through the save dialog, -1 for none; kept in the
// common record of the save data.
extern std::int32_t LastUsedSlot;

// The mouse-pointer shape, 0 to 2.
extern std::int32_t MousePointerShape;

void ResetGameData();
