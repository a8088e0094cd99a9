#include "ScriptedCDRip.h"

#include <cerrno>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

using namespace CDRipIntf;

namespace {
ScriptedCDRip* g = nullptr;
ScriptedCDRip fallback;
ScriptedCDRip& s() {
    return g ? *g : fallback;
}
// A batch calls in from its launcher thread while the window's thread may ask too.
std::unique_lock<std::recursive_mutex> lock() {
    return std::unique_lock<std::recursive_mutex>(s().mutex);
}
void note(const char* call) {
    s().calls.emplace_back(call);
}

int32_t fInit(const char*) {
    auto held = lock();
    note("Init");
    return s().initResult;
}
int32_t fGetNum() {
    auto held = lock();
    return static_cast<int32_t>(s().drives.size());
}
int32_t fGetActive() {
    auto held = lock();
    return s().active;
}
void fSetActive(int32_t i) {
    auto held = lock();
    note("SetActiveCDROM");
    if (i >= 0 && i < fGetNum()) s().active = i;
}
const char* fName(int32_t i) {
    auto held = lock();
    if (i < 0 || i >= fGetNum()) return "";
    return s().drives[static_cast<size_t>(i)].name.c_str();
}
int32_t fReady() {
    auto held = lock();
    return s().drives.empty() ? 0 : s().Active().ready;
}
int32_t fReadToc() {
    auto held = lock();
    note("ReadToc");
    if (s().drives.empty() || !s().Active().ready) return CDRIP3_ERROR;
    return s().Active().readTocResult;
}
int32_t fNumToc() {
    auto held = lock();
    if (s().tocCountOverride >= 0) return s().tocCountOverride;
    return s().drives.empty() ? 0 : static_cast<int32_t>(s().Active().tracks.size());
}
int32_t fTocEntry(int32_t index, TTocEntry* e) {
    auto held = lock();
    if (!e || s().drives.empty()) return CDRIP3_ERROR;
    const auto& d = s().Active();
    *e = TTocEntry{};
    const auto n = static_cast<int32_t>(d.tracks.size());
    if (index == n) {
        e->dwStartSector = d.leadOut;
        e->btTrackNumber = 0xAA;
        return 0;
    }
    if (index < 0 || index > n) return CDRIP3_ERROR;
    const auto& t = d.tracks[static_cast<size_t>(index)];
    e->dwStartSector = t.start;
    e->btFlag = t.data ? 4 : 0;
    e->btTrackNumber = t.number ? t.number : static_cast<uint8_t>(index + 1);
    e->btSession = t.session;
    return 0;
}
int32_t fGetParams(TDriveParams* p) {
    auto held = lock();
    note("GetCDROMParameters");
    if (s().getParamsResult != 0) return s().getParamsResult;
    if (p) *p = s().params;
    return 0;
}
int32_t fSetParams(const TDriveParams* p) {
    auto held = lock();
    note("SetCDROMParameters");
    if (s().setParamsResult != 0) return s().setParamsResult;
    if (p) s().params = *p;
    return 0;
}
int32_t fOpenRipper(int32_t* size, int32_t first, int32_t last) {
    auto held = lock();
    note("OpenRipper");
    ScriptedRipper& r = s().ripper;
    r.first = first;
    r.last = last;
    if (r.openResult != 0) return r.openResult;
    if (!size) return CDRIP3_ERROR;
    *size = r.bufferSize;
    ++r.opens;
    r.open = true;
    r.next = 0;
    return 0;
}
int32_t fRipChunk(uint8_t* buffer, int32_t* bytes, int32_t* abort) {
    auto held = lock();
    note("RipChunk");
    ScriptedRipper& r = s().ripper;
    r.aborts.push_back(abort ? *abort : -1);
    if (bytes) *bytes = 0;
    if (!r.open) return CDRIP3_NO_RIPPER;
    if (r.next >= r.Script().size()) return CDRIP3_RIPPING_DONE;
    if (static_cast<int>(r.next) == r.holdAt) {
        // A drive that stalls: the call returns once the program asks it to abort, as the
        // library does, with nothing read.
        if (!abort) return CDRIP3_ERROR;
        r.held = true;
        held.unlock();
        while (std::atomic_ref<int32_t>(*abort).load() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        held.lock();
        r.held = false;
        return CDRIP3_RIPPING_DONE;
    }
    const ScriptedChunk& c = r.Script()[r.next];
    const size_t k = r.next++;
    if (bytes) *bytes = c.bytes;
    const int32_t fill = std::min(c.bytes, r.bufferSize);
    for (int32_t i = 0; buffer && i < fill; ++i)
        buffer[i] = ScriptedRipper::ChunkByte(k, static_cast<size_t>(i));
    return c.result;
}
int32_t fPercent() {
    auto held = lock();
    const ScriptedRipper& r = s().ripper;
    if (!r.open || r.next == 0) return 0;
    return r.Script()[r.next - 1].percent;
}
int32_t fCloseRipper() {
    auto held = lock();
    note("CloseRipper");
    ScriptedRipper& r = s().ripper;
    if (!r.open) return CDRIP3_NO_RIPPER;
    r.open = false;
    return r.closeResult;
}
int32_t fSave() {
    auto held = lock();
    note("SaveSettings");
    // As the library does: a failed save leaves why in errno.
    if (s().saveResult != 0) errno = s().saveErrno;
    return s().saveResult;
}
int32_t fGetReadOffset() {
    auto held = lock();
    return s().readOffset;
}
int32_t fSetReadOffset(int32_t samples) {
    auto held = lock();
    note("SetReadOffset");
    s().readOffset = samples;
    return 0;
}
const char* fCDText(int32_t track, int32_t field) {
    auto held = lock();
    if (s().drives.empty()) return "";
    const auto& text = s().Active().cdText;
    if (track < 0 || static_cast<size_t>(track) >= text.size() || field < 0 || field >= 5)
        return "";
    return text[static_cast<size_t>(track)][static_cast<size_t>(field)].c_str();
}
const char* fSettingsFile() {
    auto held = lock();
    return s().settingsFile.c_str();
}
void fStop() {
    auto held = lock();
    note("StopPlayTrack");
}
void fLock(int32_t) {
    auto held = lock();
    note("LockCD");
}
void fEject(int32_t open) {
    auto held = lock();
    note(open ? "EjectCD(1)" : "EjectCD(0)");
    if (!s().drives.empty()) s().Active().ready = open == 0;
}
}  // namespace

ScriptedCDRip& ScriptedCDRip::current() {
    return s();
}

std::vector<uint8_t> ScriptedRipper::ChunkBytes(size_t k) const {
    std::vector<uint8_t> out;
    const ScriptedChunk& c = Script().at(k);
    for (int32_t i = 0; i < std::min(c.bytes, bufferSize); ++i)
        out.push_back(ChunkByte(k, static_cast<size_t>(i)));
    return out;
}

int ScriptedCDRip::Count(const std::string& call) const {
    const std::lock_guard guard(mutex);
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

bool ScriptedCDRip::Holding() const {
    const std::lock_guard guard(mutex);
    return ripper.held;
}

void ScriptedCDRip::Install(TCDSession& session) {
    g = this;
    session.Finalize();
    session.Disc() = TDiscInfo{};
    session.Params() = TDriveParams{};
    CDRipFunctions f;
    f.Init = fInit;
    f.GetNumCDROM = fGetNum;
    f.GetActiveCDROM = fGetActive;
    f.SetActiveCDROM = fSetActive;
    f.GetCDROMIDByIndex = fName;
    f.IsUnitReady = fReady;
    f.ReadToc = fReadToc;
    f.GetNumTocEntries = fNumToc;
    f.GetTocEntry2 = fTocEntry;
    f.GetCDROMParameters = fGetParams;
    f.SetCDROMParameters = fSetParams;
    f.SaveSettings = fSave;
    f.GetReadOffset = fGetReadOffset;
    f.SetReadOffset = fSetReadOffset;
    f.GetSettingsFileName = fSettingsFile;
    f.GetCDText = fCDText;
    f.StopPlayTrack = fStop;
    f.LockCD = fLock;
    f.EjectCD = fEject;
    f.OpenRipper = fOpenRipper;
    f.RipChunk = fRipChunk;
    f.GetPercentCompleted = fPercent;
    f.CloseRipper = fCloseRipper;
    session.BindFunctions(f);
}

ScriptedDrive AudioDrive(const std::string& name, const std::vector<uint32_t>& lengths) {
    ScriptedDrive d;
    d.name = name;
    uint32_t at = 0;
    for (uint32_t len : lengths) {
        d.tracks.push_back(ScriptedTrack{at, false, 0, 1});
        at += len;
    }
    d.leadOut = at;
    return d;
}
