#include "WavWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Rip {

namespace {

class TPosixWavFile : public TWavFile {
public:
    explicit TPosixWavFile(int fd) : fd_(fd) {}
    ~TPosixWavFile() override {
        if (fd_ >= 0) ::close(fd_);
    }

    size_t Append(const uint8_t* data, size_t count) override {
        size_t done = 0;
        while (done < count) {
            const ssize_t n = ::write(fd_, data + done, count - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        return done;
    }

    bool WriteAt(uint64_t offset, const uint8_t* data, size_t count) override {
        size_t done = 0;
        while (done < count) {
            const ssize_t n =
                ::pwrite(fd_, data + done, count - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    bool Truncate(uint64_t size) override {
        if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return false;
        // Later appends must land at the new end, not past a hole.
        return ::lseek(fd_, static_cast<off_t>(size), SEEK_SET) == static_cast<off_t>(size);
    }

    bool Close() override {
        // Network file systems may only report a full disk here.
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr uint32_t kSampleRate = 44100;
constexpr uint16_t kChannels = 2;
constexpr uint16_t kBitsPerSample = 16;
// The size fields are 32 bits; keep whole frames below that bound.
constexpr uint64_t kMaxDataBytes =
    (0xFFFFFFFFull - (kWavHeaderSize - 8)) / kWavBlockAlign * kWavBlockAlign;

}  // namespace

std::unique_ptr<TWavFile> OpenPosixWavFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<TPosixWavFile>(fd);
}

void BuildWavHeader(uint8_t (&header)[kWavHeaderSize]) {
    std::memcpy(header + 0, "RIFF", 4);
    put32(header + 4, 0);
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    put32(header + 16, 16);
    put16(header + 20, 1);  // PCM
    put16(header + 22, kChannels);
    put32(header + 24, kSampleRate);
    put32(header + 28, kSampleRate * kWavBlockAlign);
    put16(header + 32, kWavBlockAlign);
    put16(header + 34, kBitsPerSample);
    std::memcpy(header + 36, "data", 4);
    put32(header + 40, 0);
}

TWavWriter::TWavWriter(TWavFileOpener opener) : opener_(std::move(opener)) {}

TWavWriter::~TWavWriter() {
    if (file_) Finish();
}

bool TWavWriter::Create(const std::string& path) {
    if (file_) Finish();
    headerWritten_ = false;
    failed_ = false;
    dataBytes_ = 0;
    file_ = opener_(path);
    if (!file_) return false;
    uint8_t header[kWavHeaderSize];
    BuildWavHeader(header);
    if (file_->Append(header, sizeof header) == sizeof header) {
        headerWritten_ = true;
    } else {
        // Half a header is no WAV file at all; an empty file at least says nothing wrong.
        failed_ = true;
        file_->Truncate(0);
    }
    return true;
}

bool TWavWriter::Append(const uint8_t* data, size_t count) {
    if (!file_ || failed_) return false;
    if (count == 0) return true;
    const uint64_t room = kMaxDataBytes - dataBytes_;
    const size_t wanted = count > room ? static_cast<size_t>(room) : count;
    const size_t written = wanted == 0 ? 0 : file_->Append(data, wanted);
    if (written == count) {
        dataBytes_ += written;
        return true;
    }
    failed_ = true;
    // A torn frame at the end would shift the channels of anything appended to the file
    // later by other tools; cut back to the last whole frame when the disk lets us.
    const uint64_t total = dataBytes_ + written;
    const uint64_t whole = total - total % kWavBlockAlign;
    if (whole != total && file_->Truncate(kWavHeaderSize + whole))
        dataBytes_ = whole;
    else
        dataBytes_ = total;
    return false;
}

bool TWavWriter::Finish() {
    if (!file_) return false;
    bool ok = !failed_;
    if (headerWritten_) {
        // Only the two size fields change; rewriting just them needs no new block on a
        // full disk.
        uint8_t riffSize[4], dataSize[4];
        put32(riffSize, static_cast<uint32_t>(dataBytes_ + kWavHeaderSize - 8));
        put32(dataSize, static_cast<uint32_t>(dataBytes_));
        if (!file_->WriteAt(4, riffSize, 4) || !file_->WriteAt(40, dataSize, 4)) ok = false;
    }
    if (!file_->Close()) ok = false;
    file_.reset();
    if (!ok) failed_ = true;
    return ok;
}

}  // namespace Rip
