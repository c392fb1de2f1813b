#include "full_save.h"

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "lib/text.h"
#include "screens/global_records.h"
#include "screens/save_database.h"
#include "screens/save_records.h"

namespace framebench {

void MakeFullSaveFile(const std::filesystem::path& settings) {
    std::filesystem::create_directories(settings);
    // Pixels of noise, as a picture's are: no two pages of the file alike.
    std::mt19937 random(99);
    const std::uint8_t no_variables[] = {0};
    const DatabaseScope scope(SaveDatabaseSession, Utf8ToUtf16((settings / "save.dat").string()));
    CreateSaveSchema();
    WriteGlobalRecords({});
    for (std::int32_t number = 1; number <= kSlotCount; ++number) {
        SAVEDATA2 record;
        record.comment = u"スロット " + Utf8ToUtf16(std::to_string(number));
        record.resumePage = 1;
        for (std::uint8_t& byte : record.thumbnail) byte = static_cast<std::uint8_t>(random());
        const std::vector<std::uint8_t> header = EncodeSaveData2(record);
        WriteEntryHeader(number, std::span<const std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
        WriteEntryBacklog(number);
        WriteSlotVariables(number, std::span<const std::uint8_t>(no_variables));
    }
}

}  // namespace framebench
