// The program's icon for its window and the desktop's task list: the lighthouse of the sample
// game's cape at night, its lantern lit, drawn here so that the program carries no picture file.
#pragma once

#include <cstdint>
#include <vector>

namespace host {

inline constexpr int kWindowIconSize = 64;

// kWindowIconSize x kWindowIconSize pixels, row by row from the top, as 0xAARRGGBB with straight
// alpha (0 transparent): a rounded square of night sky with the lighthouse on its rock.
std::vector<std::uint32_t> DrawWindowIcon();

}  // namespace host
