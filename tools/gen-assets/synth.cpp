// The instruments and effects of the music: band-limited oscillators, a
// state-variable filter, drums from sines and noise, and loop-aware reverb and delay.
#include "gen_assets.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = kSampleRate;

double frequency(double pitch) {
    return 440.0 * std::pow(2.0, (pitch - 69) / 12.0);
}

// xorshift32: the music's only source of noise, seeded per note.
struct Noise {
    uint32_t state;
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (state >> 8) / double(1 << 23) - 1.0;
    }
};

Noise seeded(unsigned seed) {
    Noise n{seed * 2654435761u + 0x9E3779B9u};
    if (n.state == 0) {
        n.state = 1;
    }
    for (int i = 0; i < 8; ++i) {
        n.next();
    }
    return n;
}

// The correction that takes the step out of a naive saw or square at a wrap.
double polyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1;
    }
    if (t > 1 - dt) {
        t = (t - 1) / dt;
        return t * t + t + t + 1;
    }
    return 0;
}

// A saw that runs from -1 to 1 without aliasing steps; phase in [0, 1).
struct Saw {
    double phase;
    double next(double hz) {
        const double dt = hz / kRate;
        const double v = 2 * phase - 1 - polyBlep(phase, dt);
        phase += dt;
        if (phase >= 1) {
            phase -= 1;
        }
        return v;
    }
};

struct Square {
    double phase;
    double next(double hz) {
        const double dt = hz / kRate;
        double v = phase < 0.5 ? 1 : -1;
        v += polyBlep(phase, dt);
        double shifted = phase + 0.5;
        if (shifted >= 1) {
            shifted -= 1;
        }
        v -= polyBlep(shifted, dt);
        phase += dt;
        if (phase >= 1) {
            phase -= 1;
        }
        return v;
    }
};

// A trapezoidal state-variable filter: stable at any cutoff below Nyquist.
struct Svf {
    double ic1 = 0, ic2 = 0;
    double low = 0, band = 0, high = 0;
    void run(double in, double hz, double q) {
        const double g = std::tan(kPi * std::min(hz, kRate * 0.45) / kRate);
        const double k = 1 / q;
        const double a1 = 1 / (1 + g * (g + k)), a2 = g * a1, a3 = g * a2;
        const double v3 = in - ic2;
        const double v1 = a1 * ic1 + a2 * v3;
        const double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2 * v1 - ic1;
        ic2 = 2 * v2 - ic2;
        low = v2;
        band = v1;
        high = in - k * v1 - v2;
    }
};

long frames(double seconds) {
    return long(seconds * kRate);
}

// Attack, full level to the note's end, then an exponential release.
double gate(long i, long length, double attack, double release) {
    const double t = i / kRate;
    double level = attack > 0 ? std::min(1.0, t / attack) : 1.0;
    if (i >= length) {
        level *= std::exp(-(i - length) / kRate / release);
    }
    return level;
}

void setFrame(StereoBuffer& b, long i, double left, double right) {
    b[2 * i] = float(left);
    b[2 * i + 1] = float(right);
}

} // namespace

void addWrapped(StereoBuffer& loop, const StereoBuffer& note, long frame, double gain) {
    const long loopFrames = long(loop.size() / 2);
    const long noteFrames = long(note.size() / 2);
    long at = ((frame % loopFrames) + loopFrames) % loopFrames;
    for (long i = 0; i < noteFrames; ++i) {
        loop[2 * at] += float(note[2 * i] * gain);
        loop[2 * at + 1] += float(note[2 * i + 1] * gain);
        if (++at == loopFrames) {
            at = 0;
        }
    }
}

StereoBuffer kickNote() {
    const long n = frames(0.6);
    StereoBuffer b(2 * n);
    double phase = 0;
    for (long i = 0; i < n; ++i) {
        const double t = i / kRate;
        phase += 2 * kPi * (46 + 130 * std::exp(-t / 0.035)) / kRate;
        const double amp = std::min(1.0, t / 0.0015) * std::exp(-t / 0.32);
        const double click = 0.35 * std::exp(-t / 0.003) * std::sin(2 * kPi * 1800 * t);
        const double v = std::tanh(1.6 * (std::sin(phase) * amp + click)) / std::tanh(1.6);
        setFrame(b, i, v, v);
    }
    return b;
}

StereoBuffer snareNote(unsigned seed) {
    const long n = frames(0.5);
    StereoBuffer b(2 * n);
    Noise noise = seeded(seed);
    Svf high, low;
    for (long i = 0; i < n; ++i) {
        const double t = i / kRate;
        const double attack = std::min(1.0, t / 0.001);
        const double body =
            (0.6 * std::sin(2 * kPi * 190 * t) + 0.4 * std::sin(2 * kPi * 340 * t)) *
            std::exp(-t / 0.06);
        high.run(noise.next(), 1200, 0.7);
        low.run(high.high, 9000, 0.7);
        const double v = attack * (0.55 * body + 0.9 * low.low * std::exp(-t / 0.13));
        setFrame(b, i, v, v);
    }
    return b;
}

StereoBuffer hatNote(bool open, unsigned seed) {
    const long n = frames(open ? 0.7 : 0.15);
    StereoBuffer b(2 * n);
    Noise noise = seeded(seed);
    Svf first, second;
    const double decay = open ? 0.2 : 0.028;
    for (long i = 0; i < n; ++i) {
        const double t = i / kRate;
        first.run(noise.next(), 7500, 0.8);
        second.run(first.high, 7500, 0.8);
        const double v = second.high * std::min(1.0, t / 0.0008) * std::exp(-t / decay);
        // A little to the right of centre.
        setFrame(b, i, 0.8 * v, v);
    }
    return b;
}

StereoBuffer crashNote(unsigned seed) {
    const long n = frames(3.5);
    StereoBuffer b(2 * n);
    Noise left = seeded(seed), right = seeded(seed + 1);
    Svf fl, fr, metal;
    // Six square waves at inharmonic ratios give the bell of a cymbal.
    Square partials[6] = {{0}, {0.1}, {0.2}, {0.3}, {0.4}, {0.5}};
    const double hz[6] = {410.6, 608.8, 739.2, 1045.4, 1080.0, 1600.0};
    for (long i = 0; i < n; ++i) {
        const double t = i / kRate;
        double m = 0;
        for (int k = 0; k < 6; ++k) {
            m += partials[k].next(hz[k]);
        }
        metal.run(m / 6, 6000, 0.9);
        fl.run(left.next(), 5000, 0.7);
        fr.run(right.next(), 5000, 0.7);
        const double env = std::min(1.0, t / 0.002) * std::exp(-t / 0.9);
        setFrame(b, i, (fl.high + 0.5 * metal.high) * env, (fr.high + 0.5 * metal.high) * env);
    }
    return b;
}

StereoBuffer riserNote(long length, unsigned seed) {
    StereoBuffer b(2 * length);
    Noise left = seeded(seed), right = seeded(seed + 1);
    Svf fl, fr;
    for (long i = 0; i < length; ++i) {
        const double x = double(i) / length;
        const double hz = 300 * std::pow(8000.0 / 300.0, x);
        fl.run(left.next(), hz, 2.5);
        fr.run(right.next(), hz, 2.5);
        const double env = x * x * (i + 64 < length ? 1 : (length - i) / 64.0);
        setFrame(b, i, fl.band * env, fr.band * env);
    }
    return b;
}

StereoBuffer bassNote(int pitch, long length) {
    const long n = length + frames(0.05);
    StereoBuffer b(2 * n);
    const double hz = frequency(pitch);
    Saw saw{0};
    Svf filter;
    double sub = 0;
    for (long i = 0; i < n; ++i) {
        const double t = i / kRate;
        filter.run(saw.next(hz), 160 + 1500 * std::exp(-t / 0.08), 1.1);
        sub += 2 * kPi * hz / kRate;
        const double v = (0.75 * filter.low + 0.7 * std::sin(sub)) * gate(i, length, 0.002, 0.012);
        setFrame(b, i, v, v);
    }
    return b;
}

StereoBuffer padNote(int pitch, long length, unsigned seed) {
    const double release = 1.1;
    const long n = length + frames(release * 5);
    StereoBuffer b(2 * n);
    // Four saws a few cents apart, spread across the stereo field.
    const double cents[4] = {-11, -4, 4, 11};
    const double pans[4] = {-0.8, -0.25, 0.25, 0.8};
    Noise start = seeded(seed);
    for (int v = 0; v < 4; ++v) {
        Saw saw{0.5 + 0.5 * start.next()};
        Svf filter;
        const double hz = frequency(pitch + cents[v] / 100);
        const double left = std::sqrt(0.5 * (1 - pans[v])), right = std::sqrt(0.5 * (1 + pans[v]));
        for (long i = 0; i < n; ++i) {
            const double t = i / kRate;
            // The filter opens and closes slowly over each chord.
            filter.run(saw.next(hz), 950 + 400 * std::sin(2 * kPi * 0.35 * t), 0.8);
            const double s = 0.25 * filter.low * gate(i, length, 0.35, release);
            b[2 * i] += float(s * left);
            b[2 * i + 1] += float(s * right);
        }
    }
    return b;
}

StereoBuffer pluckNote(int pitch, double pan) {
    const long n = frames(1.2);
    StereoBuffer b(2 * n);
    const double hz = frequency(pitch);
    Saw saw{0};
    Square square{0.25};
    Svf filter;
    const double left = std::sqrt(0.5 * (1 - pan)), right = std::sqrt(0.5 * (1 + pan));
    for (long i = 0; i < n; ++i) {
        const double t = i / kRate;
        filter.run(0.6 * saw.next(hz) + 0.4 * square.next(hz), 350 + 4200 * std::exp(-t / 0.05),
                   1.4);
        const double v = filter.low * std::min(1.0, t / 0.001) * std::exp(-t / 0.2);
        setFrame(b, i, v * left, v * right);
    }
    return b;
}

StereoBuffer leadNote(int pitch, long length) {
    const double release = 0.12;
    const long n = length + frames(release * 6);
    StereoBuffer b(2 * n);
    Saw a{0}, c{0.37};
    Square sq{0.6};
    Svf filter;
    for (long i = 0; i < n; ++i) {
        const double t = i / kRate;
        // Vibrato creeps in once a note has been held a moment.
        const double depth = 0.16 * smoothStep(0.18, 0.45, t);
        const double bend = depth * std::sin(2 * kPi * 5.3 * std::max(0.0, t - 0.18));
        const double hz = frequency(pitch + bend);
        const double raw =
            0.5 * a.next(hz * 1.004) + 0.5 * c.next(hz / 1.004) + 0.35 * sq.next(hz * 0.5);
        filter.run(raw, 2200 + 2600 * std::exp(-t / 0.12), 1.0);
        const double v = 0.6 * filter.low * gate(i, length, 0.008, release);
        setFrame(b, i, v, v);
    }
    return b;
}

namespace {

// One comb or allpass line of the reverb.
struct Line {
    std::vector<double> buffer;
    size_t at = 0;
    double store = 0;
    explicit Line(size_t n) : buffer(n, 0.0) {}
    double comb(double in, double feedback, double damp) {
        const double out = buffer[at];
        store = out * (1 - damp) + store * damp;
        buffer[at] = in + store * feedback;
        at = (at + 1) % buffer.size();
        return out;
    }
    double allpass(double in) {
        const double delayed = buffer[at];
        buffer[at] = in + delayed * 0.5;
        at = (at + 1) % buffer.size();
        return delayed - in;
    }
};

// How many times the effects go round a loop: the first laps only build up the
// tails that the last lap carries over its start.
int lapsFor(long loopFrames) {
    return 1 + int(std::ceil(frames(8.0) / double(loopFrames)));
}

} // namespace

StereoBuffer loopReverb(const StereoBuffer& send) {
    const long n = long(send.size() / 2);
    const size_t combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    const size_t allpasses[4] = {556, 441, 341, 225};
    const size_t spread = 23;
    std::vector<Line> cl, cr, al, ar;
    for (size_t c : combs) {
        cl.emplace_back(c);
        cr.emplace_back(c + spread);
    }
    for (size_t a : allpasses) {
        al.emplace_back(a);
        ar.emplace_back(a + spread);
    }
    const double feedback = 0.86, damp = 0.3;
    StereoBuffer out(send.size());
    const int laps = lapsFor(n);
    for (int lap = 0; lap < laps; ++lap) {
        for (long i = 0; i < n; ++i) {
            const double in = 0.015 * (send[2 * i] + send[2 * i + 1]);
            double l = 0, r = 0;
            for (size_t k = 0; k < 8; ++k) {
                l += cl[k].comb(in, feedback, damp);
                r += cr[k].comb(in, feedback, damp);
            }
            for (size_t k = 0; k < 4; ++k) {
                l = al[k].allpass(l);
                r = ar[k].allpass(r);
            }
            if (lap == laps - 1) {
                setFrame(out, i, l, r);
            }
        }
    }
    return out;
}

StereoBuffer loopPingPong(const StereoBuffer& send, long delay, double feedback) {
    const long n = long(send.size() / 2);
    std::vector<double> left(delay, 0.0), right(delay, 0.0);
    Svf toneL, toneR;
    StereoBuffer out(send.size());
    const int laps = lapsFor(n);
    long at = 0;
    for (int lap = 0; lap < laps; ++lap) {
        for (long i = 0; i < n; ++i) {
            // The echo bounces left, right, left ..., a little duller each time.
            const double fromLeft = left[at], fromRight = right[at];
            toneL.run(fromRight, 3500, 0.7);
            toneR.run(fromLeft, 3500, 0.7);
            left[at] = 0.5 * (send[2 * i] + send[2 * i + 1]) + feedback * toneL.low;
            right[at] = feedback * toneR.low;
            at = (at + 1) % delay;
            if (lap == laps - 1) {
                setFrame(out, i, fromLeft, fromRight);
            }
        }
    }
    return out;
}
