// Keys and buttons read as snapshots once a frame, without losing what happened between two
// reads: a press let go before the next read still reads as down at that read and as up at the
// one after, and a release followed by a new press reads as up once and then down. A key held
// over several reads reads exactly as its state.
//
// The game polls its keyboard and mouse once a frame; a quick click, a touchpad tap or a tapped
// key lasts less than that, and the state alone would never show it.
#pragma once

#include <bitset>
#include <cstddef>

namespace host {

template <std::size_t N>
class PressLatch {
public:
    // What happened to `code` since the last read. A change counts only against what the reader
    // last saw or what changed since: an up after an up (a key the reader never saw down) or a
    // down after a down (the keyboard's own repeat) changes nothing.
    void WentDown(std::size_t code) {
        if (!shown_[code] || went_up_[code]) went_down_.set(code);
    }
    void WentUp(std::size_t code) {
        if (shown_[code] || went_down_[code]) went_up_.set(code);
    }

    // The state `code` reads as now, given whether it is down: the last read's state turned over
    // when the key went the other way since (or is the other way now), else that state. Each
    // change is read once.
    bool Read(std::size_t code, bool down_now) {
        if (!shown_[code] && (down_now || went_down_[code])) {
            shown_.set(code);
            went_down_.reset(code);
        } else if (shown_[code] && (!down_now || went_up_[code])) {
            shown_.reset(code);
            went_up_.reset(code);
        }
        return shown_[code];
    }

    // Forgets everything (the reader saw nothing held: the focus went, the overlay took the keys).
    void Clear() {
        went_down_.reset();
        went_up_.reset();
        shown_.reset();
    }

private:
    std::bitset<N> went_down_, went_up_, shown_;
};

}  // namespace host
