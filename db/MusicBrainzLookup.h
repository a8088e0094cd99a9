// Looks a disc's names up in the MusicBrainz database over HTTPS, in the background of the
// thread that asks (the window's): the answer comes later, through a callback on that thread.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "DiscIds.h"
#include "MusicBrainzAnswer.h"
#include "OncePerDisc.h"

namespace Rip {

struct TMusicBrainzResult {
    enum class TKind { Found, NotFound, Failed };
    TKind Kind = TKind::Failed;
    std::vector<TMusicBrainzRelease> Releases;  // Found: at least one
    QString Reason;                             // Failed: said plainly, for the window
};

class TMusicBrainzLookup {
public:
    // base: the database's address; tests point it at a server of their own.
    explicit TMusicBrainzLookup(QString base = DefaultBase(), int timeoutMs = 10000);
    // Lookups still out or still waiting their turn are dropped, their callbacks never run.
    ~TMusicBrainzLookup();
    TMusicBrainzLookup(const TMusicBrainzLookup&) = delete;
    TMusicBrainzLookup& operator=(const TMusicBrainzLookup&) = delete;

    // SONVALE_MUSICBRAINZ_URL when set, else the database's own address.
    static QString DefaultBase();
    // <base>/ws/2/discid/<id>?inc=recordings+artist-credits&fmt=json
    static QUrl UrlFor(const QString& base, const std::string& discId);
    // The database asks every program to name itself and a way to reach its makers.
    static QString UserAgent();

    // Asks once per disc: a later call for the same disc is answered from the first (at
    // once when it has come back); a failed lookup is asked again. The database takes at
    // most one request a second from a program, so a request that comes sooner waits its
    // turn on a timer. done runs on this object's thread.
    void Look(const CDRipIntf::TDiscIds& ids, std::function<void(const TMusicBrainzResult&)> done);
    // The disc went: its next lookup asks again. A lookup still out still answers those
    // waiting for it. Other discs' answers stay while their discs stay in their drives.
    void Forget(const CDRipIntf::TDiscIds& ids);
    // The authorities the database's certificate is checked against over HTTPS, in place of
    // the system's (a test trusts the certificate its own server made).
    void TrustOnly(const QList<QSslCertificate>& authorities);

private:
    void send(const std::string& discId);

    QNetworkAccessManager net_;  // also the timers' context: they die with it
    QString base_;
    int timeoutMs_;
    QSslConfiguration tls_ = QSslConfiguration::defaultConfiguration();
    QElapsedTimer clock_;
    qint64 nextRequestMs_ = 0;                  // on clock_: when the next may go
    TOncePerDisc<TMusicBrainzResult> answers_;  // by MusicBrainz disc id
};

}  // namespace Rip
