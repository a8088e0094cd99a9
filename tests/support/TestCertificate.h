// A key and a self-signed certificate for 127.0.0.1, made afresh by the test that asks, for
// a server of its own that speaks HTTPS. Qt makes no keys, so the openssl command does.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QStringList>
#include <QTemporaryDir>

struct TestCertificate {
    QSslCertificate certificate;  // null when openssl failed; it said why on stderr
    QSslKey key;

    static TestCertificate Make() {
        TestCertificate made;
        QTemporaryDir dir;
        if (!dir.isValid()) return made;
        const QString keyPath = dir.filePath("key.pem"), certPath = dir.filePath("cert.pem");
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        openssl.start("openssl",
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                       "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                       "subjectAltName=IP:127.0.0.1", "-keyout", keyPath, "-out", certPath});
        if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
            openssl.exitCode() != 0)
            return made;
        QFile key(keyPath), cert(certPath);
        if (!key.open(QIODevice::ReadOnly) || !cert.open(QIODevice::ReadOnly)) return made;
        made.key = QSslKey(key.readAll(), QSsl::Ec, QSsl::Pem);
        made.certificate = QSslCertificate(cert.readAll(), QSsl::Pem);
        return made;
    }
};
