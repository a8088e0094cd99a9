// Test signals for the encoder libraries, and the measurements that tell whether decoded
// audio is still that signal: a tone's amplitude at a given frequency, and the
// signal-to-noise ratio of a decoded channel against its source at the best alignment.
#ifndef SONVALE_TONESIGNAL_H
#define SONVALE_TONESIGNAL_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

namespace tonesignal {

constexpr int kRate = 44100;

// Interleaved 16-bit stereo: a sine of freqL at ampL on the left, freqR at ampR on the
// right. Amplitudes are in full scale (1.0 = 32767).
inline std::vector<int16_t> stereoTone(std::size_t frames, double freqL, double ampL, double freqR,
                                       double ampR) {
    std::vector<int16_t> pcm(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = double(i) / kRate;
        pcm[2 * i] =
            int16_t(std::lround(32767 * ampL * std::sin(2 * std::numbers::pi * freqL * t)));
        pcm[2 * i + 1] =
            int16_t(std::lround(32767 * ampR * std::sin(2 * std::numbers::pi * freqR * t)));
    }
    return pcm;
}

// One channel of interleaved audio as doubles in full scale.
inline std::vector<double> channel(const std::vector<int16_t>& pcm, int channels, int which) {
    std::vector<double> out(pcm.size() / channels);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = pcm[i * channels + which] / 32768.0;
    return out;
}

// Amplitude (full scale) of the sine at freq in x[from, from + count): one DFT bin. With a
// whole number of periods in the window the other tone leaks nothing into it.
inline double amplitudeAt(const std::vector<double>& x, std::size_t from, std::size_t count,
                          double freq) {
    double re = 0, im = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double ph = 2 * std::numbers::pi * freq * double(i) / kRate;
        re += x[from + i] * std::cos(ph);
        im += x[from + i] * std::sin(ph);
    }
    return 2 * std::hypot(re, im) / double(count);
}

inline double rms(const std::vector<double>& x, std::size_t from, std::size_t count) {
    double s = 0;
    for (std::size_t i = 0; i < count; ++i) s += x[from + i] * x[from + i];
    return std::sqrt(s / double(count));
}

struct Match {
    std::size_t lag = 0;  // decoded[lag + i] lines up with source[i]
    double snrDb = -std::numeric_limits<double>::infinity();
};

// The signal-to-noise ratio of decoded against source over source[from, from + count), at
// the lag in [minLag, maxLag] where it is best.
inline Match bestMatch(const std::vector<double>& source, const std::vector<double>& decoded,
                       std::size_t from, std::size_t count, std::size_t minLag,
                       std::size_t maxLag) {
    Match best;
    for (std::size_t lag = minLag; lag <= maxLag; ++lag) {
        if (from + lag + count > decoded.size()) break;
        double sig = 0, noise = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            const double d = decoded[i + lag] - source[i];
            sig += source[i] * source[i];
            noise += d * d;
        }
        const double snr =
            noise == 0 ? std::numeric_limits<double>::infinity() : 10 * std::log10(sig / noise);
        if (snr > best.snrDb) best = {lag, snr};
    }
    return best;
}

}  // namespace tonesignal

#endif
