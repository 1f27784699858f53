#pragma once

#include <QString>
#include <stdexcept>

namespace jex {

// Error raised by the framework layer: a message for the user and a code.
class EQxError : public std::runtime_error
{
public:
    explicit EQxError(const QString &message, int code = 0)
        : std::runtime_error(message.toStdString()), m_message(message), m_code(code) {}
    QString message() const { return m_message; }
    int code() const { return m_code; }

private:
    QString m_message;
    int m_code;
};

// Warning of the framework layer: shown as it is.
class EQxWarning : public EQxError
{
public:
    using EQxError::EQxError;
};

// The system's own warning: shown without the name of the last statement.
class EQmrWarning : public EQxWarning
{
public:
    using EQxWarning::EQxWarning;
};

// A failed internal assertion: a programming or delivery fault.
class EAssertion : public EQxError
{
public:
    using EQxError::EQxError;
};

// Stops an operation silently: the user has already been told.
class EAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "Operazione interrotta"; }
};

// Message text of any exception the program may see.
inline QString errorText(const std::exception &e)
{
    if (auto qx = dynamic_cast<const EQxError *>(&e))
        return qx->message();
    return QString::fromUtf8(e.what());
}

[[noreturn]] inline void jexAssert(const QString &message) { throw EAssertion(message); }

} // namespace jex
