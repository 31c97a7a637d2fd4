// The committed music decoded with libvorbisfile: its form (44.1 kHz stereo, a
// whole number of bars, 30 to 90 seconds, at most 1.5 MB), a join at the loop
// point no rougher than the music itself, no silence at either end, and a sensible
// loudness.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <vorbis/vorbisfile.h>

namespace {

// The piece: 24 bars of 4 beats at 108 beats a minute, a sixteenth 6125 frames.
constexpr long kBarFrames = 16 * 6125;
constexpr long kBars = 24;
constexpr long kFrames = kBars * kBarFrames;

const std::string kPath = std::string(MARROWBY_DATA_DIR) + "/marrowby.ogg";

struct Decoded {
    int channels = 0;
    long rate = 0;
    long declared = 0; // the stream's own count of frames
    std::vector<float> left, right;
};

const Decoded& decoded() {
    static Decoded d = [] {
        Decoded out;
        OggVorbis_File vf;
        if (ov_fopen(kPath.c_str(), &vf) != 0) {
            return out;
        }
        const vorbis_info* info = ov_info(&vf, -1);
        out.channels = info->channels;
        out.rate = info->rate;
        out.declared = long(ov_pcm_total(&vf, -1));
        int section = 0;
        for (;;) {
            float** pcm = nullptr;
            const long n = ov_read_float(&vf, &pcm, 4096, &section);
            if (n <= 0) {
                break;
            }
            for (long i = 0; i < n; ++i) {
                out.left.push_back(pcm[0][i]);
                out.right.push_back(pcm[out.channels > 1 ? 1 : 0][i]);
            }
        }
        ov_clear(&vf);
        return out;
    }();
    return d;
}

TEST(Music, IsStereoAtTheRightRateAndSize) {
    const Decoded& d = decoded();
    ASSERT_EQ(d.channels, 2);
    EXPECT_EQ(d.rate, 44100);
    FILE* f = std::fopen(kPath.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fseek(f, 0, SEEK_END);
    const long bytes = std::ftell(f);
    std::fclose(f);
    EXPECT_LE(bytes, 1500000);
}

TEST(Music, DecodesToExactlyTheBarsItIsMadeOf) {
    const Decoded& d = decoded();
    ASSERT_EQ(d.channels, 2);
    // A loop that is a sample short or long drifts against the beat on every pass.
    EXPECT_EQ(d.declared, kFrames);
    EXPECT_EQ(long(d.left.size()), kFrames);
    const double seconds = double(d.left.size()) / 44100;
    EXPECT_GE(seconds, 30.0);
    EXPECT_LE(seconds, 90.0);
}

TEST(Music, JoinsItsEndToItsStartSmoothly) {
    const Decoded& d = decoded();
    ASSERT_GT(d.left.size(), 2u);
    for (const std::vector<float>* ch : {&d.left, &d.right}) {
        const std::vector<float>& x = *ch;
        float largest = 0;
        for (size_t i = 1; i < x.size(); ++i) {
            largest = std::max(largest, std::fabs(x[i] - x[i - 1]));
        }
        EXPECT_LE(std::fabs(x.front() - x.back()), largest);
        // And the join is no rougher than the music round it: the step across it is
        // within the largest steps of the 10 ms on either side.
        float nearby = 0;
        const size_t w = 441;
        for (size_t i = 1; i < w; ++i) {
            nearby = std::max({nearby, std::fabs(x[i] - x[i - 1]),
                               std::fabs(x[x.size() - i] - x[x.size() - i - 1])});
        }
        EXPECT_LE(std::fabs(x.front() - x.back()), nearby * 1.5f);
    }
}

TEST(Music, HasNoSilenceAtEitherEnd) {
    const Decoded& d = decoded();
    ASSERT_FALSE(d.left.empty());
    const float quiet = 1.0f / 1024; // -60 dBFS
    auto silent = [&](size_t i) {
        return std::fabs(d.left[i]) < quiet && std::fabs(d.right[i]) < quiet;
    };
    size_t head = 0, tail = 0;
    while (head < d.left.size() && silent(head)) {
        ++head;
    }
    while (tail < d.left.size() && silent(d.left.size() - 1 - tail)) {
        ++tail;
    }
    const size_t fiveMs = 44100 * 5 / 1000;
    EXPECT_LE(head, fiveMs);
    EXPECT_LE(tail, fiveMs);
}

TEST(Music, IsLoudEnoughWithoutClipping) {
    const Decoded& d = decoded();
    ASSERT_FALSE(d.left.empty());
    double energy = 0;
    float peak = 0;
    for (size_t i = 0; i < d.left.size(); ++i) {
        energy += double(d.left[i]) * d.left[i] + double(d.right[i]) * d.right[i];
        peak = std::max({peak, std::fabs(d.left[i]), std::fabs(d.right[i])});
    }
    const double rms = std::sqrt(energy / (2.0 * d.left.size()));
    EXPECT_LT(peak, 1.0f);
    EXPECT_GT(rms, 0.05); // louder than -26 dBFS
    EXPECT_LT(rms, 0.5);  // not a wall of square waves
}

} // namespace
