#include "DiscNames.h"

#include <algorithm>

#include "CDSession.h"
#include "MusicBrainzLookup.h"
#include "cdrip3.h"

namespace Rip {

namespace {
bool allEmpty(const std::vector<QString>& texts) {
    return std::all_of(texts.begin(), texts.end(), [](const QString& t) { return t.isEmpty(); });
}

QString at(const std::vector<QString>& texts, int n) {
    if (n < 1 || n > static_cast<int>(texts.size())) return {};
    return texts[static_cast<size_t>(n - 1)];
}
}  // namespace

bool TDiscNames::Empty() const {
    return Album.isEmpty() && Artist.isEmpty() && allEmpty(Titles) && allEmpty(Artists);
}

QString TDiscNames::Title(int n) const {
    return at(Titles, n);
}

QString TDiscNames::TrackArtist(int n) const {
    return at(Artists, n);
}

QString TDiscNames::TrackName(int n) const {
    const QString title = Title(n);
    return title.isEmpty() ? QStringLiteral("Track ") + QString::number(n) : title;
}

QString TDiscNames::Clean(const QString& text) {
    QString clean = text;
    clean.replace(QLatin1Char('/'), QLatin1Char('-'));
    for (QChar& c : clean)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    return clean.simplified();
}

TDiscNames TDiscNames::FromCdText(CDRipIntf::TCDSession& session, int trackCount) {
    const auto text = [&session](int track, int32_t field) {
        return Clean(QString::fromStdString(session.CR_GetCDText(track, field)));
    };
    TDiscNames names;
    names.Album = text(0, CR_CDTEXT_TITLE);
    names.Artist = text(0, CR_CDTEXT_PERFORMER);
    for (int n = 1; n <= trackCount; ++n) {
        names.Titles.push_back(text(n, CR_CDTEXT_TITLE));
        names.Artists.push_back(text(n, CR_CDTEXT_PERFORMER));
    }
    return names;
}

TDiscNames TDiscNames::FromRelease(const TMusicBrainzRelease& release, int trackCount) {
    TDiscNames names;
    names.Album = Clean(release.Title);
    names.Artist = Clean(release.Artist);
    const auto tracks = static_cast<size_t>(std::max(trackCount, 0));
    names.Titles.resize(tracks);
    names.Artists.resize(tracks);
    for (const TMusicBrainzTrack& t : release.Tracks) {
        if (t.Position < 1 || t.Position > trackCount) continue;
        names.Titles[static_cast<size_t>(t.Position - 1)] = Clean(t.Title);
        names.Artists[static_cast<size_t>(t.Position - 1)] = Clean(t.Artist);
    }
    return names;
}

}  // namespace Rip
