// AccurateRip's list of drive offsets as the program keeps it: fetched in the background of
// the thread that asks (the window's) at most once in 30 days, and kept in the user's cache
// folder meanwhile. The cache file's age decides whether it is fetched anew.
#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>
#include <vector>

#include "DriveOffsets.h"

namespace Rip {

class TDriveOffsetList : public QObject {
    Q_OBJECT
public:
    // base: the AccurateRip database's address; cacheFile: where the list is kept. Tests
    // point both at folders and servers of their own.
    explicit TDriveOffsetList(QString base, QString cacheFile = DefaultCacheFile(),
                              int timeoutMs = 10000, QObject* parent = nullptr);
    // A fetch still out is dropped: no signal comes.
    ~TDriveOffsetList() override;

    static constexpr int kMaxAgeDays = 30;
    // $XDG_CACHE_HOME/Sonvale/DriveOffsets.bin, $HOME/.cache/... when it is unset.
    static QString DefaultCacheFile();
    // <base>/DriveOffsets.bin
    static QUrl UrlFor(const QString& base);

    // Makes the list available: at once when it is in already, else from the cache file when
    // it is younger than kMaxAgeDays and whole, else from the database. Either way the answer
    // comes later, through Ready or Failed on this object's thread; a call while a fetch is
    // out waits for it.
    void Want();
    // The list's entries; empty until Ready.
    const std::vector<TDriveOffsetEntry>& Entries() const { return entries_; }
    bool Available() const { return available_; }
    // Why the last fetch brought no list ("the database answered 404", "no answer in time",
    // "the list was not the database's"); null when it did, or none failed.
    QString Failure() const { return failure_; }

signals:
    void Ready();
    void Failed(const QString& reason);

private:
    bool readCache();
    void fetched(const QByteArray& body, const QString& failure);

    QNetworkAccessManager net_;
    QString base_;
    QString cacheFile_;
    int timeoutMs_;
    bool available_ = false;
    bool fetching_ = false;
    std::vector<TDriveOffsetEntry> entries_;
    QString failure_;
};

}  // namespace Rip
