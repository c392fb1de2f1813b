// Runs of the sample game on damaged copies of a save file the game made (damaged_save_first.txt
// makes it; damaged_save.txt plays on each copy): cut files, header bytes, zeroed pages, junk,
// missing and bad columns, tables and rows, damaged slots. Whatever the damage, the game plays to
// the end of the input and F12 ends it with exit 0; a file the start cannot use is either kept
// aside exactly as it was, or left untouched while the session plays without saving. And a file
// the sqlite3 client holds at the start: the box's retry opens it once the client lets it go.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "playtest/playtest_run.h"
#include "support/client_lock.h"
#include "support/client_save_file.h"
#include "support/sqlite_observer.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace playtest_test;
using testsupport::FileBytes;
using testsupport::TempFolder;

// The page size the game's files have (SQLite's default); the damage is placed by pages.
constexpr std::size_t kPage = 4096;

void Cut(const fs::path& file, std::uintmax_t size) { fs::resize_file(file, size); }

void Put(const fs::path& file, std::size_t at, const std::string& bytes) {
    std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(at));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A page of the file set to zeros; `index` from 0, negative from the end.
void ZeroPage(const fs::path& file, long index) {
    const auto pages = static_cast<long>(fs::file_size(file) / kPage);
    Put(file, static_cast<std::size_t>(index < 0 ? pages + index : index) * kPage, std::string(kPage, '\0'));
}

// A big-endian word of the file, as SQLite stores its page numbers.
std::uint32_t Word(const fs::path& file, std::size_t at) {
    const std::string whole = FileBytes(file);
    if (at + 4 > whole.size()) return 0;
    const std::string bytes = whole.substr(at, 4);
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2])) << 8 | static_cast<unsigned char>(bytes[3]);
}

// Free pages made by the client, then the first leaf of the free-page list named as page 3, the
// slot table's root: a save that took that page would overwrite every slot.
void FreePageInUse(const fs::path& file, const std::string& client) {
    const testsupport::ToolRun run = testsupport::RunSqliteClient(
        client, file, "CREATE TABLE junk(x); INSERT INTO junk VALUES(zeroblob(20000)); DROP TABLE junk;");
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::uint32_t trunk = Word(file, 32);
    ASSERT_GT(trunk, 0u);
    ASSERT_GT(Word(file, (trunk - 1) * kPage + 4), 0u) << "a leaf to name";
    Put(file, (trunk - 1) * kPage + 8, std::string("\0\0\0\x03", 4));
}

struct Damage {
    const char* name;
    std::function<void(const fs::path& file, const std::string& client)> apply;
    bool start_box;          // whether the start finds the file unusable
    const char* later = "";  // a part of a box shown later in the run, "" for none
    bool offer = false;      // whether a save later in the run finds that the file takes no write
};

// SQL run by the client on the copy.
Damage Sql(const char* name, std::string sql, bool start_box, const char* later = "") {
    return {name,
            [sql](const fs::path& file, const std::string& client) {
                const testsupport::ToolRun run = testsupport::RunSqliteClient(client, file, sql);
                ASSERT_EQ(run.status, 0) << run.errors;
            },
            start_box, later};
}

const std::vector<Damage>& Damages() {
    static const std::vector<Damage> damages = {
        {"cut in half", [](const fs::path& f, auto&) { Cut(f, fs::file_size(f) / 2); }, true},
        {"cut to its first page", [](const fs::path& f, auto&) { Cut(f, kPage); }, true},
        {"cut inside the header", [](const fs::path& f, auto&) { Cut(f, 50); }, true},
        {"emptied", [](const fs::path& f, auto&) { Cut(f, 0); }, false},
        {"header string", [](const fs::path& f, auto&) { Put(f, 0, "Not a database!"); }, true},
        {"page size", [](const fs::path& f, auto&) { Put(f, 16, std::string("\x00\x03", 2)); }, true},
        {"first page zeroed", [](const fs::path& f, auto&) { ZeroPage(f, 0); }, true},
        {"second page zeroed", [](const fs::path& f, auto&) { ZeroPage(f, 1); }, true},
        // A slot's pages: the start's quick check finds the chain of the slot's record broken.
        {"middle page zeroed", [](const fs::path& f, auto&) { ZeroPage(f, -10); }, true},
        {"last page zeroed", [](const fs::path& f, auto&) { ZeroPage(f, -1); }, false},
        {"junk over the middle",
         [](const fs::path& f, auto&) { Put(f, fs::file_size(f) / 3, std::string(3 * kPage, '\xA5')); }, true},
        {"a text file", [](const fs::path& f, auto&) { std::ofstream(f) << "this is not a save file\n"; }, true},
        Sql("global without value_bin",
            "ALTER TABLE global RENAME TO old; CREATE TABLE global (id INTEGER PRIMARY KEY, name TEXT);", true),
        Sql("entry without header",
            "ALTER TABLE entry RENAME TO old; CREATE TABLE entry (id INTEGER PRIMARY KEY, number INTEGER);", true),
        Sql("entry missing", "DROP TABLE entry;", false),
        Sql("global missing", "DROP TABLE global;", false),
        Sql("COMMON missing", "DELETE FROM global WHERE name='COMMON';", false),
        Sql("every global row missing", "DELETE FROM global;", false),
        Sql("slot 3's header cut", "UPDATE entry SET header=substr(header, 1, 100) WHERE number=3;", false),
        // The quick load of a damaged newest quick save says why and the page stays.
        Sql("the newest quick save without variables", "UPDATE entry SET value_data=NULL WHERE number=91;", false,
            "ロードできませんでした。\\nセーブスロット 91 が壊れています: the record holds no data"),
        Sql("a header as text", "UPDATE entry SET header='header' WHERE number=91;", false,
            "ロードできませんでした。\\nsave.dat: a slot header holds 12 bytes"),
        Sql("COMMON as text", "UPDATE global SET value_bin='common' WHERE name='COMMON';", false),
        // Files that read but take no write: found at the start by a write rolled back.
        {"free-page list damaged", [](const fs::path& f, auto&) { Put(f, 32, std::string("\x7f\xff\xff\x00", 4)); },
         true},
        {"slot table's root page zeroed", [](const fs::path& f, auto&) { ZeroPage(f, 2); }, true},
        {"slot table's root page of no known kind", [](const fs::path& f, auto&) { Put(f, 2 * kPage, "\x07"); }, true},
        {"a write version SQLite does not know", [](const fs::path& f, auto&) { Put(f, 18, "\x03"); }, true},
        // Found by the start's quick check, before a save would take the page.
        {"a free page that a slot still uses", FreePageInUse, true},
        // Files the first write, or the switch of the journal mode, would change: the quick check
        // comes first, and the file kept aside is the file as it was.
        {"a write-ahead log's header over a damaged table",
         [](const fs::path& f, const std::string& client) {
             ASSERT_EQ(testsupport::RunSqliteClient(client, f, "PRAGMA journal_mode=WAL;").status, 0);
             ZeroPage(f, -10);
         },
         true},
        {"reserved bytes over a damaged table",
         [](const fs::path& f, auto&) {
             Put(f, 20, "\x08");
             ZeroPage(f, -10);
         },
         true},
    };
    return damages;
}

// The script of a run: the answer to the start's box, then damaged_save.txt.
fs::path ScriptWithAnswer(const TempFolder& folder, const std::string& answer) {
    std::ifstream in(fs::path(PLAYTEST_SCRIPTS) / "damaged_save.txt", std::ios::binary);
    const std::string body((std::istreambuf_iterator<char>(in)), {});
    const fs::path script = folder / "run.txt";
    std::ofstream(script, std::ios::binary) << "answer " << answer << "\n" << body;
    return script;
}

bool IsStartBox(const LogLine& line) {
    return line.kind == "box" && line.fields.size() > 1 &&
           line.fields.at(1).find("として残し、新しいセーブファイルで始め") != std::string::npos;
}

// The box of a save, mid-game, that met a file which takes no write.
bool IsOfferBox(const LogLine& line) {
    return line.kind == "box" && line.fields.size() > 1 &&
           line.fields.at(1).find("セーブファイルに書き込めません") == 0;
}

// The slots savetool lists as intact, each as its line without the number (quick saves move up
// the ring): date, page and comment.
std::multiset<std::string> IntactSlots(const fs::path& file) {
    std::multiset<std::string> slots;
    std::istringstream lines(CommandOutput("'" SAVETOOL "' list '" + file.string() + "' 2>/dev/null"));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || line.find("unreadable") != std::string::npos) continue;
        if (line.find_first_not_of("0123456789") != tab) continue;
        slots.insert(line.substr(tab + 1));
    }
    return slots;
}

// The files kept aside in the folder: save-*.dat.
std::vector<fs::path> KeptAside(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("save-") && name.ends_with(".dat")) files.push_back(entry.path());
    }
    return files;
}

// The input of a run, through a named pipe: a line lets the run go on past an `await`.
class AwaitPipe {
public:
    explicit AwaitPipe(const fs::path& path) : path_(path) {
        ::mkfifo(path.c_str(), 0600);
        // Read and write: the open does not wait for the run's end to open it too.
        fd_ = ::open(path.c_str(), O_RDWR);
    }
    ~AwaitPipe() {
        if (fd_ >= 0) ::close(fd_);
    }
    AwaitPipe(const AwaitPipe&) = delete;
    AwaitPipe& operator=(const AwaitPipe&) = delete;

    // What the run's arguments add for it to read the pipe.
    std::string Redirect() const { return " < '" + path_.string() + "'"; }
    void Go() const { (void)!::write(fd_, "\n", 1); }

private:
    fs::path path_;
    int fd_ = -1;
};

class DamagedSave : public ::testing::Test {
protected:
    void SetUp() override {
        client_ = testsupport::FindSqliteClient(SQLITE3_CLIENT);
        ASSERT_FALSE(client_.empty()) << testsupport::kSqliteClientMissing;
        const PlayRun first = RunPlaytest(DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "damaged_save_first.txt",
                                          "--settings '" + made_.path().string() + "'");
        ASSERT_EQ(first.status, 0) << first.errors;
        ASSERT_EQ(FirstFields(first, "notice"), (std::vector<std::string>{"セーブしました", "セーブしました"}));
        original_ = FileBytes(made_ / "save.dat");
        ASSERT_GT(original_.size(), 20 * kPage);
    }

    TempFolder made_{"playtest_damaged_made"};
    std::string original_;
    std::string client_;
};

TEST_F(DamagedSave, EveryDamageIsMetByPlayingOnToTheEndOfTheInput) {
    int index = 0;
    for (const Damage& damage : Damages()) {
        // Each kind meets one answer, the answers taking turns.
        const bool keep_aside = index++ % 2 == 0;
        SCOPED_TRACE(std::string(damage.name) + (keep_aside ? ", kept aside" : ", played without"));
        TempFolder settings("playtest_damaged");
        const fs::path file = settings / "save.dat";
        std::ofstream(file, std::ios::binary) << original_;
        damage.apply(file, client_);
        const std::string damaged = FileBytes(file);
        // The slots that still read, by savetool's reading, which is the load's.
        const std::multiset<std::string> intact = IntactSlots(file);

        const PlayRun run = RunPlaytest(DEMO_DATA_DIR, ScriptWithAnswer(settings, keep_aside ? "yes" : "no"),
                                        "--settings '" + settings.path().string() + "'");
        ExpectPlayedOnToTheEnd(run);
        if (run.log.empty()) continue;

        std::size_t start_boxes = 0, later_boxes = 0, offers = 0;
        std::string answer;  // the player's answer to the start's box or the first offer
        for (const LogLine& line : run.log) {
            start_boxes += IsStartBox(line);
            offers += IsOfferBox(line);
            if ((IsStartBox(line) || IsOfferBox(line)) && answer.empty()) answer = line.fields.at(2);
            later_boxes += *damage.later && line.kind == "box" && line.fields.at(1).find(damage.later) == 0;
        }
        EXPECT_EQ(start_boxes, damage.start_box ? 1u : 0u) << run.Kinds();
        // Once a file took no write, the player chose: no later save meets it again.
        EXPECT_EQ(offers, damage.offer ? 1u : 0u) << run.Kinds();
        if (*damage.later) {
            EXPECT_EQ(later_boxes, 1u) << run.Kinds();
            // The page where the quick load was asked for waits again: no load request came.
            EXPECT_EQ(FirstFields(run, "request"), (std::vector<std::string>{"1", "0"}))
                << "the menu's load, the title";
        }
        // Every slot that read before the run reads in the file the game goes on with.
        const std::multiset<std::string> after = IntactSlots(file);
        for (const std::string& slot : intact) EXPECT_EQ(after.count(slot), intact.count(slot)) << slot;
        if (!damage.start_box && !damage.offer) continue;
        const std::string box_text =
            (damage.start_box ? run.Of("box").at(0) : *std::find_if(run.log.begin(), run.log.end(), IsOfferBox))
                .fields.at(1);
        EXPECT_NE(box_text.find(file.string()), std::string::npos) << "named by its full path: " << box_text;
        const std::vector<fs::path> aside = KeptAside(settings.path());
        if (answer == "yes") {
            ASSERT_EQ(aside.size(), 1u);
            EXPECT_EQ(FileBytes(aside[0]), damaged) << "kept aside as it was";
            EXPECT_NE(box_text.find(aside[0].filename().string()), std::string::npos) << box_text;
            EXPECT_EQ(testsupport::SqliteObserver(file).Rows("SELECT count(*) FROM global;"), "3") << "a new file";
            EXPECT_EQ(FirstFields(run, "notice").at(0), "セーブしました") << "the quick save made in the new file";
        } else {
            EXPECT_EQ(answer, "no");
            EXPECT_TRUE(aside.empty());
            EXPECT_EQ(FileBytes(file), damaged) << "never touched";
            if (!damage.start_box) continue;
            // The menu's save and load grayed, the page wait's buttons saying why.
            EXPECT_EQ(FirstFields(run, "grayed"), (std::vector<std::string>{"40010", "40011"})) << run.Kinds();
            EXPECT_EQ(FirstFields(run, "notice"),
                      (std::vector<std::string>{"セーブファイルが使えません", "セーブファイルが使えません",
                                                "セーブファイルが使えません"}));
        }
    }
}

TEST_F(DamagedSave, AFileTheSqliteClientHoldsAtTheStartIsOpenedByTheRetry) {
    TempFolder settings("playtest_held");
    const fs::path file = settings / "save.dat";
    std::ofstream(file, std::ios::binary) << original_;
    testsupport::ClientLock lock(client_, file, "BEGIN EXCLUSIVE;");
    ASSERT_TRUE(lock.held());
    // The client lets the file go while the box is up: the retry finds it free.
    const PlayRun run = RunPlaytest(DEMO_DATA_DIR, ScriptWithAnswer(settings, "retry"),
                                    "--settings '" + settings.path().string() + "'", [&lock](const LogLine& line) {
                                        if (line.kind == "box") lock.Release();
                                    });
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_TRUE(run.Of("error").empty()) << run.errors;
    const std::vector<LogLine> boxes = run.Of("box");
    ASSERT_EQ(boxes.size(), 1u) << run.Kinds() << (boxes.size() > 1 ? boxes[1].fields.at(1) : "");
    EXPECT_NE(boxes[0].fields.at(1).find("database is locked"), std::string::npos) << boxes[0].fields.at(1);
    EXPECT_EQ(boxes[0].fields.at(2), "retry");
    EXPECT_TRUE(KeptAside(settings.path()).empty());
    // The file was used: slot 3 loaded from the title (its page 4 first), the quick save stored,
    // the records kept.
    ASSERT_FALSE(run.Of("page").empty()) << run.Kinds();
    EXPECT_EQ(run.Of("page")[0].fields.at(1), "4") << run.Kinds();
    EXPECT_EQ(FirstFields(run, "notice").at(0), "セーブしました");
    EXPECT_NE(testsupport::SqliteObserver(file).Rows(
                  "SELECT substr(value_bin, 261, 2048) = zeroblob(2048) FROM global WHERE name='COMMON';"),
              "1")
        << "the first run's read pages kept";
}

}  // namespace

namespace {

TEST_F(DamagedSave, AQuickLoadWhileTheSqliteClientHoldsTheFileIsShownAndThePageStays) {
    TempFolder settings("playtest_held_load");
    const AwaitPipe input(settings / "input");
    std::unique_ptr<testsupport::ClientLock> lock;
    int awaits = 0;
    const PlayRun run = RunPlaytest(
        DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "held_quick_load.txt",
        "--settings '" + settings.path().string() + "'" + input.Redirect(), [&](const LogLine& line) {
            if (line.kind != "await") return;
            if (awaits++ == 0) {
                lock = std::make_unique<testsupport::ClientLock>(client_, settings / "save.dat", "BEGIN EXCLUSIVE;");
                EXPECT_TRUE(lock->held());
            } else {
                lock.reset();
            }
            input.Go();
        });
    EXPECT_EQ(run.status, 0) << run.errors << run.Kinds();
    EXPECT_EQ(awaits, 2);
    const std::vector<LogLine> boxes = run.Of("box");
    ASSERT_EQ(boxes.size(), 1u) << run.Kinds();
    EXPECT_EQ(boxes[0].fields.at(1), "ロードできませんでした。\\n他のプログラムが使っています: database is locked");
    EXPECT_TRUE(run.Of("request").empty()) << run.Kinds();
    EXPECT_EQ(PageNumbers(run), (std::vector<int>{1, 2, 3, 4})) << "the page of the quick load went on";
}

TEST_F(DamagedSave, RecordsACycleEndCouldNotWriteWhileTheSqliteClientHeldTheFileAreWrittenByTheNextSave) {
    TempFolder settings("playtest_held_end");
    const AwaitPipe input(settings / "input");
    std::unique_ptr<testsupport::ClientLock> lock;
    const PlayRun run = RunPlaytest(
        DEMO_DATA_DIR, fs::path(PLAYTEST_SCRIPTS) / "held_cycle_end.txt",
        "--settings '" + settings.path().string() + "'" + input.Redirect(), [&](const LogLine& line) {
            if (line.kind != "await") return;
            if (!lock) {
                lock = std::make_unique<testsupport::ClientLock>(client_, settings / "save.dat", "BEGIN IMMEDIATE;");
                EXPECT_TRUE(lock->held());
            } else {
                lock->Release();
            }
            input.Go();
        });
    EXPECT_EQ(run.status, 0) << run.errors;
    const std::vector<LogLine> boxes = run.Of("box");
    ASSERT_EQ(boxes.size(), 1u) << run.Kinds();
    EXPECT_NE(boxes[0].fields.at(1).find("database is locked"), std::string::npos) << boxes[0].fields.at(1);
    EXPECT_EQ(boxes[0].fields.at(2), "no");
    EXPECT_EQ(FirstFields(run, "notice"), std::vector<std::string>{"セーブしました"});
    // The first cycle waited at pages 1 to 4, the second only at page 1: the read bits of pages 2
    // to 4 (0x20, 0x10, 0x08 of the first byte) reached the file only with the records kept.
    EXPECT_EQ(testsupport::SqliteObserver(settings / "save.dat")
                  .Rows("SELECT hex(substr(value_bin, 261, 1)) FROM global WHERE name='COMMON';"),
              "F8");
}

}  // namespace

namespace {

// The script of a run that meets a file broken or held after the start: damaged_mid_game.txt
// with the answer to the box after its await.
fs::path MidGameScript(const TempFolder& folder, const std::string& answer) {
    std::ifstream in(fs::path(PLAYTEST_SCRIPTS) / "damaged_mid_game.txt", std::ios::binary);
    std::string body((std::istreambuf_iterator<char>(in)), {});
    if (!answer.empty()) body.replace(body.find("\nawait\n"), 7, "\nawait\nanswer " + answer + "\n");
    const fs::path script = folder / "run.txt";
    std::ofstream(script, std::ios::binary) << body;
    return script;
}

TEST_F(DamagedSave, AFileThatBreaksOrIsHeldAfterTheStartIsMetByTheMenusSaveWithThePlayersChoice) {
    const std::string saved = "セーブしました", off = "セーブファイルが使えません";
    const struct {
        const char* name;
        std::function<void(const fs::path&)> damage;  // null: the sqlite3 client holds the file
        const char* answer;
        const char* box;  // the start of the box the menu's save meets
        // The save before the damage, the menu's saves, the quick save, the quick load, the title's load.
        std::vector<std::string> notices;
    } cases[] = {
        // Changed since the game wrote it: met before the dialog opens, which then saves in the new file.
        {"slot table's root page zeroed",
         [](const fs::path& f) { ZeroPage(f, 2); },
         "yes",
         "セーブファイルに書き込めません",
         {saved, saved, saved, saved}},
        {"slot table's root page zeroed",
         [](const fs::path& f) { ZeroPage(f, 2); },
         "no",
         "セーブファイルに書き込めません",
         {saved, off, off, off}},
        // The dialog reads the file; its save cannot take the pages it needs and is made again in
        // the new file.
        {"free-page list damaged",
         [](const fs::path& f) { Put(f, 32, std::string("\x7f\xff\xff\x00", 4)); },
         "yes",
         "セーブファイルに書き込めません",
         {saved, saved, saved, saved}},
        // Held: the box of a held file, whose retry opens the dialog once the client lets go.
        {"held", nullptr, "retry", "セーブファイルを他のプログラムが使っています", {saved, saved, saved}},
        // Changed behind the game's back: met before a save could take the page that slot 3 uses.
        {"a free page that a slot still uses",
         [this](const fs::path& f) { FreePageInUse(f, client_); },
         "yes",
         "セーブファイルに書き込めません",
         {saved, saved, saved, saved}},
        // Given up: that save only; the next one is made.
        {"held", nullptr, "cancel", "セーブファイルを他のプログラムが使っています", {saved, saved, saved}},
        // Gone or emptied behind the game's back, or replaced by a database without the tables: the
        // next save lands in a file made again with the session's records, and no box asks.
        {"deleted", [](const fs::path& f) { fs::remove(f); }, "", nullptr, {saved, saved, saved, saved}},
        {"emptied", [](const fs::path& f) { Cut(f, 0); }, "", nullptr, {saved, saved, saved, saved}},
        {"replaced by a database without the tables",
         [](const fs::path& f) {
             fs::remove(f);
             testsupport::SqliteObserver(f).Exec("CREATE TABLE notes(x); INSERT INTO notes VALUES(1);");
         },
         "",
         nullptr,
         {saved, saved, saved, saved}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", " + c.answer);
        TempFolder settings("playtest_mid_game");
        const fs::path file = settings / "save.dat";
        const AwaitPipe input(settings / "input");
        std::unique_ptr<testsupport::ClientLock> lock;
        std::string damaged;
        std::multiset<std::string> intact;
        const PlayRun run =
            RunPlaytest(DEMO_DATA_DIR, MidGameScript(settings, c.answer),
                        "--settings '" + settings.path().string() + "'" + input.Redirect(), [&](const LogLine& line) {
                            if (line.kind == "box" && lock) lock->Release();
                            if (line.kind != "await") return;
                            if (c.damage) {
                                c.damage(file);
                                damaged = FileBytes(file);
                                intact = IntactSlots(file);
                            } else {
                                lock = std::make_unique<testsupport::ClientLock>(client_, file, "BEGIN EXCLUSIVE;");
                                EXPECT_TRUE(lock->held());
                            }
                            input.Go();
                        });
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_TRUE(run.Of("error").empty()) << run.errors;
        EXPECT_TRUE(run.Of("timeout").empty()) << run.Kinds();
        const std::vector<LogLine> boxes = run.Of("box");
        // One box for the file, and for a new file the one that says what it took: no box asks
        // again for a write that cannot succeed (the second save into slot 5 asks to overwrite).
        const bool kept = std::string(c.answer) == "yes";
        std::size_t file_boxes = 0;
        for (const LogLine& box : boxes) file_boxes += box.fields.at(0) != "上書き";
        EXPECT_EQ(file_boxes, !c.box ? 0u : kept ? 2u : 1u) << run.Kinds();
        if (c.box) {
            ASSERT_FALSE(boxes.empty()) << run.Kinds();
            EXPECT_EQ(boxes[0].fields.at(1).find(c.box), 0u) << boxes[0].fields.at(1);
            EXPECT_EQ(boxes[0].fields.at(2), c.answer);
        }
        EXPECT_EQ(FirstFields(run, "notice"), c.notices) << run.Kinds();
        const std::vector<fs::path> aside = KeptAside(settings.path());
        EXPECT_EQ(aside.size(), kept ? 1u : 0u);
        if (kept) {
            EXPECT_EQ(FileBytes(aside[0]), damaged) << "kept aside as it was";
            EXPECT_NE(boxes[1].fields.at(1).find("件のセーブデータを新しいファイルに移しました"), std::string::npos);
        }
        if (!c.box) {
            // The cycle ends wrote the session's records into the file made again.
            EXPECT_NE(testsupport::SqliteObserver(file).Rows(
                          "SELECT substr(value_bin, 261, 2048) = zeroblob(2048) FROM global WHERE name='COMMON';"),
                      "1")
                << "the pages read";
        }
        if (!c.damage || kept || !c.box) {
            // The save made again: slot 5 loaded from the title.
            EXPECT_NE(testsupport::SqliteObserver(file).Rows("SELECT count(*) FROM entry WHERE number=5;"), "0");
            EXPECT_EQ(FirstFields(run, "request"), (std::vector<std::string>{"1", "0"})) << "quick load, title";
            ASSERT_GE(run.Of("page").size(), 2u);
            EXPECT_EQ(run.Of("page")[run.Of("page").size() - 2].fields.at(1), "3")
                << "slot 5, saved on page 3, loaded from the title";
        } else {
            EXPECT_EQ(FileBytes(file), damaged) << "never touched";
        }
        const std::multiset<std::string> after = IntactSlots(file);
        for (const std::string& slot : intact) EXPECT_EQ(after.count(slot), intact.count(slot)) << slot;
    }
}

}  // namespace

namespace {

// damaged_save.txt with the answer to the start's box, and "no" to the retry of the global
// records at each cycle end (the title's load, the menu's load, back to the title, and F12), which
// a full disk may fail.
fs::path ScriptWithCycleEndsAnswered(const TempFolder& folder, const std::string& answer) {
    const fs::path script = ScriptWithAnswer(folder, answer);
    std::string body = FileBytes(script);
    for (const std::string step : {"\nclick 644 416", "\nmenu 40011\n", "\nmenu 40003\n", "\nkey F12\n"})
        body.replace(body.find(step), step.size(), "\nanswer no" + step);
    std::ofstream(script, std::ios::binary | std::ios::trunc) << body;
    return script;
}

// A full disk is no damage: the start says so once (a limit below the journal), or only the saves
// fail (a limit at the file's size); nothing is moved and every slot stays where it was.
TEST_F(DamagedSave, AFullDiskMovesNothingAndAsksNothingTwice) {
    const struct {
        const char* name;
        std::size_t blocks;  // the file-size limit in blocks of 512 bytes
        bool start_box;
    } cases[] = {{"at the start", 1, true}, {"at the first save", (original_.size() + 511) / 512, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder settings("playtest_full");
        const fs::path file = settings / "save.dat";
        std::ofstream(file, std::ios::binary) << original_;
        const std::multiset<std::string> intact = IntactSlots(file);
        // Past the limit a write fails with "File too large" instead of ending the process.
        const PlayRun run = RunPlaytest(DEMO_DATA_DIR, ScriptWithCycleEndsAnswered(settings, "ok"),
                                        "--settings '" + settings.path().string() + "'", {},
                                        "ulimit -f " + std::to_string(c.blocks) + "; trap '' XFSZ;");
        // Played to F12 on the last page wait, whose cycle end asks about the records last.
        PlayRun played = run;
        while (!played.log.empty() && played.log.back().kind == "box") played.log.pop_back();
        ExpectPlayedOnToTheEnd(played);
        std::size_t disk_boxes = 0;
        for (const LogLine& box : run.Of("box")) {
            EXPECT_FALSE(IsStartBox(box) || IsOfferBox(box)) << box.fields.at(1);
            disk_boxes += box.fields.at(1).find("ディスクに書き込めません") == 0;
        }
        EXPECT_EQ(disk_boxes, c.start_box ? 1u : 0u) << run.Kinds();
        EXPECT_LE(run.Of("box").size(), 6u) << "the start, the menu's save, four cycle ends: " << run.Kinds();
        EXPECT_EQ(FirstFields(run, "notice").at(0), "セーブできませんでした");
        EXPECT_TRUE(KeptAside(settings.path()).empty());
        EXPECT_FALSE(fs::exists(settings / "save.dat.new"));
        if (c.start_box) {
            EXPECT_EQ(FileBytes(file), original_);
        }
        const std::multiset<std::string> after = IntactSlots(file);
        for (const std::string& slot : intact) EXPECT_EQ(after.count(slot), intact.count(slot)) << slot;
    }
}

// Another program's write open at the start: the box offers only a retry or playing without the
// file, its journal stays where it is, and its COMMIT succeeds after the game.
TEST_F(DamagedSave, AWriteAnotherProgramHoldsOpenAtTheStartIsLeftToCommit) {
    TempFolder settings("playtest_held_write");
    const fs::path file = settings / "save.dat";
    std::ofstream(file, std::ios::binary) << original_;
    testsupport::ClientLock other(
        client_, file, "BEGIN IMMEDIATE; CREATE TABLE other_program(x); INSERT INTO other_program VALUES(7);");
    ASSERT_TRUE(other.held());
    const fs::path journal = settings / "save.dat-journal";
    ASSERT_TRUE(fs::exists(journal));
    const std::string journal_bytes = FileBytes(journal);
    const PlayRun run = RunPlaytest(DEMO_DATA_DIR, ScriptWithAnswer(settings, "cancel"),
                                    "--settings '" + settings.path().string() + "'");
    ExpectPlayedOnToTheEnd(run);
    const std::vector<LogLine> boxes = run.Of("box");
    ASSERT_EQ(boxes.size(), 1u) << run.Kinds();
    EXPECT_NE(boxes[0].fields.at(1).find("他のプログラムが使っています: database is locked"), std::string::npos)
        << boxes[0].fields.at(1);
    EXPECT_EQ(boxes[0].fields.at(1).find("として残し"), std::string::npos) << "no answer moves it";
    EXPECT_EQ(FileBytes(journal), journal_bytes) << "its journal as it was";
    EXPECT_EQ(FileBytes(file), original_);
    EXPECT_TRUE(KeptAside(settings.path()).empty());
    EXPECT_TRUE(other.Run("COMMIT;"));
    other.Release();
    EXPECT_EQ(testsupport::SqliteObserver(file).Rows("SELECT x FROM other_program;"), "7");
}

// Root writes whatever the permissions say: as root the game runs as the unprivileged user, who
// owns the folder, so that the permissions hold as they would for a player.
std::string AsPlayer(const fs::path& folder) {
    if (::geteuid() != 0) return "";
    constexpr uid_t kNobody = 65534;
    EXPECT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        EXPECT_EQ(::lchown(entry.path().c_str(), kNobody, kNobody), 0);
    return "setpriv --reuid=65534 --regid=65534 --clear-groups";
}

// A file or a folder the player cannot write, and a file that is not there: a file that cannot
// take a write is kept aside with its slots in a new file; where nothing can be moved or made the
// player is told once and plays on without saving, and nothing is touched.
TEST_F(DamagedSave, AFileOrFolderThePlayerCannotWriteIsMetAtTheStart) {
    const struct {
        const char* name;
        std::function<void(const fs::path& folder)> prepare;
        bool read_only_folder;
        bool moved;  // kept aside with its slots; otherwise the box that nothing can be moved
    } cases[] = {
        {"a file the player cannot write", [](const fs::path& f) { fs::permissions(f / "save.dat", fs::perms(0444)); },
         false, true},
        {"a folder the player cannot write", [](const fs::path&) {}, true, false},
        {"a first start in a folder the player cannot write", [](const fs::path& f) { fs::remove(f / "save.dat"); },
         true, false},
        {"a link to a folder that is not mounted",
         [](const fs::path& f) {
             fs::remove(f / "save.dat");
             fs::create_symlink("/nonexistent-mount/quibel/save.dat", f / "save.dat");
         },
         false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder settings("playtest_read_only");
        const fs::path file = settings / "save.dat";
        std::ofstream(file, std::ios::binary) << original_;
        // The settings and the lock file as an earlier session left them, writable themselves.
        for (const char* name : {"quibel.ini", "quibel.lock"}) fs::copy_file(made_ / name, settings / name);
        const fs::path script = ScriptWithAnswer(settings, "yes");
        c.prepare(settings.path());
        const std::multiset<std::string> intact = IntactSlots(file);
        const std::string before = fs::is_symlink(file) ? "" : FileBytes(file);
        const std::string wrapper = AsPlayer(settings.path());
        if (c.read_only_folder) fs::permissions(settings.path(), fs::perms(0555));
        const PlayRun run =
            RunPlaytest(DEMO_DATA_DIR, script, "--settings '" + settings.path().string() + "'", {}, wrapper);
        fs::permissions(settings.path(), fs::perms(0755));
        ExpectPlayedOnToTheEnd(run);
        const std::vector<LogLine> boxes = run.Of("box");
        ASSERT_FALSE(boxes.empty()) << run.Kinds();
        const std::vector<fs::path> aside = KeptAside(settings.path());
        if (c.moved) {
            EXPECT_TRUE(IsStartBox(boxes[0])) << boxes[0].fields.at(1);
            EXPECT_NE(boxes[0].fields.at(1).find("readonly"), std::string::npos) << boxes[0].fields.at(1);
            ASSERT_EQ(aside.size(), 1u);
            EXPECT_EQ(FileBytes(aside[0]), before) << "kept aside as it was";
            EXPECT_EQ(FirstFields(run, "notice").at(0), "セーブしました") << "saves go to the new file";
            const std::multiset<std::string> after = IntactSlots(file);
            for (const std::string& slot : intact) EXPECT_GE(after.count(slot), 1u) << slot;
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u) << run.Kinds() << boxes.back().fields.at(1);
        EXPECT_NE(boxes[0].fields.at(1).find("ファイルを残すことも作り直すこともできません"), std::string::npos)
            << boxes[0].fields.at(1);
        if (before.empty()) {
            EXPECT_NE(boxes[0].fields.at(1).find("ファイルがありません: "), std::string::npos) << boxes[0].fields.at(1);
        }
        EXPECT_TRUE(aside.empty());
        EXPECT_FALSE(fs::exists(settings / "save.dat.new"));
        if (!before.empty()) {
            EXPECT_EQ(FileBytes(file), before) << "never touched";
        }
        EXPECT_EQ(FirstFields(run, "grayed"), (std::vector<std::string>{"40010", "40011"})) << run.Kinds();
    }
}

}  // namespace
