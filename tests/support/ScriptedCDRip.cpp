#include "ScriptedCDRip.h"

#include <algorithm>
#include <cstring>

using namespace CDRipIntf;

namespace {
ScriptedCDRip* g = nullptr;
ScriptedCDRip fallback;
ScriptedCDRip& s() {
    return g ? *g : fallback;
}
void note(const char* call) {
    s().calls.emplace_back(call);
}

int32_t fInit(const char*) {
    note("Init");
    return s().initResult;
}
int32_t fGetNum() {
    return static_cast<int32_t>(s().drives.size());
}
int32_t fGetActive() {
    return s().active;
}
void fSetActive(int32_t i) {
    note("SetActiveCDROM");
    if (i >= 0 && i < fGetNum()) s().active = i;
}
const char* fName(int32_t i) {
    if (i < 0 || i >= fGetNum()) return "";
    return s().drives[static_cast<size_t>(i)].name.c_str();
}
int32_t fReady() {
    return s().drives.empty() ? 0 : s().Active().ready;
}
int32_t fReadToc() {
    note("ReadToc");
    if (s().drives.empty() || !s().Active().ready) return CDRIP3_ERROR;
    return s().Active().readTocResult;
}
int32_t fNumToc() {
    if (s().tocCountOverride >= 0) return s().tocCountOverride;
    return s().drives.empty() ? 0 : static_cast<int32_t>(s().Active().tracks.size());
}
int32_t fTocEntry(int32_t index, TTocEntry* e) {
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
    note("GetCDROMParameters");
    if (s().getParamsResult != 0) return s().getParamsResult;
    if (p) *p = s().params;
    return 0;
}
int32_t fSetParams(const TDriveParams* p) {
    note("SetCDROMParameters");
    if (s().setParamsResult != 0) return s().setParamsResult;
    if (p) s().params = *p;
    return 0;
}
int32_t fOpenRipper(int32_t* size, int32_t first, int32_t last) {
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
    note("RipChunk");
    ScriptedRipper& r = s().ripper;
    r.aborts.push_back(abort ? *abort : -1);
    if (bytes) *bytes = 0;
    if (!r.open) return CDRIP3_NO_RIPPER;
    if (r.next >= r.Script().size()) return CDRIP3_RIPPING_DONE;
    const ScriptedChunk& c = r.Script()[r.next];
    const size_t k = r.next++;
    if (bytes) *bytes = c.bytes;
    const int32_t fill = std::min(c.bytes, r.bufferSize);
    for (int32_t i = 0; buffer && i < fill; ++i)
        buffer[i] = ScriptedRipper::ChunkByte(k, static_cast<size_t>(i));
    return c.result;
}
int32_t fPercent() {
    const ScriptedRipper& r = s().ripper;
    if (!r.open || r.next == 0) return 0;
    return r.Script()[r.next - 1].percent;
}
int32_t fCloseRipper() {
    note("CloseRipper");
    ScriptedRipper& r = s().ripper;
    if (!r.open) return CDRIP3_NO_RIPPER;
    r.open = false;
    return r.closeResult;
}
int32_t fSave() {
    note("SaveSettings");
    return s().saveResult;
}
const char* fSettingsFile() {
    return s().settingsFile.c_str();
}
void fStop() {
    note("StopPlayTrack");
}
void fLock(int32_t) {
    note("LockCD");
}
void fEject(int32_t open) {
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
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
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
    f.GetSettingsFileName = fSettingsFile;
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
