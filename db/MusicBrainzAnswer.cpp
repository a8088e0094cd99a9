#include "MusicBrainzAnswer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <algorithm>

namespace Rip {

namespace {
// The highest track number a disc can have.
constexpr int kMaxTracks = 99;

// A text of the answer as one line of whole characters: control characters and line
// breaks become spaces, and half a surrogate pair (which JSON's escapes can make) the
// replacement character.
QString lineOf(const QString& text) {
    QString line = text;
    for (qsizetype i = 0; i < line.size(); ++i) {
        QChar& c = line[i];
        if (c.isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            c = QChar::ReplacementCharacter;
        } else if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                   c == QChar::ParagraphSeparator) {
            c = QLatin1Char(' ');
        }
    }
    return line;
}

QString textOf(const QJsonValue& value) {
    return lineOf(value.toString());
}

// The names of an artist credit, each followed by the words that join it to the next
// ("Artist A feat. Artist B").
QString artistOf(const QJsonValue& credit) {
    QString text;
    for (const QJsonValue& v : credit.toArray()) {
        const QJsonObject part = v.toObject();
        const QString artistName = part.value("artist").toObject().value("name").toString();
        text += part.value("name").toString(artistName) + part.value("joinphrase").toString();
    }
    return lineOf(text);
}

bool holdsDisc(const QJsonObject& medium, const QString& discId) {
    const QJsonArray discs = medium.value("discs").toArray();
    return std::any_of(discs.begin(), discs.end(), [&](const QJsonValue& disc) {
        return disc.toObject().value("id").toString() == discId;
    });
}

std::optional<TMusicBrainzRelease> releaseOf(const QJsonObject& release, const QString& discId) {
    const QJsonArray media = release.value("media").toArray();
    const auto ours = std::find_if(media.begin(), media.end(), [&](const QJsonValue& medium) {
        return holdsDisc(medium.toObject(), discId);
    });
    if (ours == media.end()) return std::nullopt;
    const QJsonObject medium = ours->toObject();

    TMusicBrainzRelease r;
    r.Id = textOf(release.value("id"));
    r.Title = textOf(release.value("title"));
    r.Artist = artistOf(release.value("artist-credit"));
    r.Date = textOf(release.value("date"));
    r.Country = textOf(release.value("country"));
    r.Format = textOf(medium.value("format"));
    // A medium without a number from 1 is numbered by its place in the list.
    const int place = int(ours - media.begin()) + 1;
    const int number = medium.value("position").toInt(place);
    r.MediumPosition = number >= 1 ? number : place;
    r.Media = int(media.size());
    for (const QJsonValue& v : medium.value("tracks").toArray()) {
        const QJsonObject track = v.toObject();
        const int position = track.value("position").toInt();
        if (position < 1 || position > kMaxTracks) continue;
        const QJsonValue credit = track.value("artist-credit");
        r.Tracks.push_back({position, textOf(track.value("title")),
                            credit.isArray() ? artistOf(credit) : r.Artist,
                            std::max(track.value("length").toInt(), 0)});
    }
    // One track per position: the first the answer gives.
    std::stable_sort(r.Tracks.begin(), r.Tracks.end(),
                     [](const auto& a, const auto& b) { return a.Position < b.Position; });
    r.Tracks.erase(
        std::unique(r.Tracks.begin(), r.Tracks.end(),
                    [](const auto& a, const auto& b) { return a.Position == b.Position; }),
        r.Tracks.end());
    return r;
}

}  // namespace

QString TMusicBrainzRelease::Label() const {
    QString label = Title;
    if (!Artist.isEmpty()) label = Artist + QStringLiteral(" \u2013 ") + Title;
    QStringList details;
    for (const QString& part : {Date, Country, Format})
        if (!part.isEmpty()) details << part;
    if (!details.isEmpty()) label += QStringLiteral(" (") + details.join(", ") + QLatin1Char(')');
    return label;
}

std::optional<std::vector<TMusicBrainzRelease>> ParseMusicBrainzReleases(const QByteArray& json,
                                                                         const QString& discId) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    const QJsonValue releases = doc.object().value("releases");
    if (!releases.isArray()) return std::nullopt;
    std::vector<TMusicBrainzRelease> found;
    for (const QJsonValue& v : releases.toArray())
        if (auto release = releaseOf(v.toObject(), discId)) found.push_back(std::move(*release));
    return found;
}

}  // namespace Rip
