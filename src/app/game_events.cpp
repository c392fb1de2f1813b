#include "app/game_events.h"

namespace {
// The one listener; the game runs on one thread, so no lock.
GameEventSink* g_sink = nullptr;
}  // namespace

void PostGameEvent(std::string_view kind, std::initializer_list<std::u16string_view> fields) {
    if (g_sink) g_sink->OnGameEvent(kind, fields);
}

GameEventSink* SetGameEventSink(GameEventSink* sink) {
    GameEventSink* previous = g_sink;
    g_sink = sink;
    return previous;
}
