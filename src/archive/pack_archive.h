// Packs opened at an offset of an open file: on disk, nested in a pack, or inside a folder.
#pragma once

#include <cstdint>
#include <optional>

#include "archive/archive.h"

// The pack whose header starts at base in the open file and that must fit in region bytes
// from there; the archive keeps a duplicate of the descriptor. With a required version, a pack
// of another version gives null.
ComPtr<IArchive> OpenPackAt(int fd, std::uint64_t base, std::uint64_t region,
                            std::optional<std::uint8_t> required_version = std::nullopt);
