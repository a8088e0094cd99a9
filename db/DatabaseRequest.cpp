#include "DatabaseRequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace Rip {

QString DatabaseBase(const char* variable, const char* fallback) {
    const QString set = qEnvironmentVariable(variable);
    return WithoutTrailingSlashes(set.isEmpty() ? QString::fromLatin1(fallback) : set);
}

QString WithoutTrailingSlashes(QString base) {
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    return base;
}

QNetworkRequest DatabaseRequest(const QUrl& url, int timeoutMs, const QString& userAgent,
                                const QSslConfiguration& tls) {
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    request.setSslConfiguration(tls);
    return request;
}

namespace {
constexpr const char* kTooLarge = "sonvaleTooLarge";
}

void LimitReply(QNetworkReply& reply, qint64 mostBytes) {
    QNetworkReply* const r = &reply;
    QObject::connect(r, &QNetworkReply::downloadProgress, r,
                     [r, mostBytes](qint64 received, qint64 total) {
                         if (received <= mostBytes && total <= mostBytes) return;
                         if (r->property(kTooLarge).toBool()) return;
                         r->setProperty(kTooLarge, true);
                         r->abort();
                     });
}

QString ReplyFailure(const QNetworkReply& reply) {
    if (reply.property(kTooLarge).toBool()) return QStringLiteral("the answer was too large");
    if (reply.error() == QNetworkReply::OperationCanceledError)
        return QStringLiteral("no answer in time");
    if (reply.error() == QNetworkReply::NoError) return {};
    // Said apart from an unreachable database: a machine without the authorities'
    // certificates fails every lookup this way, and another address would not help.
    if (reply.error() == QNetworkReply::SslHandshakeFailedError)
        return QStringLiteral("the database's certificate could not be checked");
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status != 0 ? QStringLiteral("the database answered %1").arg(status)
                       : QStringLiteral("the database could not be reached");
}

void DropReplies(QNetworkAccessManager& net) {
    for (QNetworkReply* reply : net.findChildren<QNetworkReply*>()) {
        QObject::disconnect(reply, nullptr, nullptr, nullptr);
        reply->abort();
    }
}

}  // namespace Rip
