#include "DriveOffsetList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QSaveFile>
#include <QSslConfiguration>
#include <QStandardPaths>

#include "DatabaseRequest.h"

namespace Rip {

namespace {
std::optional<std::vector<TDriveOffsetEntry>> parse(const QByteArray& bytes) {
    return ParseDriveOffsets(std::string(bytes.constData(), size_t(bytes.size())));
}
}  // namespace

TDriveOffsetList::TDriveOffsetList(QString base, QString cacheFile, int timeoutMs, QObject* parent)
    : QObject(parent),
      base_(WithoutTrailingSlashes(std::move(base))),
      cacheFile_(std::move(cacheFile)),
      timeoutMs_(timeoutMs) {}

TDriveOffsetList::~TDriveOffsetList() {
    DropReplies(net_);
}

QString TDriveOffsetList::DefaultCacheFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Sonvale/DriveOffsets.bin");
}

QUrl TDriveOffsetList::UrlFor(const QString& base) {
    return QUrl(WithoutTrailingSlashes(base) + QStringLiteral("/DriveOffsets.bin"));
}

void TDriveOffsetList::Want() {
    if (fetching_) return;
    if (available_ || readCache()) {
        QMetaObject::invokeMethod(this, &TDriveOffsetList::Ready, Qt::QueuedConnection);
        return;
    }
    fetching_ = true;
    QNetworkReply* reply =
        net_.get(DatabaseRequest(UrlFor(base_), timeoutMs_, QStringLiteral("Sonvale"),
                                 QSslConfiguration::defaultConfiguration()));
    LimitReply(*reply);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        const QString failure = ReplyFailure(*reply);
        fetched(failure.isNull() ? reply->readAll() : QByteArray(), failure);
    });
}

bool TDriveOffsetList::readCache() {
    const QFileInfo info(cacheFile_);
    if (!info.isFile()) return false;
    const QDateTime stale = QDateTime::currentDateTime().addDays(-kMaxAgeDays);
    if (info.lastModified() < stale) return false;
    QFile file(cacheFile_);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // A cache that is not the list (cut short by a crash, say) is fetched anew.
    auto entries = parse(file.readAll());
    if (!entries) return false;
    entries_ = std::move(*entries);
    available_ = true;
    return true;
}

void TDriveOffsetList::fetched(const QByteArray& body, const QString& failure) {
    fetching_ = false;
    auto entries = failure.isNull() ? parse(body) : std::nullopt;
    if (!entries) {
        // The list in hand, if any, stays; nothing is cached, so the next want asks again.
        failure_ = failure.isNull() ? QStringLiteral("the list was not the database's") : failure;
        emit Failed(failure_);
        return;
    }
    failure_.clear();
    entries_ = std::move(*entries);
    available_ = true;
    // Whole or not at all: a cache cut short would be fetched again anyway. One that cannot
    // be written costs a fetch at the next start, nothing more.
    QDir().mkpath(QFileInfo(cacheFile_).absolutePath());
    QSaveFile file(cacheFile_);
    if (file.open(QIODevice::WriteOnly) && file.write(body) == body.size()) file.commit();
    emit Ready();
}

}  // namespace Rip
