#include "TrackChecksumLoops.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace Rip::SumLoops {

namespace {

uint32_t loadSample(const uint8_t* at) {
    uint32_t s;
    std::memcpy(&s, at, 4);
    if constexpr (std::endian::native == std::endian::big) s = __builtin_bswap32(s);
    return s;
}

}  // namespace

void AddPlain(const uint8_t* bytes, size_t count, uint32_t position, TSums& sums) {
    uint32_t low = sums.Low, high = sums.High;
    for (size_t i = 0; i < count; ++i) {
        const uint64_t product = uint64_t(loadSample(bytes + 4 * i)) * (position + uint32_t(i));
        low += static_cast<uint32_t>(product);
        high += static_cast<uint32_t>(product >> 32);
    }
    sums.Low = low;
    sums.High = high;
}

#if defined(__x86_64__)

namespace {

// The unsigned 32 × 32 → 64 multiply takes the even 32-bit lanes, so the odd samples are
// shifted down into them. Adding the 64-bit products lane-wise as 32-bit numbers keeps the
// low and the high halves' sums apart, each wrapping on its own as the sums want: the even
// lanes of the accumulator gather low halves, the odd ones high halves.

void AddSse2(const uint8_t* bytes, size_t count, uint32_t position, TSums& sums) {
    const auto at = [position](uint32_t k) { return int(position + k); };
    __m128i even = _mm_setr_epi32(at(0), 0, at(2), 0);
    __m128i odd = _mm_setr_epi32(at(1), 0, at(3), 0);
    const __m128i step = _mm_setr_epi32(4, 0, 4, 0);
    __m128i accEven = _mm_setzero_si128(), accOdd = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 4 * i));
        accEven = _mm_add_epi32(accEven, _mm_mul_epu32(s, even));
        accOdd = _mm_add_epi32(accOdd, _mm_mul_epu32(_mm_srli_epi64(s, 32), odd));
        even = _mm_add_epi32(even, step);
        odd = _mm_add_epi32(odd, step);
    }
    alignas(16) uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), _mm_add_epi32(accEven, accOdd));
    sums.Low += lanes[0] + lanes[2];
    sums.High += lanes[1] + lanes[3];
    AddPlain(bytes + 4 * i, count - i, position + uint32_t(i), sums);
}

__attribute__((target("avx2"))) void AddAvx2(const uint8_t* bytes, size_t count, uint32_t position,
                                             TSums& sums) {
    const auto at = [position](uint32_t k) { return int(position + k); };
    __m256i even = _mm256_setr_epi32(at(0), 0, at(2), 0, at(4), 0, at(6), 0);
    __m256i odd = _mm256_setr_epi32(at(1), 0, at(3), 0, at(5), 0, at(7), 0);
    const __m256i step = _mm256_setr_epi32(8, 0, 8, 0, 8, 0, 8, 0);
    __m256i accEven = _mm256_setzero_si256(), accOdd = _mm256_setzero_si256();
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 4 * i));
        accEven = _mm256_add_epi32(accEven, _mm256_mul_epu32(s, even));
        accOdd = _mm256_add_epi32(accOdd, _mm256_mul_epu32(_mm256_srli_epi64(s, 32), odd));
        even = _mm256_add_epi32(even, step);
        odd = _mm256_add_epi32(odd, step);
    }
    const __m256i acc = _mm256_add_epi32(accEven, accOdd);
    const __m128i half =
        _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    alignas(16) uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), half);
    sums.Low += lanes[0] + lanes[2];
    sums.High += lanes[1] + lanes[3];
    AddSse2(bytes + 4 * i, count - i, position + uint32_t(i), sums);
}

bool hasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

}  // namespace

std::vector<TNamedLoop> Available() {
    std::vector<TNamedLoop> loops = {{"plain", AddPlain}, {"sse2", AddSse2}};
    if (hasAvx2()) loops.push_back({"avx2", AddAvx2});
    return loops;
}

#else

std::vector<TNamedLoop> Available() {
    return {{"plain", AddPlain}};
}

#endif

TLoop Best() {
    static const TLoop best = Available().back().Loop;
    return best;
}

}  // namespace Rip::SumLoops
