// A small picture in a file format Qt writes, as a cover art server would send it.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>

inline QByteArray TestImage(const char* format) {
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
}
