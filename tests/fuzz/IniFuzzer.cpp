// libFuzzer target for the INI store: arbitrary bytes must never crash it, and what a write puts
// in must read back the same.
#include "settings/TIniFile32.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

bool plainToken(const QByteArray &t)
{
    if (t.isEmpty())
        return false;
    for (char c : t) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '=' || c == '[' || c == ']' || c == 0x7f)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    // The first two bytes pick where the section and key names and the value are cut from the input.
    const qsizetype a = size > 0 ? data[0] % 16 : 0;
    const qsizetype b = size > 1 ? data[1] % 16 : 0;
    const QByteArray section = input.mid(2, a);
    const QByteArray key = input.mid(2 + a, b);
    const QByteArray value = input.mid(2 + a + b, 12);
    const QByteArray text = input.mid(2);

    const QString file = QStringLiteral("/dev/shm/kestrane-ini-fuzz-%1.ini").arg(::getpid());
    TIniFile32 ini = TIniFile32::fromText(file, text);
    const QString s = QString::fromLatin1(section);
    const QString k = QString::fromLatin1(key);
    (void)ini.ReadString(s, k, QStringLiteral("d"));
    (void)ini.ReadInteger(s, k, 7);
    (void)ini.ReadBool(s, k, true);
    for (const QByteArray &line : ini.Lines()) {
        (void)TIniFile32::IsSectionLine(line);
        (void)TIniFile32::parseInteger(TIniFile32::LineValue(line));
    }
    if (plainToken(section) && plainToken(key) && plainToken(value)) {
        const QString v = QString::fromLatin1(value);
        ini.WriteString(s, k, v);
        if (ini.ReadString(s, k, QString()) != v)
            std::abort();
        // The saved text loads to the same answer.
        if (TIniFile32::fromText(file, ini.text()).ReadString(s, k, QString()) != v)
            std::abort();
    }
    return 0;
}
