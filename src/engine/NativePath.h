#pragma once

#include <QByteArray>
#include <QString>

// A Linux path is bytes, and need not be UTF-8. These carry such a path through a QString without
// loss: each byte that is not part of valid UTF-8 becomes the lone surrogate U+DC80 + byte (which no
// valid text holds), and encode() turns it back into that byte. QFile::encodeName would write
// U+FFFD's three bytes instead and name another file.
namespace NativePath {
QString decode(const QByteArray &bytes);
QByteArray encode(const QString &path);
// Whether the text holds a byte that decode() could not read as UTF-8.
bool hasRawBytes(const QString &path);
} // namespace NativePath
