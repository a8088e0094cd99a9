// AccurateRip's list of drive offsets as anyone on the way may have rewritten it (it comes
// over plain HTTP, and lies in the user's cache folder for a month). The reader either
// refuses it, or takes it for whole entries that use up every byte, each field read from
// where its entry puts it; and a drive found in it gets the most submitted of its entries.
#include <cstdint>
#include <string>

#include "DriveOffsets.h"
#include "fuzzcheck.h"

namespace {

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool trimmedText(const std::string& s) {
    if (s.find('\0') != std::string::npos) return false;
    return s.empty() || (!blank(s.front()) && !blank(s.back()));
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

bool same(const std::string& a, const std::string& b) {
    return upper(a) == upper(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto entries = Rip::ParseDriveOffsets(bytes);
    const size_t record = Rip::kDriveOffsetRecordBytes;
    CHECK(entries.has_value() == (size > 0 && size % record == 0));
    if (!entries) return 0;
    CHECK(entries->size() * record == size);

    for (size_t i = 0; i < entries->size(); ++i) {
        const Rip::TDriveOffsetEntry& e = (*entries)[i];
        const uint8_t* r = data + i * record;
        CHECK(e.Offset == int16_t(uint16_t(r[0] | r[1] << 8)));
        CHECK(e.Submissions == r[35]);
        CHECK(trimmedText(e.Vendor) && trimmedText(e.Model));
        // The name's words come from its 32 bytes.
        CHECK(e.Vendor.size() + e.Model.size() <= 32);

        // The entry's own words, in another case and with blanks around, find its drive:
        // an entry of that drive as submitted as any, and the first of those.
        const auto found =
            Rip::FindDriveOffset(*entries, " " + upper(e.Vendor) + "\t", upper(e.Model) + "  ");
        CHECK(found.has_value());
        const Rip::TDriveOffsetEntry* best = nullptr;
        for (const Rip::TDriveOffsetEntry& other : *entries) {
            if (!same(other.Vendor, e.Vendor) || !same(other.Model, e.Model)) continue;
            if (!best || other.Submissions > best->Submissions) best = &other;
        }
        CHECK(best && best->Submissions >= e.Submissions && *found == best->Offset);
    }
    return 0;
}
