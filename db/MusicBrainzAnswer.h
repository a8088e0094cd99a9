// What the MusicBrainz database answers for a disc id, read into the releases that hold the
// disc. Bytes in, releases out: QtCore only, so the reader can be fed anything.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace Rip {

struct TMusicBrainzTrack {
    int Position = 0;  // on its medium, from 1 to 99
    QString Title;
    QString Artist;
    int LengthMs = 0;  // 0: not known
};

// A release as far as our disc goes: the one medium of it that is this disc.
struct TMusicBrainzRelease {
    QString Id;
    QString Title;
    QString Artist;
    QString Date;     // as the database has it: "1999", "1999-03" or "1999-03-22"
    QString Country;  // e.g. "GB", "XE"
    QString Format;   // the medium's, e.g. "CD"
    int MediumPosition = 1;
    int Media = 1;                          // how many the release has
    std::vector<TMusicBrainzTrack> Tracks;  // in position order, one per position

    // "Artist – Title (date, country, format)", for choosing between releases; empty
    // parts are left out.
    QString Label() const;
};

// The releases of a disc-id answer that hold the disc discId, each cut down to that
// medium. Empty: none holds it. nullopt: the answer is not the database's (not JSON, or
// no list of releases). Whoever sent the answer, its texts come out as one line each of
// whole characters (no control characters, line breaks or halves of surrogate pairs), and
// its numbers within the ranges above.
std::optional<std::vector<TMusicBrainzRelease>> ParseMusicBrainzReleases(const QByteArray& json,
                                                                         const QString& discId);

}  // namespace Rip
