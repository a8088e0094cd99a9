// The names of a disc's album, artist and tracks, as the disc's CD-Text or a names
// database gives them. Files are named after them, so they are made safe for that here.
#pragma once

#include <QString>
#include <vector>

namespace CDRipIntf {
class TCDSession;
}

namespace Rip {

struct TMusicBrainzRelease;

struct TDiscNames {
    QString Album;
    QString Artist;
    std::vector<QString> Titles;   // [n - 1] is track n's; empty: not known
    std::vector<QString> Artists;  // the same for each track's own artist (compilations)

    bool Empty() const;
    // Track n's title, or "" when it has none.
    QString Title(int n) const;
    // What track n's file is called after: its title, else "Track N".
    QString TrackName(int n) const;
    // Track n's own artist, or "" when it has none of its own.
    QString TrackArtist(int n) const;

    // A name from outside the program: a "/" in it would make a folder of part of the file
    // name, so it becomes "-"; spaces at the ends and line breaks go.
    static QString Clean(const QString& text);
    // The disc's CD-Text as the last table read found it, for its trackCount tracks.
    static TDiscNames FromCdText(CDRipIntf::TCDSession& session, int trackCount);
    // A release's names for a disc of trackCount tracks, each track by its position.
    static TDiscNames FromRelease(const TMusicBrainzRelease& release, int trackCount);
};

}  // namespace Rip
