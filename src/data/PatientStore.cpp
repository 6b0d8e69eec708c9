#include "PatientStore.h"

#include "DbError.h"
#include "TextHelpers.h"

#include <QCoreApplication>
#include <QHash>
#include <QSqlQuery>
#include <QVariant>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::PatientStore)
};

} // namespace

QString FullName(const QString& lastName, const QString& firstName)
{
    return QString(lastName + QStringLiteral(", ") + firstName).trimmed();
}

QString RowKey(qint32 id)
{
    return QLatin1Char('k') + QString::number(id);
}

qint32 IdFromKey(const QString& key)
{
    bool ok = false;
    const qint32 id = key.mid(1).toInt(&ok);
    return ok ? id : 0;
}

std::vector<PatientRow> ReadPatientRows(const QSqlDatabase& db)
{
    QSqlQuery q = Exec(db, QStringLiteral("SELECT PatientID, FullName, ID FROM Patient"));
    std::vector<PatientRow> rows;
    while (q.next())
        rows.push_back({q.value(0).toInt(), NullToText(q.value(1)), NullToText(q.value(2))});
    ThrowIfFailed(q.lastError());
    return rows;
}

std::vector<ProgramRow> ReadProgramRows(const QSqlDatabase& db, std::optional<qint32> patientID)
{
    // The join of Patient and Invoice, done here: each patient's name and identifier are
    // read once and shared by all of its rows, which keeps a list of tens of thousands of
    // programs quick to read and to sort.
    const QString where = patientID ? QStringLiteral(" WHERE PatientID = ?") : QString();
    const QVariantList values = patientID ? QVariantList{*patientID} : QVariantList{};
    QHash<qint32, PatientRow> patients;
    {
        QSqlQuery q =
            Exec(db, QStringLiteral("SELECT PatientID, FullName, ID FROM Patient") + where, values);
        while (q.next()) {
            const qint32 id = q.value(0).toInt();
            patients.insert(id, {id, NullToText(q.value(1)), NullToText(q.value(2))});
        }
        ThrowIfFailed(q.lastError());
    }
    QSqlQuery q = Exec(db,
                       QStringLiteral("SELECT InvoiceID, PatientID, Date FROM Invoice") + where +
                           QStringLiteral(" ORDER BY InvoiceID DESC"),
                       values);
    std::vector<ProgramRow> rows;
    while (q.next()) {
        const auto patient = patients.constFind(q.value(1).toInt());
        if (q.value(1).isNull() || patient == patients.cend())
            continue; // a program without its patient row is not listed
        rows.push_back(
            {q.value(0).toInt(), patient->FullName, patient->ID, NullToText(q.value(2))});
    }
    ThrowIfFailed(q.lastError());
    return rows;
}

std::optional<PatientRecord> ReadPatient(const QSqlDatabase& db, qint32 patientID)
{
    QSqlQuery q = Exec(db,
                       QStringLiteral("SELECT LastName, FirstName, ID FROM Patient"
                                      " WHERE PatientID = ?"),
                       {patientID});
    if (!q.next()) {
        ThrowIfFailed(q.lastError());
        return std::nullopt;
    }
    return PatientRecord{NullToText(q.value(0)), NullToText(q.value(1)), NullToText(q.value(2))};
}

qint32 InsertPatient(const QSqlDatabase& db, const PatientRecord& p)
{
    QSqlQuery q = Exec(db,
                       QStringLiteral("INSERT INTO Patient (LastName, FirstName, ID, FullName)"
                                      " VALUES (?, ?, ?, ?)"),
                       {p.LastName, p.FirstName, p.ID, FullName(p.LastName, p.FirstName)});
    return q.lastInsertId().toInt();
}

void UpdatePatient(const QSqlDatabase& db, qint32 patientID, const PatientRecord& p)
{
    QSqlQuery q =
        Exec(db,
             QStringLiteral("UPDATE Patient SET LastName = ?, FirstName = ?, ID = ?,"
                            " FullName = ? WHERE PatientID = ?"),
             {p.LastName, p.FirstName, p.ID, FullName(p.LastName, p.FirstName), patientID});
    if (q.numRowsAffected() != 1)
        throw DbError(Texts::tr("The patient record no longer exists."));
}

void DeletePatient(const QSqlDatabase& db, qint32 patientID)
{
    Exec(db, QStringLiteral("DELETE FROM Patient WHERE PatientID = ?"), {patientID});
}

void DeleteProgram(const QSqlDatabase& db, qint32 invoiceID)
{
    Exec(db, QStringLiteral("DELETE FROM Invoice WHERE InvoiceID = ?"), {invoiceID});
}

} // namespace tramelle
