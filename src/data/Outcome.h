#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace tramelle {

class AppContext;

// The outcome of work that may fail for a reason other than the database engine (a file
// that cannot be read, a program that will not start): nothing, or the reason in words
// for the user, with the error number some messages show beside it. Engine errors stay
// DbError exceptions.
class [[nodiscard]] Outcome
{
public:
    static Outcome Done() { return Outcome(); }
    static Outcome Failed(QString reason, int code = 0) { return Outcome(std::move(reason), code); }

    bool Ok() const { return !m_reason.has_value(); }
    explicit operator bool() const { return Ok(); }
    // The reason; empty when the work was done.
    QString Reason() const { return m_reason.value_or(QString()); }
    // The error number of the reason; 0 when it has none.
    int Code() const { return m_code; }

private:
    Outcome() = default;
    Outcome(QString reason, int code) : m_reason(std::move(reason)), m_code(code) {}
    std::optional<QString> m_reason;
    int m_code = 0;
};

// A value, or the reason there is none.
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    static Result Failed(QString reason, int code = 0)
    {
        return Result(Outcome::Failed(std::move(reason), code));
    }

    bool Ok() const { return m_value.has_value(); }
    explicit operator bool() const { return Ok(); }
    const T& Value() const { return *m_value; }
    T& Value() { return *m_value; }
    QString Reason() const { return m_outcome.Reason(); }
    int Code() const { return m_outcome.Code(); }

private:
    explicit Result(Outcome failure) : m_outcome(std::move(failure)) {}
    std::optional<T> m_value;
    Outcome m_outcome = Outcome::Done();
};

// Tells the user that a routine failed, in the form every window uses: the title
// "Error in <routine>", the reason as the text, a critical icon and OK.
void ReportFailure(const AppContext& ctx, const QString& routine, const QString& reason);
// The same form under a title of the window's own ("Error Deleting Exercise").
void ReportFailureTitled(const AppContext& ctx, const QString& title, const QString& reason);

} // namespace tramelle
