// Task records: light-weight tasks with a callback, hung in trees under 16 root slots and walked
// once per frame. Each walk sends a record one message before its children and one after.
//
// Records come from one process-wide pool of 128 (16 of them serve as the roots); there is no
// heap allocation. Main thread only.
#pragma once

#include <cstdint>

struct ACT;

// The callback's message parameters and result are pointer-sized: owners pass records and
// other pointers through them.
using ACTCallback = std::intptr_t (*)(ACT* act, int message, std::intptr_t a, std::intptr_t b);

// Messages the pool sends; owners define their own above these.
enum ACTMessage : int {
    kActCreated = 1,        // MakeACT made the record
    kActDestroyed = 2,      // DetachACT is taking the record down
    kActChildDetached = 3,  // to a parent: a = the child leaving it
    kActAttached = 4,       // AttachACT hung the record under a root
    kActWalkEnter = 5,      // a walk reached the record, before its children
    kActWalkLeave = 6,      // a walk leaves the record, after its children
};

inline constexpr int kActRootSlots = 16;
inline constexpr int kActPoolSize = 128;

struct ACT {
    ACT* parent;      // null for a root and for a free record
    ACT* next;        // next sibling in the parent's circular ring; next free record when free
    ACT* last_child;  // newest child; its next is the oldest
    ACTCallback callback;
    std::uintptr_t value;  // given at creation
    std::uintptr_t user;   // free for the owner, 0 at creation
    std::int32_t flags;    // bit 0: walks descend into the record; owners keep a state here
};

// Links all records into the free list and takes one for each root slot.
void InitACTPool();
// A new record from the pool with the callback and value, flags 1, sent kActCreated.
// An empty pool raises the error exception "MakeACT: Empty Memory!!".
ACT* MakeACT(ACTCallback callback, std::uintptr_t value);
// Hangs the record under root slot `slot` (0..15) as its newest child and sends it kActAttached.
void AttachACT(int slot, ACT* act);
// Destroys the record's subtree (newest child first, depth first), takes the record out of its
// parent and sends it kActDestroyed. The record itself stays out of the pool.
void DetachACT(ACT* act);
// DetachACT, then clears the record and returns it to the pool. Returns 0. A record already in
// the pool is left alone.
int FreeACT(ACT* act);
// The callback's result, or 0 when the record has none.
std::intptr_t SendACT(ACT* act, int message, std::intptr_t a, std::intptr_t b);
// kActWalkEnter, then every child whose flags bit 0 is set (oldest first, recursively), then
// kActWalkLeave. Children that leave the tree during the walk are not visited afterwards.
void WalkACT(ACT* act);
// WalkACT on every non-empty root slot from first to last inclusive; last -1 means 15.
void WalkACTRoots(int first, int last);
// Detaches every root's subtree and returns the roots to the pool, emptying the slots.
void FreeAllACTRoots();
// Takes the record out of parent's child ring (nothing when it is not there).
void UnlinkChildACT(ACT* parent, ACT* act);
// The record of root slot `slot`, or null when the slot is empty or out of range.
ACT* GetACTRoot(int slot);
