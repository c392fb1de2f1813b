// Title histories: the titles (file names without folder and extension) of the scripts that have
// begun to run and of the pictures loaded, each kept once in order of first addition.
#pragma once

#include <string>
#include <string_view>

#include "lib/list.h"

namespace TextScript {

class FILEHISTGROUP;

class FILEHISTNODE : public CListNode<FILEHISTNODE, FILEHISTGROUP> {
public:
    explicit FILEHISTNODE(std::u16string_view title) : title(title) {}
    std::u16string title;
};

class FILEHISTGROUP : public CListGroup<FILEHISTGROUP, FILEHISTNODE> {
public:
    // True when a title equal to `title` (ASCII case ignored) is held.
    bool Find(std::u16string_view title) const;
    // True (and nothing changes) when found; else appends a copy and returns false.
    bool Add(std::u16string_view title);
};

// The path without its drive, folder and extension.
std::u16string FileTitle(std::u16string_view path);

FILEHISTGROUP& ScriptHistory();
FILEHISTGROUP& ImageHistory();
void AddImageHistory(std::u16string_view path);

}  // namespace TextScript
