// The inner loop of the AccurateRip sums, once for any machine and once for each kind of
// vector unit an x86-64 machine may have. Apart from the checksum so the kinds can be held
// against one another on the machine at hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Rip::SumLoops {

// Running sums of the low and the high halves of the 64-bit products s × m.
struct TSums {
    uint32_t Low = 0;
    uint32_t High = 0;
};

// Adds the products of count whole samples at bytes (4 bytes each, little-endian) with
// their positions, the first at position; position + count - 1 must not pass 2^32 - 1.
using TLoop = void (*)(const uint8_t* bytes, size_t count, uint32_t position, TSums& sums);

void AddPlain(const uint8_t* bytes, size_t count, uint32_t position, TSums& sums);

struct TNamedLoop {
    const char* Name;
    TLoop Loop;
};

// The loops this machine can run, the plain one first.
std::vector<TNamedLoop> Available();

// The fastest of them, chosen once.
TLoop Best();

}  // namespace Rip::SumLoops
