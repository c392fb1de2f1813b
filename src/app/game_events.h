// What the running game shows, plays and asks, told to whoever listens.
//
// The story commands and screens post one event for each thing a player would notice (a page
// reached, a message shown, a picture, a piece of music, a voice, a sound effect, a choice offered
// or taken, a jump). Nothing listens in the program; the playthrough tool installs a sink and
// writes the events as its log, so that whole-game tests can check what a route shows and plays.
// The kinds and their fields are that log's format: keep them stable.
#pragma once

#include <initializer_list>
#include <string_view>

#include "lib/scope_guard.h"

class GameEventSink {
public:
    virtual ~GameEventSink() = default;
    // kind is one of the names below; fields are in the order the kind lists them.
    virtual void OnGameEvent(std::string_view kind, std::initializer_list<std::u16string_view> fields) = 0;
};

// The kinds posted by the game, with their fields:
//   "page"    script, page number           a page wait reached (the page being left)
//   "text"    speaker, message              a message as shown, names expanded ("" without a speaker)
//   "picture" layer, name                   a picture shown on a layer ("bg", "chr", "chl")
//   "music"   name                          a piece of music started ("" when stopped)
//   "voice"   name                          a voice started
//   "effect"  slot, name                    a sound effect started in a slot ("1" or "2")
//   "choice"  item|item|...                 a choice menu offered; for a turn selection, once its
//                                           buttons take clicks: the caption, then the buttons'
//                                           names from the left ("ターン 1|A|B|C|D")
//   "chose"   index                         the item taken (0 first)
//   "turn"    index                         the turn selection's result
//   "jump"    label                         a jump that lands on a label, once for each jump: JMP,
//                                           RJP and PJP, IVG and the turn selection (through the
//                                           jump tables), a choice, the debug window's jump
//   "title"                                 the title screen shown
//   "request" code                          a menu request turned into a script exception
//   "ending"  number                        an ending reached
// Posting with no sink installed does nothing.
void PostGameEvent(std::string_view kind, std::initializer_list<std::u16string_view> fields = {});

// Installs a sink (null removes it) and returns the previous one.
GameEventSink* SetGameEventSink(GameEventSink* sink);
using ScopedGameEventSink = ScopedInstall<GameEventSink, SetGameEventSink>;
