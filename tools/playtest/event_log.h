// The playthrough tool's event log: one line per event on its output, tab-separated, the frame
// number first, then the kind and its fields:
//
//   page SCRIPT NUMBER, text NAME MESSAGE, picture LAYER NAME, music NAME, voice NAME,
//   effect SLOT NAME, choice ITEM|ITEM|..., chose N, turn N, jump LABEL, title, request CODE,
//   end RESULT (an ending reached), box CAPTION TEXT ANSWER, timeout WHAT, error MESSAGE,
//   grayed COMMAND (a menu line whose item could not be picked), dialog CAPTION (a dialog the
//   input script acts in, as it opens), item TEXT (the list line a choose line picks), notice
//   TEXT (a short notice over the game, such as "セーブしました")
//
// With --check-frames, a drawn frame whose picture differs from the view tree composed afresh is
// an error "the screen differs from the views in (L, T)-(R, B), N pixels": the smallest
// rectangle holding every differing pixel, and their count; a difference that stays the same over
// the following frames is written once.
//
// A choice is a choice menu's items or a turn selection's caption and buttons (CAPTION|A|B|CD),
// answered by chose or turn; a jump is written for every jump that lands on a label (jump
// commands, jump tables, choices, turn selections, the debug window's jump), with the label as
// the jump names it (a table's jump: as the label's own line does).
//
// Fields are UTF-8 with backslash, tab, carriage return and line feed written as \\, \t, \r
// and \n, so that every event stays one line. Other tests and tools read this format: keep it.
#pragma once

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "app/game_events.h"
#include "lib/report_hook.h"

namespace host {
class ModalUi;
}

namespace playtest {

// One log line, without its line end.
std::string FormatLogLine(int frame, std::string_view kind, std::initializer_list<std::u16string_view> fields);

// The log's kind of a game event: an ending is logged as "end".
std::string_view LogKind(std::string_view event_kind);

// Writes the game's events and the message boxes it shows; both are handed on to `listener`
// (kind as logged) after they are written.
class EventLog final : public GameEventSink, public ReportSink {
public:
    // `frame` gives the frame number of an event; boxes are answered by `modal`.
    EventLog(std::FILE* out, std::function<int()> frame, host::ModalUi& modal);

    void set_listener(std::function<void(std::string_view kind)> listener) { listener_ = std::move(listener); }
    void Write(std::string_view kind, std::initializer_list<std::u16string_view> fields);

    // GameEventSink
    void OnGameEvent(std::string_view kind, std::initializer_list<std::u16string_view> fields) override;
    // ReportSink: the box is answered by the modal layer (the script's `answer` lines) and
    // logged with that answer; traces go to stderr.
    int MessageBox(std::u16string_view caption, std::u16string_view text, unsigned style) override;
    void DebugOutput(std::u16string_view text) override;

private:
    std::FILE* out_;
    std::function<int()> frame_;
    host::ModalUi& modal_;
    std::function<void(std::string_view)> listener_;
};

}  // namespace playtest
