// A save file as full as the player can make it: the global records and all 99 slots, each with
// its whole record (a 140 x 105 thumbnail in 65,796 bytes). The start reads every page of it in
// its check before it writes anything, so the start-up benchmarks measure a game started on it.
#pragma once

#include <filesystem>

namespace framebench {

// Writes "save.dat" into the settings folder `settings` (made when missing) with the game's own
// save code.
void MakeFullSaveFile(const std::filesystem::path& settings);

}  // namespace framebench
