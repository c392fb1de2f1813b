// Synthesis of the sample game's music, effects and voices.
//
// Everything is mono at 22050 Hz: small streams that still sound pleasant. Music pieces are
// loops; the reverb tail of the end is folded back onto the beginning so the loop point is silent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound_file.h"

namespace mkdemo {

constexpr int kRate = 22050;

float MidiToHz(float note);

// A buffer that notes are added into.
class Track {
public:
    explicit Track(float seconds) : samples_(std::size_t(seconds * kRate), 0.0f) {}
    void Add(const std::vector<float>& voice, float atSeconds, float gain = 1.0f);
    std::vector<float>& samples() { return samples_; }

private:
    std::vector<float> samples_;
};

// Instruments: each returns one note, enveloped, at unit peak level.
std::vector<float> PadNote(float hz, float seconds);
std::vector<float> PluckNote(float hz, float seconds, std::uint32_t seed);
std::vector<float> BellNote(float hz, float seconds);
std::vector<float> PianoNote(float hz, float seconds);
std::vector<float> BassNote(float hz, float seconds);
std::vector<float> FluteNote(float hz, float seconds);
std::vector<float> Noise(float seconds, std::uint32_t seed);

// Effects in place.
void LowPass(std::vector<float>& s, float cutoffHz);
void HighPass(std::vector<float>& s, float cutoffHz);
void BandPass(std::vector<float>& s, float centreHz, float q);
void Reverb(std::vector<float>& s, float wet, float room);
void Normalize(std::vector<float>& s, float peak);
void FadeEdges(std::vector<float>& s, float inSeconds, float outSeconds);
// Makes the end flow into the beginning: the last overlap seconds are cross-faded onto the start.
void MakeLoop(std::vector<float>& s, float overlapSeconds);

// A piece of music: chords one per bar, a melody line, and a choice of instruments.
struct Piece {
    float bpm = 80;
    int beatsPerBar = 4;
    std::vector<std::vector<int>> chords;       // MIDI notes of each bar's chord
    std::vector<std::pair<int, float>> melody;  // MIDI note (-1 rest) and length in beats
    enum class Lead { Piano, Bell, Flute, Pluck } lead = Lead::Piano;
    bool arpeggio = true;
    bool bass = true;
    float padLevel = 0.35f;
    std::uint32_t seed = 1;
};

Sound RenderPiece(const Piece& piece);

// A voice line: babbled syllables shaped like speech, at a speaker's pitch.
struct VoiceLine {
    float pitchHz = 220;
    std::string syllables;  // romanised, e.g. "ko n ni chi wa"; spaces separate syllables
    float rate = 1.0f;      // syllables are about 0.13 s at rate 1
    bool question = false;  // pitch rises at the end
    std::uint32_t seed = 1;
};

Sound RenderVoice(const VoiceLine& line);

}  // namespace mkdemo
