// Encoding through libvorbisdll the way the program does, and reading the result back
// with libvorbisfile, independently of the library's own decoder calls.
#ifndef SONVALE_OGGCHECK_H
#define SONVALE_OGGCHECK_H

#include <gtest/gtest.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "libvorbisdll.h"

namespace oggcheck {

inline VbEncConfig config(uint32_t channels, float quality) {
    VbEncConfig c;
    std::memset(&c, 0, sizeof c);
    c.dwKind = VB_CONFIG_KIND;
    c.dwSize = VB_ENC_CONFIG_SIZE;
    c.dwChannels = channels;
    c.dwSampleRate = 44100;
    c.fQuality = quality;
    return c;
}

// Track information as the program fills it: words 1 to 4 hold 1, 1, 44, 1.
struct Track {
    std::string artist = "The Testers", album = "Sine Songs", title = "Live Track 2",
                encoder = "Encoder DLL : Ver 1.00", genre = "Ambient",
                comment = "Sonvale - https://sonvale.example", date = "8.12.2026";
    uint32_t number = 2, count = 11;

    VbTrackInfo info() const {
        VbTrackInfo t{};
        t.dwSize = sizeof t;
        t.dwReserved1 = 1;
        t.dwReserved2 = 1;
        t.dwReserved3 = 44;
        t.dwReserved4 = 1;
        t.pszArtist = artist.c_str();
        t.pszAlbum = album.c_str();
        t.pszTitle = title.c_str();
        t.pszEncoder = encoder.c_str();
        t.dwTrackNumber = number;
        t.dwTrackCount = count;
        t.pszGenre = genre.c_str();
        t.pszComment = comment.c_str();
        t.pszDate = date.c_str();
        return t;
    }
};

// Encodes pcm in chunks of at most `chunk` samples (0: the size the library reports), so
// the last chunk is short unless the length fits, then closes the stream.
inline std::vector<uint8_t> encode(const VbEncConfig& c, const VbTrackInfo& info,
                                   const std::vector<int16_t>& pcm, uint32_t chunk = 0) {
    uint32_t samples = 0, bufSize = 0;
    VbHandle h = 0;
    EXPECT_EQ(vbEncOpen(&c, &info, &samples, &bufSize, &h), VB_OK);
    if (chunk == 0) chunk = samples;
    std::vector<uint8_t> out, buf(bufSize);
    for (std::size_t pos = 0; pos < pcm.size();) {
        const uint32_t n = uint32_t(std::min<std::size_t>(chunk, pcm.size() - pos));
        uint32_t bytes = 0;
        EXPECT_EQ(vbEncWrite(h, n, pcm.data() + pos, buf.data(), &bytes), VB_OK);
        EXPECT_LE(bytes, bufSize);
        out.insert(out.end(), buf.begin(), buf.begin() + bytes);
        pos += n;
    }
    uint32_t bytes = 0;
    EXPECT_EQ(vbEncClose(h, buf.data(), &bytes), VB_OK);
    EXPECT_LE(bytes, bufSize);
    out.insert(out.end(), buf.begin(), buf.begin() + bytes);
    return out;
}

inline std::filesystem::path writeFile(const std::vector<uint8_t>& data, const std::string& name) {
    // ctest runs test processes side by side: each keeps its files in a folder of its own.
    const auto folder =
        std::filesystem::path(testing::TempDir()) / ("sonvale-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto path = folder / name;
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return path;
}

struct Decoded {
    bool opened = false;
    int channels = 0;
    long rate = 0;
    long bitrateNominal = 0;
    int64_t pcmTotal = -1;  // as the stream's granule positions tell
    std::string vendor;
    std::multimap<std::string, std::string> comments;  // tag names upper-cased
    std::vector<int16_t> pcm;                          // interleaved, as decoded
    std::size_t frames() const { return channels ? pcm.size() / channels : 0; }
};

inline Decoded decode(const std::vector<uint8_t>& ogg, const std::string& name) {
    const auto path = writeFile(ogg, name);
    Decoded d;
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) {
        std::filesystem::remove(path);
        return d;
    }
    d.opened = true;
    const vorbis_info* vi = ov_info(&vf, -1);
    d.channels = vi->channels;
    d.rate = vi->rate;
    d.bitrateNominal = vi->bitrate_nominal;
    d.pcmTotal = ov_pcm_total(&vf, -1);
    const vorbis_comment* vc = ov_comment(&vf, -1);
    d.vendor = vc->vendor ? vc->vendor : "";
    for (int i = 0; i < vc->comments; ++i) {
        const std::string entry(vc->user_comments[i], std::size_t(vc->comment_lengths[i]));
        const auto eq = entry.find('=');
        std::string key = entry.substr(0, eq);
        for (char& ch : key) ch = char(std::toupper(static_cast<unsigned char>(ch)));
        d.comments.emplace(key, eq == std::string::npos ? "" : entry.substr(eq + 1));
    }
    std::vector<char> buf(65536);
    for (;;) {
        int link = 0;
        const long n = ov_read(&vf, buf.data(), int(buf.size()), 0, 2, 1, &link);
        if (n <= 0) {
            EXPECT_EQ(n, 0);
            break;
        }
        const auto* s = reinterpret_cast<const int16_t*>(buf.data());
        d.pcm.insert(d.pcm.end(), s, s + n / 2);
    }
    ov_clear(&vf);
    std::filesystem::remove(path);
    return d;
}

}  // namespace oggcheck

#endif
