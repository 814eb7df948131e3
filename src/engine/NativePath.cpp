#include "engine/NativePath.h"

namespace {

constexpr char16_t RawBase = 0xdc00; // a raw byte b (0x80..0xff) is U+DC00 + b

bool isRaw(char16_t c)
{
    return c >= RawBase + 0x80 && c <= RawBase + 0xff;
}

// The length of the valid UTF-8 sequence at `at`, with its code point; 0 when there is none.
int sequenceAt(const QByteArray &bytes, qsizetype at, char32_t &code)
{
    const auto byte = [&](qsizetype i) {
        return static_cast<unsigned char>(bytes[i]);
    };
    const unsigned char lead = byte(at);
    int length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if ((lead & 0xe0) == 0xc0) {
        length = 2;
        code = lead & 0x1f;
        min = 0x80;
    } else if ((lead & 0xf0) == 0xe0) {
        length = 3;
        code = lead & 0x0f;
        min = 0x800;
    } else if ((lead & 0xf8) == 0xf0) {
        length = 4;
        code = lead & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xc0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3f);
    }
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF are not valid UTF-8.
    if (code < min || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff)
        return 0;
    return length;
}

} // namespace

QString NativePath::decode(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t code = 0;
        const int length = sequenceAt(bytes, at, code);
        if (length == 0) {
            text.append(QChar(char16_t(RawBase + static_cast<unsigned char>(bytes[at]))));
            ++at;
            continue;
        }
        if (QChar::requiresSurrogates(code)) {
            text.append(QChar(QChar::highSurrogate(code)));
            text.append(QChar(QChar::lowSurrogate(code)));
        } else {
            text.append(QChar(char16_t(code)));
        }
        at += length;
    }
    return text;
}

QByteArray NativePath::encode(const QString &path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path.at(i).unicode();
        const bool afterHigh = i > 0 && path.at(i - 1).isHighSurrogate();
        if (isRaw(c) && !afterHigh) {
            bytes += path.mid(runStart, i - runStart).toUtf8();
            bytes += char(c - RawBase);
            runStart = i + 1;
        }
    }
    bytes += path.mid(runStart).toUtf8();
    return bytes;
}

bool NativePath::hasRawBytes(const QString &path)
{
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (isRaw(path.at(i).unicode()) && !(i > 0 && path.at(i - 1).isHighSurrogate()))
            return true;
    }
    return false;
}
