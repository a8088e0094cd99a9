// What a batch did to each track and what the AccurateRip database says of it, and the
// report the window appends beside the files: "<directory>/<album>.log".
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "AccurateRipLookup.h"
#include "CDRipIntf.h"
#include "CoverArtImage.h"
#include "DiscIds.h"
#include "TrackSums.h"

namespace Rip {

// One track a batch began, filled in by the batch on its thread.
struct TTrackRecord {
    enum class TEnd {
        Whole,      // every sample read without a read error
        Errors,     // read to its end, but the drive reported errors on the way
        Cancelled,  // stopped by the user before its end
        Failed,     // stopped by an error (the drive, the file, the memory)
        NotAudio,   // a data track: nothing read
        Removed,    // cut short because the disc went
    };
    int Track = 0;     // track index N
    QString FileName;  // without the directory; empty when no file was made
    TEnd End = TEnd::Failed;
    uint32_t Crc32 = 0;
    uint32_t V1 = 0;
    uint32_t V2 = 0;
    // Test & Copy's first read, when the track had one before its copy (the sums above).
    std::optional<TTrackSums> Test;
    // Where the chunks of its reads (both, with Test & Copy) came with a jitter report or a
    // read error, in sectors from the track's start, ascending, each once.
    std::vector<uint32_t> Suspicious;

    // Both reads of Test & Copy were made and can be compared: the copy read on to the
    // track's end (errors or not), rather than being cancelled, cut short by the disc's
    // removal or stopped by a failure, which may have come before it read anything.
    bool ReadsCompared() const;
    bool ReadsAgree() const { return !Test || Test->Crc32 == Crc32; }

    // The ripper's sums. A track that delivered less than its length was cut short by the
    // disc's removal, by the cancel, or else lost audio on the way.
    void Take(const TTrackSums& sums, const CDRipIntf::TDiscInfo& disc, bool cancelled,
              bool removed = false);
};

// One batch: the window fills in where and from what it reads before it starts, the batch
// adds its tracks.
struct TBatchRecord {
    QString Action;     // "Rip to WAV", "Verify", ...
    QString Directory;  // the report goes to <Directory>/<Album>.log
    QString Album;
    QString Artist;  // the disc's, as the batch began
    // [n - 1]: track n's title and its own performer, as the batch named the files; empty
    // where there is none.
    std::vector<QString> Titles, Performers;
    // The cover the batch embedded in its files, saved beside the report; empty: none.
    TCoverArt Art;
    QString Drive;
    CDRipIntf::TDriveIdentity DriveIdentity{};  // as the drive gave it
    int ReadOffset = 0;                         // samples
    int ReadOffsetFrom = CDRipIntf::kOffsetFromNone;
    QString ParanoiaMode;  // as the batch read its drive parameters
    CDRipIntf::TDiscInfo Disc;
    CDRipIntf::TDiscIds Ids;
    QDateTime Started;
    std::vector<TTrackRecord> Tracks;
    int Selected = 0;        // the tracks the batch was to read
    bool Cancelled = false;  // the batch ended on a cancel
    // Every selected track was done and the batch ended with its "Completed" text: only
    // then may the database's summary take the status line's place.
    bool Completed = false;

    // The track as its batch ended it. sums: what was read of it, null when nothing was (a
    // data track); a track they find cut short is made Removed, Cancelled or Errors, see
    // Take.
    void Add(int track, QString fileName, TTrackRecord::TEnd end, std::optional<TTrackSums> sums,
             const CDRipIntf::TDiscInfo& disc, bool cancelled, bool removed = false);
};

// "accurately ripped (confidence 12)", "not accurate (3 results in the database)",
// "disc not in database" (also when none of the answer's blocks is filed under the disc's
// ids), "not checked (<reason>)", "not verifiable (ripped with errors)", "not verifiable
// (the test and copy reads differ)".
struct TTrackVerdict {
    bool Checked = false;  // the sums were compared with the database's
    bool Accurate = false;
    QString Text;
};
TTrackVerdict VerdictOf(const TTrackRecord& track, const TBatchRecord& batch,
                        const TAccurateRipResult& database);

// "AccurateRip: <a> of <t> track(s) accurately ripped." when the database answered with
// results for the disc, t counting the audio tracks read to their end; a null text
// otherwise, and after a cancel, whose word the status line keeps. It takes the status
// line's place only after a batch that Completed.
QString AccurateRipSummary(const TBatchRecord& batch, const TAccurateRipResult& database);

// The report's section for one batch, UTF-8 text, ending in a blank line.
QString FormatRipReport(const TBatchRecord& batch, const TAccurateRipResult& database,
                        const QString& programVersion, const QDateTime& finished);

// Where a read offset came from (CDRipIntf::kOffsetFrom*), in the report's words: "the user",
// "AccurateRip's drive list", "detection on this disc" or "nothing (0)".
QString ReadOffsetSourceText(int from);

// How the drive was read: "paranoia, flags 0xdf" or "plain reads".
QString ReadModeText(const CDRipIntf::TDriveParams& params);

// Appends text to the file at path, made if need be; never overwrites. Whole or not at all:
// when it cannot be written whole (a full disk), the file is put back as it was, and a file
// this call made is removed. False then, or when the file cannot be opened.
bool AppendRipReport(const QString& path, const QString& text);

}  // namespace Rip
