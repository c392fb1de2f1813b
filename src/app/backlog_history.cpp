#include "app/backlog_history.h"

#include <algorithm>

#include "script/script_node.h"
#include "script/text_fold.h"

namespace {

constexpr std::u16string_view kNoVoice = u"00";

bool IsVoice(const TextScript::ScriptStateNode* node) {
    return node && node->code == TextScript::ScriptStateNode::kVoi;
}

}  // namespace

void BacklogHistory::Append(BacklogEntry entry) {
    entries_.push_back(std::move(entry));
    while (entries_.size() > kMaxEntries) entries_.pop_front();
}

std::u16string PairedVoiceName(const TextScript::ScriptStateNode& message) {
    const TextScript::ScriptStateNode* voice = message.prev();
    if (!IsVoice(voice)) voice = message.next();
    if (!IsVoice(voice) || voice->Arg(0) == kNoVoice) return {};
    std::u16string name(voice->Arg(0));
    std::transform(name.begin(), name.end(), name.begin(), TextScript::FoldAscii);
    return name;
}
