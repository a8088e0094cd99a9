// ReadPcmChunk between a CD library that delivers any sizes with any results and an
// encoder that asks for chunks of any size: the bytes handed on are exactly the bytes the
// library delivered, in order; every chunk but the last is full; the library is not asked
// again once it has ended the track; an error is shown once.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CDSession.h"
#include "FakeRipWindow.h"
#include "PcmChunkReader.h"
#include "fuzzcheck.h"

using namespace CDRipIntf;

namespace {

struct Delivery {
    int32_t rc = 4;
    int32_t bytes = 0;
    int32_t percent = 0;
};

struct Library {
    std::vector<Delivery> script;
    size_t next = 0;
    int32_t ripSize = 0;
    uint8_t pattern = 0;  // the next byte value the library delivers
    int32_t percent = 0;
};
Library lib;

int32_t init(const char*) {
    return 0;
}
int32_t ripChunk(uint8_t* buffer, int32_t* bytes, int32_t* abortFlag) {
    CHECK(buffer != nullptr && bytes != nullptr && abortFlag != nullptr && *abortFlag == 0);
    const Delivery d = lib.next < lib.script.size() ? lib.script[lib.next++] : Delivery{};
    *bytes = d.bytes;
    // The library writes no more than the buffer holds, whatever count it reports.
    const int32_t written = std::clamp(d.bytes, 0, lib.ripSize);
    for (int32_t i = 0; i < written; ++i) buffer[i] = lib.pattern++;
    lib.percent = d.percent;
    return d.rc;
}
int32_t percent() {
    return lib.percent;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TCDSession session;
    static bool bound = false;
    if (!bound) {
        CDRipFunctions f;
        f.Init = init;
        f.RipChunk = ripChunk;
        f.GetPercentCompleted = percent;
        session.BindFunctions(f);
        bound = true;
    }
    FuzzedDataProvider in(data, size);
    lib = Library{};
    lib.ripSize = in.ConsumeIntegralInRange<int32_t>(1, 65536);
    const int32_t w = in.ConsumeIntegralInRange<int32_t>(1, 65536);
    const int deliveries = in.ConsumeIntegralInRange<int>(0, 64);
    for (int i = 0; i < deliveries; ++i) {
        Delivery d;
        switch (in.ConsumeIntegralInRange<int>(0, 15)) {
            case 0:
                d.rc = 4;
                break;
            case 1:
                d.rc = in.ConsumeIntegral<int32_t>();  // an error, or anything
                break;
            case 2:
                d.rc = 3;
                break;
            default:
                d.rc = 0;
                break;
        }
        switch (in.ConsumeIntegralInRange<int>(0, 15)) {
            case 0:
                d.bytes = in.ConsumeIntegral<int32_t>();
                break;
            case 1:
                d.bytes = lib.ripSize;
                break;
            case 2:
                d.bytes = 0;
                break;
            default:
                d.bytes = in.ConsumeIntegralInRange<int32_t>(1, lib.ripSize);
                break;
        }
        d.percent = in.ConsumeIntegralInRange<int32_t>(-5, 105);
        lib.script.push_back(d);
    }

    // What the reader must hand on: the trusted deliveries up to the first that ends
    // the track.
    std::vector<uint8_t> expected;
    bool endsInError = false;
    int32_t lastPercent = 0;
    {
        uint8_t pattern = 0;
        for (const Delivery& d : lib.script) {
            const bool data = d.rc == 0 || d.rc == 3;
            if (data && d.bytes > lib.ripSize) {
                endsInError = true;
                break;
            }
            if (!data || d.bytes <= 0) {
                endsInError = !data && d.rc != 4;
                break;
            }
            for (int32_t i = 0; i < d.bytes; ++i) expected.push_back(pattern++);
            lastPercent = std::clamp(d.percent, 0, 100);
        }
    }

    FakeRipWindow window;
    Rip::TPcmChunkReader reader(window, window.control, session);
    std::vector<uint8_t> rip(static_cast<size_t>(lib.ripSize));
    std::vector<uint8_t> samples(static_cast<size_t>(w));
    reader.Reset(rip.data(), lib.ripSize, samples.data());
    std::vector<uint8_t> handedOn;
    bool shortSeen = false;
    // Every call but the last hands on at least one byte, and the script holds at most 64
    // deliveries of 65536: the bound only stops a reader that never ends.
    for (int guard = 0; guard < 64 * 65536 + 2; ++guard) {
        const int32_t n = reader.ReadPcmChunk(w);
        CHECK(n >= 0 && n <= w);
        if (n == 0) break;
        CHECK(!shortSeen);  // only the last chunk may be short
        shortSeen = n < w;
        handedOn.insert(handedOn.end(), samples.begin(), samples.begin() + n);
    }
    // Once ended, the track stays ended without asking the library.
    const size_t asked = lib.next;
    CHECK(reader.ReadPcmChunk(w) == 0);
    CHECK(lib.next == asked);

    CHECK(handedOn == expected);
    CHECK(window.dialogs ==
          (endsInError ? QStringList{"box:OK: Error : CR_RipChunk"} : QStringList{}));
    CHECK(reader.RipChunkFailed() == endsInError);
    if (!expected.empty()) CHECK(reader.Percent() == lastPercent);
    return 0;
}
