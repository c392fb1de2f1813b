#include "script/history.h"

#include <memory>

#include "lib/diskfile.h"
#include "script/text_fold.h"

namespace TextScript {

bool FILEHISTGROUP::Find(std::u16string_view title) const {
    for (const FILEHISTNODE* node = head(); node; node = node->next())
        if (EqualIgnoringCase(node->title, title)) return true;
    return false;
}

bool FILEHISTGROUP::Add(std::u16string_view title) {
    if (Find(title)) return true;
    InsertChain(nullptr, std::make_unique<FILEHISTNODE>(title).release());
    return false;
}

std::u16string FileTitle(std::u16string_view path) { return RebuildPath(path, u"", u"", nullptr, u""); }

FILEHISTGROUP& ScriptHistory() {
    static FILEHISTGROUP history;
    return history;
}

FILEHISTGROUP& ImageHistory() {
    static FILEHISTGROUP history;
    return history;
}

void AddImageHistory(std::u16string_view path) { ImageHistory().Add(FileTitle(path)); }

}  // namespace TextScript
