// The backlog's list: every message the story shows, with the voice that goes with it, so that
// the player can reread the last while and hear the voices again. It lives in memory only (a
// load empties it) and keeps the newest 60 messages.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace TextScript {
class ScriptStateNode;
}

struct BacklogEntry {
    std::u16string text;   // the message with the hero names put in
    std::u16string voice;  // upper-cased; empty when the message has no voice
};

class BacklogHistory {
public:
    static constexpr std::size_t kMaxEntries = 60;

    // Appends at the end; the oldest entry goes once there are more than kMaxEntries.
    void Append(BacklogEntry entry);
    void Clear() { entries_.clear(); }
    // Oldest first.
    const std::deque<BacklogEntry>& entries() const { return entries_; }
    // Null while empty.
    const BacklogEntry* Newest() const { return entries_.empty() ? nullptr : &entries_.back(); }

private:
    std::deque<BacklogEntry> entries_;
};

// The voice of a message node: the name of the VOI right before it ("00" there: no voice at
// all), else the name of the VOI right after it ("00": none), upper-cased; empty for none.
std::u16string PairedVoiceName(const TextScript::ScriptStateNode& message);
