#include "Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

namespace Rip {

struct TLoudness::TState {
    ebur128_state* Meter = nullptr;  // owned; null when libebur128 had no memory
    TState() : Meter(ebur128_init(2, 44100, EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK)) {}
    ~TState() {
        if (Meter) ebur128_destroy(&Meter);
    }
};

namespace {
double peakOf(ebur128_state* state) {
    double peak = 0;
    for (unsigned channel = 0; channel < 2; ++channel) {
        double p = 0;
        if (ebur128_sample_peak(state, channel, &p) == EBUR128_SUCCESS) peak = std::max(peak, p);
    }
    return peak;
}
// Silence, or less than one gating block, has no loudness (libebur128 says -inf).
TGain gainOf(int rc, double loudness, double peak) {
    TGain gain;
    gain.Valid = rc == EBUR128_SUCCESS && std::isfinite(loudness);
    gain.Loudness = loudness;
    gain.Peak = peak;
    return gain;
}
}  // namespace

int TGain::R128Q78() const {
    const double q = std::round((-23.0 - Loudness) * 256.0);
    return int(std::clamp(q, -32768.0, 32767.0));
}

TLoudness::TLoudness() : state_(std::make_unique<TState>()) {}

TLoudness::~TLoudness() = default;

void TLoudness::Add(const uint8_t* pcm, size_t bytes) {
    // The drive's bytes are little-endian, as this machine's shorts are.
    if (state_->Meter && bytes >= 4)
        ebur128_add_frames_short(state_->Meter, reinterpret_cast<const short*>(pcm), bytes / 4);
}

TGain TLoudness::Gain() const {
    if (!state_->Meter) return {};
    double loudness = 0;
    const int rc = ebur128_loudness_global(state_->Meter, &loudness);
    return gainOf(rc, loudness, peakOf(state_->Meter));
}

TGain TLoudness::AlbumGain(const std::vector<const TLoudness*>& tracks) {
    std::vector<ebur128_state*> states;
    double peak = 0;
    for (const TLoudness* t : tracks) {
        if (!t || !t->state_->Meter) return {};
        states.push_back(t->state_->Meter);
        peak = std::max(peak, peakOf(t->state_->Meter));
    }
    if (states.empty()) return {};
    double loudness = 0;
    const int rc = ebur128_loudness_global_multiple(states.data(), states.size(), &loudness);
    return gainOf(rc, loudness, peak);
}

}  // namespace Rip
