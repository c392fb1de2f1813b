#include "app/scheduler.h"

ThreadSlot ThreadSlots[kThreadSlotCount];
int CurrentThreadSlot = 0;

void ResetThreadSlots() {
    for (ThreadSlot& slot : ThreadSlots) slot = ThreadSlot{};
    CurrentThreadSlot = 0;
}

int ScheduleThreads() {
    // On a slot's thread the turn would go back to the main thread here; with no way to hand it
    // over, the caller only learns that it is not the main thread (the frame step then yields).
    if (CurrentThreadSlot != 0) return 0;
    // No slot can hold a thread (see the header), so the main thread has nothing to hand over.
    CurrentThreadSlot = 0;
    return 1;
}
