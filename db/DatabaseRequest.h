// What the program's database clients share of asking over HTTP(S): where they ask, the
// request they send, how a failed answer is said to the user, and letting go of requests
// still out.
#pragma once

#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

namespace Rip {

// The address in the environment variable when set (tests point it at a server of their
// own), else fallback; without the slashes it may end in.
QString DatabaseBase(const char* variable, const char* fallback);
QString WithoutTrailingSlashes(QString base);

// A GET of url that gives up after timeoutMs, naming the program as userAgent. Over HTTPS
// the database's certificate is checked against tls's authorities (the system's, unless a
// client was given others); one that does not check out fails the request, never taken.
QNetworkRequest DatabaseRequest(const QUrl& url, int timeoutMs, const QString& userAgent,
                                const QSslConfiguration& tls);

// Aborts reply once it is past mostBytes (by its length, or by what has come), so that a
// server that sends without end cannot fill the memory; ReplyFailure then says so.
void LimitReply(QNetworkReply& reply, qint64 mostBytes = 16 * 1024 * 1024);

// Why a reply brought no usable answer, said plainly ("no answer in time", "the database
// could not be reached", "the database's certificate could not be checked", "the database
// answered 500", "the answer was too large"); null when it came back whole. Statuses a client reads
// itself (404) it checks first.
QString ReplyFailure(const QNetworkReply& reply);

// Aborts the requests of net still out without running what waits on them: the client
// that asked is going away.
void DropReplies(QNetworkAccessManager& net);

}  // namespace Rip
