// The front cover of a release, fetched from the Cover Art Archive in the background of the
// thread that asks (the window's), and used only once Qt's image reader has read it whole as
// a JPEG or PNG image.
#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>
#include <functional>

#include "CoverArtImage.h"

namespace Rip {

struct TCoverArtResult {
    TCoverArt Art;   // empty unless an image came
    QString Status;  // what the status line says when no image can be used; null otherwise
};

// The art in bytes when they are a JPEG or PNG image Qt reads to its end; else empty, with
// the status line's text.
TCoverArtResult ReadCoverArt(const QByteArray& bytes);

class TCoverArtLookup {
public:
    explicit TCoverArtLookup(QString base = DefaultBase(), int timeoutMs = 15000);
    // Fetches still out are dropped, their callbacks never run.
    ~TCoverArtLookup();
    TCoverArtLookup(const TCoverArtLookup&) = delete;
    TCoverArtLookup& operator=(const TCoverArtLookup&) = delete;

    // SONVALE_COVERART_URL when set, else the archive's own address.
    static QString DefaultBase();
    // <base>/release/<release id>/front-500
    static QUrl UrlFor(const QString& base, const QString& releaseId);

    // The release's front cover; the archive's redirects to where it keeps the file are
    // followed. done runs on this object's thread.
    void Fetch(const QString& releaseId, std::function<void(const TCoverArtResult&)> done);
    // Over HTTPS, the authorities the archive's certificate is checked against.
    void TrustOnly(const QList<QSslCertificate>& authorities);

private:
    QNetworkAccessManager net_;
    QString base_;
    int timeoutMs_;
    QSslConfiguration tls_ = QSslConfiguration::defaultConfiguration();
};

}  // namespace Rip
