#pragma once

#include <QString>

#include <cstring>

// The system's words for an errno value, in the user's locale.
inline QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
