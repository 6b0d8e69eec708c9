#include "PatientStore.h"

#include "DbError.h"
#include "TextHelpers.h"

#include <QSqlQuery>
#include <QVariant>

namespace tramelle {

QString FullName(const QString& lastName, const QString& firstName)
{
    return (lastName + QStringLiteral(", ") + firstName).trimmed();
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
    QString sql = QStringLiteral(
        "SELECT Invoice.InvoiceID, Patient.FullName, Patient.ID, Invoice.Date"
        " FROM Patient INNER JOIN Invoice ON Patient.PatientID = Invoice.PatientID");
    QVariantList values;
    if (patientID) {
        sql += QStringLiteral(" WHERE Patient.PatientID = ?");
        values << *patientID;
    }
    // Latest first, so that a patient's programs list newest first under the name sort.
    sql += QStringLiteral(" ORDER BY Invoice.Date DESC, Invoice.InvoiceID DESC");
    QSqlQuery q = Exec(db, sql, values);
    std::vector<ProgramRow> rows;
    while (q.next())
        rows.push_back(
            {q.value(0).toInt(), NullToText(q.value(1)), NullToText(q.value(2)), NullToText(q.value(3))});
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
    QSqlQuery q = Exec(db,
                       QStringLiteral("UPDATE Patient SET LastName = ?, FirstName = ?, ID = ?,"
                                      " FullName = ? WHERE PatientID = ?"),
                       {p.LastName, p.FirstName, p.ID, FullName(p.LastName, p.FirstName),
                        patientID});
    if (q.numRowsAffected() != 1)
        throw DbError(QStringLiteral("The patient record no longer exists."));
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
