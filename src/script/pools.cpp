#include "script/pools.h"

#include "lib/error.h"
#include "script/script_node.h"
#include "script/variables.h"

namespace TextScript {

FixHeap& NamedItemPool() {
    static FixHeap pool(sizeof(NamedItem), kPoolBlocksPerChunk, alignof(NamedItem));
    return pool;
}

FixHeap& ArgItemPool() {
    static FixHeap pool(sizeof(ArgItem), kPoolBlocksPerChunk, alignof(ArgItem));
    return pool;
}

FixHeap& VariableNodePool() {
    static FixHeap pool(sizeof(VariableNode), kPoolBlocksPerChunk, alignof(VariableNode));
    return pool;
}

FixHeap& StateNodePool() {
    static FixHeap pool(kStateNodeBlockSize, kPoolBlocksPerChunk, alignof(ScriptStateNode));
    return pool;
}

void RaisePoolExhausted(const char16_t* pool_name) {
    ThrowError(u"pools.cpp", __LINE__, 0, 0, u"%s: Empty Memory!!", pool_name);
}

}  // namespace TextScript
