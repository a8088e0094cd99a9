// What the program's database clients share of asking over HTTP: where they ask, how a
// failed answer is said to the user, and letting go of requests still out.
#pragma once

#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

namespace Rip {

// The address in the environment variable when set (tests point it at a server of their
// own), else fallback; without the slashes it may end in.
QString DatabaseBase(const char* variable, const char* fallback);
QString WithoutTrailingSlashes(QString base);

// Why a reply brought no usable answer, said plainly ("no answer in time", "the database
// could not be reached", "the database answered 500"); null when it came back whole.
// Statuses a client reads itself (404) it checks first.
QString ReplyFailure(const QNetworkReply& reply);

// Aborts the requests of net still out without running what waits on them: the client
// that asked is going away.
void DropReplies(QNetworkAccessManager& net);

}  // namespace Rip
