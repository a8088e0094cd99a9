// The WAV writer over a disk that the input makes misbehave: appends of any sizes, short
// or failed writes, header rewrites and cuts that fail. Whatever happens, a file whose
// header went out says in its size fields exactly what it holds, holds whole frames
// after a failure, and holds the appended audio in order.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "WavWriter.h"
#include "fuzzcheck.h"

namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

struct Disk {
    std::vector<uint8_t> bytes;
    size_t room = SIZE_MAX;  // bytes that still fit
    bool failWriteAt = false;
    bool failTruncate = false;
    bool failClose = false;
    bool closed = false;
};

class FuzzFile : public Rip::TWavFile {
public:
    explicit FuzzFile(Disk& disk) : disk_(disk) {}
    size_t Append(const uint8_t* data, size_t count) override {
        const size_t n = std::min(count, disk_.room);
        disk_.bytes.insert(disk_.bytes.end(), data, data + n);
        disk_.room -= n;
        return n;
    }
    bool WriteAt(uint64_t offset, const uint8_t* data, size_t count) override {
        if (disk_.failWriteAt || offset + count > disk_.bytes.size()) return false;
        std::memcpy(disk_.bytes.data() + offset, data, count);
        return true;
    }
    bool Truncate(uint64_t size) override {
        if (disk_.failTruncate || size > disk_.bytes.size()) return false;
        disk_.room += disk_.bytes.size() - size;
        disk_.bytes.resize(size);
        return true;
    }
    bool Close() override {
        disk_.closed = true;
        return !disk_.failClose;
    }

private:
    Disk& disk_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    Disk disk;
    disk.room = in.ConsumeBool() ? SIZE_MAX : in.ConsumeIntegralInRange<size_t>(0, 20000);
    disk.failWriteAt = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    disk.failTruncate = in.ConsumeIntegralInRange<int>(0, 3) == 0;
    disk.failClose = in.ConsumeIntegralInRange<int>(0, 7) == 0;

    Rip::TWavWriter writer([&](const std::string&) { return std::make_unique<FuzzFile>(disk); });
    CHECK(writer.Create("fuzz.wav"));
    const bool headerOut = disk.bytes.size() == size_t(Rip::kWavHeaderSize);
    std::vector<uint8_t> appended;  // everything the writer was given and took
    bool failed = writer.Failed();
    uint8_t next = 0;
    while (in.remaining_bytes() > 0 && !failed) {
        const size_t n = in.ConsumeIntegralInRange<size_t>(0, 9000);
        std::vector<uint8_t> chunk(n);
        for (uint8_t& b : chunk) b = next++;
        const bool ok = writer.Append(chunk.data(), chunk.size());
        if (ok) appended.insert(appended.end(), chunk.begin(), chunk.end());
        failed = !ok;
        CHECK(writer.Failed() == failed);
    }
    const bool finished = writer.Finish();
    CHECK(disk.closed);
    CHECK(!finished || (!failed && !disk.failWriteAt && !disk.failClose));

    if (!headerOut) {
        // Half a header is no WAV file: the writer leaves nothing, or nothing it could cut.
        CHECK(!finished);
        return 0;
    }
    const std::vector<uint8_t>& f = disk.bytes;
    CHECK(f.size() >= size_t(Rip::kWavHeaderSize));
    uint8_t header[Rip::kWavHeaderSize];
    Rip::BuildWavHeader(header);
    // Every field but the two sizes is as first written.
    CHECK(std::memcmp(f.data(), header, 4) == 0);
    CHECK(std::memcmp(f.data() + 8, header + 8, 32) == 0);
    const size_t audio = f.size() - Rip::kWavHeaderSize;
    // The audio is what was appended, in order, and on a failure the part of the failed
    // chunk that made it: a prefix of the running pattern.
    for (size_t i = 0; i < audio; ++i) CHECK(f[Rip::kWavHeaderSize + i] == uint8_t(i));
    // Nothing accepted is lost, but that a failure cuts the file back to whole frames.
    if (failed)
        CHECK(audio >= appended.size() - appended.size() % Rip::kWavBlockAlign);
    else
        CHECK(audio == appended.size());
    if (!disk.failWriteAt) {
        CHECK(le32(f, 4) == f.size() - 8);
        CHECK(le32(f, 40) == audio);
        // Torn frames are cut off when the disk lets the file be cut.
        if (failed && !disk.failTruncate) CHECK(audio % Rip::kWavBlockAlign == 0);
    } else {
        // The sizes could not be written: they still read 0, never something false.
        CHECK(le32(f, 4) == 0 && le32(f, 40) == 0);
    }
    return 0;
}
