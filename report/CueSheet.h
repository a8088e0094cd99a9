// A cue sheet for a disc a batch ripped whole, one file per audio track, so that players
// can play the files as the disc and burners can write it again.
#pragma once

#include <QString>

#include "RipReport.h"

namespace Rip {

// The sheet, UTF-8 text; null unless every audio track of the batch's disc was read to its
// end into a file of the batch's. Each file holds its track from INDEX 01 up to the next
// track's start, gap included, so each starts at 00:00:00. Audio before the first track (a
// hidden track) is in no file: it becomes a PREGAP of that length, which keeps the tracks'
// places on the disc. Data tracks are left out.
QString FormatCueSheet(const TBatchRecord& batch);

// Writes bytes to path whole, replacing what an earlier batch left there (a sheet, a
// cover); false, and no file or the earlier one left, when it cannot.
bool WriteWholeFile(const QString& path, const QByteArray& bytes);

}  // namespace Rip
