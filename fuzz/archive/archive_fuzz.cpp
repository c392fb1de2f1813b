// Opens the input as a pack (through a memory-backed file) and reads every entry every way,
// nested packs included.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "archive/archive.h"
#include "archive/posix_file.h"
#include "fuzz_quiet.h"
#include "lib/text.h"

namespace {

void ReadEverything(IArchive& archive, int depth) {
    for (const ArchiveListEntry& entry : archive.Enumerate()) {
        LoadArchiveEntry(archive, entry.path);
        if (auto file = archive.OpenFile(entry.path)) {
            std::uint8_t buffer[4096];
            while (file->Read(buffer, sizeof buffer) == sizeof buffer) {}
            file->Seek(0, IArchiveFile::kSeekEnd);
            if (auto clone = file->Clone()) clone->Read(buffer, sizeof buffer);
        }
        if (auto mapping = archive.OpenMapping(entry.path)) {
            if (auto* view = static_cast<const std::uint8_t*>(mapping->Map(0, 0))) {
                volatile std::uint8_t sink = view[0] ^ view[mapping->GetSize() - 1];
                (void)sink;
            }
        }
        if (depth < 2)
            if (auto nested = archive.OpenArchive(entry.path)) ReadEverything(*nested, depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SilenceReports();  // the unsupported-version assertion must not stop the run either
    archive_detail::UniqueFd fd(memfd_create("archive_fuzz", MFD_CLOEXEC));
    if (!fd || ::write(fd.get(), data, size) != static_cast<ssize_t>(size)) return 0;
    const std::u16string path = Utf8ToUtf16("/proc/self/fd/" + std::to_string(fd.get()));
    if (auto archive = OpenSafArchive(path)) ReadEverything(*archive, 0);
    return 0;
}
