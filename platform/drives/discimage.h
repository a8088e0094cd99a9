// A cue sheet and the files it names, laid out as the disc a drive would present: which
// logical sectors come from which file bytes and which are silence. Built once per tray
// closing and shared read-only with the readers opened on it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "drivemodel.h"

namespace svdrives::detail {

enum class FileType { Binary, Motorola, Wave };

class DiscImage {
public:
    // Null with *error set when the sheet is malformed, names a missing or short file, a
    // WAVE file not in CD format, or a track mode the backend cannot read.
    static std::shared_ptr<const DiscImage> load(const std::string& cuePath, std::string* error);

    DiscImage(const DiscImage&) = delete;
    DiscImage& operator=(const DiscImage&) = delete;
    ~DiscImage();

    const Toc& toc() const { return toc_; }
    // The sheet's CD-Text along toc(): TITLE, PERFORMER, SONGWRITER of the disc and of each
    // track, REM GENRE and REM DATE of the disc. A sheet that is not UTF-8 is taken as
    // Latin-1.
    const CdText& cdText() const { return cdText_; }

    // Copies sectors [first, first + count) into out (little-endian audio). Sectors past
    // the lead-out read as zeros; false only when a file fails to deliver bytes it had
    // when the image was loaded (shrunk or unreadable since).
    bool read(uint32_t first, uint32_t count, uint8_t* out) const;

private:
    DiscImage() = default;

    struct File {
        std::string path;
        FileType type = FileType::Binary;
        int fd = -1;
        uint64_t dataOffset = 0;  // byte offset of the file's first sector (past a WAVE header)
        uint64_t dataBytes = 0;
        uint64_t sectors = 0;  // a WAVE file's last partial sector counts, padded with zeros
    };
    // A run of disc sectors that either maps onto consecutive file sectors or is silence.
    struct Extent {
        uint32_t first = 0;
        uint32_t count = 0;
        int file = -1;  // -1: zeros
        uint64_t fileSector = 0;
        bool swap = false;  // big-endian audio: swap each 16-bit sample
    };

    bool readExtent(const Extent& e, uint32_t from, uint32_t count, uint8_t* out) const;

    std::vector<File> files_;
    std::vector<Extent> extents_;
    Toc toc_;
    CdText cdText_;

    friend class DiscImageBuilder;
};

}  // namespace svdrives::detail
