// The page-cursor task behind DxMessView2::StartCursorTask (the open and hide tasks are made by
// StartOpenTask and StartHideTask of message_window.h).
#pragma once

#include <cstdint>

#include "app/message_window.h"

namespace TextScript {

// The task registers in `owner` for its life; the view must outlive it.
ACT* MakeCursorTask(DxMessView2& view, std::int32_t cursorKind, std::int32_t channel, TaskList& owner);

}  // namespace TextScript
