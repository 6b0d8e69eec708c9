#pragma once

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>
#include <cmath>
#include <exception>
#include <utility>

namespace tramelle {

// Which document a print or preview command produces.
enum class PrintJobKind : qint32
{
    VideoOrder = 0,
    Exercises2 = 1,
    Exercises4 = 2,
    CoverPage = 3,
    PatientRecord = 4,
    // One exercise a page in large type, for patients who see poorly.
    LargePrint = 5,
};

// A page measure that does not fit 16 bits stops the page where it is, deep inside a
// composer. It never leaves the print library: ComposeDocument and ComposeJob, the ways
// into the composers, turn it into the Outcome of the job.
class MeasureOverflow : public std::exception
{
public:
    explicit MeasureOverflow(QString reason) : m_reason(std::move(reason)) {}
    const QString& Reason() const { return m_reason; }
    const char* what() const noexcept override { return "page measure out of range"; }

private:
    QString m_reason;
};

// Drawing measures are 16-bit: a value out of range is an error, never wrapped.
inline qint16 CheckedInt16(double value)
{
    if (!std::isfinite(value) || value < -32768.0 || value > 32767.0)
        throw MeasureOverflow(
            QCoreApplication::translate("tramelle::PrintTypes",
                                        "Overflow: a page measure is out of range (%1).")
                .arg(value));
    return static_cast<qint16>(value);
}

// Int(): the largest whole number not above the value.
inline qint16 IntFloor16(double value)
{
    return CheckedInt16(std::floor(value));
}

// Conversion to a 16-bit integer: to the nearest, halves to even.
inline qint16 Round16(double value)
{
    return CheckedInt16(std::nearbyint(value));
}

} // namespace tramelle
