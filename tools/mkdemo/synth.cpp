#include "synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace mkdemo {

namespace {

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

// sin(2 pi x) from a table: the synthesis calls it tens of millions of times.
float SinCycles(float x) {
    constexpr int kSize = 4096;
    static const std::vector<float> table = [] {
        std::vector<float> t(kSize + 1);
        for (int i = 0; i <= kSize; ++i) t[i] = std::sin(kTwoPi * float(i) / kSize);
        return t;
    }();
    float f = (x - std::floor(x)) * kSize;
    int i = int(f);
    return table[i] + (table[i + 1] - table[i]) * (f - float(i));
}

std::size_t Samples(float seconds) { return std::size_t(std::max(seconds, 0.0f) * kRate); }

// Attack-decay-sustain-release envelope over a note of the given length.
float Envelope(float t, float length, float attack, float decay, float sustain, float release) {
    float level;
    if (t < attack)
        level = t / attack;
    else if (t < attack + decay)
        level = 1 - (1 - sustain) * (t - attack) / decay;
    else
        level = sustain;
    float releaseStart = length - release;
    if (t > releaseStart) level *= std::max(0.0f, 1 - (t - releaseStart) / release);
    return level;
}

// Two-pole resonator (constant peak gain band-pass).
class Resonator {
public:
    void Set(float hz, float bandwidthHz) {
        float r = std::exp(-std::numbers::pi_v<float> * bandwidthHz / kRate);
        a1_ = 2 * r * std::cos(kTwoPi * hz / kRate);
        a2_ = -r * r;
        gain_ = 1 - r;
    }
    float Step(float x) {
        float y = gain_ * x + a1_ * y1_ + a2_ * y2_;
        y2_ = y1_, y1_ = y;
        return y;
    }

private:
    float a1_ = 0, a2_ = 0, gain_ = 0, y1_ = 0, y2_ = 0;
};

}  // namespace

float MidiToHz(float note) { return 440.0f * std::pow(2.0f, (note - 69) / 12.0f); }

void Track::Add(const std::vector<float>& voice, float atSeconds, float gain) {
    std::size_t start = Samples(atSeconds);
    for (std::size_t i = 0; i < voice.size(); ++i) {
        // Notes that run past the end wrap around, so a loop's last notes ring into its start.
        samples_[(start + i) % samples_.size()] += voice[i] * gain;
    }
}

std::vector<float> PadNote(float hz, float seconds) {
    // One cycle of the soft, few-partial wave, read at three slightly detuned rates.
    constexpr int kTable = 2048;
    static const std::vector<float> wave = [] {
        const float level[] = {0, 1.0f, 0.33f, 0.17f, 0.11f, 0.076f};
        std::vector<float> w(kTable + 1);
        for (int i = 0; i <= kTable; ++i) {
            for (int k = 1; k <= 5; ++k) w[i] += SinCycles(float(k * i) / kTable + k * 0.16f) * level[k];
        }
        return w;
    }();
    std::vector<float> out(Samples(seconds));
    const float detune[] = {0.997f, 1.0f, 1.004f};
    float phase[] = {0.0f, 0.31f, 0.67f};
    for (std::size_t i = 0; i < out.size(); ++i) {
        float t = float(i) / kRate, v = 0;
        for (int d = 0; d < 3; ++d) {
            phase[d] += hz * detune[d] / kRate;
            phase[d] -= std::floor(phase[d]);
            float f = phase[d] * kTable;
            int j = int(f);
            v += wave[j] + (wave[j + 1] - wave[j]) * (f - float(j));
        }
        out[i] = v / 5.0f * Envelope(t, seconds, std::min(0.6f, seconds / 3), 0.5f, 0.8f, std::min(0.8f, seconds / 3));
    }
    LowPass(out, 1800);
    return out;
}

std::vector<float> PluckNote(float hz, float seconds, std::uint32_t seed) {
    std::vector<float> out(Samples(seconds));
    std::size_t period = std::max<std::size_t>(2, std::size_t(kRate / hz));
    std::vector<float> line(period);
    std::uint32_t s = seed * 747796405u + 1;
    for (float& v : line) {
        s = s * 1664525u + 1013904223u;
        v = float(s >> 8) / float(1 << 24) * 2 - 1;
    }
    float prev = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::size_t j = i % period;
        float cur = line[j];
        line[j] = 0.996f * 0.5f * (cur + prev);
        prev = cur;
        out[i] = cur * 0.6f;
    }
    FadeEdges(out, 0.002f, 0.05f);
    return out;
}

std::vector<float> BellNote(float hz, float seconds) {
    std::vector<float> out(Samples(seconds));
    for (std::size_t i = 0; i < out.size(); ++i) {
        float t = float(i) / kRate;
        float index = 2.5f * std::exp(-t * 3.0f);
        float mod = SinCycles(hz * 3.5f * t) * index;
        out[i] = SinCycles(hz * t + mod / kTwoPi) * std::exp(-t * 2.2f) * std::min(1.0f, t * 400);
    }
    FadeEdges(out, 0, 0.05f);
    return out;
}

std::vector<float> PianoNote(float hz, float seconds) {
    std::vector<float> out(Samples(seconds));
    float level[7], decay[7];
    for (int k = 1; k <= 6; ++k) level[k] = 1.0f / float(k), decay[k] = std::exp(-(1.2f + 0.9f * k) / kRate);
    for (std::size_t i = 0; i < out.size(); ++i) {
        float t = float(i) / kRate, v = 0;
        for (int k = 1; k <= 6; ++k) {
            v += SinCycles(hz * k * (1 + 0.0004f * k * k) * t) * level[k];
            level[k] *= decay[k];
        }
        out[i] = v * 0.8f * std::min(1.0f, t * 300);
    }
    FadeEdges(out, 0, 0.08f);
    return out;
}

std::vector<float> BassNote(float hz, float seconds) {
    std::vector<float> out(Samples(seconds));
    for (std::size_t i = 0; i < out.size(); ++i) {
        float t = float(i) / kRate;
        float v = SinCycles(hz * t) + 0.3f * SinCycles(2 * hz * t);
        out[i] = std::tanh(v * 1.2f) * Envelope(t, seconds, 0.01f, 0.3f, 0.6f, 0.15f);
    }
    return out;
}

std::vector<float> FluteNote(float hz, float seconds) {
    std::vector<float> out(Samples(seconds));
    std::vector<float> breath = Noise(seconds, std::uint32_t(hz));
    BandPass(breath, hz * 2, 4);
    for (std::size_t i = 0; i < out.size(); ++i) {
        float t = float(i) / kRate;
        float vibrato = 1 + 0.006f * SinCycles(5.2f * t) * std::min(1.0f, t * 2);
        float v = SinCycles(hz * vibrato * t) + 0.18f * SinCycles(2 * hz * vibrato * t);
        out[i] = (v + breath[i] * 0.8f) * Envelope(t, seconds, 0.08f, 0.2f, 0.85f, std::min(0.25f, seconds / 2));
    }
    return out;
}

std::vector<float> Noise(float seconds, std::uint32_t seed) {
    std::vector<float> out(Samples(seconds));
    std::uint32_t s = seed * 2891336453u + 7;
    for (float& v : out) {
        s ^= s << 13, s ^= s >> 17, s ^= s << 5;
        v = float(s >> 8) / float(1 << 24) * 2 - 1;
    }
    return out;
}

void LowPass(std::vector<float>& s, float cutoffHz) {
    float a = 1 - std::exp(-kTwoPi * cutoffHz / kRate), y = 0;
    for (float& v : s) v = y += a * (v - y);
}

void HighPass(std::vector<float>& s, float cutoffHz) {
    float a = 1 - std::exp(-kTwoPi * cutoffHz / kRate), low = 0;
    for (float& v : s) {
        low += a * (v - low);
        v -= low;
    }
}

void BandPass(std::vector<float>& s, float centreHz, float q) {
    Resonator r;
    r.Set(centreHz, centreHz / q);
    for (float& v : s) v = r.Step(v) * 2;
}

void Reverb(std::vector<float>& s, float wet, float room) {
    const int combDelays[] = {1116, 1188, 1277, 1356};
    const int allpassDelays[] = {556, 441};
    std::vector<float> out(s.size(), 0.0f);
    for (int d : combDelays) {
        std::size_t delay = std::size_t(d * kRate / 44100);
        std::vector<float> buf(delay, 0.0f);
        float damp = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            float y = buf[i % delay];
            damp = y * 0.6f + damp * 0.4f;
            buf[i % delay] = s[i] + damp * room;
            out[i] += y * 0.25f;
        }
    }
    for (int d : allpassDelays) {
        std::size_t delay = std::size_t(d * kRate / 44100);
        std::vector<float> buf(delay, 0.0f);
        for (std::size_t i = 0; i < out.size(); ++i) {
            float b = buf[i % delay];
            float x = out[i];
            buf[i % delay] = x + b * 0.5f;
            out[i] = b - x * 0.5f;
        }
    }
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = s[i] * (1 - wet * 0.5f) + out[i] * wet;
}

void Normalize(std::vector<float>& s, float peak) {
    float m = 0;
    for (float v : s) m = std::max(m, std::fabs(v));
    if (m > 0)
        for (float& v : s) v *= peak / m;
}

void FadeEdges(std::vector<float>& s, float inSeconds, float outSeconds) {
    std::size_t in = std::min(Samples(inSeconds), s.size()), out = std::min(Samples(outSeconds), s.size());
    for (std::size_t i = 0; i < in; ++i) s[i] *= float(i) / float(in);
    for (std::size_t i = 0; i < out; ++i) s[s.size() - 1 - i] *= float(i) / float(out);
}

void MakeLoop(std::vector<float>& s, float overlapSeconds) {
    std::size_t n = std::min(Samples(overlapSeconds), s.size() / 2);
    std::size_t tail = s.size() - n;
    for (std::size_t i = 0; i < n; ++i) {
        float t = float(i) / float(n);
        s[i] = s[i] * std::sqrt(t) + s[tail + i] * std::sqrt(1 - t);
    }
    s.resize(tail);
}

Sound RenderPiece(const Piece& piece) {
    float beat = 60.0f / piece.bpm;
    float bar = beat * piece.beatsPerBar;
    float length = bar * float(piece.chords.size());
    Track track(length);
    std::uint32_t seed = piece.seed;
    for (std::size_t b = 0; b < piece.chords.size(); ++b) {
        const std::vector<int>& chord = piece.chords[b];
        float start = bar * float(b);
        for (int note : chord)
            track.Add(PadNote(MidiToHz(float(note)), bar + 0.6f), start, piece.padLevel / chord.size() * 2);
        if (piece.bass) {
            track.Add(BassNote(MidiToHz(float(chord[0] - 12)), bar * 0.5f), start, 0.32f);
            track.Add(BassNote(MidiToHz(float(chord[0] - 12)), bar * 0.45f), start + bar * 0.5f, 0.24f);
        }
        if (piece.arpeggio) {
            int steps = piece.beatsPerBar * 2;
            for (int k = 0; k < steps; ++k) {
                const int pattern[] = {0, 1, 2, 1, 3, 2, 1, 2};
                int note = chord[pattern[k % 8] % chord.size()] + 12;
                track.Add(PluckNote(MidiToHz(float(note)), beat * 1.5f, ++seed), start + beat * 0.5f * k, 0.16f);
            }
        }
    }
    float at = 0;
    for (auto [note, beats] : piece.melody) {
        if (note >= 0) {
            float hz = MidiToHz(float(note)), len = beats * beat;
            switch (piece.lead) {
                case Piece::Lead::Piano: track.Add(PianoNote(hz, len + 0.8f), at, 0.42f); break;
                case Piece::Lead::Bell: track.Add(BellNote(hz, len + 1.2f), at, 0.3f); break;
                case Piece::Lead::Flute: track.Add(FluteNote(hz, len * 0.95f), at, 0.3f); break;
                case Piece::Lead::Pluck: track.Add(PluckNote(hz, len + 0.5f, ++seed), at, 0.45f); break;
            }
        }
        at += beats * beat;
    }
    std::vector<float>& s = track.samples();
    // The reverb runs over two passes of the loop so the start already carries the tail.
    std::vector<float> twice(s);
    twice.insert(twice.end(), s.begin(), s.end());
    Reverb(twice, 0.35f, 0.78f);
    std::copy(twice.begin() + std::ptrdiff_t(s.size()), twice.end(), s.begin());
    Normalize(s, 0.7f);
    return {kRate, std::move(s)};
}

Sound RenderVoice(const VoiceLine& line) {
    struct Vowel {
        char letter;
        float f1, f2, f3;
    };
    const Vowel vowels[] = {{'a', 800, 1250, 2700}, {'i', 320, 2400, 3100}, {'u', 360, 1300, 2400},
                            {'e', 480, 1950, 2650}, {'o', 480, 850, 2600},  {'n', 280, 1600, 2600}};
    std::vector<std::string> syllables;
    std::string current;
    for (char c : line.syllables) {
        if (c == ' ') {
            if (!current.empty()) syllables.push_back(current), current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) syllables.push_back(current);

    float syllableSeconds = 0.13f / line.rate;
    float total = syllableSeconds * float(syllables.size()) + 0.25f;
    std::vector<float> out(Samples(total), 0.0f);
    std::vector<float> breath = Noise(total, line.seed);
    Resonator r1, r2, r3;
    float phase = 0;
    std::size_t per = Samples(syllableSeconds);
    for (std::size_t k = 0; k < syllables.size(); ++k) {
        const std::string& syl = syllables[k];
        char v = syl.back();
        const Vowel* vowel = &vowels[0];
        for (const Vowel& candidate : vowels)
            if (candidate.letter == v) vowel = &candidate;
        bool consonant = syl.size() > 1;
        bool fricative = consonant && std::string("shzfc").find(syl[0]) != std::string::npos;
        r1.Set(vowel->f1, 90), r2.Set(vowel->f2, 120), r3.Set(vowel->f3, 160);
        for (std::size_t i = 0; i < per; ++i) {
            std::size_t at = k * per + i;
            float progress = (float(at) / float(per * syllables.size()));
            // Speech falls gently over a sentence; a question lifts at its end.
            float contour = 1.08f - 0.16f * progress;
            if (line.question && progress > 0.75f) contour += (progress - 0.75f) * 1.2f;
            float hz = line.pitchHz * contour * (1 + 0.02f * std::sin(float(at) * 0.0009f + float(k)));
            phase += hz / kRate;
            phase -= std::floor(phase);
            float glottal = (phase < 0.4f ? std::sin(std::numbers::pi_v<float> * phase / 0.4f) : 0.0f) - 0.25f;
            float t = float(i) / float(per);
            float consonantPart = consonant && t < 0.3f ? 1 - t / 0.3f : 0.0f;
            float voiced = glottal * (1 - consonantPart * (fricative ? 0.9f : 0.5f));
            float noise = breath[at] * (0.03f + consonantPart * (fricative ? 0.6f : 0.25f));
            float x = voiced + noise;
            float y = r1.Step(x) * 1.0f + r2.Step(x) * 0.6f + r3.Step(x) * 0.25f;
            float shape = std::sin(std::numbers::pi_v<float> * std::min(1.0f, t * 1.15f));
            out[at] += y * (0.35f + 0.65f * shape);
        }
    }
    HighPass(out, 90);
    Reverb(out, 0.12f, 0.5f);
    FadeEdges(out, 0.01f, 0.2f);
    Normalize(out, 0.8f);
    return {kRate, std::move(out)};
}

}  // namespace mkdemo
