#include "base/StdErr.h"

#include <cstdio>

namespace StdErr {

void write(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void line(const QString &text)
{
    write(text + QLatin1Char('\n'));
}

} // namespace StdErr
