// A web server of the test's own on 127.0.0.1, for the database clients: it answers GET
// requests by path, and records what was asked.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <map>

// Answers GET requests by path: a status and a body, or nothing at all (a hung server).
class TinyHttpServer {
public:
    struct Answer {
        int status = 404;
        QByteArray body;
        bool hang = false;
    };
    TinyHttpServer() {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { serve(socket); });
        });
    }
    QString Base() const {
        return QStringLiteral("http://127.0.0.1:%1/db").arg(server_.serverPort());
    }
    std::map<QString, Answer> answers;
    QStringList asked;

private:
    void serve(QTcpSocket* socket) {
        const QByteArray request = socket->readAll();
        const QString path = QString::fromLatin1(request.split(' ').value(1));
        asked << path;
        const Answer a = answers.count(path) ? answers[path] : Answer{};
        if (a.hang) return;
        socket->write("HTTP/1.1 " + QByteArray::number(a.status) + " X\r\nContent-Length: " +
                      QByteArray::number(a.body.size()) + "\r\nConnection: close\r\n\r\n" + a.body);
        socket->disconnectFromHost();
    }
    QTcpServer server_;
};
