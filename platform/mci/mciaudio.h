// Where MCI_PLAY sends its audio (internal to libsvmci and its tests).
//
// A playback creates one AudioOutput on its worker thread and uses it only there. The
// default factory plays through Qt Multimedia (QAudioSink on the default output device);
// tests install a factory of their own through mciSetAudioOutputForTests, so playback can
// be checked byte for byte on a machine without a sound card.
#pragma once

#include <cstdint>
#include <memory>

#include "mci.h"

namespace svmci {

// The output format of every playback: CD audio as the drive delivers it.
constexpr int kOutputRate = 44100;
constexpr int kOutputChannels = 2;
constexpr int kOutputBytesPerSecond = kOutputRate * kOutputChannels * 2;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Opens the device. false: it cannot play (the playback then ends with a failure).
    virtual bool start() = 0;
    // Hands over up to size bytes of 16-bit little-endian stereo. Returns the bytes taken
    // now (0 when the device's buffer is full), or -1 when the device failed.
    virtual int64_t write(const uint8_t* data, int64_t size) = 0;
    // Bytes taken by write but not yet heard. 0 once everything has played out.
    virtual int64_t pendingBytes() = 0;
    // Called while the worker waits for room or for the end to play out: lets a device
    // that needs its thread's events (a QAudioSink) run for a moment.
    virtual void idle() {}
    // Drops what is still buffered and closes the device; the output is not used again.
    virtual void stop() = 0;
};

class AudioOutputFactory {
public:
    virtual ~AudioOutputFactory() = default;
    // Whether an output device exists at all. Asked on the thread calling MCI.
    virtual bool available() = 0;
    // Makes the output of one playback. Called on the playback's worker thread.
    virtual std::unique_ptr<AudioOutput> create() = 0;
};

// The factory in use: the test's one when set, otherwise the Qt Multimedia one.
std::shared_ptr<AudioOutputFactory> audioOutputFactory();
std::shared_ptr<AudioOutputFactory> makeQtAudioOutputFactory();

}  // namespace svmci

// Tests only: plays through factory instead of the default output device; null puts the
// default back. Affects playbacks started afterwards.
MCI_API void mciSetAudioOutputForTests(std::shared_ptr<svmci::AudioOutputFactory> factory);
