// Looks a disc up in the AccurateRip database over HTTP, in the background of the thread
// that asks (the window's): the answer comes later, through a callback on that thread.
#pragma once

#include <QList>
#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>
#include <functional>
#include <vector>

#include "AccurateRip.h"
#include "DiscIds.h"
#include "OncePerDisc.h"

namespace Rip {

struct TAccurateRipResult {
    enum class TKind { Found, NotInDatabase, NotChecked };
    TKind Kind = TKind::NotChecked;
    std::vector<TAccurateRipBlock> Blocks;  // Found
    QString Reason;                         // NotChecked: said plainly, for the report
};

class TAccurateRipLookup {
public:
    // base: the database's address; tests point it at a server of their own.
    explicit TAccurateRipLookup(QString base = DefaultBase(), int timeoutMs = 10000);
    // Lookups still out are dropped, their callbacks never run.
    ~TAccurateRipLookup();
    TAccurateRipLookup(const TAccurateRipLookup&) = delete;
    TAccurateRipLookup& operator=(const TAccurateRipLookup&) = delete;

    // SONVALE_ACCURATERIP_URL when set, else the database's own address.
    static QString DefaultBase();
    // <base>/<last hex digit of id1>/<the one before>/<the one before that>/<dBAR name>.bin
    static QUrl UrlFor(const QString& base, const CDRipIntf::TDiscIds& ids);

    // Asks once per disc: a later call for the same ids is answered from the first
    // (at once when it has come back). done runs on this object's thread.
    void Look(const CDRipIntf::TDiscIds& ids, std::function<void(const TAccurateRipResult&)> done);
    // The disc went: its next lookup asks again. A lookup still out still answers those
    // waiting for it. Other discs' answers stay while their discs stay in their drives.
    void Forget(const CDRipIntf::TDiscIds& ids);
    // The authorities the database's certificate is checked against over HTTPS, in place of
    // the system's (a test trusts the certificate its own server made).
    void TrustOnly(const QList<QSslCertificate>& authorities);

private:
    QNetworkAccessManager net_;
    QString base_;
    int timeoutMs_;
    QSslConfiguration tls_ = QSslConfiguration::defaultConfiguration();
    TOncePerDisc<TAccurateRipResult> answers_;  // by dBAR name
};

}  // namespace Rip
