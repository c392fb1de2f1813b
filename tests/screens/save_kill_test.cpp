// Saves killed at random: a child process saves to numbered slots and quick-saves in a loop,
// telling the test on a pipe about each save before it starts and after it is committed, and is
// killed with SIGKILL at a random (seeded) moment after its first committed save, hundreds of
// times over one file; so every round has a committed save to lose, on a disk of any speed. After each
// kill the file must open through the program's own open, every committed save must be there byte
// for byte, the save cut off must be there whole or not at all, and the quick-save ring must hold
// exactly the newest quick saves in order. The first start is also killed before each of its disk
// steps in turn, and so is a start that keeps a damaged file aside for a new one.
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
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
#include "screens/save_file.h"
#include "screens/save_slots.h"
#include "screens/screen_services.h"
#include "script/script_node.h"
#include "script/variables.h"
#include "support/capture_reports.h"
#include "support/sqlite_observer.h"
#include "support/temp_folder.h"

namespace {

using testsupport::CaptureReports;
using testsupport::FaultOp;
using testsupport::FaultVfs;
using testsupport::SqliteObserver;
using testsupport::TempFolder;

// What the child tells the test; one write each, smaller than PIPE_BUF, so never torn.
struct Message {
    enum Kind : std::int32_t { kReady = 1, kIntent, kCommitted, kDigest, kStopped, kDone };
    std::int32_t kind = 0;
    std::int32_t number = 0;  // the slot saved (91 for a quick save)
    std::int32_t seq = 0;     // the save's fingerprint: its page, its variable "fp" and the seen bytes
    std::int32_t quick = 0;
    std::uint64_t header_digest = 0;
    std::uint64_t data_digest = 0;
};

std::uint64_t Digest(std::span<const std::uint8_t> bytes) {
    std::uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
    for (const std::uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001B3ull;
    return hash;
}

// A forked child that runs `body` with the write end of a pipe. It is killed and reaped on every way
// out of the test.
class ChildProcess {
public:
    explicit ChildProcess(const std::function<void(int)>& body) {
        int fds[2];
        if (::pipe(fds) != 0) throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ < 0) throw std::runtime_error("fork");
        if (pid_ == 0) {
            ::close(fds[0]);
            try {
                body(fds[1]);
            } catch (const ExceptionHandle& error) {
                std::fprintf(stderr, "child: %s (line %u)\n", Utf16ToUtf8(error.message).c_str(), error.line);
                ::_exit(2);
            } catch (...) {
                ::_exit(3);
            }
            ::_exit(0);
        }
        ::close(fds[1]);
        read_ = fds[0];
    }
    ~ChildProcess() {
        Kill();
        if (read_ >= 0) ::close(read_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next message; nothing at the end of the pipe or after `timeout`.
    std::optional<Message> Read(std::chrono::milliseconds timeout) {
        pollfd poll_fd{read_, POLLIN, 0};
        if (::poll(&poll_fd, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
        Message message;
        if (::read(read_, &message, sizeof message) != static_cast<ssize_t>(sizeof message)) return std::nullopt;
        return message;
    }
    // Kills the child (when it still runs) and reaps it; its wait status.
    int Kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
            pid_ = -1;
        }
        return status_;
    }
    // Waits for the child to end by itself; its wait status.
    int Wait() {
        if (pid_ > 0) {
            ::waitpid(pid_, &status_, 0);
            pid_ = -1;
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    int read_ = -1;
    int status_ = 0;
};

void Send(int fd, const Message& message) {
    if (::write(fd, &message, sizeof message) != static_cast<ssize_t>(sizeof message)) ::_exit(4);
}

// Runs `work` in a child (after `set_up`) that is stopped before its disk step `step`, counted
// from 1, and killed there: `stopped` is the message it stopped with, or nothing when the work
// ended first, with its exit status in `status`.
void RunToDiskStep(int step, const std::function<void()>& set_up, const std::function<void()>& work,
                   std::optional<Message>& stopped, int& status) {
    ChildProcess child([&](int fd) {
        set_up();
        FaultVfs vfs;
        int steps = 0;
        vfs.before = [&](FaultOp op, int) {
            if (++steps != step) return;
            Send(fd, {Message::kStopped, static_cast<std::int32_t>(op), steps});
            for (;;) ::pause();
        };
        work();
        Send(fd, {Message::kDone});
    });
    const std::optional<Message> message = child.Read(std::chrono::milliseconds(20'000));
    ASSERT_TRUE(message) << "the child neither stopped nor ended";
    if (message->kind == Message::kDone) {
        status = child.Wait();
    } else {
        stopped = message;
        child.Kill();
    }
}

// The seen bytes 0 to 3 carry the fingerprint of the last save into the global records.
void SetCommonFingerprint(std::int32_t seq) {
    for (int i = 0; i < 4; ++i) SeenFlags[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(seq) >> (8 * i));
}
std::int32_t CommonFingerprint(std::span<const std::uint8_t> seen) {
    std::uint32_t seq = 0;
    for (int i = 0; i < 4; ++i) seq |= static_cast<std::uint32_t>(seen[i]) << (8 * i);
    return static_cast<std::int32_t>(seq);
}

std::u16string Comment(std::int32_t seq) { return u"s" + Utf8ToUtf16(std::to_string(seq)); }

// The child: starts the game's way (the first start creates the file), then saves for ever.
[[noreturn]] void SaveForever(int fd, const std::u16string& folder, std::int32_t seq, std::uint32_t seed) {
    SettingsFolders.settings_folder = folder;
    ResetSaveState();
    ScriptStateGroup_App group;
    CurrentScript = &group;
    LoadGlobalData(group);
    Send(fd, {Message::kReady});
    std::mt19937 random(seed);
    for (;;) {
        ++seq;
        const bool quick = random() % 3 == 0;
        const std::int32_t number = quick ? kRingFirst : static_cast<std::int32_t>(1 + random() % 8);
        TextScript::CurrentPage = static_cast<std::uint32_t>(seq);
        TextScript::GetOrCreateVariable(TextScript::VariableSnapshot(), u"fp", seq);
        SetCommonFingerprint(seq);
        Send(fd, {Message::kIntent, number, seq, quick});
        if (quick) {
            std::u16string error;
            if (AutoSave(&error) != 1) ThrowError(u"child", 0, 0, 0, u"%s", error);
        } else {
            SaveSlot(number, Comment(seq));
        }
        Send(fd, {Message::kCommitted, number, seq, quick});
        std::vector<std::uint8_t> header(kSaveData2Bytes);
        std::vector<std::uint8_t> data;
        {
            const DatabaseScope scope = OpenSaveDatabase();
            ReadEntryHeader(number, std::span<std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
            data = ReadSlotVariables(number);
        }
        Send(fd, {Message::kDigest, number, seq, quick, Digest(header), Digest(data)});
    }
}

// What the file must hold: per slot number, the save there.
struct SlotModel {
    std::int32_t seq = 0;
    std::optional<std::uint64_t> header_digest;  // unknown until the child or a check tells it
    std::optional<std::uint64_t> data_digest;
};
struct FileModel {
    std::map<std::int32_t, SlotModel> slots;
    std::int32_t common_seq = 0;  // the last committed save's fingerprint in COMMON

    void Commit(const Message& save) {
        if (save.quick) {
            // The quick save: 99 drops out, 91..98 move up, the new one lands in 91.
            slots.erase(kRingLast);
            for (std::int32_t n = kRingLast - 1; n >= kRingFirst; --n) {
                if (auto it = slots.find(n); it != slots.end()) {
                    slots[n + 1] = it->second;
                    slots.erase(n);
                }
            }
        }
        slots[save.number] = SlotModel{save.seq, {}, {}};
        common_seq = save.seq;
    }
};

// One slot as the program reads it back.
struct SlotRead {
    std::uint64_t header_digest = 0;
    std::uint64_t data_digest = 0;
    Decoded<SAVEDATA2> record;
    std::vector<VariableBlobEntry> variables;
};

struct FileRead {
    bool schema = false;
    std::map<std::int32_t, SlotRead> slots;
    std::int32_t common_seq = 0;
};

// Reads the whole file through the program's own open and readers (which roll back what a kill
// left in a journal).
FileRead ReadFile() {
    FileRead file;
    const DatabaseScope scope = OpenSaveDatabase();
    file.schema = SaveSchemaExists();
    if (!file.schema) return file;
    for (std::int32_t number = 1; number <= kRingSpare; ++number) {
        if (!EntryExists(number)) continue;
        SlotRead& slot = file.slots[number];
        std::vector<std::uint8_t> header(kSaveData2Bytes);
        ReadEntryHeader(number, std::span<std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
        const std::vector<std::uint8_t> data = ReadSlotVariables(number);
        slot.header_digest = Digest(header);
        slot.data_digest = Digest(data);
        slot.record = DecodeSaveData2(header);
        const Decoded<std::vector<VariableBlobEntry>> variables = DecodeVariableBlob(data);
        EXPECT_TRUE(variables.ok()) << "slot " << number;
        slot.variables = variables.value;
    }
    std::array<std::uint8_t, kCommonRecordBytes> common{};
    if (ReadCommonData(common)) {
        const Salvaged<CommonRecord> record = DecodeCommonRecord(common);
        EXPECT_EQ(record.damage, SaveBlobError::kNone);
        file.common_seq = CommonFingerprint(record.value.SeenFlags);
    }
    return file;
}

// The fingerprint a slot carries: its page, which must match its variable and (for a numbered
// slot) its comment.
std::int32_t Fingerprint(std::int32_t number, const SlotRead& slot) {
    EXPECT_TRUE(slot.record.ok()) << "slot " << number << ": " << Utf16ToUtf8(DescribeSaveBlobError(slot.record.error));
    const std::int32_t seq = slot.record.value.resumePage;
    const bool ring = number >= kRingFirst;
    if (!ring) {
        EXPECT_EQ(slot.record.value.comment, Comment(seq)) << "slot " << number;
    }
    std::int32_t fp = -1;
    for (const VariableBlobEntry& entry : slot.variables)
        if (entry.name == u"fp") fp = entry.value;
    EXPECT_EQ(fp, seq) << "slot " << number;
    return seq;
}

// Each slot's digests (header, variables) as read.
using SlotDigests = std::map<std::int32_t, std::pair<std::uint64_t, std::uint64_t>>;
SlotDigests DigestsOf(const FileRead& file) {
    SlotDigests digests;
    for (const auto& [number, slot] : file.slots) digests[number] = {slot.header_digest, slot.data_digest};
    return digests;
}

// A session's first cycle start, the player giving `answer` to the first box (the offer to keep
// the file aside) and OK to any other; the boxes shown.
std::vector<testsupport::CapturedBox> StartSession(int answer) {
    CaptureReports reports;
    reports.AnswerNext(answer);
    GameCycleServices services;
    InstallSaveServices(services);
    ScriptStateGroup_App group;
    group.SetServices(&services);
    services.load_global(group);
    return reports.boxes;
}

class SaveKillTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsFolders.settings_folder = folder_.Path("");
        ResetSaveState();
    }
    void TearDown() override {
        CurrentScript = nullptr;
        ResetSaveState();
        SettingsFolders.settings_folder = saved_folder_;
    }

    // Which journal file lies beside the database, if any: SQLite makes a new one for every
    // transaction that changes pages and deletes it at the commit.
    struct JournalStamp {
        ino_t inode;
        std::int64_t mtime_ns;
        off_t size;
        bool operator==(const JournalStamp&) const = default;
    };
    std::optional<JournalStamp> Journal() const {
        struct stat info {};
        if (::stat(journal_.c_str(), &info) != 0) return std::nullopt;
        return JournalStamp{info.st_ino, info.st_mtim.tv_sec * 1'000'000'000ll + info.st_mtim.tv_nsec, info.st_size};
    }
    // A journal beside the file that the next open must play back: the kill cut a transaction
    // after it had begun to change pages. (A journal whose header was never written is not.)
    bool HotJournal() const {
        const std::string bytes = testsupport::FileBytes(journal_);
        return !bytes.empty() && bytes[0] != 0;
    }

    TempFolder folder_{"qb_kill"};
    std::filesystem::path file_ = folder_ / "save.dat";
    std::filesystem::path journal_ = folder_ / "save.dat-journal";
    std::u16string saved_folder_ = SettingsFolders.settings_folder;
};

TEST_F(SaveKillTest, KillsAtRandomLoseNoCommittedSave) {
    constexpr int kKills = 300;
    constexpr std::uint32_t kSeed = 20261207;
    std::mt19937 random(kSeed);
    FileModel model;
    std::int32_t next_seq = 0;
    int in_transaction = 0;  // a journal was left beside the file: pages had begun to change
    int in_commit = 0;       // that journal was hot: the commit was writing the file
    int in_save = 0;         // the child had announced a save that it had not yet committed
    int committed_unacknowledged = 0;
    int saves = 0;

    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE(testing::Message() << "kill " << kill << " (seed " << kSeed << ")");
        // Delays up to 40 ms after the first committed save: on a fast disk a few more saves, on
        // a slow one a kill inside the next.
        const auto delay = std::chrono::microseconds(random() % 40'000);
        const std::uint32_t child_seed = random();
        const std::int32_t first_seq = next_seq;
        const std::u16string folder = folder_.Path("");
        int status = 0;
        std::vector<Message> messages;
        const std::optional<JournalStamp> journal_before = Journal();
        {
            ChildProcess child([&](int fd) { SaveForever(fd, folder, first_seq, child_seed); });
            // The kill comes only once a save is committed: counted in saves, not in time, the
            // test proves as much on a slow disk as on a fast one. (Starts cut short are the next
            // test's.)
            while (messages.empty() || messages.back().kind != Message::kCommitted) {
                const std::optional<Message> message = child.Read(std::chrono::milliseconds(20'000));
                ASSERT_TRUE(message) << "the child committed no save";
                messages.push_back(*message);
            }
            std::this_thread::sleep_for(delay);
            status = child.Kill();
            while (const std::optional<Message> message = child.Read(std::chrono::milliseconds(5000)))
                messages.push_back(*message);
        }
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child ended by itself: " << status;
        // A journal made in this round (one left by an earlier kill may still lie there unread).
        if (const std::optional<JournalStamp> now = Journal(); now && now != journal_before) ++in_transaction;
        in_commit += HotJournal();

        // What the child committed and what it was doing when killed.
        std::optional<Message> pending;
        std::map<std::int32_t, Message> digests;
        for (const Message& message : messages) {
            switch (message.kind) {
                case Message::kReady: break;
                case Message::kIntent: pending = message; break;
                case Message::kCommitted:
                    ASSERT_TRUE(pending && pending->seq == message.seq);
                    model.Commit(message);
                    pending.reset();
                    ++saves;
                    break;
                case Message::kDigest: digests[message.seq] = message; break;
            }
            next_seq = std::max(next_seq, message.seq);
        }
        in_save += pending.has_value();

        // The file opens the program's way; a journal left by the kill is rolled back.
        FileRead file;
        try {
            file = ReadFile();
        } catch (const ExceptionHandle& error) {
            FAIL() << "the file does not open after a kill: " << Utf16ToUtf8(error.message);
        }
        EXPECT_FALSE(HotJournal()) << "the open left a journal to roll back";
        ASSERT_TRUE(file.schema) << "the first start's commit is lost";

        // The save cut off is there whole or not at all: its number holds it or what it held before.
        if (pending) {
            const auto it = file.slots.find(pending->number);
            if (it != file.slots.end() && Fingerprint(it->first, it->second) == pending->seq) {
                model.Commit(*pending);
                ++committed_unacknowledged;
            }
        }
        // Every slot holds the save the model says, byte for byte as the child read it back after
        // its commit (or as the first check after the kill read it, when the child had no time to).
        std::map<std::int32_t, std::int32_t> expected_numbers;
        std::map<std::int32_t, std::int32_t> found_numbers;
        for (const auto& [number, slot] : model.slots) expected_numbers[number] = slot.seq;
        for (const auto& [number, slot] : file.slots) found_numbers[number] = Fingerprint(number, slot);
        ASSERT_EQ(found_numbers, expected_numbers) << "slot number -> save";
        for (auto& [number, slot] : model.slots) {
            const SlotRead& read = file.slots.at(number);
            if (!slot.header_digest) {
                if (const auto it = digests.find(slot.seq); it != digests.end()) {
                    slot.header_digest = it->second.header_digest;
                    slot.data_digest = it->second.data_digest;
                } else {
                    slot.header_digest = read.header_digest;
                    slot.data_digest = read.data_digest;
                }
            }
            EXPECT_EQ(read.header_digest, *slot.header_digest) << "slot " << number << " changed";
            EXPECT_EQ(read.data_digest, *slot.data_digest) << "slot " << number << " changed";
        }
        // The global records went with the last committed save.
        EXPECT_EQ(file.common_seq, model.common_seq);
        // Every number is held by one row, and 100 by none outside a quick save.
        EXPECT_EQ(SqliteObserver(file_).Rows("SELECT number FROM entry GROUP BY number HAVING count(*) > 1 "
                                             "OR number NOT BETWEEN 1 AND 99;"),
                  "");
        if (HasFailure()) return;
    }
    // The ring ends as the newest quick saves, newest in 91, with no number missing between them.
    std::vector<std::int32_t> ring;
    for (std::int32_t number = kRingFirst; number <= kRingLast; ++number) {
        if (const auto it = model.slots.find(number); it != model.slots.end()) {
            ring.push_back(it->second.seq);
        } else {
            break;
        }
    }
    for (std::size_t i = 1; i < ring.size(); ++i) EXPECT_GT(ring[i - 1], ring[i]);

    std::printf(
        "%d kills, %d committed saves: %d inside a transaction (a journal), %d of them while the "
        "commit wrote the file (a hot journal), %d inside a save call, %d committed but not yet "
        "acknowledged\n",
        kKills, saves, in_transaction, in_commit, in_save, committed_unacknowledged);
    RecordProperty("kills_in_transaction", in_transaction);
    // Not vacuous: a good share of the kills cut a transaction.
    EXPECT_GE(in_transaction * 4, kKills);
    EXPECT_GT(in_commit, 0);
}

// The first start stopped before each of its disk steps in turn, then killed: the next start (the
// test's, the game's own LoadGlobalData) must open the file and find either nothing or the
// whole first commit, never part of it.
TEST_F(SaveKillTest, AFirstStartKilledAtEveryStepLeavesNothingOrEverything) {
    constexpr std::uint8_t kChildMark = 0x5A;
    const std::u16string folder = folder_.Path("");
    int journals = 0;
    int step = 1;
    for (;; ++step) {
        ASSERT_LT(step, 500) << "the first start never ended";
        SCOPED_TRACE(testing::Message() << "stopped before disk step " << step);
        std::filesystem::remove(file_);
        std::filesystem::remove(journal_);
        std::optional<Message> stopped;
        int status = 0;
        ASSERT_NO_FATAL_FAILURE(RunToDiskStep(
            step,
            [&] {
                SettingsFolders.settings_folder = folder;
                ResetSaveState();
                SeenFlags[0] = kChildMark;
            },
            [] {
                ScriptStateGroup_App group;
                LoadGlobalData(group);
            },
            stopped, status));
        if (!stopped) {
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            break;
        }
        SCOPED_TRACE(testsupport::FaultOpName(static_cast<FaultOp>(stopped->number)));
        journals += HotJournal();

        // The next start: the program's own.
        ResetSaveState();
        ScriptStateGroup_App group;
        try {
            LoadGlobalData(group);
        } catch (const ExceptionHandle& error) {
            FAIL() << "the file does not open: " << Utf16ToUtf8(error.message);
        }
        // Stopped before a step of its only transaction, the child committed nothing: this start was
        // the first, and wrote its own state.
        EXPECT_EQ(SeenFlags[0], 0);
        const std::string rows = SqliteObserver(file_).Rows(
            "SELECT name, length(value_bin) FROM global ORDER BY id; SELECT count(*) FROM entry;");
        EXPECT_EQ(rows, "SCENE|1;ALBUM|1;COMMON|2308");
    }
    std::printf("the first start takes %d disk steps; %d kills left a journal\n", step - 1, journals);
    EXPECT_GT(step, 3);
    EXPECT_GT(journals, 0);
}

// A start that keeps a damaged file aside, stopped before each of its disk steps in turn (the new
// file built beside the old one, then the checks of the file that took the name) and killed.
// save.dat must then be the damaged file as it was, or the whole new file with every slot that
// read; a kept-aside file is the damaged one as it was; and the next start removes a new file
// the kill left and loses no slot.
TEST_F(SaveKillTest, AKeepAsideKilledAtEveryStepLeavesTheOldFileOrTheWholeNewOne) {
    constexpr std::int32_t kCommonSeq = 0x5EED;
    constexpr std::size_t kPage = 4096;
    // Slot 1, 90 and the ring's ends, each thumbnail filled with its number; slot 2's is damaged.
    SetCommonFingerprint(kCommonSeq);
    {
        ScriptStateGroup_App group;
        LoadGlobalData(group);
    }
    SlotDigests readable;
    const std::uint8_t no_variables[] = {0};
    for (const std::int32_t number : {1, 2, 90, 91, 95, 99}) {
        SAVEDATA2 record;
        record.comment = u"slot";
        record.thumbnail.fill(static_cast<std::uint8_t>(number));
        const std::vector<std::uint8_t> header = EncodeSaveData2(record);
        const DatabaseScope scope = OpenSaveDatabase();
        WriteEntryHeader(number, std::span<const std::uint8_t, kSaveData2Bytes>(header.data(), kSaveData2Bytes));
        WriteSlotVariables(number, std::span<const std::uint8_t>(no_variables));
        if (number != 2) readable[number] = {Digest(header), Digest(no_variables)};
    }
    // One page of slot 2's thumbnail zeroed: the quick check finds it, the other slots still read.
    std::string original = testsupport::FileBytes(file_);
    std::size_t damaged = 0;
    for (std::size_t page = kPage; page + kPage <= original.size() && !damaged; page += kPage)
        if (original.find_first_not_of('\x02', page + 4) >= page + kPage) damaged = page;
    ASSERT_NE(damaged, 0u);
    original.replace(damaged, kPage, kPage, '\0');

    const std::u16string folder = folder_.Path("");
    const std::filesystem::path fresh = Utf16ToUtf8(NewFileName(folder_.Path("save.dat")));
    const auto new_files = [&] {
        int count = 0;
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(folder_.path()))
            count += entry.path().filename().string().starts_with(fresh.filename().string());
        return count;
    };
    // Every file kept aside must be the damaged file as it was; how many there are.
    const auto kept_aside = [&] {
        int count = 0;
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(folder_.path())) {
            const std::string name = entry.path().filename().string();
            if (!name.starts_with("save-") || !name.ends_with(".dat")) continue;
            ++count;
            EXPECT_TRUE(testsupport::FileBytes(entry.path()) == original) << name << " is not the file as it was";
        }
        return count;
    };
    int kept_old = 0, left_new = 0, took_name = 0;
    int step = 1;
    for (;; ++step) {
        ASSERT_LT(step, 2000) << "the start never ended";
        SCOPED_TRACE(testing::Message() << "stopped before disk step " << step);
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(folder_.path()))
            std::filesystem::remove(entry.path());
        std::ofstream(file_, std::ios::binary) << original;
        std::optional<Message> stopped;
        int status = 0;
        ASSERT_NO_FATAL_FAILURE(RunToDiskStep(
            step,
            [&] {
                SettingsFolders.settings_folder = folder;
                ResetSaveState();
            },
            [&] { StartSession(kIdYes); }, stopped, status));
        SCOPED_TRACE(stopped ? testsupport::FaultOpName(static_cast<FaultOp>(stopped->number)) : "not stopped");

        // As the kill left it: the damaged file untouched, or the new file in its place.
        const bool old = testsupport::FileBytes(file_) == original;
        const int asides = kept_aside();
        left_new += new_files() > 0;
        if (old) {
            ++kept_old;
            EXPECT_LE(asides, 1);
        } else {
            ++took_name;
            EXPECT_EQ(asides, 1) << "save.dat changed, and the file as it was is nowhere";
        }
        // The next start: the offer again for the old file (declined, then taken), none for the new.
        ResetSaveState();
        const std::vector<testsupport::CapturedBox> boxes = StartSession(kIdNo);
        EXPECT_EQ(new_files(), 0) << "a new file the kill left is still there";
        EXPECT_EQ(boxes.size(), old ? 1u : 0u);
        if (old) {
            EXPECT_TRUE(testsupport::FileBytes(file_) == original) << "declined, and still changed";
            ResetSaveState();
            EXPECT_EQ(StartSession(kIdYes).size(), 2u);
        }
        kept_aside();
        const FileRead file = ReadFile();
        EXPECT_EQ(DigestsOf(file), readable) << "slot number -> digests";
        EXPECT_EQ(file.common_seq, kCommonSeq);
        if (HasFailure()) return;
        if (!stopped) {
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            EXPECT_FALSE(old) << "the whole start left the damaged file in use";
            break;
        }
    }
    std::printf(
        "the keep-aside start takes %d disk steps; killed before them it left the old file %d times (a new "
        "file beside it %d times) and the new file in its place %d times\n",
        step - 1, kept_old, left_new, took_name);
    // Not vacuous: kills fell both while the new file was built and after it took the name.
    EXPECT_GT(left_new, 0);
    EXPECT_GT(took_name, 1);
}

}  // namespace
