#include "CoverArt.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "DatabaseRequest.h"
#include "MusicBrainzLookup.h"

namespace Rip {

namespace {
constexpr const char* kDefaultBase = "https://coverartarchive.org";
// The archive sends the file from another host, and that one may send it on once more.
constexpr int kMostRedirects = 5;
}  // namespace

TCoverArtResult ReadCoverArt(const QByteArray& bytes) {
    TCoverArtResult result;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format != "jpeg" && format != "png") {
        result.Status = QStringLiteral("Cover Art not Used - it is not a JPEG or PNG Image.");
        return result;
    }
    // A cut or broken file would be embedded in every file of the batch.
    if (reader.read().isNull()) {
        result.Status = QStringLiteral("Cover Art not Used - the image is broken.");
        return result;
    }
    const bool jpeg = format == "jpeg";
    result.Art = {bytes, jpeg ? QStringLiteral("image/jpeg") : QStringLiteral("image/png"),
                  jpeg ? QStringLiteral(".jpg") : QStringLiteral(".png")};
    return result;
}

TCoverArtLookup::TCoverArtLookup(QString base, int timeoutMs)
    : base_(std::move(base)), timeoutMs_(timeoutMs) {}

TCoverArtLookup::~TCoverArtLookup() {
    DropReplies(net_);
}

QString TCoverArtLookup::DefaultBase() {
    return DatabaseBase("SONVALE_COVERART_URL", kDefaultBase);
}

QUrl TCoverArtLookup::UrlFor(const QString& base, const QString& releaseId) {
    return QUrl(WithoutTrailingSlashes(base) + QStringLiteral("/release/") +
                QString::fromLatin1(QUrl::toPercentEncoding(releaseId)) +
                QStringLiteral("/front-500"));
}

void TCoverArtLookup::TrustOnly(const QList<QSslCertificate>& authorities) {
    tls_.setCaCertificates(authorities);
}

void TCoverArtLookup::Fetch(const QString& releaseId,
                            std::function<void(const TCoverArtResult&)> done) {
    QNetworkRequest request = DatabaseRequest(UrlFor(base_, releaseId), timeoutMs_,
                                              TMusicBrainzLookup::UserAgent(), tls_);
    // Never from HTTPS down to plain HTTP.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMostRedirects);
    QNetworkReply* reply = net_.get(request);
    LimitReply(*reply);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done = std::move(done)] {
        reply->deleteLater();
        TCoverArtResult result;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 404)
            result.Status = QStringLiteral("No Cover Art for this Release.");
        else if (const QString failure = ReplyFailure(*reply); !failure.isNull())
            result.Status = QStringLiteral("Cover Art not Fetched - ") + failure + QLatin1Char('.');
        else
            result = ReadCoverArt(reply->readAll());
        done(result);
    });
}

}  // namespace Rip
