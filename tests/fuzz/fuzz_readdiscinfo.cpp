// ReadDiscInfo over any table of contents a CD library could report: the input decodes to
// the library's answers (readiness, the table read, the entry count, each entry or its
// failure) and to the MCI device's figure for the last track. Whatever they are, the
// record is filled only from a consistent table, nothing is written outside it, and no
// length is negative or wrapped.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CDSession.h"
#include "fuzzcheck.h"
#include "mci.h"

using namespace CDRipIntf;

namespace {

struct Library {
    bool ready = true;
    int32_t readToc = 0;
    int32_t count = 0;  // what CR_GetNumTocEntries says
    std::vector<TTocEntry> entries;
    std::vector<bool> entryFails;
    // The MCI device: open or not, and its figures for the last track.
    bool mciOpen = false;
    uint32_t mciTracks = 0, mciStart = 0, mciLength = 0;
    int mciFailsAt = 0;  // the call (1..4) that fails; 0: none
    int mciCalls = 0;
};
Library lib;

int32_t init(const char*) {
    return 0;
}
int32_t ready() {
    return lib.ready ? 1 : 0;
}
int32_t readToc() {
    return lib.readToc;
}
int32_t numEntries() {
    return lib.count;
}
int32_t tocEntry(int32_t index, TTocEntry* entry) {
    if (index < 0 || size_t(index) >= lib.entries.size() || lib.entryFails[size_t(index)]) {
        if (entry) *entry = TTocEntry{};
        return 1;
    }
    *entry = lib.entries[size_t(index)];
    return 0;
}
int32_t numDrives() {
    return 1;
}

uint32_t mciSend(uint32_t, uint32_t message, uintptr_t, uintptr_t params) {
    if (++lib.mciCalls == lib.mciFailsAt) return 1;
    if (message == MCI_SYSINFO) {  // only while the sessions are set up
        const uint32_t devices = 1;
        std::memcpy(reinterpret_cast<MCI_SYSINFO_PARMSA*>(params)->lpstrReturn, &devices,
                    sizeof devices);
    }
    if (message == MCI_STATUS) {
        auto* p = reinterpret_cast<MCI_STATUS_PARMS*>(params);
        switch (p->dwItem) {
            case MCI_STATUS_NUMBER_OF_TRACKS:
                p->dwReturn = lib.mciTracks;
                break;
            case MCI_STATUS_POSITION:
                p->dwReturn = lib.mciStart;
                break;
            case MCI_STATUS_LENGTH:
                p->dwReturn = lib.mciLength;
                break;
            default:
                break;
        }
    }
    return 0;
}

void decode(FuzzedDataProvider& in) {
    lib = Library{};
    lib.ready = in.ConsumeIntegralInRange<int>(0, 15) != 0;
    lib.readToc = in.ConsumeIntegralInRange<int>(0, 15) == 0 ? 1 : 0;
    // Mostly counts a disc can have, sometimes anything at all.
    const int kind = in.ConsumeIntegralInRange<int>(0, 7);
    lib.count = kind == 0   ? in.ConsumeIntegral<int32_t>()
                : kind == 1 ? in.ConsumeIntegralInRange<int32_t>(95, 130)
                            : in.ConsumeIntegralInRange<int32_t>(0, 12);
    // The table the library holds: as long as it says, or longer or shorter.
    const int32_t held =
        std::clamp<int32_t>(lib.count, 0, 140) + in.ConsumeIntegralInRange<int32_t>(-2, 2) + 1;
    uint32_t sector = in.ConsumeIntegralInRange<uint32_t>(0, 400);
    for (int32_t k = 0; k < std::max(held, 0); ++k) {
        TTocEntry e{};
        switch (in.ConsumeIntegralInRange<int>(0, 9)) {
            case 0:  // any value at all
                sector = in.ConsumeIntegral<uint32_t>();
                break;
            case 1:  // backwards or standing still
                sector -= in.ConsumeIntegralInRange<uint32_t>(0, 300);
                break;
            case 2:  // a session gap
                sector += kSessionGapSectors + in.ConsumeIntegralInRange<uint32_t>(0, 200);
                break;
            case 3:  // near the top of the signed range
                sector = uint32_t(INT32_MAX) - in.ConsumeIntegralInRange<uint32_t>(0, 3000);
                break;
            default:  // a track of up to 20 minutes
                sector += in.ConsumeIntegralInRange<uint32_t>(1, 90000);
                break;
        }
        e.dwStartSector = sector;
        e.btFlag = in.ConsumeBool() ? 4 : in.ConsumeIntegral<uint8_t>();
        e.btTrackNumber = in.ConsumeIntegral<uint8_t>();
        e.btSession = in.ConsumeIntegralInRange<uint8_t>(0, 3);
        lib.entries.push_back(e);
        lib.entryFails.push_back(in.ConsumeIntegralInRange<int>(0, 63) == 0);
    }
    lib.mciOpen = in.ConsumeBool();
    lib.mciFailsAt =
        in.ConsumeIntegralInRange<int>(0, 7) == 0 ? in.ConsumeIntegralInRange<int>(1, 4) : 0;
    lib.mciTracks = in.ConsumeIntegralInRange<int>(0, 3) == 0 ? in.ConsumeIntegral<uint32_t>()
                                                              : uint32_t(std::max(lib.count, 0));
    lib.mciStart = in.ConsumeIntegral<uint32_t>();
    lib.mciLength = in.ConsumeIntegral<uint32_t>();
}

// The table as the library reports it is usable: a track count of 1..100, every entry
// and the lead-out there, starts rising strictly and within the signed range.
bool consistent() {
    const int32_t n = lib.count;
    if (!lib.ready || lib.readToc != 0 || n < 1 || n > kMaxTracks) return false;
    for (int32_t k = 0; k <= n; ++k) {
        if (size_t(k) >= lib.entries.size() || lib.entryFails[size_t(k)]) return false;
        if (lib.entries[size_t(k)].dwStartSector > uint32_t(INT32_MAX)) return false;
        if (k > 0 &&
            lib.entries[size_t(k)].dwStartSector <= lib.entries[size_t(k - 1)].dwStartSector)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    decode(in);

    // Two sessions over the same library, one with its MCI device open and one without,
    // set up once while the library answers every MCI call.
    static TCDSession sessions[2];
    static bool bound = false;
    if (!bound) {
        const Library answers = lib;
        lib = Library{};
        CDRipFunctions f;
        f.Init = init;
        f.GetNumCDROM = numDrives;
        f.IsUnitReady = ready;
        f.ReadToc = readToc;
        f.GetNumTocEntries = numEntries;
        f.GetTocEntry2 = tocEntry;
        for (TCDSession& s : sessions) {
            s.SetMciSend(mciSend);
            s.BindFunctions(f);
        }
        sessions[1].OpenCDAudioDevice();
        CHECK(sessions[1].MciDeviceOpen() && !sessions[0].MciDeviceOpen());
        lib = answers;
        bound = true;
    }
    TCDSession& session = sessions[lib.mciOpen ? 1 : 0];

    // A record on the heap with guard bytes on both sides: a write outside it shows.
    constexpr size_t kGuard = 64;
    std::vector<uint8_t> block(sizeof(TDiscInfo) + 2 * kGuard, 0xA5);
    auto* info = new (block.data() + kGuard) TDiscInfo();
    std::memset(static_cast<void*>(info), 0x5A, sizeof(TDiscInfo));

    const int32_t rc = session.ReadDiscInfo(*info);
    for (size_t i = 0; i < kGuard; ++i)
        CHECK(block[i] == 0xA5 && block[block.size() - 1 - i] == 0xA5);

    const bool good = consistent();
    CHECK(rc == 0 || rc == 1 || rc == 6);
    CHECK((rc == 6) == !lib.ready);
    CHECK((rc == 0) == good);
    if (rc != 0) {
        CHECK(info->TrackCount == 0);
        return 0;
    }

    const int32_t n = lib.count;
    CHECK(info->TrackCount == n);
    CHECK(info->FirstTrack == lib.entries[0].btTrackNumber);
    CHECK(info->LastTrack == lib.entries[size_t(n - 1)].btTrackNumber);
    CHECK(info->LeadOut == SectorToMsf(int32_t(lib.entries[size_t(n)].dwStartSector)));
    bool anyAudio = false, anyData = false;
    int64_t audioSectors = 0;
    for (int32_t k = 1; k <= n; ++k) {
        const TTrackEntry& e = info->Entry(k);
        const TTocEntry& t = lib.entries[size_t(k - 1)];
        const uint32_t room = lib.entries[size_t(k)].dwStartSector - t.dwStartSector;
        CHECK(e.StartSector == t.dwStartSector);
        CHECK(e.TrackNumber == t.btTrackNumber);
        CHECK(e.Audio == ((t.btFlag & 4) ? 0 : 1));
        // Never negative, never past the next entry; a gap only before a later-session
        // data track.
        CHECK(e.LengthSectors >= 1 && e.LengthSectors <= room);
        if (e.LengthSectors != room)
            CHECK(e.Audio == 1 && k < n && room - e.LengthSectors == kSessionGapSectors);
        CHECK(e.Start == SectorToMsf(int32_t(t.dwStartSector)));
        // The MCI figure replaces the length of the track it names, and only that; a
        // device that told the count but failed on the length gives 0.
        const bool counted = lib.mciOpen && lib.mciFailsAt != 1;
        const bool mciEntry = counted && lib.mciTracks == uint32_t(k);
        const uint32_t mciLength = lib.mciFailsAt == 0 ? MciMsfToPacked(lib.mciLength) : 0;
        CHECK(e.Length == (mciEntry ? mciLength : FramesToMsf(int32_t(e.LengthSectors))));
        if (e.Audio == 1) {
            anyAudio = true;
            audioSectors += e.LengthSectors;
        } else {
            anyData = true;
        }
    }
    CHECK(info->DiscType == (anyAudio && anyData ? 2 : anyAudio ? 1 : 0));
    CHECK(info->DiscEnd == AddMsf(info->Entry(n).Start, info->Entry(n).Length));
    if (info->DiscType != 0) CHECK(info->AudioLength == FramesToMsf(int32_t(audioSectors)));
    return 0;
}
