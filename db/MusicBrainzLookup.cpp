#include "MusicBrainzLookup.h"

#include <QNetworkReply>
#include <QNetworkRequest>
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
    QNetworkRequest request = DatabaseRequest(UrlFor(base_, discId), timeoutMs_, UserAgent(), tls_);
    request.setRawHeader("Accept", "application/json");
    QNetworkReply* reply = net_.get(request);
    LimitReply(*reply);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, discId] {
        reply->deleteLater();
        TMusicBrainzResult result = resultOf(*reply, QString::fromStdString(discId));
        // A failed lookup is asked again next time; a disc the database does not know is not.
        const bool keep = result.Kind != TMusicBrainzResult::TKind::Failed;
        answers_.Answer(discId, std::move(result), keep);
    });
}

void TMusicBrainzLookup::TrustOnly(const QList<QSslCertificate>& authorities) {
    tls_.setCaCertificates(authorities);
    // A connection made before keeps the authorities it was made with.
    net_.clearConnectionCache();
}

void TMusicBrainzLookup::Forget(const CDRipIntf::TDiscIds& ids) {
    answers_.Forget(ids.MusicBrainz);
}

}  // namespace Rip
