// AccurateRip's list of drive offsets as its file holds it, for the test's own server.
#pragma once

#include <QByteArray>
#include <string>

namespace driveOffsets {

// One 69-byte entry: the offset (16-bit little-endian), the name "VENDOR - MODEL" padded
// with NULs to 32 bytes, a NUL, the submissions and 33 unused bytes, filled so that a
// reader that read them would notice.
inline QByteArray Record(int offset, const std::string& name, int submissions) {
    QByteArray r;
    r.append(char(uint8_t(offset & 0xFF)));
    r.append(char(uint8_t((offset >> 8) & 0xFF)));
    QByteArray text = QByteArray::fromStdString(name).left(32);
    text.append(QByteArray(32 - text.size(), '\0'));
    r.append(text);
    r.append('\0');
    r.append(char(uint8_t(submissions)));
    r.append(QByteArray(33, 'x'));
    return r;
}

}  // namespace driveOffsets
