// A release's front cover as the batches carry it: the file's bytes and their kind. Apart
// from the client that fetches it, so that what only carries it needs no network headers.
#pragma once

#include <QByteArray>
#include <QString>

namespace Rip {

struct TCoverArt {
    QByteArray Bytes;   // the file as the archive sent it
    QString Mime;       // "image/jpeg" or "image/png"
    QString Extension;  // ".jpg" or ".png"
    bool Empty() const { return Bytes.isEmpty(); }
};

}  // namespace Rip
