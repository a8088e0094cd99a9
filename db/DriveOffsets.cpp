#include "DriveOffsets.h"

#include <algorithm>
#include <cstdint>

namespace Rip {

namespace {

constexpr size_t kNameBytes = 32;
constexpr size_t kSubmissionsAt = 2 + kNameBytes + 1;

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string trimmed(const std::string& s) {
    size_t first = 0, end = s.size();
    while (first < end && blank(s[first])) ++first;
    while (end > first && blank(s[end - 1])) --end;
    return s.substr(first, end - first);
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

}  // namespace

std::optional<std::vector<TDriveOffsetEntry>> ParseDriveOffsets(const std::string& bytes) {
    if (bytes.empty() || bytes.size() % kDriveOffsetRecordBytes != 0) return std::nullopt;
    std::vector<TDriveOffsetEntry> entries;
    entries.reserve(bytes.size() / kDriveOffsetRecordBytes);
    for (size_t at = 0; at < bytes.size(); at += kDriveOffsetRecordBytes) {
        const auto* r = reinterpret_cast<const uint8_t*>(bytes.data() + at);
        TDriveOffsetEntry e;
        e.Offset = int16_t(uint16_t(r[0] | r[1] << 8));
        std::string name(reinterpret_cast<const char*>(r + 2), kNameBytes);
        name.erase(std::min(name.find('\0'), name.size()));
        // "- MODEL" has no vendor; the model itself may hold " - ", the vendor never does.
        const size_t dash = name.rfind('-', 0) == 0 ? 0 : name.find(" - ");
        if (dash == 0) {
            e.Model = trimmed(name.substr(1));
        } else if (dash == std::string::npos) {
            e.Model = trimmed(name);
        } else {
            e.Vendor = trimmed(name.substr(0, dash));
            e.Model = trimmed(name.substr(dash + 3));
        }
        e.Submissions = r[kSubmissionsAt];
        entries.push_back(std::move(e));
    }
    return entries;
}

std::optional<int> FindDriveOffset(const std::vector<TDriveOffsetEntry>& entries,
                                   const std::string& vendor, const std::string& product) {
    const std::string v = trimmed(vendor), p = trimmed(product);
    const TDriveOffsetEntry* best = nullptr;
    for (const TDriveOffsetEntry& e : entries) {
        if (!sameText(e.Vendor, v) || !sameText(e.Model, p)) continue;
        if (!best || e.Submissions > best->Submissions) best = &e;
    }
    if (!best) return std::nullopt;
    return best->Offset;
}

}  // namespace Rip
