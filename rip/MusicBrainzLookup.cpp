#include "MusicBrainzLookup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>
#include <QTimer>
#include <algorithm>

#include "DatabaseRequest.h"
#include "Maker.h"

#ifndef SONVALE_VERSION
#error "SONVALE_VERSION names the program's version in the User-Agent"
#endif

namespace Rip {

namespace {
constexpr const char* kDefaultBase = "https://musicbrainz.org";
// The database's rule for programs: on average no more than one request a second.
constexpr qint64 kRequestSpacingMs = 1000;

TMusicBrainzResult failed(const QString& reason) {
    TMusicBrainzResult r;
    r.Reason = reason;
    return r;
}

TMusicBrainzResult notFound() {
    TMusicBrainzResult r;
    r.Kind = TMusicBrainzResult::TKind::NotFound;
    return r;
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

TMusicBrainzResult resultOf(QNetworkReply& reply, const QString& discId) {
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 404) return notFound();
    if (status == 503 && reply.error() != QNetworkReply::OperationCanceledError)
        return failed(QStringLiteral("the database is busy, try again later"));
    if (const QString failure = ReplyFailure(reply); !failure.isNull()) return failed(failure);
    auto releases = ParseMusicBrainzReleases(reply.readAll(), discId);
    if (!releases) return failed(QStringLiteral("the answer was not the database's"));
    if (releases->empty()) return notFound();
    TMusicBrainzResult r;
    r.Kind = TMusicBrainzResult::TKind::Found;
    r.Releases = std::move(*releases);
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

TMusicBrainzLookup::TMusicBrainzLookup(QString base, int timeoutMs)
    : base_(std::move(base)), timeoutMs_(timeoutMs) {
    clock_.start();
}

TMusicBrainzLookup::~TMusicBrainzLookup() {
    DropReplies(net_);
}

QString TMusicBrainzLookup::DefaultBase() {
    return DatabaseBase("SONVALE_MUSICBRAINZ_URL", kDefaultBase);
}

QUrl TMusicBrainzLookup::UrlFor(const QString& base, const std::string& discId) {
    return QUrl(WithoutTrailingSlashes(base) + QStringLiteral("/ws/2/discid/") +
                QString::fromStdString(discId) +
                QStringLiteral("?inc=recordings+artist-credits&fmt=json"));
}

QString TMusicBrainzLookup::UserAgent() {
    return QStringLiteral("Sonvale/%1 ( %2 )")
        .arg(QStringLiteral(SONVALE_VERSION), QString::fromLatin1(kMakerWebAddress));
}

void TMusicBrainzLookup::Look(const CDRipIntf::TDiscIds& ids,
                              std::function<void(const TMusicBrainzResult&)> done) {
    if (!ids.Valid || ids.MusicBrainz.empty()) {
        done(failed(QStringLiteral("the disc has no audio track")));
        return;
    }
    if (!answers_.Look(ids.MusicBrainz, std::move(done))) return;

    // Each request takes the next free second; one that has to wait goes on a timer, so
    // the window goes on meanwhile.
    const qint64 now = clock_.elapsed();
    const qint64 at = std::max(now, nextRequestMs_);
    nextRequestMs_ = at + kRequestSpacingMs;
    if (at == now) {
        send(ids.MusicBrainz);
        return;
    }
    QTimer::singleShot(int(at - now), &net_, [this, discId = ids.MusicBrainz] { send(discId); });
}

void TMusicBrainzLookup::send(const std::string& discId) {
    QNetworkRequest request(UrlFor(base_, discId));
    request.setTransferTimeout(timeoutMs_);
    request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent());
    request.setRawHeader("Accept", "application/json");
    QNetworkReply* reply = net_.get(request);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, discId] {
        reply->deleteLater();
        TMusicBrainzResult result = resultOf(*reply, QString::fromStdString(discId));
        // A failed lookup is asked again next time; a disc the database does not know is not.
        const bool keep = result.Kind != TMusicBrainzResult::TKind::Failed;
        answers_.Answer(discId, std::move(result), keep);
    });
}

void TMusicBrainzLookup::Forget() {
    answers_.Forget();
}

}  // namespace Rip
