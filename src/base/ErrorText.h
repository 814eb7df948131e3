#pragma once

#include "base/KestraneError.h"

#include <QString>

#include <exception>
#include <optional>
#include <utility>

// The words for the user in an exception: a KestraneError's own message, otherwise what() in the
// user's locale.
inline QString ErrorText(const std::exception &error)
{
    if (const auto *own = dynamic_cast<const KestraneError *>(&error))
        return own->message();
    return QString::fromLocal8Bit(error.what());
}

// Runs `work`; the words of what it threw, or nothing when it returned.
template<typename Work>
std::optional<QString> FailureOf(Work &&work)
{
    try {
        std::forward<Work>(work)();
    } catch (const std::exception &error) {
        return ErrorText(error);
    }
    return std::nullopt;
}
