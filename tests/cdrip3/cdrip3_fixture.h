// libcdrip3 seen from a program: the C ABI only, with the settings folder in a temp
// folder and the drive model pointed at generated discs.
#pragma once

#include <gtest/gtest.h>

#include "cdrip3.h"
#include "discfixture.h"

namespace cdrip3test {

constexpr const char* kSettingsName = "sonvale/cdrip3.ini";

struct Rip {
    std::vector<uint8_t> bytes;
    std::vector<int32_t> chunkBytes;  // *bytesRead of every delivering call
    std::vector<int32_t> percents;    // CR_GetPercentCompleted after each of them
    int32_t bufferSize = 0;
    int32_t endCode = -1;  // the first result that delivered nothing
    int jitterChunks = 0;
};

using disctest::shifted;

class Cdrip3Test : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", home_.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", home_.file("config").c_str(), 1);
        CR_CloseRipper();
    }
    void TearDown() override {
        CR_CloseRipper();
        CR_SetMediaNotify(nullptr, nullptr);
    }

    // Rebuilds the drive list and initialises the library afresh over it.
    void useDrives(const std::vector<std::string>& images,
                   const std::vector<std::string>& devices = {}) {
        disctest::useDrives(images, devices);
        ASSERT_EQ(CR_Init(kSettingsName), 0);
    }

    std::string settingsPath() const { return home_.file("config/sonvale/cdrip3.ini"); }

    // Rips [first, last] of the active drive to the end the way the program does; raw: with
    // no read offset applied.
    static Rip rip(int32_t first, int32_t last, bool raw = false) {
        Rip r;
        if ((raw ? CR_OpenRawRipper : CR_OpenRipper)(&r.bufferSize, first, last) != CDRIP3_OK) {
            ADD_FAILURE() << "CR_OpenRipper(" << first << ", " << last << ") failed";
            return r;
        }
        std::vector<uint8_t> buf(size_t(r.bufferSize));
        for (int guard = 0; guard < 100000; ++guard) {
            int32_t bytes = -1;
            int32_t abort = 0;
            const int32_t rc = CR_RipChunk(buf.data(), &bytes, &abort);
            if (rc != CDRIP3_OK && rc != CDRIP3_JITTER_ERROR) {
                r.endCode = rc;
                EXPECT_EQ(bytes, 0);
                break;
            }
            if (rc == CDRIP3_JITTER_ERROR) ++r.jitterChunks;
            r.chunkBytes.push_back(bytes);
            r.percents.push_back(CR_GetPercentCompleted());
            r.bytes.insert(r.bytes.end(), buf.begin(), buf.begin() + bytes);
        }
        EXPECT_EQ(CR_CloseRipper(), CDRIP3_OK);
        return r;
    }

    disctest::TempDir home_;
};

}  // namespace cdrip3test
