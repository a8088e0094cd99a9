#include "DiscNames.h"

#include <algorithm>

#include "CDSession.h"
#include "cdrip3.h"

namespace Rip {

bool TDiscNames::Empty() const {
    return Album.isEmpty() && Artist.isEmpty() &&
           std::all_of(Titles.begin(), Titles.end(), [](const QString& t) { return t.isEmpty(); });
}

namespace {
QString at(const std::vector<QString>& texts, int n) {
    if (n < 1 || n > static_cast<int>(texts.size())) return {};
    return texts[static_cast<size_t>(n - 1)];
}
}  // namespace

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

}  // namespace Rip
