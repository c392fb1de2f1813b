// The cooperative script-thread scheduler: a table of 16 slots for worker threads that would
// take turns with the main thread inside the frame step. Nothing in the program makes such a
// thread, and a thread cannot be suspended from outside here, so the slots stay empty: the
// table is kept (and cleared between game cycles), and the frame step asks the scheduler
// whether it runs on the main thread.
#pragma once

#include <cstdint>

struct ThreadSlot {
    void* thread = nullptr;  // null: empty
    std::int32_t state = 0;  // 0 run, 2 end the thread, 3 unwind it with ScriptException 3
    std::int32_t running = 0;
};

inline constexpr int kThreadSlotCount = 16;

// Slots 1 to 16 are ThreadSlots[0] to [15]; CurrentThreadSlot 0 means the main thread.
extern ThreadSlot ThreadSlots[kThreadSlotCount];
extern int CurrentThreadSlot;

// Forgets every slot and the current-slot word (it neither ends nor closes threads).
void ResetThreadSlots();
// 1 on the main thread (after every live slot had its turn); 0 when called from a slot's thread.
int ScheduleThreads();
