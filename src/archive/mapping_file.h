// Memory-mapped views of an archive entry.
#pragma once

#include "archive/archive.h"

// A mapping over the entry file (held by reference); null when the file has no descriptor.
ComPtr<IMappingFile> MakeMappingFile(ComPtr<IArchiveFile> file);
