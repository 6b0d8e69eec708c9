#pragma once

#include <QString>
#include <QtGlobal>
#include <cmath>
#include <optional>
#include <stdexcept>

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

// A print job that cannot go on: the reason is shown to the user.
class PrintError : public std::runtime_error
{
public:
    explicit PrintError(const QString& reason)
        : std::runtime_error(reason.toStdString()), m_reason(reason)
    {
    }
    const QString& Reason() const { return m_reason; }

private:
    QString m_reason;
};

// Runs the steps of a job; the reason they failed, or nothing when they went through.
template <typename Steps> std::optional<QString> AttemptJob(Steps steps)
{
    try {
        steps();
        return std::nullopt;
    } catch (const PrintError& e) {
        return e.Reason();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}

// Drawing measures are 16-bit: a value out of range is an error, never wrapped.
inline qint16 CheckedInt16(double value)
{
    if (!std::isfinite(value) || value < -32768.0 || value > 32767.0)
        throw PrintError(
            QStringLiteral("Overflow: a page measure is out of range (%1).").arg(value));
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
