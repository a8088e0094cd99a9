// Test discs on disk and a drive model pointed at them. The model reads its environment
// when it builds the list, so every test sets the variables and resets the model first.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "drivemodel.h"
#include "testdisc.h"

namespace disctest {

using TempDir = sonvaletest::TempDir;

inline std::string join(const std::vector<std::string>& paths) {
    std::string s;
    for (const std::string& p : paths) s += (s.empty() ? "" : ":") + p;
    return s;
}

// Rebuilds the drive model from the given image sheets and libcdio device paths.
inline void useDrives(const std::vector<std::string>& images,
                      const std::vector<std::string>& devices = {}) {
    setenv("CDRIP3_IMAGES", join(images).c_str(), 1);
    setenv("CDRIP3_DEVICES", join(devices).c_str(), 1);
    svdrives::DriveModel::instance().resetForTests();
}

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::vector<uint8_t> zeros(size_t sectors) {
    return std::vector<uint8_t>(sectors * testdisc::kSectorBytes, 0);
}

// What a rip of [first, last] must deliver with a read offset of `offset` samples: the
// bytes of disc (the disc's sectors from 0 on) from `offset` samples after the range's
// start, zeros where that lies outside disc.
inline std::vector<uint8_t> shifted(const std::vector<uint8_t>& disc, uint32_t first, uint32_t last,
                                    int32_t offset) {
    const int64_t begin = int64_t(first) * testdisc::kSectorBytes + int64_t(offset) * 4;
    std::vector<uint8_t> out(size_t(last - first + 1) * testdisc::kSectorBytes, 0);
    for (size_t j = 0; j < out.size(); ++j) {
        const int64_t at = begin + int64_t(j);
        if (at >= 0 && at < int64_t(disc.size())) out[j] = disc[size_t(at)];
    }
    return out;
}

// The first sector (relative to `first`) where two sector ranges differ; -1 when equal.
// Reports sectors rather than bytes so a failure names the misplaced sector.
inline long firstDifferentSector(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want,
                                 uint32_t first) {
    const size_t n = std::min(got.size(), want.size()) / testdisc::kSectorBytes;
    for (size_t i = 0; i < n; ++i) {
        if (memcmp(got.data() + i * testdisc::kSectorBytes,
                   want.data() + i * testdisc::kSectorBytes, testdisc::kSectorBytes) != 0) {
            return long(first + i);
        }
    }
    return got.size() == want.size() ? -1 : long(first + n);
}

// The disc variants every backend must lay out like a pressed disc.
struct NamedDisc {
    const char* name;
    testdisc::DiscPlan discPlan;
};

// Names the disc in test output instead of dumping its bytes.
inline void PrintTo(const NamedDisc& disc, std::ostream* os) {
    *os << disc.name;
}

inline std::vector<NamedDisc> discVariants() {
    using testdisc::Layout;
    std::vector<NamedDisc> v;
    auto add = [&](const char* name, testdisc::DiscPlan s) { v.push_back({name, std::move(s)}); };
    add("SingleBin", testdisc::audioDisc({180, 240, 150}));
    {
        auto s = testdisc::audioDisc({120, 200, 90});
        s.layout = Layout::BinPerTrack;
        add("BinPerTrack", s);
    }
    {
        auto s = testdisc::audioDisc({130, 77, 160});
        s.layout = Layout::WavePerTrack;
        add("WavePerTrack", s);
    }
    {
        auto s = testdisc::audioDisc({100, 140});
        s.motorola = true;
        add("MotorolaSingleBin", s);
    }
    {
        auto s = testdisc::audioDisc({100, 140, 60});
        s.motorola = true;
        s.layout = Layout::BinPerTrack;
        add("MotorolaBinPerTrack", s);
    }
    {
        auto s = testdisc::audioDisc({150, 160, 170});
        s.tracks[1].index0 = 75;
        s.tracks[2].index0 = 33;
        add("Index00Pregaps", s);
    }
    {
        auto s = testdisc::audioDisc({150, 160, 170});
        s.tracks[1].index0 = 40;
        s.tracks[2].index0 = 20;
        s.layout = Layout::BinPerTrack;
        add("Index00PregapsBinPerTrack", s);
    }
    {
        auto s = testdisc::audioDisc({150, 160, 170});
        s.tracks[0].pregap = 50;
        s.tracks[1].pregap = 150;
        s.tracks[2].pregap = 30;
        s.tracks[2].index0 = 25;
        add("PregapCommand", s);
    }
    {
        auto s = testdisc::audioDisc({150, 160});
        s.hiddenSectors = 200;
        add("HiddenTrack", s);
    }
    {
        auto s = testdisc::audioDisc({150, 160});
        s.hiddenSectors = 90;
        s.layout = Layout::WavePerTrack;
        add("HiddenTrackWave", s);
    }
    {
        auto s = testdisc::audioDisc({100, 110, 120});
        s.firstTrackNumber = 3;
        add("FirstTrackThree", s);
    }
    {
        auto s = testdisc::audioDisc({200, 150, 160});
        s.tracks[0].data = true;
        add("DataFirst", s);
    }
    {
        auto s = testdisc::audioDisc({150, 160, 200});
        s.tracks[2].data = true;
        s.motorola = true;
        add("DataLastMotorola", s);
    }
    {
        auto s = testdisc::audioDisc({150, 160, 300});
        s.tracks[2].data = true;
        s.cdExtra = true;
        add("CdExtra", s);
    }
    {
        auto s = testdisc::audioDisc({120, 130, 300});
        s.tracks[2].data = true;
        s.cdExtra = true;
        s.layout = Layout::BinPerTrack;
        add("CdExtraBinPerTrack", s);
    }
    {
        auto s = testdisc::audioDisc({120, 130});
        s.backslashes = true;
        s.layout = Layout::BinPerTrack;
        add("Backslashes", s);
    }
    return v;
}

}  // namespace disctest
