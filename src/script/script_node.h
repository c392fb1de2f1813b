// A compiled script: a group that owns a doubly linked list of nodes, one node per command.
//
// The compiler fills the list and the interpreter walks it. Both classes are bases: the game
// derives its own group and node and overrides the virtual operations (CreateNode so that the
// compiler makes the game's nodes, Execute for the story commands, Run to build the scene around
// the base run, StepFrame and HeldInput to turn its frame loop while a command waits).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "lib/list.h"
#include "script/jump_table.h"
#include "script/lexer.h"
#include "script/script_error.h"

struct ACT;

namespace TextScript {

class ScriptStateGroup;

// A value item: a node of an operand tree. The compiler makes leaves only (no links), kind 1,
// holding a copy of a token's text. Kinds 1 to 4 own their text.
struct NamedItem {
    NamedItem* parent = nullptr;
    NamedItem* left = nullptr;
    NamedItem* right = nullptr;
    NamedItem* sibling = nullptr;
    std::int32_t kind = 0;
    std::u16string text;
};

// One argument of a node; `next` comes first so the chain functions of the list header apply.
struct ArgItem {
    ArgItem* next = nullptr;
    NamedItem* value = nullptr;
    NamedItem* value2 = nullptr;  // always null here
};

// Makes a value item holding `text`; a given left or right item becomes its child.
NamedItem* NewNamedItem(std::int32_t kind, std::u16string text, NamedItem* left = nullptr, NamedItem* right = nullptr);
// Detaches the item from its parent and frees it with its sibling chain and its children.
void FreeNamedItem(NamedItem* item);

class ScriptStateNode : public CDoubleListNode<ScriptStateNode, ScriptStateGroup> {
public:
    enum Code : std::uint8_t {
        kReturn = 0,
        kMessage = 1,
        kGrp = 2,
        kChr = 3,
        kChl = 4,
        kLab = 5,
        kMenuEnd = 6,
        kMakeMenu = 7,
        kWav = 8,
        kPst = 9,
        kSel = 10,
        kRms = 11,
        kClm = 12,
        kLgr = 13,
        kVoi = 14,
        kJmp = 15,
        kRjp = 16,
        kPjp = 17,
        kRsp = 18,
        kRst = 19,
        kRsx = 20,
        kSfs = 21,
        kDon = 22,
        kDof = 23,
        kTof = 24,
        kIvg = 25,
        kSsl = 26,
        kEnd = 27,
        kEnd1 = 28,
        kEnd2 = 29,
        kSed = 30,
        kDgr = 31,
        kPage = 34,
        kFls = 35,
        kS1a = 36,
        kS1b = 37,
        kS1m = 38,
        kS2a = 39,
        kS2b = 40,
        kS2m = 41,
    };

    // A node of `group` that is not linked yet, on the group's current lexer line.
    explicit ScriptStateNode(ScriptStateGroup* group);
    ~ScriptStateNode() override;

    // Runs this node's command and returns the node to run next; null ends the run. The base
    // runs the flow-control and variable commands and passes over the others. A script error
    // that leaves it carries this node's line.
    virtual ScriptStateNode* Execute();

    // Appends an argument holding `text`.
    void AddArgument(std::u16string text);
    // Argument n's text (n = 0 is the first written); empty when the node has fewer.
    std::u16string_view Arg(std::int32_t n) const;
    std::int32_t ArgCount() const;

    std::uint32_t line = 0;    // lexer line when the node was made
    std::uint8_t code = 0;     // command code, 0 to 41
    std::uint8_t op = 0;       // PJP: '<' '=' '>'; PST: '=' '+' '-'; else 0
    std::uint32_t number = 0;  // page number of a page node, else 0
    ArgItem* arguments = nullptr;

private:
    ScriptStateNode* ExecuteCommand();
    ScriptStateNode* ExecutePst();
    ScriptStateNode* ExecuteRjp();
    ScriptStateNode* ExecutePjp();
    ScriptStateNode* ExecuteReset(bool same_letter);
};

inline constexpr std::size_t kStateNodeBlockSize = sizeof(ScriptStateNode);

// Frees an ACT task record through FreeACT when it goes out of scope.
class PendingWait {
public:
    PendingWait() = default;
    ~PendingWait() { Reset(); }
    PendingWait(const PendingWait&) = delete;
    PendingWait& operator=(const PendingWait&) = delete;

    ACT* get() const { return act_; }
    explicit operator bool() const { return act_ != nullptr; }
    // Frees the task held (if any) and holds `act`.
    void Reset(ACT* act = nullptr);

private:
    ACT* act_ = nullptr;
};

class ScriptStateGroup : public CDoubleListGroup<ScriptStateGroup, ScriptStateNode> {
public:
    ScriptStateGroup();
    ~ScriptStateGroup() override;

    // Compiles a cp932 script into this group's node list (see compiler.cpp). Returns 0; every
    // failure raises the error exception after writing the system's trace. A failed compile
    // leaves the nodes made so far.
    int Compile(std::string_view source, std::u16string_view file_name);

    // A new node of this group, not linked. The compiler makes every node through it.
    virtual std::unique_ptr<ScriptStateNode> CreateNode();
    // Prepares a run; true when this script's title had already begun a run before.
    virtual bool BeginRun();
    // Called when a run ends normally or through a handled script exception.
    virtual void EndRun() {}
    // Runs the list from its head (page -1) or after the page node of that number. Returns 0
    // (the script ended, the quiet quit, or a ScriptException other than these), 1 (back to the
    // title) or 2 (load a slot). The go-back request resumes the current page inside the run. A
    // script error is written as a runtime trace and raised as the error exception; every other
    // error exception but the quiet quit (type 1) travels on. The pending wait is freed on every
    // way out.
    virtual std::int32_t Run(std::int32_t page);
    // Whether Run(page) has a page to resume at: a page node of that number with a node after
    // it. A save names its page by number, so one made before the script changed may name none.
    bool CanResumeAt(std::int32_t page) const;
    // A notification to the game's group; the base answers 0. Run sends kNotifyGoBack before it
    // resumes the current page for the go-back request.
    virtual std::intptr_t Notify(std::uint32_t message, std::intptr_t argument);
    static constexpr std::uint32_t kNotifyGoBack = 0x5000;
    // Told of each jump the base commands take, once its label is found: JMP, RJP and PJP give
    // the label as they name it, IVG (and whoever else jumps through the tables) the label
    // node's own name, since the tables keep only an upper-cased copy. The game posts these as
    // its jump events; the base does nothing.
    virtual void Jumped(std::u16string_view /*label*/) const {}

    // The frame loop, as the game fills it: one frame step (which may throw ScriptException or
    // the error exception), and the held word of the input record. The base group has no frame
    // loop: a command that waits in it raises the error exception.
    virtual void StepFrame();
    virtual std::uint32_t HeldInput();
    // The run steps a frame of its own after this many commands in a row without a wait, so that
    // a script looping without one (a label jumped to from below it) still lets the window, the
    // player's quit and the frame limits of the tools through (the base group's step ends such
    // a run with its error). Real scripts wait long before.
    static constexpr std::uint32_t kCommandsWithoutFrame = 100000;

    const std::u16string& file_name() const { return file_name_; }
    LexerState& lexer() { return lexer_; }
    const LexerState& lexer() const { return lexer_; }

    std::uint32_t error_line() const { return error_line_; }
    std::uint32_t error_code() const { return error_code_; }
    const ScriptError2& last_error() const { return last_error_; }

    IVJUMPTABLEGROUP& jump_tables() { return jump_tables_; }
    const IVJUMPTABLEGROUP& jump_tables() const { return jump_tables_; }
    IVJUDGETABLEGROUP& judge_tables() { return judge_tables_; }
    const IVJUDGETABLEGROUP& judge_tables() const { return judge_tables_; }

    // The task the running command waits on; the run loop turns frames until it is finished.
    PendingWait& pending_wait() { return pending_wait_; }
    ScriptStateNode* current_node() const { return current_node_; }

    void Append(std::unique_ptr<ScriptStateNode> node) { InsertChain(nullptr, node.release()); }

private:
    friend int ParseJumpTable(ScriptStateGroup& group, std::string_view bytes, std::u16string_view file_name);

    void RememberError(const ScriptError& error);
    void RememberError(const ScriptError2& error);
    ScriptStateNode* FindResumeNode(std::int32_t page) const;
    ScriptStateNode* ResumeNodeOf(std::int32_t page) const;
    // Runs from `node` to the end; `passed_page` is set once a page node has run.
    std::int32_t RunLoop(ScriptStateNode* node, bool& passed_page);
    void WaitForPendingTask();

    std::u16string file_name_;
    LexerState lexer_;
    std::uint32_t error_line_ = 0;
    std::uint32_t error_code_ = 0;
    ScriptError2 last_error_;
    IVJUMPTABLEGROUP jump_tables_;
    IVJUDGETABLEGROUP judge_tables_;
    PendingWait pending_wait_;
    ScriptStateNode* current_node_ = nullptr;
};

// The page node just before the first label node named `name` (case ignored); null when no such
// label exists; a label without a page node before it raises ScriptError2.
ScriptStateNode* FindLabelNode(const ScriptStateGroup& group, std::u16string_view name);

// Page number of the current page: 0 after BeginRun, the page a run resumes at, and the number
// of each page node the story passes. A save stores it.
extern std::uint32_t CurrentPage;
// Non-zero while a scene is replayed: PST and PJP then do nothing.
extern std::uint32_t ScenePlayMode;

}  // namespace TextScript
