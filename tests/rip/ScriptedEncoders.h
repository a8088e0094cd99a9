// Scripted stand-ins for the two encoder libraries, bound into a test's TEncoders. The
// "encoding" hands the samples back unchanged, so a file written through them holds exactly
// the audio the ripper fed in, followed by the stream's ending; every call, failure and
// leaked stream is recorded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Encoders.h"
#include "bladeenc.h"
#include "libvorbisdll.h"

struct ScriptedEncoder {
    // Answers.
    uint32_t openResult = 0;
    uint32_t samplesPerChunk = 2 * 1152;
    uint32_t outBufferSize = 2 * 2 * 1152 + 64;
    int failEncodeAt = 0;  // this encode call (from 1) fails with encodeResult; 0 = none
    uint32_t encodeResult = 5;
    bool silent = false;  // encode calls hand out no bytes
    uint32_t finishResult = 0;
    std::string ending = "<end>";  // the bytes that end a stream
    VbVersionInfo version{};
    uint32_t versionResult = 0;

    // What the program did.
    std::vector<std::string> calls;
    int opens = 0;     // streams opened
    int live = 0;      // streams opened and not yet freed
    int finishes = 0;  // beDeinitStream / vbEncClose with an output buffer
    int drops = 0;     // vbEncClose without one: a stream given up
    int badCalls = 0;  // calls on a handle that is not live, or after the stream ended
    std::vector<uint32_t> chunkSamples;  // sample count of every encode call
    BE_CONFIG mp3Config{};
    VbEncConfig oggConfig{};
    // The track information as vbEncOpen saw it.
    uint32_t infoWords[5] = {};
    uint32_t infoNumber = 0, infoCount = 0;
    std::string artist, album, title, encoder, genre, comment, date;

    static ScriptedEncoder& current();
    // Puts this encoder behind the MP3 binding's cells.
    void InstallBlade(Rip::TEncoders& encoders);
    // Puts it behind the Ogg Vorbis binding (which then counts as loaded).
    void InstallVorbis(Rip::TEncoders& encoders);
    int Count(const std::string& call) const;
};
