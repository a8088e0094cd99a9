// Files for the rip tests: temp folders, WAV files read back, an in-memory disk that fills
// up, and the small tmpfs of tests/support.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "../support/SmallTmpfs.h"
#include "../support/TempDir.h"
#include "WavWriter.h"

namespace riptest {

using TempDir = sonvaletest::TempDir;

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 | uint32_t(b.at(at + 2)) << 16 |
           uint32_t(b.at(at + 3)) << 24;
}

// The audio of a WAV file (everything after the 44-byte header).
inline std::vector<uint8_t> audioOf(const std::vector<uint8_t>& file) {
    if (file.size() < 44) return {};
    return std::vector<uint8_t>(file.begin() + 44, file.end());
}

// Checks the header of a finished file: fixed fields as written by the ripper, and size
// fields that match the file's length.
inline void expectValidWav(const std::vector<uint8_t>& f) {
    ASSERT_GE(f.size(), 44u);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(f, 16), 16u);
    EXPECT_EQ(f[20] | f[21] << 8, 1);  // PCM
    EXPECT_EQ(f[22] | f[23] << 8, 2);  // stereo
    EXPECT_EQ(le32(f, 24), 44100u);
    EXPECT_EQ(le32(f, 28), 176400u);
    EXPECT_EQ(f[32] | f[33] << 8, 4);
    EXPECT_EQ(f[34] | f[35] << 8, 16);
    EXPECT_EQ(std::string(f.begin() + 36, f.begin() + 40), "data");
    EXPECT_EQ(le32(f, 4), f.size() - 8);
    EXPECT_EQ(le32(f, 40), f.size() - 44);
}

// A disk in memory that holds capacity bytes; writes beyond it come out short. Shared, so
// a test looks at it after the writer has let go of the file.
struct MemoryDisk {
    std::vector<uint8_t> bytes;
    size_t capacity = SIZE_MAX;
    bool failWriteAt = false;
    bool failClose = false;
    bool failTruncate = false;
    bool created = false;
    bool closed = false;
    std::string path;
};

class MemoryFile : public Rip::TWavFile {
public:
    explicit MemoryFile(std::shared_ptr<MemoryDisk> disk) : disk_(std::move(disk)) {}
    size_t Append(const uint8_t* data, size_t count) override {
        const size_t room =
            disk_->capacity > disk_->bytes.size() ? disk_->capacity - disk_->bytes.size() : 0;
        const size_t n = std::min(room, count);
        disk_->bytes.insert(disk_->bytes.end(), data, data + n);
        return n;
    }
    bool WriteAt(uint64_t offset, const uint8_t* data, size_t count) override {
        if (disk_->failWriteAt || offset + count > disk_->bytes.size()) return false;
        std::memcpy(disk_->bytes.data() + offset, data, count);
        return true;
    }
    bool Truncate(uint64_t size) override {
        if (disk_->failTruncate) return false;
        disk_->bytes.resize(size);
        return true;
    }
    bool Close() override {
        disk_->closed = true;
        return !disk_->failClose;
    }

private:
    std::shared_ptr<MemoryDisk> disk_;
};

inline Rip::TWavFileOpener memoryOpener(std::shared_ptr<MemoryDisk> disk) {
    return [disk](const std::string& path) -> std::unique_ptr<Rip::TWavFile> {
        disk->bytes.clear();
        disk->created = true;
        disk->closed = false;
        disk->path = path;
        return std::make_unique<MemoryFile>(disk);
    };
}

using SmallTmpfs = sonvaletest::SmallTmpfs;

}  // namespace riptest
