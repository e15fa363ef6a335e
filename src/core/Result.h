#pragma once

#include <QString>

#include <optional>
#include <utility>

// The outcome of an operation that can fail: its value (none for
// Result<void>) or the reason it failed, as a person reads it.
template <typename T = void>
class Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    static Result failure(QString error)
    {
        Result r;
        r.m_error = std::move(error);
        return r;
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    // Only when ok().
    const T &value() const { return *m_value; }
    T valueOr(T fallback) const { return ok() ? *m_value : std::move(fallback); }
    const QString &error() const { return m_error; }

protected:
    Result() = default;
    std::optional<T> m_value;
    QString m_error;
};

template <>
class Result<void>
{
public:
    Result() = default;
    static Result failure(QString error)
    {
        Result r;
        r.m_failed = true;
        r.m_error = std::move(error);
        return r;
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString &error() const { return m_error; }

private:
    bool m_failed = false;
    QString m_error;
};
