#include "lib/combase.h"

#include <cstring>

#include "lib/report.h"

int IsEqualGUID(const GUID& a, const GUID& b) {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
                   std::memcmp(a.data4, b.data4, sizeof a.data4) == 0
               ? 1
               : 0;
}

void ReportOverRelease() { AssertFail("0", "src/lib/combase", 38); }

void DestroyWithDeleter(DeleterPair& pair) {
    if (pair.pointer && pair.deleter) pair.deleter->Destroy(pair.pointer);
    pair.pointer = nullptr;
    delete pair.deleter;
    pair.deleter = nullptr;
}
