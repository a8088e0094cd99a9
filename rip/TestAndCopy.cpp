#include "TestAndCopy.h"

#include "SuspiciousChunks.h"
#include "WaveRipper.h"

namespace Rip {

bool TTestAndCopy::Test(const CDRipIntf::TDiscInfo& disc, int n, TBatchRecord* record) {
    test_.reset();
    testSuspicious_.clear();
    if (!on_) return true;
    if (control_.Cancelled()) return false;
    // The read a verify makes: the copy reads the track the same way, through the same
    // library calls and the same drive parameters, so the two differ only by the drive.
    TWaveRipper reader(window_, control_, session_);
    reader.SetReading(TWaveRipper::TReading::Test);
    reader.RipChunk(disc, static_cast<uint8_t>(n));
    session_.CR_CloseRipper();
    test_ = reader.LastChecksum().Sums();
    testSuspicious_ = reader.LastSuspicious();
    // A disc gone in the test read ends the batch there, whether or not the window's
    // notice of it has come yet: the copy would find no disc.
    const bool removed = reader.LastDiscRemoved() || control_.DiscRemoved();
    if (!control_.Cancelled() && !removed) return true;
    if (record) {
        record->Add(n, QString(), TTrackRecord::TEnd::Cancelled, test_, disc, true, removed);
        record->Tracks.back().Suspicious = testSuspicious_;
    }
    test_.reset();
    testSuspicious_.clear();
    return false;
}

void TTestAndCopy::Copied(TBatchRecord* record, const std::vector<uint32_t>& copySuspicious) {
    if (record && !record->Tracks.empty()) {
        TTrackRecord& track = record->Tracks.back();
        track.Test = test_;
        track.Suspicious = MergePositions(testSuspicious_, copySuspicious);
    }
    test_.reset();
    testSuspicious_.clear();
}

}  // namespace Rip
