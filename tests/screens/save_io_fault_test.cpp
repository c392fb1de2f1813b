// Saves on a disk that fails: every write, sync, truncate, journal open and delete SQLite makes
// during a save or a quick save is made to fail in turn (once, or from then on as a full disk
// does), with SQLITE_IOERR and SQLITE_FULL. Each failure must reach the caller, leave every
// committed save and global record as it was, byte for byte, and let the next save work.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/app_script.h"
#include "app/game_cycle.h"
#include "app/game_data.h"
#include "app/picture_commands.h"
#include "app/scene_state.h"
#include "app/settings.h"
#include "fault_vfs.h"
#include "lib/error.h"
#include "lib/text.h"
#include "save_state.h"
#include "screens/global_records.h"
#include "screens/save_database.h"
#include "screens/save_slots.h"
#include "script/script_node.h"
#include "script/variables.h"
#include "support/temp_folder.h"

namespace {

using testsupport::FaultOp;
using testsupport::FaultVfs;
using testsupport::TempFolder;

// Everything the file holds, as the program's readers give it.
struct Stored {
    std::map<std::int32_t, std::vector<std::uint8_t>> headers;
    std::map<std::int32_t, std::vector<std::uint8_t>> variables;
    std::vector<std::uint8_t> common;
    std::vector<std::uint8_t> scenes;
    std::vector<std::uint8_t> album;

    bool operator==(const Stored&) const = default;
};

Stored ReadStored() {
    Stored stored;
    const DatabaseScope scope = OpenSaveDatabase();
    for (std::int32_t number = 1; number <= kRingSpare; ++number) {
        if (!EntryExists(number)) continue;
        std::vector<std::uint8_t> header(kSaveData2Bytes);
        ReadEntryHeader(number, std::span<std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
        stored.headers[number] = std::move(header);
        stored.variables[number] = ReadSlotVariables(number);
    }
    stored.common.resize(kCommonRecordBytes);
    if (!ReadCommonData(std::span<std::uint8_t, kCommonRecordBytes>(stored.common.data(), kCommonRecordBytes)))
        stored.common.clear();
    stored.scenes = ReadSceneData();
    stored.album = ReadAlbumData();
    return stored;
}

// Which save is made under the fault.
enum class Operation { kOverwriteSlot, kNewSlot, kQuickSave };
constexpr std::int32_t kOverwrittenSlot = 2;
constexpr std::int32_t kNewSlot = 7;

const char* OperationName(Operation operation) {
    switch (operation) {
        case Operation::kOverwriteSlot: return "OverwriteSlot";
        case Operation::kNewSlot: return "NewSlot";
        case Operation::kQuickSave: return "QuickSave";
    }
    return "";
}

class SaveIoFaultTest : public ::testing::TestWithParam<std::tuple<Operation, FaultOp>> {
protected:
    void SetUp() override {
        SettingsFolders.settings_folder = folder_.Path("");
        Reset();
        CurrentScript = &group_;
        // The first start, the saves and every read below go through the fault VFS.
        LoadGlobalData(group_);
        for (const std::int32_t number : {1, kOverwrittenSlot, 3})
            ASSERT_EQ(Save(Operation::kOverwriteSlot, number), 1);
        for (int k = 0; k < 10; ++k) ASSERT_EQ(Save(Operation::kQuickSave, 0), 1);
    }
    void TearDown() override {
        vfs_.Disarm();
        CurrentScript = nullptr;
        Reset();
        SettingsFolders.settings_folder = saved_folder_;
    }
    static void Reset() { ResetSaveState(); }

    // Makes the state in memory that the next save stores differ from every earlier one: the page,
    // a variable, a seen bit and a scene name.
    void NextFingerprint() {
        ++fingerprint_;
        TextScript::CurrentPage = static_cast<std::uint32_t>(fingerprint_);
        TextScript::GetOrCreateVariable(TextScript::VariableSnapshot(), u"fp", fingerprint_);
        SeenFlags[fingerprint_ % kSeenFlagBytes] ^= 1;
        group_.AddSceneName(u"scene" + Utf8ToUtf16(std::to_string(fingerprint_)));
    }

    // The save, with a new fingerprint; 1 when stored. A slot save's failure is the error
    // exception, which is kept in `failure_`; a quick save's is its 0 and its text.
    std::int32_t Save(Operation operation, std::int32_t number) {
        NextFingerprint();
        failure_ = {};
        if (operation == Operation::kQuickSave) {
            const std::int32_t result = AutoSave(&failure_.message);
            if (result == 0) failure_.source = u"AutoSave";
            return result;
        }
        try {
            return SaveSlot(number, u"save" + Utf8ToUtf16(std::to_string(fingerprint_)));
        } catch (const ExceptionHandle& error) {
            failure_.source = error.file;
            failure_.message = error.message;
            return 0;
        }
    }
    std::int32_t Target(Operation operation) const {
        return operation == Operation::kOverwriteSlot ? kOverwrittenSlot
               : operation == Operation::kNewSlot     ? kNewSlot
                                                      : kRingFirst;
    }
    // The save just made is the one the file holds at its number.
    void ExpectStoredFingerprint(Operation operation) {
        const std::int32_t number = Target(operation);
        const Decoded<SAVEDATA2> record = ReadSlotRecord(number);
        ASSERT_TRUE(record.ok()) << number;
        EXPECT_EQ(record.value.resumePage, fingerprint_) << number;
        bool found = false;
        for (const VariableBlobEntry& entry : ReadSlotVariableEntries(number)) {
            if (entry.name != u"fp") continue;
            found = true;
            EXPECT_EQ(entry.value, fingerprint_) << number;
        }
        EXPECT_TRUE(found) << number;
    }
    void Prepare(Operation operation) {
        if (operation == Operation::kNewSlot) DeleteSlot(kNewSlot);
    }

    struct Failure {
        std::u16string source;
        std::u16string message;
    };

    TempFolder folder_{"qb_io_fault"};
    std::u16string saved_folder_ = SettingsFolders.settings_folder;
    ScriptStateGroup_App group_;
    FaultVfs vfs_;
    std::int32_t fingerprint_ = 0;
    Failure failure_;
};

TEST_P(SaveIoFaultTest, EveryFailingStepFailsTheSaveAndKeepsWhatWasCommitted) {
    const auto [operation, op] = GetParam();
    int faults = 0;
    for (const int code : {SQLITE_IOERR, SQLITE_FULL}) {
        for (const bool sticky : {false, true}) {
            for (int n = 1;; ++n) {
                SCOPED_TRACE(testing::Message() << OperationName(operation) << ", " << testsupport::FaultOpName(op)
                                                << " #" << n << (sticky ? " and after" : "") << " fails with " << code);
                Prepare(operation);
                const Stored before = ReadStored();
                vfs_.ResetCounts();
                vfs_.Arm(op, n, code, sticky);
                const std::int32_t result = Save(operation, Target(operation));
                const int fired = vfs_.Fired();
                vfs_.Disarm();
                EXPECT_EQ(SaveDatabaseSession.Users(), 0u);
                if (fired == 0) {
                    // The save made fewer than n of these steps: it ran untouched and must be stored.
                    ASSERT_EQ(result, 1) << Utf16ToUtf8(failure_.message);
                    ExpectStoredFingerprint(operation);
                    break;
                }
                ++faults;
                EXPECT_EQ(result, 0) << "the failure was not reported";
                EXPECT_FALSE(failure_.message.empty());
                if (operation != Operation::kQuickSave) {
                    EXPECT_EQ(failure_.source, u"script/scr_gui");
                }
                // The file opens again (a journal left behind is rolled back) and holds what it held.
                EXPECT_TRUE(ReadStored() == before) << "a failed save changed the file";

                // The next save works and is stored.
                Prepare(operation);
                const Stored untouched = ReadStored();
                ASSERT_EQ(Save(operation, Target(operation)), 1) << Utf16ToUtf8(failure_.message);
                ExpectStoredFingerprint(operation);
                // It changed only what it writes: its slot (the ring for a quick save) and the global records.
                Stored after = ReadStored();
                Stored kept = untouched;
                for (Stored* stored : {&after, &kept}) {
                    stored->common.clear();
                    stored->scenes.clear();
                    stored->album.clear();
                    for (std::int32_t number = kRingFirst; number <= kRingLast; ++number) {
                        if (operation == Operation::kQuickSave || number == Target(operation)) {
                            stored->headers.erase(number);
                            stored->variables.erase(number);
                        }
                    }
                    stored->headers.erase(Target(operation));
                    stored->variables.erase(Target(operation));
                }
                EXPECT_TRUE(after == kept) << "a save changed another slot";
                if (HasFatalFailure()) return;
            }
        }
    }
    // Every save writes, syncs, opens and deletes its journal; only truncation may never happen.
    if (op != FaultOp::kTruncate) {
        EXPECT_GT(faults, 0);
    }
    RecordProperty("faults", faults);
    std::printf("%s, %s: %d failing steps\n", OperationName(operation), testsupport::FaultOpName(op), faults);
}

INSTANTIATE_TEST_SUITE_P(Steps, SaveIoFaultTest,
                         ::testing::Combine(::testing::Values(Operation::kOverwriteSlot, Operation::kNewSlot,
                                                              Operation::kQuickSave),
                                            ::testing::Values(FaultOp::kWrite, FaultOp::kSync, FaultOp::kTruncate,
                                                              FaultOp::kJournalOpen, FaultOp::kDelete)),
                         [](const testing::TestParamInfo<std::tuple<Operation, FaultOp>>& info) {
                             std::string name = std::string(OperationName(std::get<0>(info.param))) + "_" +
                                                testsupport::FaultOpName(std::get<1>(info.param));
                             for (char& c : name)
                                 if (c == ' ') c = '_';
                             return name;
                         });

}  // namespace
