#pragma once

#include <QString>
#include <stdexcept>

// The one error type of the program: it carries a message meant for the user.
class KestraneError : public std::runtime_error
{
public:
    explicit KestraneError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    { }
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};
