#include "MusicBrainzAnswer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <algorithm>

namespace Rip {

namespace {
// The names of an artist credit, each followed by the words that join it to the next
// ("Artist A feat. Artist B").
QString artistOf(const QJsonValue& credit) {
    QString text;
    for (const QJsonValue& v : credit.toArray()) {
        const QJsonObject part = v.toObject();
        const QString artistName = part.value("artist").toObject().value("name").toString();
        text += part.value("name").toString(artistName) + part.value("joinphrase").toString();
    }
    return text;
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
    r.Id = release.value("id").toString();
    r.Title = release.value("title").toString();
    r.Artist = artistOf(release.value("artist-credit"));
    r.Date = release.value("date").toString();
    r.Country = release.value("country").toString();
    r.Format = medium.value("format").toString();
    r.MediumPosition = medium.value("position").toInt(1);
    r.Media = int(media.size());
    for (const QJsonValue& v : medium.value("tracks").toArray()) {
        const QJsonObject track = v.toObject();
        const QJsonValue credit = track.value("artist-credit");
        r.Tracks.push_back({track.value("position").toInt(), track.value("title").toString(),
                            credit.isArray() ? artistOf(credit) : r.Artist,
                            track.value("length").toInt()});
    }
    std::stable_sort(r.Tracks.begin(), r.Tracks.end(),
                     [](const auto& a, const auto& b) { return a.Position < b.Position; });
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
