// The base interpreter: the run loop of a script group and the flow-control and variable
// commands of the base node.
#include "lib/act.h"
#include "lib/error.h"
#include "lib/utility.h"
#include "script/history.h"
#include "script/script_node.h"
#include "script/text_fold.h"
#include "script/variables.h"

namespace TextScript {

std::uint32_t CurrentPage = 0;
std::uint32_t ScenePlayMode = 0;

namespace {

// Held-input bits that hurry a waiting task along (message 0x8000): left Shift and left Control.
constexpr std::uint32_t kHurryInputMask = 0x50000;
constexpr int kHurryMessage = 0x8000;
constexpr std::int32_t kTaskFinished = -1;

// RJP picks one of this many consecutive RJP lines.
constexpr std::int32_t kRandomJumpTargets = 3;

ScriptStateNode* JumpTo(const ScriptStateGroup& group, std::u16string_view label) {
    ScriptStateNode* node = FindLabelNode(group, label);
    if (!node) throw ScriptError2(0, u"ラベルが見つかりません。[%s]", label);
    group.Jumped(label);
    return node;
}

}  // namespace

ScriptStateNode* FindLabelNode(const ScriptStateGroup& group, std::u16string_view name) {
    for (ScriptStateNode* node = group.head(); node; node = node->next()) {
        if (node->code != ScriptStateNode::kLab || !EqualIgnoringCase(node->Arg(0), name)) continue;
        ScriptStateNode* page = node->prev();
        if (!page || page->code != ScriptStateNode::kPage)
            throw ScriptError2(node->line, u"ラベルの直前にページ区切りがありません");
        return page;
    }
    return nullptr;
}

ScriptStateNode* ScriptStateNode::Execute() {
    try {
        return ExecuteCommand();
    } catch (ScriptErrorLine& error) {
        error.line = line;
        throw;
    }
}

ScriptStateNode* ScriptStateNode::ExecuteCommand() {
    switch (code) {
        case kPst: return ExecutePst();
        case kClm: {
            ScriptStateNode* node = next();
            while (node && node->code == kClm) node = node->next();
            return node;
        }
        case kJmp: return JumpTo(*group(), Arg(0));
        case kRjp: return ExecuteRjp();
        case kPjp: return ExecutePjp();
        case kRsp: ResetVariable(Arg(0)); return next();
        case kRst: return ExecuteReset(true);
        case kRsx: return ExecuteReset(false);
        case kIvg: return JumpThroughTables(*group(), EvaluateOperand(Arg(0), 0));
        default: return next();
    }
}

ScriptStateNode* ScriptStateNode::ExecutePst() {
    if (ScenePlayMode) return next();
    VariableNode* variable = FindVariable(LiveVariables(), VariableNode::kNumber, Arg(0));
    if (!variable) variable = GetOrCreateVariable(LiveVariables(), Arg(0), 0);
    const std::u16string_view operand = Arg(1);
    if (!BeginsWithDigit(operand)) throw ScriptError2(0, u"数値を指定してください。");
    const std::uint32_t n = ParseDecimal(operand);
    // Wrapping arithmetic, as 32-bit script values always had.
    const auto value = static_cast<std::uint32_t>(variable->value);
    switch (op) {
        case '+': variable->value = static_cast<std::int32_t>(value + n); break;
        case '-': variable->value = static_cast<std::int32_t>(value - n); break;
        case '=': variable->value = static_cast<std::int32_t>(n); break;
        default: break;
    }
    return next();
}

ScriptStateNode* ScriptStateNode::ExecuteRjp() {
    std::int32_t count = 0;
    for (const ScriptStateNode* node = this; node && node->code == kRjp; node = node->next()) ++count;
    if (count != kRandomJumpTargets) throw ScriptError2(0, u"RJP: ジャンプ先を３つ指定してください。");
    const std::int32_t pick = LockedRand() % kRandomJumpTargets;
    const ScriptStateNode* chosen = this;
    for (std::int32_t i = 0; i < pick; ++i) chosen = chosen->next();
    return JumpTo(*group(), chosen->Arg(0));
}

ScriptStateNode* ScriptStateNode::ExecutePjp() {
    if (ScenePlayMode) return next();
    const std::int32_t a = EvaluateOperand(Arg(0), 0);
    const std::int32_t b = EvaluateOperand(Arg(1), 0);
    const bool jump = (op == '<' && a < b) || (op == '=' && a == b) || (op == '>' && a > b);
    return jump ? JumpTo(*group(), Arg(2)) : next();
}

ScriptStateNode* ScriptStateNode::ExecuteReset(bool same_letter) {
    const std::u16string_view letter = Arg(0);
    ResetVariablesByLetter(letter.empty() ? u'\0' : letter[0], same_letter);
    return next();
}

bool ScriptStateGroup::BeginRun() {
    CurrentPage = 0;
    DeclareJudgeOperands(*this);
    const bool seen = ScriptHistory().Add(FileTitle(file_name_));
    pending_wait_.Reset();
    return seen;
}

ScriptStateNode* ScriptStateGroup::ResumeNodeOf(std::int32_t page) const {
    for (ScriptStateNode* node = head(); node; node = node->next())
        if (node->code == ScriptStateNode::kPage && std::int64_t{node->number} == page && node->next())
            return node->next();
    return nullptr;
}

bool ScriptStateGroup::CanResumeAt(std::int32_t page) const { return ResumeNodeOf(page) != nullptr; }

ScriptStateNode* ScriptStateGroup::FindResumeNode(std::int32_t page) const {
    if (ScriptStateNode* node = ResumeNodeOf(page)) return node;
    throw ScriptError2(static_cast<std::uint32_t>(page), u"再開できるページが見つかりません");
}

void ScriptStateGroup::WaitForPendingTask() {
    while (pending_wait_) {
        ACT* task = pending_wait_.get();
        WalkACT(task);
        StepFrame();
        if (task->flags != kTaskFinished) {
            if (HeldInput() & kHurryInputMask) SendACT(task, kHurryMessage, 0, 0);
        } else {
            pending_wait_.Reset();
        }
    }
}

std::int32_t ScriptStateGroup::RunLoop(ScriptStateNode* node, bool& passed_page) {
    // Commands since the run last waited on a task. A command that steps frames itself is not
    // seen here; at worst that adds one frame in kCommandsWithoutFrame commands.
    std::uint32_t without_frame = 0;
    while (node) {
        current_node_ = node;
        if (node->code == ScriptStateNode::kPage) passed_page = true;
        node = node->Execute();
        if (pending_wait_) without_frame = 0;
        WaitForPendingTask();
        if (++without_frame >= kCommandsWithoutFrame) {
            without_frame = 0;
            StepFrame();
        }
    }
    return 0;
}

std::int32_t ScriptStateGroup::Run(std::int32_t page) {
    std::int32_t result = 0;
    try {
        BeginRun();
        ScriptStateNode* start = head();
        if (page != -1) {
            start = FindResumeNode(page);
            CurrentPage = static_cast<std::uint32_t>(page);
        }
        // The variables as the run began, for a step back before the first page node.
        VariableTable run_start;
        run_start.CopyFrom(LiveVariables());
        bool passed_page = false;
        for (;;) {
            try {
                result = RunLoop(start, passed_page);
                break;
            } catch (const ScriptException& exception) {
                pending_wait_.Reset();
                if (exception.code != ScriptException::kGoBack) throw;
            }
            // Go back to the start of the current page, with the variables it began with: what
            // a save made now would hold. Until a page node has run, that is where this run began
            // (the head, or the page it resumed at), and the snapshot may still be another run's.
            Notify(kNotifyGoBack, 0);
            if (!passed_page) {
                LiveVariables().CopyFrom(run_start);
                CurrentPage = page == -1 ? 0 : static_cast<std::uint32_t>(page);
            } else {
                LiveVariables().CopyFrom(VariableSnapshot());
                start = FindResumeNode(static_cast<std::int32_t>(CurrentPage));
            }
        }
    } catch (const ScriptError& error) {
        pending_wait_.Reset();
        RaiseRuntimeReport(file_name_, error.line, ScriptErrorText(error.code));
    } catch (const ScriptError2& error) {
        pending_wait_.Reset();
        RaiseRuntimeReport(file_name_, error.line, error.text);
    } catch (const ExceptionHandle& error) {
        pending_wait_.Reset();
        // Only the quiet quit ends the run like the script's end; every other error goes on to
        // the game cycle, which reports it.
        if (error.type != 1) throw;
        result = 0;
    } catch (const ScriptException& exception) {
        pending_wait_.Reset();
        if (exception.code == ScriptException::kBackToTitle || exception.code == ScriptException::kLoadSlot) {
            SnapshotVariables();
            result = exception.code == ScriptException::kBackToTitle ? 1 : 2;
        } else {
            result = 0;
        }
    }
    EndRun();
    return result;
}

}  // namespace TextScript
