// The music: a 24-bar piece in D minor at 108 beats a minute (drums, octave bass,
// pads, an arpeggio and a lead), arranged, mixed and folded into a seamless loop.
#include "gen_assets.h"

#include <algorithm>
#include <cmath>

namespace {

// The chords, one a bar. The loop ends on A, which leads back into the opening Dm.
enum Chord { Dm, Bb, F, C, Gm, A };
const Chord kChords[kSongBars] = {Dm, Bb, F, C, Dm, Bb, F,  C, Dm, Bb, F, C,
                                  Dm, Bb, F, A, Gm, Bb, Dm, C, Gm, Bb, F, A};
// Close voicings that move little from chord to chord, and the bass roots.
const int kVoicing[6][4] = {{57, 62, 65, 69}, {58, 62, 65, 69}, {57, 60, 65, 69},
                            {55, 60, 64, 67}, {55, 58, 62, 65}, {57, 61, 64, 67}};
const int kRoot[6] = {38, 34, 41, 36, 43, 33};

// A note of the lead: bar, sixteenth within the bar, length in sixteenths, pitch.
struct Tone {
    int bar, step, length, pitch;
};

// The tune comes in at bar 8; from bar 16 a second, higher strain answers it, and
// its last A echoes over the loop's end into the opening bars.
const Tone kLead[] = {
    {8, 0, 4, 69},   {8, 4, 4, 74},   {8, 8, 2, 76},   {8, 10, 6, 77},  {9, 0, 2, 77},
    {9, 2, 2, 79},   {9, 4, 4, 77},   {9, 8, 8, 74},   {10, 0, 4, 72},  {10, 4, 4, 77},
    {10, 8, 4, 81},  {10, 12, 4, 79}, {11, 0, 6, 76},  {11, 6, 2, 74},  {11, 8, 8, 72},
    {12, 0, 4, 69},  {12, 4, 4, 74},  {12, 8, 2, 76},  {12, 10, 6, 77}, {13, 0, 4, 79},
    {13, 4, 2, 77},  {13, 6, 2, 79},  {13, 8, 8, 81},  {14, 0, 6, 84},  {14, 6, 2, 81},
    {14, 8, 4, 79},  {14, 12, 4, 77}, {15, 0, 6, 76},  {15, 6, 2, 74},  {15, 8, 8, 73},
    {16, 0, 6, 82},  {16, 6, 2, 81},  {16, 8, 8, 79},  {17, 0, 6, 77},  {17, 6, 2, 79},
    {17, 8, 4, 81},  {17, 12, 4, 82}, {18, 0, 12, 81}, {18, 12, 4, 77}, {19, 0, 6, 79},
    {19, 6, 2, 76},  {19, 8, 8, 72},  {20, 0, 6, 82},  {20, 6, 2, 81},  {20, 8, 4, 79},
    {20, 12, 4, 86}, {21, 0, 6, 86},  {21, 6, 2, 84},  {21, 8, 4, 82},  {21, 12, 4, 81},
    {22, 0, 6, 81},  {22, 6, 2, 79},  {22, 8, 8, 77},  {23, 0, 6, 76},  {23, 6, 2, 79},
    {23, 8, 8, 81},
};

long at(int bar, double step) {
    return long(bar) * kBarSamples + long(std::lround(step * kStepSamples));
}

long steps(double n) {
    return long(std::lround(n * kStepSamples));
}

// The buses of the mix, each as long as the loop.
struct Mix {
    StereoBuffer drums, ducked, lead, reverb, echo;
    std::vector<long> kicks;
};

void drums(Mix& m, int bar) {
    const bool intro = bar < 4, full = bar >= 8;
    const StereoBuffer kick = kickNote();
    auto kickAt = [&](double step) {
        addWrapped(m.drums, kick, at(bar, step), 0.7);
        m.kicks.push_back(at(bar, step));
    };
    kickAt(0);
    kickAt(8);
    if (!intro && bar % 2 == 1) {
        kickAt(11);
    }
    const bool fill = bar == kSongBars - 1;
    if (!intro) {
        for (int s : {4, 12}) {
            if (fill && s == 12) {
                continue;
            }
            const StereoBuffer snare = snareNote(unsigned(bar * 16 + s));
            addWrapped(m.drums, snare, at(bar, s), 0.85);
            addWrapped(m.reverb, snare, at(bar, s), 0.5);
        }
    }
    if (fill || bar == 7 || bar == 15) {
        // A roll into the next section, growing louder.
        for (int s = fill ? 8 : 13; s < 16; ++s) {
            const double g = 0.3 + 0.5 * (s - 8) / 7.0;
            const StereoBuffer snare = snareNote(unsigned(1000 + bar * 16 + s));
            addWrapped(m.drums, snare, at(bar, s), g);
            addWrapped(m.reverb, snare, at(bar, s), g * 0.5);
        }
    }
    for (int s = 0; s < 16; ++s) {
        const bool offbeat = s % 4 == 2;
        if (!full && !offbeat && (intro || s % 2 == 0)) {
            continue;
        }
        const bool open = full && s == 14 && bar % 2 == 1;
        const double g = open ? 0.17 : offbeat ? 0.26 : s % 2 ? 0.1 : 0.14;
        addWrapped(m.drums, hatNote(open, unsigned(bar * 16 + s + 5000)), at(bar, s), g);
    }
    if (bar % 8 == 0) {
        const StereoBuffer crash = crashNote(unsigned(bar + 7000));
        addWrapped(m.drums, crash, at(bar, 0), 0.12);
        addWrapped(m.reverb, crash, at(bar, 0), 0.15);
    }
    if (bar % 8 == 7) {
        const StereoBuffer riser = riserNote(kBarSamples, unsigned(bar + 9000));
        addWrapped(m.drums, riser, at(bar, 0), 0.12);
        addWrapped(m.reverb, riser, at(bar, 0), 0.2);
    }
}

void harmony(Mix& m, int bar) {
    const Chord chord = kChords[bar];
    const int root = kRoot[chord];
    // Bass: quarter notes to begin with, then pulsing octaves in eighths.
    if (bar < 4) {
        for (int s = 0; s < 16; s += 4) {
            addWrapped(m.ducked, bassNote(root, steps(3)), at(bar, s), 0.85);
        }
    } else {
        for (int s = 0; s < 16; s += 2) {
            addWrapped(m.ducked, bassNote(root + (s % 4 ? 12 : 0), steps(1.6)), at(bar, s),
                       s % 4 ? 0.62 : 0.85);
        }
    }
    // Pads: the whole chord for the whole bar.
    for (int v = 0; v < 4; ++v) {
        const StereoBuffer pad = padNote(kVoicing[chord][v], kBarSamples, unsigned(bar * 4 + v));
        addWrapped(m.ducked, pad, at(bar, 0), 0.2);
        addWrapped(m.reverb, pad, at(bar, 0), 0.25);
    }
    // The arpeggio: up through the chord, an octave higher every other beat.
    const bool arp = (bar >= 4 && bar < 8) || bar >= 16;
    if (arp) {
        const double level = bar < 8 ? 0.12 : 0.18;
        for (int s = 0; s < 16; ++s) {
            const int pitch = kVoicing[chord][s % 4] + ((s / 4) % 2 ? 24 : 12);
            const StereoBuffer pluck = pluckNote(pitch, s % 2 ? 0.5 : -0.5);
            const double g = level * (s % 4 == 0 ? 1.0 : 0.7);
            addWrapped(m.ducked, pluck, at(bar, s), g);
            addWrapped(m.echo, pluck, at(bar, s), g * 0.6);
            addWrapped(m.reverb, pluck, at(bar, s), g * 0.5);
        }
    }
}

// Sidechain: the bass and pads dip under every kick and swell back.
void duck(StereoBuffer& bus, const std::vector<long>& kicks) {
    const long n = long(bus.size() / 2);
    std::vector<float> gain(n, 1.0f);
    const long reach = long(0.3 * kSampleRate);
    for (long k : kicks) {
        for (long i = 0; i < reach; ++i) {
            const long j = (k + i) % n;
            const double g = 1 - 0.45 * std::exp(-i / (0.07 * kSampleRate));
            gain[j] = std::min(gain[j], float(g));
        }
    }
    for (long i = 0; i < n; ++i) {
        bus[2 * i] *= gain[i];
        bus[2 * i + 1] *= gain[i];
    }
}

} // namespace

StereoBuffer renderMusic(int bars) {
    const size_t length = size_t(bars) * kBarSamples * 2;
    Mix m{StereoBuffer(length), StereoBuffer(length), StereoBuffer(length),
          StereoBuffer(length), StereoBuffer(length), {}};
    for (int bar = 0; bar < bars; ++bar) {
        drums(m, bar);
        harmony(m, bar);
    }
    for (const Tone& t : kLead) {
        if (t.bar >= bars) {
            continue;
        }
        // Slightly detached, so repeated pitches speak again.
        const StereoBuffer note = leadNote(t.pitch, steps(t.length - 0.3));
        addWrapped(m.lead, note, at(t.bar, t.step), 0.45);
        addWrapped(m.echo, note, at(t.bar, t.step), 0.25);
        addWrapped(m.reverb, note, at(t.bar, t.step), 0.2);
    }
    duck(m.ducked, m.kicks);
    const StereoBuffer reverb = loopReverb(m.reverb);
    const StereoBuffer echo = loopPingPong(m.echo, steps(3), 0.38);
    StereoBuffer out(length);
    for (size_t i = 0; i < length; ++i) {
        out[i] = m.drums[i] + m.ducked[i] + m.lead[i] + 0.9f * reverb[i] + 0.5f * echo[i];
    }
    // Loudness about -15 dBFS RMS; the rare peaks where a kick meets a snare are
    // rounded off softly below 0.85, leaving the encoder room for its overshoot.
    double energy = 0;
    for (float s : out) {
        energy += double(s) * s;
    }
    const double scale = energy > 0 ? 0.178 / std::sqrt(energy / double(length)) : 1.0;
    const double knee = 0.7, ceiling = 0.85;
    for (float& s : out) {
        const double x = s * scale, mag = std::fabs(x);
        const double y =
            mag < knee ? mag : knee + (ceiling - knee) * std::tanh((mag - knee) / (ceiling - knee));
        s = float(x < 0 ? -y : y);
    }
    return out;
}
