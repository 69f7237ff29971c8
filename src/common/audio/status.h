#pragma once

#include <QString>

#include <utility>

namespace tunevale {

// The outcome of a call that can fail: success, or a message a user can read (it is the
// text that lands in the conversion log). Components never throw across their API.
class [[nodiscard]] Status {
public:
    Status() = default;

    static Status error(QString message)
    {
        Status status;
        status.m_failed = true;
        status.m_message = std::move(message);
        return status;
    }

    bool isOk() const { return !m_failed; }
    explicit operator bool() const { return isOk(); }
    const QString& message() const { return m_message; }

private:
    bool m_failed = false;
    QString m_message;
};

} // namespace tunevale
