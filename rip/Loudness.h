// A track's loudness and sample peak as ReplayGain 2.0 wants them, measured through
// libebur128 from the audio a batch reads; and an album's from its tracks'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Rip {

// A gain in dB to the reference and the sample peak as a ratio of full scale.
struct TGain {
    bool Valid = false;   // false: nothing was measured, or too little to gate
    double Loudness = 0;  // LUFS
    double Peak = 0;
    // ReplayGain 2.0's reference.
    double ReplayGain() const { return -18.0 - Loudness; }
    // RFC 7845's R128 gain: Q7.8 dB to -23 LUFS, as the Opus header's output gain is 0.
    int R128Q78() const;
};

class TLoudness {
public:
    TLoudness();
    ~TLoudness();
    TLoudness(const TLoudness&) = delete;
    TLoudness& operator=(const TLoudness&) = delete;

    // 16-bit little-endian stereo at 44.1 kHz, as the drive delivers it.
    void Add(const uint8_t* pcm, size_t bytes);
    TGain Gain() const;
    // The album's: the tracks' audio gated as one, the highest of their peaks.
    static TGain AlbumGain(const std::vector<const TLoudness*>& tracks);

private:
    // libebur128's state; its header stays out of this one, whose names (channel, ...) it
    // would put in every file that includes it.
    struct TState;
    std::unique_ptr<TState> state_;
};

}  // namespace Rip
