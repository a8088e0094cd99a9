// The batches of the rip commands, from the command's checks to the report the batch
// leaves, one batch at a time.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "AccurateRipLookup.h"
#include "RipJob.h"
#include "RipWindow.h"

namespace Rip {

// What a rip command takes of the listed disc, at the moment of the command.
struct TBatchRequest {
    // Whether the listed disc may be ripped; when not, it has said why in the status line.
    std::function<bool()> DiscReady;
    CDRipIntf::TDiscInfo Disc;  // as listed
    TDiscNames Names;
    // Each track's own artist goes in its tags (see TBatchPlan).
    bool TrackArtists = false;
    // The batches that write files read each track twice (see TBatchPlan).
    bool TestAndCopy = false;
    bool FullTags = false;  // MP3 and Ogg files get full tags and ReplayGain
    TCoverArt Art;          // the release's front cover, when one came
};

// Made and used on the window's thread. The AccurateRip database is asked as a batch
// starts, and the batch's report waits for its answer.
class TBatchLife {
public:
    struct TEvents {
        std::function<void()> Started;  // a batch is about to run
        std::function<void()> Ended;    // it has, and the window has taken all it said
    };
    // window, session and encoders outlive the object. accurateRip: the database's address.
    TBatchLife(TBatchWindow& window, CDRipIntf::TCDSession& session, TEncoders& encoders,
               TEvents events = {}, QString accurateRip = TAccurateRipLookup::DefaultBase());
    // Ends a running batch and writes the reports still waiting.
    ~TBatchLife();
    TBatchLife(const TBatchLife&) = delete;
    TBatchLife& operator=(const TBatchLife&) = delete;

    // Makes each batch's control; null: the batch's own. Tests record the pauses with it.
    std::function<std::unique_ptr<TRipControl>()> MakeRipControl;

    // A rip command: its checks, in the order that command has always made them, then its
    // batch; or nothing after saying why.
    void Rip(TRipFormat format, const TBatchRequest& request);
    // "Detect Drive Read Offset" for the listed disc, as a batch from the command on: the
    // database is asked for the disc unless it has answered already, then the drive is read
    // on a launcher thread. found runs on this thread with the offset found, after Ended;
    // whatever else came of it has been said.
    void DetectOffset(const TBatchRequest& request, std::function<void(int)> found);
    // The cancel button.
    void Cancel();
    // From the rip command that started it until its launcher thread has ended (a detection
    // from its command, while the database is asked too).
    bool Running() const { return job_ != nullptr || detectWait_.has_value(); }
    // Cancels the running batch, if any, and gives the window what the batch says until
    // its thread has ended. For where the event loop no longer runs (the end of the
    // program, a test's end): the window's handlers cancel and wait for Ended instead.
    void EndBatch();
    // Reports still waiting for the database are written without it.
    void FlushReports();

    // The active drive's disc went: the batch ends with its running track, "not checked".
    void CancelForRemoval();
    // The disc went: its next batch asks the database again.
    void ForgetDisc(const CDRipIntf::TDiscIds& ids) { accurateRip_.Forget(ids); }

private:
    // The rip commands' first check: the current line is selected; else asks to select
    // tracks for the command ("Rip", "Verify").
    bool selectionReady(const QString& command);
    // The library is loaded; else says so.
    bool libraryReady();
    // The checks of the commands that read without writing files (a verify, a detection):
    // lines listed, the library loaded, the disc ready; else says why.
    bool readyToRead(const TBatchRequest& request);
    std::optional<TBatchPlan> plan(TRipFormat format, const TBatchRequest& request);
    void start(TRipFormat format, TBatchPlan plan);
    // The batch's thread starts with record; announce: Started is told first.
    void launch(TRipFormat format, TBatchPlan plan, TBatchRecord record, bool announce);
    // The database answered for the disc whose offset is to be detected.
    void detectAnswered(const TAccurateRipResult& database);
    // A detection ends before its batch started, status (unless null) said.
    void endDetectWait(const QString& status);
    void ended();
    // The batch's report goes out once the database has answered for its disc.
    void report(TBatchRecord record, bool sayResult);
    void write(const TBatchRecord& record, const TAccurateRipResult& database, bool sayResult);

    TBatchWindow& window_;
    CDRipIntf::TCDSession& session_;
    TEncoders& encoders_;
    TEvents events_;
    std::unique_ptr<TRipJob> job_;  // the running batch
    // A detection waiting for the database's answer, by the number of its command.
    struct TDetectWait {
        CDRipIntf::TDiscInfo Disc;
        CDRipIntf::TDiscIds Ids;
        int Number = 0;
    };
    std::optional<TDetectWait> detectWait_;
    int detectCommands_ = 0;
    std::function<void(int)> offsetFound_;  // the running detection's
    bool removedDuringBatch_ = false;       // its disc went while it ran
    TAccurateRipLookup accurateRip_;
    // Batches that ended before the database answered for their disc, by number.
    std::map<int, TBatchRecord> waitingReports_;
    int nextReport_ = 0;
};

}  // namespace Rip
