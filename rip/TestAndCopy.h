// Test & Copy: every track a batch writes a file for is read twice, first without writing
// anything (the test read), then as the copy that writes the file, so that the report can
// say whether the drive gave the same audio both times. The batches that write files share
// it; a verify batch reads each track once.
#pragma once

#include <optional>
#include <vector>

#include "CDSession.h"
#include "RipControl.h"
#include "RipReport.h"
#include "RipWindow.h"
#include "TrackSums.h"

namespace Rip {

class TTestAndCopy {
public:
    // Reads through session, telling window its progress; a cancel of control ends a read.
    // on: the batch plan's Test & Copy; off, the batch reads each track once, as ever.
    TTestAndCopy(TRipWindow& window, TRipControl& control, CDRipIntf::TCDSession& session, bool on)
        : window_(window), control_(control), session_(session), on_(on) {}

    // Before the copy of audio track n: its test read, when on ("Testing Track N : P%
    // Done."). False when a cancel came before or during it, or the disc went: no file is
    // named or made for the track, and the batch ends as at any cancel; a track whose test
    // read had begun goes into record (when given), cancelled or removed, without a file.
    // The library's ripping process is closed again whatever happened.
    bool Test(const CDRipIntf::TDiscInfo& disc, int n, TBatchRecord* record);

    // After the batch added the copy to record (when given) as its last track: puts the
    // track's test read beside it, and the suspicious positions of both reads.
    void Copied(TBatchRecord* record, const std::vector<uint32_t>& copySuspicious);

private:
    TRipWindow& window_;
    TRipControl& control_;
    CDRipIntf::TCDSession& session_;
    const bool on_;
    // The running track's test read, until its copy has been recorded.
    std::optional<TTrackSums> test_;
    std::vector<uint32_t> testSuspicious_;
};

}  // namespace Rip
