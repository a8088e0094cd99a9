// A web server of the test's own on 127.0.0.1, for the database clients: it answers GET
// requests by path, and records what was asked, with the query and the headers. Over
// HTTPS when given a certificate.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslServer>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <map>
#include <memory>
#include <vector>

#include "TestCertificate.h"

// Answers GET requests by path: a status and a body, or nothing at all (a hung server).
class TinyHttpServer {
public:
    struct Answer {
        int status = 404;
        QByteArray body;
        bool hang = false;
        QByteArray location{};  // sent as Location: a redirect
    };
    TinyHttpServer() : server_(std::make_unique<QTcpServer>()) { listen(); }
    // Over HTTPS, showing tls's certificate; a connection comes to serve() once its
    // handshake is done.
    explicit TinyHttpServer(const TestCertificate& tls) : tls_(true) {
        auto server = std::make_unique<QSslServer>();
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(tls.certificate);
        config.setPrivateKey(tls.key);
        server->setSslConfiguration(config);
        server_ = std::move(server);
        listen();
    }
    QString Base() const {
        return QStringLiteral("%1://127.0.0.1:%2/db")
            .arg(tls_ ? "https" : "http")
            .arg(server_->serverPort());
    }
    struct Request {
        QString path;
        QString query;                             // after the '?', as sent
        std::map<QByteArray, QByteArray> headers;  // by name in lower case
    };
    std::map<QString, Answer> answers;  // by path, whatever the query
    QStringList asked;                  // the paths, in the order asked
    std::vector<Request> requests;      // the same, in full

private:
    void listen() {
        server_->listen(QHostAddress::LocalHost);
        QObject::connect(server_.get(), &QTcpServer::pendingConnectionAvailable, [this] {
            while (QTcpSocket* socket = server_->nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { serve(socket); });
        });
    }
    void serve(QTcpSocket* socket) {
        const QList<QByteArray> lines = socket->readAll().split('\n');
        const QString target = QString::fromLatin1(lines.value(0).split(' ').value(1));
        Request r{target.section(QLatin1Char('?'), 0, 0), target.section(QLatin1Char('?'), 1), {}};
        for (qsizetype i = 1; i < lines.size() && !lines[i].trimmed().isEmpty(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                r.headers[lines[i].left(colon).trimmed().toLower()] =
                    lines[i].mid(colon + 1).trimmed();
        }
        const QString path = r.path;
        asked << path;
        requests.push_back(std::move(r));
        const Answer a = answers.count(path) ? answers[path] : Answer{};
        if (a.hang) return;
        const QByteArray location =
            a.location.isEmpty() ? QByteArray() : "Location: " + a.location + "\r\n";
        socket->write("HTTP/1.1 " + QByteArray::number(a.status) + " X\r\n" + location +
                      "Content-Length: " + QByteArray::number(a.body.size()) +
                      "\r\nConnection: close\r\n\r\n" + a.body);
        socket->disconnectFromHost();
    }
    std::unique_ptr<QTcpServer> server_;
    bool tls_ = false;
};
