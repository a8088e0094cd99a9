#include "AccurateRipLookup.h"

#include <QNetworkReply>
#include <QNetworkRequest>

#include "DatabaseRequest.h"

namespace Rip {

namespace {
constexpr const char* kDefaultBase = "http://www.accuraterip.com/accuraterip";

TAccurateRipResult notChecked(const QString& reason) {
    TAccurateRipResult r;
    r.Reason = reason;
    return r;
}

TAccurateRipResult resultOf(QNetworkReply& reply) {
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 404) {
        TAccurateRipResult r;
        r.Kind = TAccurateRipResult::TKind::NotInDatabase;
        return r;
    }
    if (const QString failure = ReplyFailure(reply); !failure.isNull()) return notChecked(failure);
    const QByteArray body = reply.readAll();
    auto blocks = ParseAccurateRipAnswer(std::string(body.constData(), size_t(body.size())));
    if (!blocks) return notChecked(QStringLiteral("the answer was not the database's"));
    TAccurateRipResult r;
    r.Kind = TAccurateRipResult::TKind::Found;
    r.Blocks = std::move(*blocks);
    return r;
}
}  // namespace

TAccurateRipLookup::TAccurateRipLookup(QString base, int timeoutMs)
    : base_(std::move(base)), timeoutMs_(timeoutMs) {}

TAccurateRipLookup::~TAccurateRipLookup() {
    DropReplies(net_);
}

QString TAccurateRipLookup::DefaultBase() {
    return DatabaseBase("SONVALE_ACCURATERIP_URL", kDefaultBase);
}

QUrl TAccurateRipLookup::UrlFor(const QString& base, const CDRipIntf::TDiscIds& ids) {
    const QString id1 = QStringLiteral("%1").arg(ids.AccurateRipId1, 8, 16, QLatin1Char('0'));
    QString path = WithoutTrailingSlashes(base);
    path += QLatin1Char('/') + id1.right(1) + QLatin1Char('/') + id1.mid(6, 1) + QLatin1Char('/') +
            id1.mid(5, 1) + QLatin1Char('/') + QString::fromStdString(ids.AccurateRip) +
            QStringLiteral(".bin");
    return QUrl(path);
}

void TAccurateRipLookup::Look(const CDRipIntf::TDiscIds& ids,
                              std::function<void(const TAccurateRipResult&)> done) {
    if (!ids.Valid) {
        done(notChecked(QStringLiteral("the disc has no audio track")));
        return;
    }
    if (!answers_.Look(ids.AccurateRip, std::move(done))) return;

    QNetworkReply* reply =
        net_.get(DatabaseRequest(UrlFor(base_, ids), timeoutMs_, QStringLiteral("Sonvale"), tls_));
    LimitReply(*reply);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, name = ids.AccurateRip] {
        reply->deleteLater();
        TAccurateRipResult result = resultOf(*reply);
        // A failed lookup is asked again next time; a disc not in the database is not.
        const bool keep = result.Kind != TAccurateRipResult::TKind::NotChecked;
        answers_.Answer(name, std::move(result), keep);
    });
}

void TAccurateRipLookup::TrustOnly(const QList<QSslCertificate>& authorities) {
    tls_.setCaCertificates(authorities);
    // A connection made before keeps the authorities it was made with.
    net_.clearConnectionCache();
}

void TAccurateRipLookup::Forget(const CDRipIntf::TDiscIds& ids) {
    answers_.Forget(ids.AccurateRip);
}

}  // namespace Rip
