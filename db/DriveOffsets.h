// AccurateRip's list of drive offsets: how many samples each model of drive reads early or
// late, as the rips sent to the database found it. Read here apart from the network, so the
// reader can be fuzzed on its own.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace Rip {

struct TDriveOffsetEntry {
    int Offset = 0;       // samples
    std::string Vendor;   // blanks trimmed; empty for entries without one
    std::string Model;    // blanks trimmed
    int Submissions = 0;  // how many rips told of this offset: the byte the file holds
};

// One entry of the file: a signed 16-bit little-endian offset, 32 bytes of ASCII name
// "VENDOR - MODEL" padded with NULs (an entry without a vendor begins "- "), a NUL, a byte
// of submissions and 33 bytes this program does not use.
constexpr size_t kDriveOffsetRecordBytes = 69;

// The file's entries, in its order. None when the bytes are no such file: empty, or not a
// whole number of entries (a web page, a file cut short).
std::optional<std::vector<TDriveOffsetEntry>> ParseDriveOffsets(const std::string& bytes);

// The offset of the drive whose INQUIRY gave vendor and product: of the entries whose vendor
// and model match them, blanks trimmed and case aside, the one most rips told of (the first
// of those that tie). None when no entry matches.
std::optional<int> FindDriveOffset(const std::vector<TDriveOffsetEntry>& entries,
                                   const std::string& vendor, const std::string& product);

}  // namespace Rip
