// Encoding through libbladeenc the way the program does, and looking at the result from the
// outside: the frame headers walked byte by byte, and the audio decoded by libmpg123.
#ifndef SONVALE_MP3CHECK_H
#define SONVALE_MP3CHECK_H

#include <gtest/gtest.h>
#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bladeenc.h"

namespace mp3check {

inline BE_CONFIG mp3Config(BYTE mode, WORD kbps) {
    BE_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.dwConfig = BE_CONFIG_MP3;
    c.format.mp3.dwSampleRate = 44100;
    c.format.mp3.byMode = mode;
    c.format.mp3.wBitrate = kbps;
    return c;
}

// Encodes pcm in chunks of at most `chunk` samples (0: the size the library reports), so
// the last chunk is short unless the length happens to fit, then flushes and closes.
inline std::vector<uint8_t> encode(BE_CONFIG config, const std::vector<int16_t>& pcm,
                                   DWORD chunk = 0) {
    DWORD samples = 0, bufSize = 0;
    HBE_STREAM h = 0;
    EXPECT_EQ(beInitStream(&config, &samples, &bufSize, &h), BE_ERR_SUCCESSFUL);
    if (chunk == 0) chunk = samples;
    std::vector<uint8_t> out, buf(bufSize);
    for (std::size_t pos = 0; pos < pcm.size();) {
        const DWORD n = DWORD(std::min<std::size_t>(chunk, pcm.size() - pos));
        DWORD bytes = 0;
        EXPECT_EQ(beEncodeChunk(h, n, pcm.data() + pos, buf.data(), &bytes), BE_ERR_SUCCESSFUL);
        EXPECT_LE(bytes, bufSize);
        out.insert(out.end(), buf.begin(), buf.begin() + bytes);
        pos += n;
    }
    DWORD bytes = 0;
    EXPECT_EQ(beDeinitStream(h, buf.data(), &bytes), BE_ERR_SUCCESSFUL);
    EXPECT_LE(bytes, bufSize);
    out.insert(out.end(), buf.begin(), buf.begin() + bytes);
    EXPECT_EQ(beCloseStream(h), BE_ERR_SUCCESSFUL);
    return out;
}

struct Frame {
    std::size_t offset = 0;
    std::size_t length = 0;
    bool crc = false;
    int kbps = 0;
    int mode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool privateBit = false, copyright = false, original = false;
};

// Walks MPEG-1 Layer III frames at 44100 Hz from byte 0. Stops at the first byte that does
// not start such a frame; `end` tells how far the walk got.
struct Walk {
    std::vector<Frame> frames;
    std::size_t end = 0;
};

inline Walk walkFrames(const std::vector<uint8_t>& data) {
    static constexpr int kKbps[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                      112, 128, 160, 192, 224, 256, 320, 0};
    Walk w;
    std::size_t pos = 0;
    while (pos + 4 <= data.size()) {
        const uint8_t* h = data.data() + pos;
        // Sync, MPEG-1, Layer III; bit 0 of byte 1 is the protection bit.
        if (h[0] != 0xFF || (h[1] & 0xFE) != 0xFA) break;
        const int bri = h[2] >> 4, sri = (h[2] >> 2) & 3, pad = (h[2] >> 1) & 1;
        if (kKbps[bri] == 0 || sri != 0) break;
        Frame f;
        f.offset = pos;
        f.crc = (h[1] & 1) == 0;
        f.kbps = kKbps[bri];
        f.privateBit = h[2] & 1;
        f.mode = h[3] >> 6;
        f.copyright = (h[3] >> 3) & 1;
        f.original = (h[3] >> 2) & 1;
        f.length = std::size_t(144000 * f.kbps / 44100 + pad);
        if (pos + f.length > data.size()) break;
        w.frames.push_back(f);
        pos += f.length;
    }
    w.end = pos;
    return w;
}

inline bool contains(const uint8_t* begin, const uint8_t* end, const char* text) {
    const std::size_t n = std::strlen(text);
    return std::search(begin, end, text, text + n) != end;
}

struct Decoded {
    int channels = 0;
    long rate = 0;
    std::vector<int16_t> pcm;  // interleaved
    std::size_t frames() const { return channels ? pcm.size() / channels : 0; }
};

// Decodes with libmpg123 from a file, as a player would.
inline Decoded decode(const std::vector<uint8_t>& mp3, const std::string& name) {
    // ctest runs test processes side by side: each keeps its files in a folder of its own.
    const auto folder =
        std::filesystem::path(testing::TempDir()) / ("sonvale-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto path = folder / name;
    {
        std::ofstream f(path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(mp3.data()), std::streamsize(mp3.size()));
    }
    Decoded d;
    mpg123_init();
    int err = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    EXPECT_NE(mh, nullptr);
    if (mh == nullptr) return d;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(mh);
    mpg123_format(mh, 44100, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    EXPECT_EQ(mpg123_open(mh, path.c_str()), MPG123_OK);
    std::vector<unsigned char> buf(65536);
    for (;;) {
        size_t done = 0;
        const int r = mpg123_read(mh, buf.data(), buf.size(), &done);
        const auto* s = reinterpret_cast<const int16_t*>(buf.data());
        d.pcm.insert(d.pcm.end(), s, s + done / 2);
        if (r == MPG123_NEW_FORMAT) {
            int enc = 0;
            mpg123_getformat(mh, &d.rate, &d.channels, &enc);
        } else if (r != MPG123_OK) {
            EXPECT_EQ(r, MPG123_DONE) << mpg123_strerror(mh);
            break;
        }
    }
    mpg123_close(mh);
    mpg123_delete(mh);
    std::filesystem::remove(path);
    return d;
}

}  // namespace mp3check

#endif
