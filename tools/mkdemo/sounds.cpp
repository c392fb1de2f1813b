#include "sounds.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "synth.h"

namespace mkdemo {

namespace {

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

// Chords as MIDI notes; roots around C3..G3 so the pads sit below the lead.
const std::vector<int> C = {48, 55, 60, 64}, Am = {45, 52, 57, 60}, F = {41, 53, 57, 60}, G = {43, 55, 59, 62},
                       Em = {40, 52, 55, 59}, Dm = {50, 57, 60, 65}, Fmaj7 = {41, 52, 57, 60}, Gsus = {43, 55, 60, 62},
                       Bb = {46, 53, 58, 62}, Cadd9 = {48, 55, 62, 64};

Sound Blip(float fromHz, float toHz, float seconds) {
    Sound s{kRate, std::vector<float>(std::size_t(seconds * kRate))};
    float phase = 0;
    for (std::size_t i = 0; i < s.samples.size(); ++i) {
        float t = float(i) / float(s.samples.size());
        phase += (fromHz + (toHz - fromHz) * t) / kRate;
        s.samples[i] = (std::sin(kTwoPi * phase) + 0.3f * std::sin(kTwoPi * phase * 2)) * std::exp(-t * 4) *
                       std::min(1.0f, t * 60);
    }
    Normalize(s.samples, 0.6f);
    return s;
}

}  // namespace

Sound Music(const std::string& name) {
    Piece p;
    if (name == "TITLE") {
        p.bpm = 72, p.lead = Piece::Lead::Piano, p.seed = 1;
        p.chords = {Fmaj7, G, Em, Am, Fmaj7, G, Cadd9, Cadd9};
        p.melody = {{72, 1.5f}, {71, 0.5f}, {67, 2}, {69, 1}, {71, 1}, {74, 2}, {72, 1}, {71, 1}, {67, 4},
                    {69, 1.5f}, {71, 0.5f}, {72, 2}, {74, 1}, {76, 1}, {74, 2}, {72, 2}, {67, 2}, {72, 6}};
    } else if (name == "CGMODE") {
        p.bpm = 66, p.lead = Piece::Lead::Bell, p.seed = 2, p.bass = false;
        p.chords = {C, Am, F, G, C, Am, Dm, G};
        p.melody = {{76, 2}, {72, 2}, {69, 2}, {72, 2}, {77, 2}, {76, 2}, {74, 4},
                    {76, 2}, {79, 2}, {77, 2}, {76, 2}, {74, 2}, {72, 2}, {71, 4}};
    } else if (name == "BGM01") {
        // The town by day: light, walking pace.
        p.bpm = 96, p.lead = Piece::Lead::Pluck, p.seed = 3, p.padLevel = 0.25f;
        p.chords = {C, G, Am, F, C, G, F, G};
        p.melody = {{72, 1}, {74, 1}, {76, 2}, {74, 1}, {72, 1}, {71, 2}, {69, 1}, {71, 1},
                    {72, 2}, {69, 2}, {-1, 1}, {65, 1}, {67, 1}, {69, 1}, {72, 4}, {74, 1},
                    {76, 1}, {79, 2}, {77, 1}, {76, 1}, {74, 2}, {72, 2}, {71, 2}, {74, 4}};
    } else if (name == "BGM02") {
        // The cape at dusk: slow and wide.
        p.bpm = 60, p.lead = Piece::Lead::Flute, p.seed = 4, p.arpeggio = true;
        p.chords = {Am, F, C, G, Am, F, Dm, Em};
        p.melody = {{69, 3}, {71, 1}, {72, 4}, {67, 3}, {69, 1}, {67, 4},
                    {64, 2}, {65, 2}, {67, 4}, {69, 3}, {67, 1}, {64, 4}};
    } else if (name == "BGM03") {
        // Unease and partings.
        p.bpm = 56, p.lead = Piece::Lead::Piano, p.seed = 5, p.arpeggio = false, p.padLevel = 0.45f;
        p.chords = {Dm, Bb, F, C, Dm, Bb, Gsus, G};
        p.melody = {{74, 2}, {72, 2}, {69, 4}, {70, 2}, {69, 2}, {65, 4},
                    {67, 2}, {69, 2}, {70, 2}, {72, 2}, {74, 4}, {67, 4}};
    } else if (name == "BGM04") {
        // The endings: warm and bright.
        p.bpm = 76, p.lead = Piece::Lead::Bell, p.seed = 6;
        p.chords = {F, G, Em, Am, Dm, G, C, C};
        p.melody = {{72, 1}, {74, 1}, {76, 2}, {79, 2}, {77, 1}, {76, 1}, {74, 2},
                    {76, 2}, {72, 2}, {69, 2}, {74, 2}, {71, 2}, {72, 4}, {67, 4}};
    } else {
        throw std::logic_error("no such music: " + name);
    }
    return RenderPiece(p);
}

Sound Effect(const std::string& name) {
    Sound s{kRate, {}};
    if (name == "WAVES") {
        // Surf: filtered noise swelling in slow breaths; a loop.
        std::vector<float> n = Noise(8.6f, 31);
        LowPass(n, 700);
        for (std::size_t i = 0; i < n.size(); ++i) {
            float t = float(i) / kRate;
            float swell = 0.35f + 0.65f * std::pow(0.5f + 0.5f * std::sin(kTwoPi * t / 4.0f - 1.2f), 2.0f);
            n[i] *= swell;
        }
        MakeLoop(n, 0.6f);
        Normalize(n, 0.5f);
        s.samples = std::move(n);
    } else if (name == "WIND") {
        std::vector<float> n = Noise(6.5f, 32), out(n.size());
        for (int band = 0; band < 3; ++band) {
            std::vector<float> b = n;
            BandPass(b, 300.0f + band * 260, 3);
            for (std::size_t i = 0; i < b.size(); ++i) {
                float t = float(i) / kRate;
                out[i] += b[i] * (0.5f + 0.5f * std::sin(kTwoPi * t / (3.0f + band) + band));
            }
        }
        MakeLoop(out, 0.5f);
        Normalize(out, 0.45f);
        s.samples = std::move(out);
    } else if (name == "GULL") {
        std::vector<float> out(std::size_t(1.4f * kRate));
        for (int call = 0; call < 3; ++call) {
            float start = call * 0.38f, phase = 0;
            for (std::size_t i = 0; i < std::size_t(0.3f * kRate); ++i) {
                float t = float(i) / kRate;
                float hz = 1900 - 900 * t / 0.3f + 120 * std::sin(kTwoPi * 30 * t);
                phase += hz / kRate;
                float env = std::sin(std::numbers::pi_v<float> * t / 0.3f);
                out[std::size_t(start * kRate) + i] +=
                    (std::sin(kTwoPi * phase) + 0.4f * std::sin(kTwoPi * phase * 2.01f)) * env * (1 - call * 0.25f);
            }
        }
        Reverb(out, 0.3f, 0.6f);
        Normalize(out, 0.5f);
        s.samples = std::move(out);
    } else if (name == "DOOR") {
        std::vector<float> out(std::size_t(0.9f * kRate));
        std::vector<float> n = Noise(0.9f, 33);
        for (std::size_t i = 0; i < out.size(); ++i) {
            float t = float(i) / kRate;
            float creak = t < 0.5f ? std::sin(kTwoPi * (180 + 60 * t) * t) * (0.5f + 0.5f * std::sin(kTwoPi * 22 * t)) *
                                         0.3f * std::sin(std::numbers::pi_v<float> * t / 0.5f)
                                   : 0;
            float thump = t > 0.55f ? std::sin(kTwoPi * 70 * (t - 0.55f)) * std::exp(-(t - 0.55f) * 18) : 0;
            out[i] = creak + thump + n[i] * (t > 0.55f ? 0.2f * std::exp(-(t - 0.55f) * 30) : 0);
        }
        Normalize(out, 0.6f);
        s.samples = std::move(out);
    } else if (name == "BELL") {
        Track t(3.0f);
        const int notes[] = {84, 88, 91, 86, 89};
        for (int i = 0; i < 5; ++i) t.Add(BellNote(MidiToHz(float(notes[i])), 2.2f), 0.12f * i + 0.03f * (i % 2), 0.4f);
        s.samples = std::move(t.samples());
        Reverb(s.samples, 0.3f, 0.7f);
        FadeEdges(s.samples, 0, 0.3f);
        Normalize(s.samples, 0.5f);
    } else if (name == "STEP") {
        std::vector<float> out(std::size_t(1.6f * kRate));
        for (int step = 0; step < 4; ++step) {
            std::vector<float> n = Noise(0.12f, 40 + step);
            LowPass(n, 900);
            for (std::size_t i = 0; i < n.size(); ++i)
                out[std::size_t(step * 0.4f * kRate) + i] += n[i] * std::exp(-float(i) / kRate * 40);
        }
        Normalize(out, 0.5f);
        s.samples = std::move(out);
    } else if (name == "FIREWORK") {
        std::vector<float> out(std::size_t(3.0f * kRate));
        std::vector<float> whistle = Noise(3.0f, 50), boom = Noise(3.0f, 51), crackle = Noise(3.0f, 52);
        BandPass(whistle, 2400, 12);
        LowPass(boom, 180);
        for (std::size_t i = 0; i < out.size(); ++i) {
            float t = float(i) / kRate;
            float w = t < 0.8f ? whistle[i] * t * 1.2f : 0;
            float b = t > 0.8f ? boom[i] * 6 * std::exp(-(t - 0.8f) * 4) : 0;
            float k = t > 1.0f && (crackle[i] > 0.97f) ? crackle[i] * std::exp(-(t - 1.0f) * 1.5f) : 0;
            out[i] = w + b + k * 0.8f;
        }
        Reverb(out, 0.4f, 0.75f);
        Normalize(out, 0.6f);
        s.samples = std::move(out);
    } else if (name == "INS02") {
        Track t(1.6f);
        const int notes[] = {79, 84, 88};
        for (int i = 0; i < 3; ++i) t.Add(BellNote(MidiToHz(float(notes[i])), 1.2f), 0.1f * i, 0.45f);
        s.samples = std::move(t.samples());
        Normalize(s.samples, 0.55f);
    } else {
        throw std::logic_error("no such effect: " + name);
    }
    return s;
}

Sound SubmitSound() { return Blip(880, 1320, 0.12f); }
Sound CancelSound() { return Blip(660, 440, 0.14f); }

Sound VoiceFor(const std::string& name, std::size_t textLength) {
    static const char* const kSyllables[] = {"a",   "i",  "u",  "e",  "o",   "ka", "ki", "ku", "ke", "ko", "sa",
                                             "shi", "su", "so", "ta", "chi", "te", "to", "na", "ni", "no", "ha",
                                             "ho",  "ma", "mi", "mo", "ya",  "yo", "ra", "ri", "re", "wa", "n"};
    VoiceLine line;
    char who = name.empty() ? 'V' : name[0];
    line.pitchHz = who == 'A' ? 255.0f : who == 'B' ? 225.0f : who == 'C' ? 120.0f : 200.0f;
    line.rate = who == 'C' ? 0.85f : 1.05f;
    std::uint32_t h = 2166136261u;
    for (char c : name) h = (h ^ std::uint8_t(c)) * 16777619u;
    line.seed = h;
    line.question = h % 4 == 0;
    std::size_t count = std::clamp<std::size_t>(textLength / 2, 4, 16);
    for (std::size_t i = 0; i < count; ++i) {
        h = h * 1103515245u + 12345u;
        line.syllables += kSyllables[(h >> 16) % (sizeof kSyllables / sizeof *kSyllables)];
        line.syllables += ' ';
    }
    return RenderVoice(line);
}

}  // namespace mkdemo
