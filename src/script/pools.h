// The script layer's block pools and the helpers that make and destroy objects in them.
//
// Each pool's block size is the size of what it holds. The pools live for the whole process
// (made on first use); the compiler's and interpreter's small records come from them.
#pragma once

#include <memory>
#include <new>
#include <utility>

#include "lib/fixheap.h"
#include "lib/scope_guard.h"

namespace TextScript {

FixHeap& NamedItemPool();     // value items (NamedItem)
FixHeap& ArgItemPool();       // argument items (ArgItem)
FixHeap& VariableNodePool();  // variables (VariableNode)
// Story nodes of the game: a node class that takes its blocks from here must be no larger than
// ScriptStateNode (kStateNodeBlockSize).
FixHeap& StateNodePool();

inline constexpr unsigned kPoolBlocksPerChunk = 4096;

// Raises the error exception for a pool that has no block left.
[[noreturn]] void RaisePoolExhausted(const char16_t* pool_name);

// Makes a T in a block of `pool`; an empty pool raises the error exception.
template <class T, class... Args>
T* PoolNew(FixHeap& pool, const char16_t* pool_name, Args&&... args) {
    void* block = pool.Alloc(sizeof(T));
    if (!block) RaisePoolExhausted(pool_name);
    // Dismissed once the constructor has returned: this runs for every node and argument.
    ScopeGuard give_back([&pool, block] { pool.Free(block); });
    T* object = new (block) T(std::forward<Args>(args)...);
    give_back.Dismiss();
    return object;
}

// Destroys a T made by PoolNew and gives its block back.
template <class T>
void PoolDelete(FixHeap& pool, T* object) {
    if (!object) return;
    object->~T();
    pool.Free(object);
}

}  // namespace TextScript
