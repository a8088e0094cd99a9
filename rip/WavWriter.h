// RIFF/WAVE files of CD audio (PCM, 16 bits, 44100 Hz, stereo), written in one pass: the
// header goes out first with empty size fields, the audio is appended as it arrives and
// the sizes are filled in at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Rip {

// The file underneath a WAV writer. The real one is a plain POSIX file; tests put a full
// disk or a failing device in its place.
class TWavFile {
public:
    virtual ~TWavFile() = default;
    // Writes at the end; returns how many bytes went out (fewer on a full disk or an error).
    virtual size_t Append(const uint8_t* data, size_t count) = 0;
    // Overwrites count bytes at offset; true when all of them were written.
    virtual bool WriteAt(uint64_t offset, const uint8_t* data, size_t count) = 0;
    // Cuts the file to size bytes; true on success.
    virtual bool Truncate(uint64_t size) = 0;
    // True when everything written reached the file system.
    virtual bool Close() = 0;
};

// Creates (or empties) the file at path; null when that is not possible.
using TWavFileOpener = std::function<std::unique_ptr<TWavFile>(const std::string& path)>;
std::unique_ptr<TWavFile> OpenPosixWavFile(const std::string& path);

constexpr int kWavHeaderSize = 44;
constexpr int kWavBlockAlign = 4;  // one stereo frame of two 16-bit samples

// The 44-byte header as it is first written: both size fields 0.
void BuildWavHeader(uint8_t (&header)[kWavHeaderSize]);

class TWavWriter {
public:
    explicit TWavWriter(TWavFileOpener opener = OpenPosixWavFile);
    ~TWavWriter();  // finishes a file still open
    TWavWriter(const TWavWriter&) = delete;
    TWavWriter& operator=(const TWavWriter&) = delete;

    // Creates the file and writes the header with both size fields 0. False when the file
    // cannot be created; a header that does not fit on the disk leaves the file open with
    // Failed() set.
    bool Create(const std::string& path);
    // Appends audio. After a failed or short write the file is cut back to its last whole
    // stereo frame and nothing more is appended: false then, and on every later call.
    bool Append(const uint8_t* data, size_t count);
    // Fills in the size fields for what the file holds and closes it. False when the
    // sizes or the close failed, or when an earlier write had failed.
    bool Finish();

    bool IsOpen() const { return file_ != nullptr; }
    bool Failed() const { return failed_; }
    uint64_t DataBytes() const { return dataBytes_; }

private:
    TWavFileOpener opener_;
    std::unique_ptr<TWavFile> file_;
    bool headerWritten_ = false;
    bool failed_ = false;
    uint64_t dataBytes_ = 0;
};

}  // namespace Rip
